// answer: runs a Windows program and answers its message boxes by a script.
//
//   answer.exe SCRIPT -- PROGRAM [ARGUMENTS...]
//
// Starts PROGRAM, then waits for each message box the script expects, reads
// it (title, text, buttons, icon), compares it with the expectation, and
// clicks the scripted button. Every box is printed as it is answered. When
// the script is done it waits for the program to end and checks that no
// further box appeared, its exit code, and whether its progress window
// (a top-level window of class "UninstallMfrm") was ever visible.
//
// Exit status: 0 all checks passed; 1 a check failed (the reason is printed
// on stderr, and the program is ended if it still runs); 2 bad usage or bad
// script; 3 the program could not be started.
//
// Script format: UTF-8 text, one setting per line as key=value. Blank lines
// and lines starting with '#' are ignored. Settings before the first "[box]"
// line apply to the whole run:
//
//   window=never|shown|any   the progress window must never be visible /
//                            must be visible at some point / is not checked
//                            (default any)
//   exit_code=N              the program's expected exit code (default: not
//                            checked)
//   box_timeout=SECONDS      how long to wait for each box (default 30)
//   exit_timeout=SECONDS     how long to wait for the program to end after
//                            the last box (default 30)
//   poll=MILLISECONDS        how often the windows are looked at while
//                            waiting (default 20); each look costs Wine
//                            server time, which timings may want to keep low
//   watch_max_ms=N           the longest answer a watch allows (default 250)
//   measure=yes|no           print "measure: ..." lines: when each box was
//                            seen and answered and when the program ended
//                            (milliseconds since its start), its start on
//                            the system clock, and its peak working set and
//                            peak pagefile usage (default no)
//
// Each "[box]" line starts the expectation for the next message box:
//
//   title=TEXT       the box's exact title (required)
//   style=N          the MessageBox style number: buttons (N & 0x0F) and
//                    icon (N & 0xF0), e.g. 36 Yes/No + question, 48 OK +
//                    exclamation, 53 Retry/Cancel + exclamation, 64 OK +
//                    information, 16 OK + stop (required)
//   text=TEXT        the box's exact text (required)
//   run=COMMAND      a command line run (and waited for, exit code 0
//                    required) after the box is checked and before it is
//                    answered, e.g. to clear a read-only attribute
//   close_main=yes   before answering, send WM_CLOSE to the progress window
//                    and require that it is still visible afterwards
//   watch=yes        after answering, until the next box appears or the
//                    program ends: every 50 ms send the progress window
//                    WM_NULL (SendMessageTimeout) and time its answer, and
//                    read its progress bar's position (PBM_GETPOS); once the
//                    bar has moved, send it WM_CLOSE and require that it
//                    stays. Printed: "watch: half way" when the bar passes
//                    its middle, then the number of samples, the longest
//                    answer and the positions seen. Fails when an answer
//                    takes watch_max_ms or longer (see above), when the
//                    position ever falls back, or when it never rose.
//   kill=yes         instead of answering, end the program at once (as
//                    Task Manager does); the script's last box, with no
//                    answer, and no exit_code for the run
//   answer=BUTTON    ok, cancel, yes, no, retry, abort or ignore (required)
//
// In values, "\n" stands for a line feed, "\t" for a tab and "\\" for one
// backslash; any other backslash sequence is an error, so that a Windows
// path such as C:\new cannot silently turn into a line feed.
//
// The icon is identified by comparing the handle the box's icon control
// holds (STM_GETICON) with the shared system icons, and failing that by
// comparing the control's pixels on screen with each system icon drawn on
// the dialog's background.

#include <windows.h>
// After windows.h, which it needs. GetProcessMemoryInfo is kernel32's
// K32GetProcessMemoryInfo (PSAPI_VERSION 2): no import library needed.
#include <psapi.h>
// The progress bar messages (PBM_*) only; no Common Controls library.
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/window_class.h"
#include "tests/e2e/utf8.h"

using e2e::Narrow;
using e2e::Widen;

