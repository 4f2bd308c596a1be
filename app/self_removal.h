// The uninstaller's own files after a complete uninstall: its log, its
// executable and the application's folder that held them.
//
// A running program cannot delete its own executable, but Windows lets it
// rename it on the same volume. So after a run that removed every file:
//  1. the current directory moves to the folder for temporary files (a
//     folder that is some process's current directory cannot be removed);
//  2. the log is deleted; if it stays, so does everything else, and a later
//     start can still finish the job;
//  3. the executable is renamed into a new temporary file (GetTempFileName)
//     and that file is set to be deleted at the next restart; where the
//     rename cannot be made (the temporary folder on another volume), the
//     executable and the application's folder are set to be deleted at the
//     next restart where they are;
//  4. the application's folder is removed if that left it empty and the
//     guard lets it go, and then each folder above it that the directory
//     stage visited, nearest first, as long as each is empty.
// No second process, no window and no command line are involved; what is
// left until the next restart is the renamed executable in the temporary
// folder. Nothing here reaches the user: a step that fails leaves its file.
#pragma once

#include <string>
#include <vector>

#include "paths/folder_guard.h"
#include "platform/env.h"

namespace uninstall {

struct OwnFilePaths {
  std::wstring executable;  // the running executable
  std::wstring log;         // the log it read
  std::wstring app_dir;     // the folder of both, with a trailing "\"
  // The current directory when no temporary folder can be made.
  std::wstring fallback_dir;
  // The folders the directory stage visited: those above app_dir among
  // them go when empty.
  std::vector<std::wstring> visited_dirs;
};

void RemoveOwnFiles(Env& env, FolderGuard& guard, const OwnFilePaths& own);

}  // namespace uninstall
