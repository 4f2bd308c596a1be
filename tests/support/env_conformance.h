// One table of Env calls and what the real system answers to them, run
// against every implementation: FakeEnv in the host unit tests, Win32Env in
// a Windows program under Wine (tests/e2e/conformance.cc). It checks that
// the fake that every unit test trusts answers as Windows does.
//
// Each case makes its own files and folders below a folder of its own
// (scratch root + "\" + case name) with a Machine, the setup side that does
// not go through the Env under test (real Win32 calls on Windows, the fake's
// own setup calls on the host), makes one Env call and compares the result
// and the state afterwards with what Windows gives. Where Wine is known to
// answer otherwise than documented Windows, the case says how and why
// (`wine`); the Windows program expects Wine's answer then, and says so in
// its line.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace uninstall::conformance {

// Makes the state a case starts from, and looks at the state it leaves,
// without the Env under test. Paths are full paths.
class Machine {
 public:
  virtual ~Machine() = default;
  // A folder and its missing parents.
  [[nodiscard]] virtual bool MakeDir(const std::wstring& path) = 0;
  // A new file with these bytes; its folder exists.
  [[nodiscard]] virtual bool MakeFile(const std::wstring& path, std::string_view bytes) = 0;
  // Sets the attributes of an existing entry as SetFileAttributes does.
  [[nodiscard]] virtual bool SetAttrs(const std::wstring& path, std::uint32_t attrs) = 0;
  // Makes the folder the process's current directory.
  [[nodiscard]] virtual bool MakeCurrentDir(const std::wstring& path) = 0;
  // A registry key (and its missing parents) under a predefined root.
  [[nodiscard]] virtual bool MakeRegKey(std::int32_t root, const std::wstring& key) = 0;
  [[nodiscard]] virtual bool Exists(const std::wstring& path) = 0;
  // The bytes of a file; nullopt when it cannot be read.
  [[nodiscard]] virtual std::optional<std::string> Content(const std::wstring& path) = 0;
  [[nodiscard]] virtual bool RegKeyExists(std::int32_t root, const std::wstring& key) = 0;
};

// Where the cases work.
struct Roots {
  // A folder only the cases use, without a trailing "\" ("C:\conformance").
  std::wstring scratch;
  // The root of a drive that holds nothing ("R:\"); empty where the machine
  // has none to spare, and then the cases that need one say they did not run.
  std::wstring empty_drive_root;
  // A registry key under HKEY_CURRENT_USER only the cases use.
  std::wstring reg_scratch;
};

// Where one case works: its folder and registry key (the scratch ones +
// "\" + its name), and the roots.
struct Place {
  std::wstring dir;
  std::wstring key;
  Roots roots;
  // `relative` below the case's folder ("" is the folder itself).
  [[nodiscard]] std::wstring At(const std::wstring& relative) const;
};

// An entry (a registry key where `key`) after the call: there or not, and
// its bytes where they matter. The path is relative to the case's folder or key.
struct After {
  std::wstring path;
  bool exists = true;
  std::optional<std::string> bytes = {};
  bool key = false;
};

// Where Wine answers otherwise than documented Windows: why, what it gives,
// and the state it leaves where that differs too.
struct WineDiffers {
  std::string_view why;
  std::string answer = "ok";
  std::optional<std::vector<After>> after = {};
};

struct Case {
  std::string_view name;  // letters, digits and "_" only
  // Each step makes part of the state the case starts from; false: it failed.
  std::vector<std::function<bool(Machine&, const Place&)>> setup = {};
  // Makes the one Env call and gives its result as text: "ok", "error 5",
  // or "ok" and the value ("ok attrs=0x20", "ok names=[a,b]" sorted,
  // "ok bytes=\"..\"", "ok same", "ok final=TAIL below the case's folder").
  std::function<std::string(Env&, const Place&)> call = {};
  std::string expect = "ok";
  std::vector<After> after = {};
  std::optional<WineDiffers> wine = {};
  bool needs_empty_drive = false;
};

// The table.
[[nodiscard]] std::span<const Case> Cases();

struct Outcome {
  enum Kind { kPass, kFail, kNotRun } kind = kPass;
  // "pass NAME: ...", "FAIL NAME: ..., expected ..." or "not run NAME: ...",
  // with Wine's known difference where it applied.
  std::string line;
};

// Sets up the case, makes its call and compares. `under_wine` picks the
// case's Wine answer where it has one.
[[nodiscard]] Outcome RunCase(const Case& c, Env& env, Machine& machine, const Roots& roots,
                              bool under_wine);

}  // namespace uninstall::conformance