namespace {

constexpr const wchar_t* kMainWindowClass = uninstall::win32::kWindowClassName;
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kTextControlId = 0xFFFF;
constexpr auto kPollInterval = std::chrono::milliseconds(20);

enum ExitStatus : int {
  kPassed = 0,
  kCheckFailed = 1,
  kBadUsage = 2,
  kStartFailed = 3,
};

// ---------------------------------------------------------------------------
// Handles and text.

using uninstall::win32::UniqueHandle;

struct ScreenDc {
  ScreenDc() : dc(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc != nullptr) ReleaseDC(nullptr, dc);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC dc;
};

struct MemoryDc {
  MemoryDc() : dc(CreateCompatibleDC(nullptr)) {}
  ~MemoryDc() {
    if (dc != nullptr) DeleteDC(dc);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC dc;
};

// A 32-bit top-down DIB section with direct access to its pixels.
class Pixels {
 public:
  Pixels(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<std::uint32_t*>(bits);
  }
  ~Pixels() {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  Pixels(const Pixels&) = delete;
  Pixels& operator=(const Pixels&) = delete;

  [[nodiscard]] bool ok() const { return bitmap_ != nullptr && bits_ != nullptr; }
  [[nodiscard]] HBITMAP bitmap() const { return bitmap_; }
  [[nodiscard]] std::uint32_t at(int x, int y) const {
    return bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                 static_cast<std::size_t>(x)] &
           0x00FFFFFFu;
  }
  [[nodiscard]] int width() const { return width_; }
  [[nodiscard]] int height() const { return height_; }

