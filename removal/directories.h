// Removal of the directories that held the logged files, deepest first.
#pragma once

#include <string>

#include "paths/folder_guard.h"
#include "platform/env.h"
#include "removal/file_listing.h"
#include "removal/files.h"
#include "removal/progress.h"
#include "removal/removal_plan.h"

namespace uninstall {

struct DirectoryStageContext {
  std::wstring WinDir;     // with a trailing "\"
  std::wstring WinSysDir;  // with a trailing "\"
  // The uninstaller's own files: never deleted as leftovers.
  OwnFiles Own;
};

// Visits the directories of plan.directories in order; each one that
// exists is removed when it is empty and `guard` lets it go
// (FolderGuard::MayRemove). An ordinary directory is simply removed, which
// the file system does only when it is empty; the main directory, a
// junction or symbolic link, and a directory whose attributes cannot be
// read are first read by File1, and removed only when File1 finds no file
// in them. The main directory is first emptied of the files File1 lists in
// it, but plan.keptFiles; this happens only for an ordinary directory (no
// junction or symbolic link) that `guard` lets be emptied: the
// application's own folder or one inside it, never a guarded one, never one
// inside the Windows folder (FolderGuard::MayEmpty), and the files of
// ctx.Own are not deleted there. File1's names are read when it is pointed
// at a directory and are not re-read after the deletions, so the main
// directory stays at a visit where it held leftovers. Failures are silent.
// Each visit is a step of `progress`.
void RemoveDirectories(Env& env, const DirectoryStageContext& ctx, FolderGuard& guard,
                       const RemovalPlan& plan, FileListing& File1, Progress* progress = nullptr);

}  // namespace uninstall
