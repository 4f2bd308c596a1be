// installlog capture and verify: an installer run in a scratch Wine prefix,
// and the prefix compared before and after.
//
//   installlog capture --name NAME --main FILE [--group G] [--app-dir DIR]
//       [--arch win32|win64] [--work DIR] -- INSTALLER [ARGS...]
//   installlog verify [--app-dir DIR] [--arch win32|win64] [--answer EXE]
//       [--work DIR] -- INSTALLER [ARGS...]
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace uninstall::tools {

struct WineArguments {
  std::string arch = "win64";
  std::string work;  // "" for a scratch folder, removed afterwards
  std::string app_dir;
  std::vector<std::string> command;
  // capture
  std::string name;
  std::string main;
  std::string group;
  // verify
  std::string answer;
};

// Writes the manifest of what the installer made to `out`, and what the log
// cannot undo to `err`. Exit status: 0, or 1 when something cannot be
// undone (the manifest is written all the same), 2 for a usage or setup
// error.
[[nodiscard]] int CaptureCommand(const WineArguments& args, std::ostream& out, std::ostream& err);

// Installs, uninstalls with the installed Uninstall.exe (its questions
// answered Yes, then OK), restarts the prefix and compares it with the
// prefix before the install; the leftovers and the collateral to `out`.
// Exit status: 0 clean, 1 leftovers or collateral, 2 usage or setup error.
[[nodiscard]] int VerifyCommand(const WineArguments& args, std::ostream& out, std::ostream& err);

// What capture and verify do, for --help.
extern const char* const kWineCommandsHelp;

}  // namespace uninstall::tools