 private:
  int width_;
  int height_;
  HBITMAP bitmap_ = nullptr;
  std::uint32_t* bits_ = nullptr;
};

// The text with line feeds, tabs and backslashes written as in the script.
std::string Escaped(std::wstring_view text) {
  std::wstring out;
  for (wchar_t c : text) {
    switch (c) {
      case L'\n':
        out += L"\\n";
        break;
      case L'\r':
        out += L"\\r";
        break;
      case L'\t':
        out += L"\\t";
        break;
      case L'\\':
        out += L"\\\\";
        break;
      default:
        out += c;
    }
  }
  return Narrow(out);
}

void Say(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void Complain(const std::string& line) {
  std::string msg = "answer: " + line + "\n";
  std::fwrite(msg.data(), 1, msg.size(), stderr);
  std::fflush(stderr);
}

// ---------------------------------------------------------------------------
// Buttons and icons of a message box.

struct ButtonName {
  int id;
  const char* name;
};
constexpr std::array<ButtonName, 10> kButtons{{
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

std::optional<int> ButtonId(std::string_view name) {
  for (const auto& b : kButtons) {
    if (name == b.name) return b.id;
  }
  return std::nullopt;
}

const char* ButtonLabel(int id) {
  for (const auto& b : kButtons) {
    if (b.id == id) return b.name;
  }
  return "?";
}

// Bit set over button ids 1..11.
using ButtonSet = unsigned;
constexpr ButtonSet Bit(int id) { return 1u << id; }

std::optional<ButtonSet> ButtonsOfStyle(unsigned style) {
  switch (style & 0x0Fu) {
    case MB_OK:
      return Bit(IDOK);
    case MB_OKCANCEL:
      return Bit(IDOK) | Bit(IDCANCEL);
    case MB_ABORTRETRYIGNORE:
      return Bit(IDABORT) | Bit(IDRETRY) | Bit(IDIGNORE);
    case MB_YESNOCANCEL:
      return Bit(IDYES) | Bit(IDNO) | Bit(IDCANCEL);
    case MB_YESNO:
      return Bit(IDYES) | Bit(IDNO);
    case MB_RETRYCANCEL:
      return Bit(IDRETRY) | Bit(IDCANCEL);
    default:
      return std::nullopt;
  }
}

std::optional<unsigned> StyleOfButtons(ButtonSet set) {
  for (unsigned style = 0; style <= 5; ++style) {
    if (ButtonsOfStyle(style) == set) return style;
  }
  return std::nullopt;
}

std::string ButtonSetText(ButtonSet set) {
  std::string out;
  for (const auto& b : kButtons) {
    if ((set & Bit(b.id)) == 0) continue;
    if (!out.empty()) out += '+';
    out += b.name;
  }
  return out.empty() ? "none" : out;
}

// Icon flag of a style (0 when none), and the system icon resource it shows.
struct IconKind {
  unsigned flag;
  const wchar_t* resource;
  const char* name;
};
const std::array<IconKind, 4>& IconKinds() {
  static const std::array<IconKind, 4> kinds{{
      {MB_ICONHAND, IDI_HAND, "stop"},
      {MB_ICONQUESTION, IDI_QUESTION, "question"},
      {MB_ICONEXCLAMATION, IDI_EXCLAMATION, "exclamation"},
      {MB_ICONASTERISK, IDI_ASTERISK, "information"},
  }};
  return kinds;
}

const char* IconName(unsigned flag) {
  if (flag == 0) return "none";
  for (const auto& k : IconKinds()) {
    if (k.flag == flag) return k.name;
  }
  return "?";
}

// ---------------------------------------------------------------------------
// Talking to another process's windows.

std::wstring ClassOf(HWND hwnd) {
  std::array<wchar_t, 256> buf{};
  const int n = GetClassNameW(hwnd, buf.data(), static_cast<int>(buf.size()));
  return std::wstring(buf.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
}

// Waits up to 5 s for the window to answer, also when the system counts it
// as hung: a program that worked for seconds without reading its messages
// counts as hung until its box's message loop has run for a moment, and
// SMTO_ABORTIFHUNG would then read an empty text.
std::wstring TextOf(HWND hwnd) {
  DWORD_PTR length = 0;
  if (SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length) == 0) {
    return {};
  }
  std::wstring buf(static_cast<std::size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  if (SendMessageTimeoutW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                          SMTO_NORMAL, 5000, &copied) == 0) {
    return {};
  }
  buf.resize(std::min<std::size_t>(copied, buf.size() - 1));
  return buf;
}

struct WindowScan {
  DWORD pid;
  std::vector<HWND> boxes;    // visible top-level dialogs of the process
  std::vector<HWND> mains;    // top-level progress windows of the process
  bool main_visible = false;  // one of them is visible
};

BOOL CALLBACK ScanWindow(HWND hwnd, LPARAM param) {
  auto* scan = reinterpret_cast<WindowScan*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != scan->pid) return TRUE;
  const std::wstring cls = ClassOf(hwnd);
  if (cls == kDialogClass && IsWindowVisible(hwnd)) scan->boxes.push_back(hwnd);
  if (cls == kMainWindowClass) {
    scan->mains.push_back(hwnd);
    if (IsWindowVisible(hwnd)) scan->main_visible = true;
  }
  return TRUE;
}

WindowScan Scan(DWORD pid) {
  WindowScan scan{pid, {}, {}, false};
  EnumWindows(ScanWindow, reinterpret_cast<LPARAM>(&scan));
  return scan;
}

struct IconSearch {
  HWND found = nullptr;
};

BOOL CALLBACK FindIconControl(HWND child, LPARAM param) {
  auto* search = reinterpret_cast<IconSearch*>(param);
  if (ClassOf(child) != L"Static" || !IsWindowVisible(child)) return TRUE;
  const auto style = static_cast<unsigned long>(GetWindowLongW(child, GWL_STYLE));
  if ((style & SS_TYPEMASK) == SS_ICON) {
    search->found = child;
    return FALSE;
  }
  return TRUE;
}

// Sum of absolute channel differences between two 32x32 areas.
long long Difference(const Pixels& a, const Pixels& b) {
  long long sum = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const std::uint32_t p = a.at(x, y);
      const std::uint32_t q = b.at(x, y);
      for (int shift = 0; shift < 24; shift += 8) {
        const int u = static_cast<int>((p >> shift) & 0xFFu);
        const int v = static_cast<int>((q >> shift) & 0xFFu);
        sum += std::abs(u - v);
      }
    }
  }
  return sum;
}

// Which system icon the control shows on screen: each candidate is drawn on
// the background colour found at the control's corner, and the closest one
// wins if it is close enough to count as the same picture.
std::optional<unsigned> IconFromScreen(HWND control) {
  RECT rect{};
  if (!GetWindowRect(control, &rect)) return std::nullopt;
  const int w = GetSystemMetrics(SM_CXICON);
  const int h = GetSystemMetrics(SM_CYICON);
  Pixels shot(w, h);
  ScreenDc screen;
  MemoryDc mem;
  if (!shot.ok() || screen.dc == nullptr || mem.dc == nullptr) return std::nullopt;
  HGDIOBJ old = SelectObject(mem.dc, shot.bitmap());
  const BOOL copied = BitBlt(mem.dc, 0, 0, w, h, screen.dc, rect.left, rect.top, SRCCOPY);
  SelectObject(mem.dc, old);
  if (!copied) return std::nullopt;
  const std::uint32_t bg = shot.at(0, 0);
  const COLORREF bg_ref = RGB((bg >> 16) & 0xFF, (bg >> 8) & 0xFF, bg & 0xFF);

  std::optional<unsigned> best;
  long long best_diff = 0;
  for (const auto& kind : IconKinds()) {
    Pixels drawn(w, h);
    if (!drawn.ok()) return std::nullopt;
    HGDIOBJ prev = SelectObject(mem.dc, drawn.bitmap());
    HBRUSH brush = CreateSolidBrush(bg_ref);
    RECT all{0, 0, w, h};
    FillRect(mem.dc, &all, brush);
    DeleteObject(brush);
    DrawIconEx(mem.dc, 0, 0, LoadIconW(nullptr, kind.resource), w, h, 0, nullptr, DI_NORMAL);
    SelectObject(mem.dc, prev);
    const long long diff = Difference(shot, drawn);
    if (!best || diff < best_diff) {
      best = kind.flag;
      best_diff = diff;
    }
  }
  // Anything farther than an average of 8 levels per channel is not the icon
  // (for example a box not yet painted).
  if (best && best_diff > 8LL * 3 * w * h) return std::nullopt;
  return best;
}

struct BoxContent {
  std::wstring title;
  std::wstring text;
  ButtonSet buttons = 0;
  // 0 when the box shows no icon; nullopt when the icon is unknown.
  std::optional<unsigned> icon;
  std::string icon_method;
};

BoxContent ReadBox(HWND box) {
  BoxContent c;
  c.title = TextOf(box);
  if (HWND text = GetDlgItem(box, kTextControlId)) c.text = TextOf(text);
  for (const auto& b : kButtons) {
    HWND button = GetDlgItem(box, b.id);
    if (button != nullptr && IsWindowVisible(button)) c.buttons |= Bit(b.id);
  }
  IconSearch search;
  EnumChildWindows(box, FindIconControl, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) {
    c.icon = 0;
    c.icon_method = "no icon control";
    return c;
  }
  DWORD_PTR handle = 0;
  if (SendMessageTimeoutW(search.found, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &handle) != 0 &&
      handle != 0) {
    for (const auto& kind : IconKinds()) {
      if (reinterpret_cast<HICON>(handle) == LoadIconW(nullptr, kind.resource)) {
        c.icon = kind.flag;
        c.icon_method = "handle";
        return c;
      }
    }
  }
  // The pixels: the box may not be painted yet, so try for up to 5 s.
  for (int attempt = 0; attempt < 250; ++attempt) {
    c.icon = IconFromScreen(search.found);
    if (c.icon) {
      c.icon_method = "screen";
      return c;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  c.icon_method = "unknown";
  return c;
}

std::string StyleText(const BoxContent& c) {
  const auto buttons = StyleOfButtons(c.buttons);
  if (!buttons || !c.icon) {
    return "?(" + ButtonSetText(c.buttons) + ", icon " + (c.icon ? IconName(*c.icon) : "?") + ")";
  }
  return std::to_string(*buttons | *c.icon);
}

std::string Describe(const BoxContent& c) {
  return "title=\"" + Escaped(c.title) + "\" style=" + StyleText(c) + " text=\"" + Escaped(c.text) +
         "\"";
}

// ---------------------------------------------------------------------------
// The script.

enum class WindowRule { kAny, kNever, kShown };

struct BoxExpectation {
  int line = 0;
  std::optional<std::wstring> title;
  std::optional<unsigned> style;
  std::optional<std::wstring> text;
  std::optional<std::wstring> run;
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
  std::chrono::milliseconds poll = kPollInterval;
  std::vector<BoxExpectation> boxes;
};

struct ScriptError {
  int line;
  std::string what;
};

std::string Unescape(std::string_view value, int line) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      out += value[i];
      continue;
    }
    if (i + 1 == value.size()) throw ScriptError{line, "backslash at the end of a value"};
    switch (value[++i]) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        throw ScriptError{
            line, std::string("unknown escape \\") + value[i] + " (write \\\\ for a backslash)"};
    }
  }
  return out;
}

