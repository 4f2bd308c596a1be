// Removal of the directories that held the logged files, deepest first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "installlog/records.h"
#include "platform/env.h"
#include "removal/file_listing.h"

namespace uninstall {

struct DirectoryStageContext {
  std::wstring MainPath;   // AppInfo.MainPath: its directory is the main directory
  std::wstring WinDir;     // with a trailing "\"
  std::wstring WinSysDir;  // with a trailing "\"
  // Folders the system or the user owns (Program Files, the profile, Desktop,
  // Documents, ...): never emptied, never removed. Roots are always guarded.
  std::vector<std::wstring> ProtectedDirs;
};

// The folders that are guarded on this machine: Windows and System plus the
// shell folders the system and the user own, as far as they resolve.
[[nodiscard]] std::vector<std::wstring> QueryProtectedDirs(Env& env, const std::wstring& WinDir,
                                                           const std::wstring& WinSysDir);

void RemoveDirectories(Env& env, const DirectoryStageContext& ctx, std::int16_t count,
                       const std::vector<FileEntry>& entries, FileListing& File1);

}  // namespace uninstall
