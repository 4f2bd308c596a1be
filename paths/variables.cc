#include "paths/variables.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "paths/split.h"

namespace uninstall {
namespace {

// What a variable stands for.
enum class Value {
  kWinDir,
  kWinSysDir,
  kAppDir,
  kRootOfAppDir,
  kDirOfLogPath,
  kGroupName,
};

struct Variable {
  std::wstring_view text;  // lower case; its length is the number of characters compared
  Value value;
};

// Tested once each, in this order. The forms with a trailing "\" come first,
// so that "%windir%\x" and "%windir%x" both give exactly one "\" at the seam.
constexpr std::array<Variable, 11> kVariables = {{
    {L"%windir%\\", Value::kWinDir},
    {L"%winsysdir%\\", Value::kWinSysDir},
    {L"%currentdir%\\", Value::kAppDir},
    {L"%rootdir%\\", Value::kRootOfAppDir},
    {L"%userdir%\\", Value::kDirOfLogPath},
    {L"%windir%", Value::kWinDir},
    {L"%winsysdir%", Value::kWinSysDir},
    {L"%currentdir%", Value::kAppDir},
    {L"%rootdir%", Value::kRootOfAppDir},
    {L"%userdir%", Value::kDirOfLogPath},
    {L"%userfolder%", Value::kGroupName},
}};

constexpr wchar_t AsciiLower(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Whether `path` begins with `variable`, letters of the path in any case.
bool StartsWithVariable(const std::wstring& path, std::wstring_view variable) {
  if (path.size() < variable.size()) return false;
  for (std::size_t i = 0; i < variable.size(); ++i) {
    if (AsciiLower(path[i]) != variable[i]) return false;
  }
  return true;
}

// The value of a variable, computed afresh at every match.
std::wstring ValueOf(Value value, const PathFields& fields, const std::wstring& group_name) {
  switch (value) {
    case Value::kWinDir:
      return fields.WinDir;
    case Value::kWinSysDir:
      return fields.WinSysDir;
    case Value::kAppDir:
      return fields.AppDir;
    case Value::kRootOfAppDir:
      return GetRootDir(fields.AppDir);
    case Value::kDirOfLogPath:
      return GetDirectory(fields.LogPath);
    case Value::kGroupName:
      return group_name;
  }
  return std::wstring();
}

// How many entries of a list of `size` a count of `count` names: none for a
// count of 0 or less, and never more than the list holds.
std::size_t EntriesInUse(std::int16_t count, std::size_t size) {
  if (count <= 0) return 0;
  return std::min(static_cast<std::size_t>(count), size);
}

}  // namespace

void ExpandPathVariables(const PathFields& fields, const std::wstring& group_name,
                         std::wstring& path) {
  for (const Variable& variable : kVariables) {
    if (!StartsWithVariable(path, variable.text)) continue;
    // The rest of the path keeps its letter case; the value goes in as is.
    path.replace(0, variable.text.size(), ValueOf(variable.value, fields, group_name));
  }
}

void ExpandAllPaths(const PathFields& fields, std::int16_t fileCount, std::vector<FileEntry>& files,
                    std::int16_t linkCount, std::vector<LinkEntry>& links, AppInfo& appInfo) {
  // GroupName is the value of "%userfolder%" and is itself never expanded;
  // a copy keeps it apart from the fields being rewritten.
  const std::wstring group_name = appInfo.GroupName;

  const std::size_t file_total = EntriesInUse(fileCount, files.size());
  for (std::size_t i = 0; i < file_total; ++i) {
    ExpandPathVariables(fields, group_name, files[i].SourcePath);
    ExpandPathVariables(fields, group_name, files[i].TargetPath);
  }
  const std::size_t link_total = EntriesInUse(linkCount, links.size());
  for (std::size_t i = 0; i < link_total; ++i) {
    ExpandPathVariables(fields, group_name, links[i].FolderName);
    ExpandPathVariables(fields, group_name, links[i].LinkPath);
  }
  ExpandPathVariables(fields, group_name, appInfo.AppPath);
  ExpandPathVariables(fields, group_name, appInfo.MainPath);
}

}  // namespace uninstall