int ParseInt(std::string_view value, int line) {
  try {
    std::size_t used = 0;
    const std::string s(value);
    const long v = std::stol(s, &used, 0);
    if (used != s.size()) throw std::invalid_argument("trailing");
    return static_cast<int>(v);
  } catch (const std::exception&) {
    throw ScriptError{line, "not a number: " + std::string(value)};
  }
}

Script ParseScript(std::istream& in) {
  Script script;
  std::string raw;
  int line = 0;
  BoxExpectation* box = nullptr;
  while (std::getline(in, raw)) {
    ++line;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (line == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
    if (raw.empty() || raw[0] == '#') continue;
    if (raw == "[box]") {
      script.boxes.push_back(BoxExpectation{});
      box = &script.boxes.back();
      box->line = line;
      continue;
    }
    const auto eq = raw.find('=');
    if (eq == std::string::npos) throw ScriptError{line, "expected key=value or [box]"};
    const std::string key = raw.substr(0, eq);
    const std::string value = Unescape(std::string_view(raw).substr(eq + 1), line);
    if (box == nullptr) {
      if (key == "window") {
        if (value == "never") {
          script.window = WindowRule::kNever;
        } else if (value == "shown") {
          script.window = WindowRule::kShown;
        } else if (value == "any") {
          script.window = WindowRule::kAny;
        } else {
          throw ScriptError{line, "window must be never, shown or any"};
        }
      } else if (key == "exit_code") {
        script.exit_code = static_cast<DWORD>(ParseInt(value, line));
      } else if (key == "box_timeout") {
        script.box_timeout_s = ParseInt(value, line);
      } else if (key == "exit_timeout") {
        script.exit_timeout_s = ParseInt(value, line);
      } else if (key == "poll") {
        const int ms = ParseInt(value, line);
        if (ms < 1 || ms > 10000) throw ScriptError{line, "poll must be 1 to 10000"};
        script.poll = std::chrono::milliseconds(ms);
      } else if (key == "watch_max_ms") {
        script.watch_max_ms = ParseInt(value, line);
        if (script.watch_max_ms < 1) throw ScriptError{line, "watch_max_ms must be positive"};
      } else if (key == "measure") {
        if (value != "yes" && value != "no") throw ScriptError{line, "measure must be yes or no"};
        script.measure = value == "yes";
      } else {
        throw ScriptError{line, "unknown setting " + key};
      }
      continue;
    }
    if (key == "title") {
      box->title = Widen(value);
    } else if (key == "style") {
      const int style = ParseInt(value, line);
      if (style < 0 || !ButtonsOfStyle(static_cast<unsigned>(style)) || (style & ~0xFF) != 0) {
        throw ScriptError{line, "unsupported style " + value};
      }
      box->style = static_cast<unsigned>(style);
    } else if (key == "text") {
      box->text = Widen(value);
    } else if (key == "run") {
      box->run = Widen(value);
    } else if (key == "close_main") {
      if (value != "yes" && value != "no") throw ScriptError{line, "close_main must be yes or no"};
      box->close_main = value == "yes";
    } else if (key == "watch") {
      if (value != "yes" && value != "no") throw ScriptError{line, "watch must be yes or no"};
      box->watch = value == "yes";
    } else if (key == "kill") {
      if (value != "yes" && value != "no") throw ScriptError{line, "kill must be yes or no"};
      box->kill = value == "yes";
    } else if (key == "answer") {
      box->answer = ButtonId(value);
      if (!box->answer) throw ScriptError{line, "unknown button " + value};
    } else {
      throw ScriptError{line, "unknown box key " + key};
    }
  }
  for (std::size_t i = 0; i < script.boxes.size(); ++i) {
    const BoxExpectation& b = script.boxes[i];
    if (b.kill) {
      if (!b.title || !b.style || !b.text || b.answer || i + 1 != script.boxes.size() ||
          script.exit_code) {
        throw ScriptError{b.line,
                          "a [box] with kill=yes needs title, style and text, no answer, is the "
                          "last one, and the run no exit_code"};
      }
      continue;
    }
    if (!b.title || !b.style || !b.text || !b.answer) {
      throw ScriptError{b.line, "a [box] needs title, style, text and answer"};
    }
    if ((*ButtonsOfStyle(*b.style) & Bit(*b.answer)) == 0) {
      throw ScriptError{b.line, std::string("style has no button ") + ButtonLabel(*b.answer)};
    }
  }
  return script;
}

// ---------------------------------------------------------------------------
// The run.

struct Failure {
  std::string what;
};

// Quotes one argument so that CommandLineToArgvW gives it back unchanged.
std::wstring Quote(std::wstring_view arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
    return std::wstring(arg);
  }
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
    } else {
      out.append(backslashes, L'\\');
    }
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  out += L'"';
  return out;
}

