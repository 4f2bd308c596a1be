// A corpus of broken install logs, each with the outcome the uninstaller
// must reach, shared by the host flow tests and the end-to-end tests.
//
// Every log describes the application "Tool" (its installer's records, see
// ToolLogBytes) and most add "decoy" records that name things of another
// application under C:\Shared\: read whole, they would remove them. Every
// decoy is broken (cut short, or past a length that runs off the end), so a
// sound reading drops it and the other application stays untouched.
//
// Tool's records, with paths through %currentdir% (the log's folder):
//   AppInfo   AppPath "%currentdir%", AppName "Tool",
//             MainPath "%currentdir%\tool.exe", GroupName "Tool"
//   files     tool.exe, data\a.dat, and user.cfg kept (KeepFile -1)
//   keys      HKLM Software\Tool\Settings, HKLM Software\Tool
//   links     "Tool" in the program group "Tool"
// The decoys (one record of each kind, in this order of fields):
//   1 AppInfo     "C:\Shared\", "Shared", "C:\Shared\lib.dll", "Shared"
//   2 FileEntry   "lib.dll", "C:\Shared\lib.dll.old", KeepFile 0
//   3 RegKeyEntry HKLM, "Software\SharedData", "x1", "x2"
//   4 LinkEntry   "Shared", "Shared Tool", "C:\Shared\lib.dll"
// Cut four characters before the end of its text, a decoy's path names a
// real thing too: "C:\Shared\lib.dll" for the file, "Software\Shared" for
// the key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "installlog/format.h"

namespace uninstall::broken_logs {

inline constexpr std::int32_t kHkcu = *RootKeyByName("HKEY_CURRENT_USER");
inline constexpr std::int32_t kHklm = *RootKeyByName("HKEY_LOCAL_MACHINE");

// How the log file can be reached when the uninstaller reads it: normally;
// locked, held open by another process without sharing (error 32); or
// unreadable, it exists but opening it is refused (error 5).
enum class Access { kNormal, kLocked, kUnreadable };

// How the uninstall ends:
// - kNoValidInstallFile: the box "Error: the file '<log>' is no valid
//   InstallFile !", then the question with an empty name; Yes removes
//   nothing, and the report says "Application has been removed
//   successfully.".
// - kNothingRead: no box from the reader; the question with an empty name;
//   Yes removes nothing; the success report.
// - kToolRemoved: Tool's records are read and removed; every decoy is
//   dropped and the other application stays whole; the success report.
// - kRefused: the log is refused with the error report: no question,
//   nothing removed.
enum class Outcome { kNoValidInstallFile, kNothingRead, kToolRemoved, kRefused };

struct Case {
  std::string name;   // a C identifier, usable as a test or file name
  std::string bytes;  // the content of Uninstall.dat
  Access access = Access::kNormal;
  Outcome outcome = Outcome::kToolRemoved;
  std::wstring question_name;  // the AppName in the question, when there is one
};

// The valid log of Tool: the header and Tool's records, as its installer
// writes them.
[[nodiscard]] std::string ToolLogBytes();

// The decoy record of `kind` (1 to 4), whole: read, it removes things of
// the other application.
[[nodiscard]] std::string WholeDecoy(std::uint8_t kind);

// Every case, in a fixed order.
[[nodiscard]] std::vector<Case> Cases();

}  // namespace uninstall::broken_logs
