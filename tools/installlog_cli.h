// installlog: write, inspect and preview install logs from the command line.
//
//   installlog write MANIFEST.json OUT.dat
//   installlog dump LOG [--json]
//   installlog plan LOG [--windir DIR] [--winsysdir DIR] [--appdir DIR] [--json]
//
// Exit codes: kExitOk; kExitInvalidLog when the log is not valid (no magic,
// a negative string length, more than 32767 records of one kind), with the
// reader's own text on the error stream; kExitUsage for a command line that
// is not understood, a manifest that is not valid, and a file that cannot
// be read or written, with a message on the error stream.
#pragma once

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/manifest.h"
#include "tools/plan_report.h"

namespace uninstall::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitInvalidLog = 1;
inline constexpr int kExitUsage = 2;

// JSON as the tool writes it: indented, UTF-8 (text that is no valid UTF-8
// cannot occur, but would be replaced rather than fail).
[[nodiscard]] std::string JsonText(const Json& json);

// A usage, I/O or setup error: the message on `err`, each of its lines
// after the program's name. Returns kExitUsage.
[[nodiscard]] int Usage(std::ostream& err, const std::string& message);

// The folders `plan` uses where the command line names none, given the log's
// path as named on the command line.
using DefaultFolders = std::function<PlanFolders(const std::filesystem::path& log)>;

// C:\WINDOWS\, C:\WINDOWS\SYSTEM32\ and C:\APP\: the folders `plan` uses
// where it cannot ask the system.
[[nodiscard]] PlanFolders FixedFolders();

// Runs installlog with `args` (args[0] the program's name; UTF-8 on
// Windows, the bytes as given elsewhere), writing results to `out` and
// messages to `err`; returns the exit code. Folders given with --windir,
// --winsysdir and --appdir get a trailing "\" when they lack one.
[[nodiscard]] int RunInstalllog(const std::vector<std::string>& args, std::ostream& out,
                                std::ostream& err, const DefaultFolders& defaults);

}  // namespace uninstall::tools