struct Process {
  UniqueHandle process;
  DWORD pid = 0;
};

std::optional<Process> Start(std::wstring command_line) {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi)) {
    return std::nullopt;
  }
  CloseHandle(pi.hThread);
  return Process{UniqueHandle(pi.hProcess), pi.dwProcessId};
}

bool Exited(const Process& p) { return WaitForSingleObject(p.process.get(), 0) == WAIT_OBJECT_0; }

DWORD ExitCodeOf(const Process& p) {
  DWORD code = 0;
  GetExitCodeProcess(p.process.get(), &code);
  return code;
}

std::string Hex(DWORD v) {
  std::ostringstream s;
  s << "0x" << std::hex << v;
  return s.str();
}

class Runner {
 public:
  using Clock = std::chrono::steady_clock;

  Runner(const Script& script, Process program, Clock::time_point started)
      : script_(script), program_(std::move(program)), started_(started) {}

  // Follows the script; throws Failure on the first check that fails.
  void Run() {
    for (std::size_t i = 0; i < script_.boxes.size(); ++i) Answer(i + 1, script_.boxes[i]);
    WaitForExit();
    CheckWindowRule();
  }

  void Kill() {
    if (!Exited(program_)) {
      TerminateProcess(program_.process.get(), 255);
      WaitForSingleObject(program_.process.get(), 5000);
    }
  }

