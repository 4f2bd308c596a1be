// Path variables: "%windir%", "%currentdir%" and the others at the start of a
// logged path stand for folders known only on the machine of the uninstall.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "installlog/records.h"

namespace uninstall {

// The folders the variables stand for; each directory ends in "\".
struct PathFields {
  std::wstring WinDir;
  std::wstring WinSysDir;
  std::wstring AppDir;
  std::wstring LogPath;  // AppDir + "Uninstall.dat"
};

// Rewrites `path` in place: each of the eleven variables, tested once and in
// order, is replaced by its value when the path begins with it (letters in
// any case). `group_name` is the value of "%userfolder%".
void ExpandPathVariables(const PathFields& fields, const std::wstring& group_name,
                         std::wstring& path);

// Expands every path field of the log in place: SourcePath and TargetPath of
// files 1..fileCount, FolderName and LinkPath of links 1..linkCount, then
// AppPath and MainPath. "%userfolder%" takes appInfo.GroupName. A count of 0
// or less visits no entry; a count larger than its list stops at the list's end.
void ExpandAllPaths(const PathFields& fields, std::int16_t fileCount, std::vector<FileEntry>& files,
                    std::int16_t linkCount, std::vector<LinkEntry>& links, AppInfo& appInfo);

}  // namespace uninstall
