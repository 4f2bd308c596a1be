// The answering helper's script (the format is described in answer_main.cc)
// and the names it gives the buttons and icons of a message box.
#pragma once

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

struct ButtonName {
  int id;
  const char* name;
};
inline constexpr std::array<ButtonName, 10> kButtons{{
    {IDOK, "ok"},
    {IDCANCEL, "cancel"},
    {IDABORT, "abort"},
    {IDRETRY, "retry"},
    {IDIGNORE, "ignore"},
    {IDYES, "yes"},
    {IDNO, "no"},
    {IDCLOSE, "close"},
    {IDTRYAGAIN, "tryagain"},
    {IDCONTINUE, "continue"},
}};
const char* ButtonLabel(int id);

// Bit set over button ids 1..11.
using ButtonSet = unsigned;
constexpr ButtonSet Bit(int id) { return 1u << id; }
// The buttons of a MessageBox style (N & 0x0F), for the styles 0 to 5.
std::optional<ButtonSet> ButtonsOfStyle(unsigned style);
std::string ButtonSetText(ButtonSet set);

// An icon flag of a style and the system icon it shows.
struct IconKind {
  unsigned flag;
  const wchar_t* resource;
  const char* name;
};
const std::array<IconKind, 4>& IconKinds();
const char* IconName(unsigned flag);  // "none" for 0

enum class WindowRule { kAny, kNever, kShown };

struct BoxExpectation {
  int line = 0;
  std::optional<std::wstring> title;
  std::optional<unsigned> style;
  std::optional<std::wstring> text;
  std::optional<std::wstring> run;
  std::optional<std::wstring> hold_half;
  bool close_main = false;
  bool kill = false;
  bool watch = false;
  std::optional<int> answer;
};

struct Script {
  WindowRule window = WindowRule::kAny;
  std::optional<DWORD> exit_code;
  int box_timeout_s = 30;
  int exit_timeout_s = 30;
  bool measure = false;
  int watch_max_ms = 250;
  std::chrono::milliseconds poll{20};
  std::vector<BoxExpectation> boxes;
};

struct ScriptError {
  int line;
  std::string what;
};

// Throws ScriptError for the first line that is wrong.
Script ParseScript(std::istream& in);

// The text with line feeds, tabs and backslashes written as in the script.
std::string Escaped(std::wstring_view text);

}  // namespace e2e