 private:
  WindowScan Observe() {
    WindowScan scan = Scan(program_.pid);
    if (scan.main_visible) main_shown_ = true;
    if (script_.measure) SampleMemory();
    return scan;
  }

  // Milliseconds since the program was started, for the measure lines.
  [[nodiscard]] long long Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_).count();
  }

  void Measure(const std::string& what) const {
    Say("measure: " + what + " at " + std::to_string(Elapsed()) + " ms");
  }

  // The peaks only grow, so the last sample that succeeds holds them; a
  // sample while the program runs also covers systems that keep no counters
  // for a process that has ended.
  void SampleMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(program_.process.get(), &counters, sizeof(counters)) &&
        counters.PeakWorkingSetSize != 0) {
      peak_working_set_ = std::max(peak_working_set_, counters.PeakWorkingSetSize);
      peak_pagefile_ = std::max(peak_pagefile_, counters.PeakPagefileUsage);
    }
  }

  void ReportMemory() const {
    if (peak_working_set_ == 0) {
      Say("measure: memory counters unavailable");
      return;
    }
    Say("measure: peak working set " + std::to_string(peak_working_set_ / 1024) +
        " KiB, peak pagefile usage " + std::to_string(peak_pagefile_ / 1024) + " KiB");
  }

  void Answer(std::size_t index, const BoxExpectation& want) {
    const std::string label = "box " + std::to_string(index);
    HWND box = WaitForBox(label);
    if (script_.measure) Measure(label + " seen");
    const BoxContent got = ReadBox(box);
    Check(label, want, got);

    if (want.run) RunCommand(label, *want.run);
    if (want.close_main) CloseMain(label);
    if (want.kill) {
      Say(label + ": " + Describe(got) + " -> the program is ended");
      TerminateProcess(program_.process.get(), 1);
      WaitForSingleObject(program_.process.get(), 10000);
      return;
    }

    HWND button = GetDlgItem(box, *want.answer);
    if (button == nullptr || !IsWindowVisible(button)) {
      throw Failure{label + ": no button " + ButtonLabel(*want.answer)};
    }
    Say(label + ": " + Describe(got) + " -> " + ButtonLabel(*want.answer));
    if (watch_) EndWatch();
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    if (script_.measure) Measure(label + " answered");
    if (want.watch) watch_.emplace();
    const auto deadline = Clock::now() + std::chrono::seconds(script_.box_timeout_s);
    while (IsWindow(box) && IsWindowVisible(box)) {
      if (Clock::now() > deadline) throw Failure{label + ": still open after the click"};
      Observe();
      std::this_thread::sleep_for(script_.poll);
    }
  }

  HWND WaitForBox(const std::string& label) {
    const auto deadline = Clock::now() + std::chrono::seconds(script_.box_timeout_s);
    for (;;) {
      const WindowScan scan = Observe();
      if (watch_ && scan.boxes.empty()) WatchOnce(scan);
      if (scan.boxes.size() > 1) throw Failure{label + ": more than one message box is open"};
      if (scan.boxes.size() == 1) return scan.boxes.front();
      if (Exited(program_)) {
        throw Failure{label + ": the program ended (exit code " + Hex(ExitCodeOf(program_)) +
                      ") before the box appeared"};
      }
      if (Clock::now() > deadline) {
        throw Failure{label + ": no message box within " + std::to_string(script_.box_timeout_s) +
                      " s"};
      }
      std::this_thread::sleep_for(script_.poll);
    }
  }

  static void Check(const std::string& label, const BoxExpectation& want, const BoxContent& got) {
    std::string problems;
    if (got.title != *want.title) {
      problems +=
          "\n  title: want \"" + Escaped(*want.title) + "\", got \"" + Escaped(got.title) + "\"";
    }
    if (got.text != *want.text) {
      problems += "\n  text:  want \"" + Escaped(*want.text) + "\",\n         got  \"" +
                  Escaped(got.text) + "\"";
    }
    const ButtonSet want_buttons = *ButtonsOfStyle(*want.style);
    if (got.buttons != want_buttons) {
      problems += "\n  buttons: want " + ButtonSetText(want_buttons) + ", got " +
                  ButtonSetText(got.buttons);
    }
    const unsigned want_icon = *want.style & 0xF0u;
    if (!got.icon) {
      problems += std::string("\n  icon: want ") + IconName(want_icon) +
                  ", but the box's icon could not be identified";
    } else if (*got.icon != want_icon) {
      problems += std::string("\n  icon: want ") + IconName(want_icon) + ", got " +
                  IconName(*got.icon) + " (by " + got.icon_method + ")";
    }
    if (!problems.empty()) {
      throw Failure{label + " (script line " + std::to_string(want.line) +
                    ") differs from the expectation:" + problems + "\n  seen: " + Describe(got)};
    }
  }

  void RunCommand(const std::string& label, const std::wstring& command) {
    Say(label + ": run " + Narrow(command));
    auto child = Start(command);
    if (!child) {
      throw Failure{label + ": cannot start \"" + Narrow(command) + "\" (error " +
                    std::to_string(GetLastError()) + ")"};
    }
    if (WaitForSingleObject(child->process.get(), 60000) != WAIT_OBJECT_0) {
      TerminateProcess(child->process.get(), 255);
      throw Failure{label + ": \"" + Narrow(command) + "\" did not end within 60 s"};
    }
    const DWORD code = ExitCodeOf(*child);
    if (code != 0) {
      throw Failure{label + ": \"" + Narrow(command) + "\" failed with exit code " + Hex(code)};
    }
  }

  void CloseMain(const std::string& label) {
    const WindowScan scan = Observe();
    HWND main = nullptr;
    for (HWND w : scan.mains) {
      if (IsWindowVisible(w)) main = w;
    }
    if (main == nullptr) throw Failure{label + ": no visible progress window to close"};
    // Sent rather than posted, so that the window has handled it when the
    // call returns; the modal box's message loop dispatches it.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (!IsWindow(main) || !IsWindowVisible(main)) {
      throw Failure{label + ": the progress window closed on WM_CLOSE"};
    }
    Say(label + ": WM_CLOSE sent to the progress window; it stays open");
  }

  void WaitForExit() {
    const auto deadline = Clock::now() + std::chrono::seconds(script_.exit_timeout_s);
    for (;;) {
      const WindowScan scan = Observe();
      if (watch_ && scan.boxes.empty() && !Exited(program_)) WatchOnce(scan);
      if (!scan.boxes.empty()) {
        const BoxContent extra = ReadBox(scan.boxes.front());
        throw Failure{"an unexpected message box appeared: " + Describe(extra)};
      }
      if (Exited(program_)) break;
      if (Clock::now() > deadline) {
        throw Failure{"the program did not end within " + std::to_string(script_.exit_timeout_s) +
                      " s after the last box"};
      }
      std::this_thread::sleep_for(script_.poll);
    }
    if (watch_) EndWatch();
    if (script_.measure) {
      Measure("program ended");
      SampleMemory();
      ReportMemory();
    }
    const DWORD code = ExitCodeOf(program_);
    Say("exit code " + std::to_string(code));
    if (script_.exit_code && code != *script_.exit_code) {
      throw Failure{"exit code " + Hex(code) + ", want " + Hex(*script_.exit_code)};
    }
  }

  // What a watch saw of the progress window while the program worked.
  struct Watch {
    Clock::time_point next = Clock::now();
    int samples = 0;
    long long longest_ms = 0;
    std::vector<int> positions;  // each change of the bar's position
    int range = 0;
    bool half_said = false;
    bool close_tried = false;
  };

  // One sample of a watch, every 50 ms at most.
  void WatchOnce(const WindowScan& scan) {
    Watch& watch = *watch_;
    if (Clock::now() < watch.next || scan.mains.empty()) return;
    watch.next = Clock::now() + std::chrono::milliseconds(50);
    HWND main = scan.mains.front();
    DWORD_PTR ignored = 0;
    const auto sent = Clock::now();
    const LRESULT answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count();
    if (answered == 0 && Exited(program_)) return;
    ++watch.samples;
    watch.longest_ms = std::max(watch.longest_ms, answered == 0 ? 5000LL : ms);

    HWND bar = FindWindowExW(main, nullptr, L"msctls_progress32", nullptr);
    if (bar == nullptr) throw Failure{"watch: the progress window has no progress bar"};
    DWORD_PTR position = 0;
    DWORD_PTR range = 0;
    if (SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, 5000, &position) == 0 ||
        SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_NORMAL, 5000, &range) == 0) {
      return;
    }
    watch.range = static_cast<int>(range);
    const int pos = static_cast<int>(position);
    if (watch.positions.empty() || watch.positions.back() != pos) watch.positions.push_back(pos);
    if (!watch.half_said && watch.range > 0 && pos * 2 >= watch.range) {
      watch.half_said = true;
      Say("watch: half way (" + std::to_string(pos) + " of " + std::to_string(watch.range) + ")");
    }
    // Once the work is under way, the user tries to close the window.
    if (!watch.close_tried && pos > 0) {
      watch.close_tried = true;
      SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &ignored);
      if (!Exited(program_) && !IsWindowVisible(main)) {
        throw Failure{"watch: the progress window closed on WM_CLOSE during the work"};
      }
      Say("watch: WM_CLOSE during the work refused");
    }
  }

  void EndWatch() {
    const Watch watch = *watch_;
    watch_.reset();
    std::string seen;
    for (const int pos : watch.positions) {
      if (!seen.empty()) seen.push_back(' ');
      seen += std::to_string(pos);
    }
    Say("watch: " + std::to_string(watch.samples) + " samples, longest answer " +
        std::to_string(watch.longest_ms) + " ms, positions " + seen + " of " +
        std::to_string(watch.range));
    if (watch.longest_ms >= script_.watch_max_ms) {
      throw Failure{"watch: the progress window took " + std::to_string(watch.longest_ms) +
                    " ms to answer, " + std::to_string(script_.watch_max_ms) + " ms allowed"};
    }
    if (!std::is_sorted(watch.positions.begin(), watch.positions.end())) {
      throw Failure{"watch: the progress bar went back"};
    }
    if (watch.positions.size() < 2) throw Failure{"watch: the progress bar never moved"};
  }

  void CheckWindowRule() const {
    Say(std::string("progress window ") + (main_shown_ ? "was shown" : "never shown"));
    if (script_.window == WindowRule::kNever && main_shown_) {
      throw Failure{"the progress window was shown, but the script says never"};
    }
    if (script_.window == WindowRule::kShown && !main_shown_) {
      throw Failure{"the progress window was never shown, but the script says shown"};
    }
  }

  const Script& script_;
  Process program_;
  Clock::time_point started_;
  bool main_shown_ = false;
  std::optional<Watch> watch_;
  SIZE_T peak_working_set_ = 0;
  SIZE_T peak_pagefile_ = 0;
};

