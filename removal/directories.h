// Removal of the directories that held the logged files, deepest first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "installlog/records.h"
#include "paths/folder_guard.h"
#include "platform/env.h"
#include "removal/file_listing.h"
#include "removal/files.h"
#include "removal/progress.h"

namespace uninstall {

struct DirectoryStageContext {
  std::wstring MainPath;   // AppInfo.MainPath: its directory is the main directory
  std::wstring WinDir;     // with a trailing "\"
  std::wstring WinSysDir;  // with a trailing "\"
  // The uninstaller's own files: never deleted as leftovers.
  OwnFiles Own;
};

// The directories the stage visits, in visit order, existing or not: the
// directory (GetDirectory) of each logged file 1..count, but those of kept
// files (KeepFile -1) and of paths that still open with "%", duplicates
// included, completed with the missing folders between a directory and a
// listed ancestor and ordered deepest first (PlanRemovalOrder). A count of 0
// or less gives none.
[[nodiscard]] std::vector<std::wstring> DirectoryVisitOrder(std::int16_t count,
                                                            const std::vector<FileEntry>& entries);

// The plan behind DirectoryVisitOrder, over views of the entries'
// TargetPath strings: valid as long as `entries` is.
[[nodiscard]] std::vector<std::wstring_view> DirectoryVisitPlan(
    std::int16_t count, const std::vector<FileEntry>& entries);

// Removes the directories of the logged files 1..count (but those of kept
// files and of paths that still open with "%"), completed with the missing
// folders between a directory and a listed ancestor, deepest first (the list
// of DirectoryVisitOrder); each one that exists is removed when it is empty
// and `guard` lets it go (FolderGuard::MayRemove). An ordinary directory is
// simply removed, which the file system does only when it is empty; the
// main directory, a junction or symbolic link, and a directory whose
// attributes cannot be read are first read by File1, and removed only when
// File1 finds no file in them. The main directory, the directory of
// ctx.MainPath, is first emptied of the files File1 lists in it, except the
// logged files that are to be kept; this happens only for an ordinary
// directory (no junction or symbolic link) that `guard` lets be emptied:
// the application's own folder or one inside it, never a guarded one, never
// one inside the Windows folder (FolderGuard::MayEmpty), and the files of
// ctx.Own are not deleted there. File1's names are
// read when it is pointed at a directory and are not re-read after the
// deletions, so the main directory stays at a visit where it held
// leftovers. Failures are silent. Each directory of the visit order is a
// step of `progress`.
void RemoveDirectories(Env& env, const DirectoryStageContext& ctx, FolderGuard& guard,
                       std::int16_t count, const std::vector<FileEntry>& entries,
                       FileListing& File1, Progress* progress = nullptr);

}  // namespace uninstall