int Main(int argc, wchar_t** argv) {
  if (argc < 4 || std::wstring_view(argv[2]) != L"--") {
    Complain("usage: answer.exe SCRIPT -- PROGRAM [ARGUMENTS...]");
    return kBadUsage;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    Complain("cannot read the script " + Narrow(argv[1]));
    return kBadUsage;
  }
  Script script;
  try {
    script = ParseScript(in);
  } catch (const ScriptError& e) {
    Complain(Narrow(argv[1]) + ":" + std::to_string(e.line) + ": " + e.what);
    return kBadUsage;
  }

  std::wstring command_line;
  for (int i = 3; i < argc; ++i) {
    if (!command_line.empty()) command_line += L' ';
    command_line += Quote(argv[i]);
  }
  // With measure=yes, the start on the system clock (ms since 1970), for
  // timings that end in another process, e.g. one the program starts.
  FILETIME start_time{};
  GetSystemTimeAsFileTime(&start_time);
  const auto started = Runner::Clock::now();
  auto program = Start(command_line);
  if (!program) {
    Complain("cannot start " + Narrow(command_line) + " (error " + std::to_string(GetLastError()) +
             ")");
    return kStartFailed;
  }
  if (script.measure) {
    constexpr std::uint64_t kTicksPerMs = 10000;
    constexpr std::uint64_t kUnixEpochMs = 11644473600000;  // 1601-01-01 to 1970-01-01
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(start_time.dwHighDateTime) << 32) | start_time.dwLowDateTime;
    Say("measure: program started at " + std::to_string(ticks / kTicksPerMs - kUnixEpochMs) +
        " ms system time");
  }
  Runner runner(script, std::move(*program), started);
  try {
    runner.Run();
  } catch (const Failure& f) {
    Complain("FAILED: " + f.what);
    runner.Kill();
    return kCheckFailed;
  }
  Say("all checks passed");
  return kPassed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) { return Main(argc, argv); }
