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

// The values of the six kinds of variable for one expansion, indexed by
// Value. They are worked out once, not at every match: a log of tens of
// thousands of paths would otherwise copy a folder name for each of them.
using Values = std::array<std::wstring, 6>;

Values ValuesOf(const PathFields& fields, const std::wstring& group_name) {
  Values values;
  values[static_cast<std::size_t>(Value::kWinDir)] = fields.WinDir;
  values[static_cast<std::size_t>(Value::kWinSysDir)] = fields.WinSysDir;
  values[static_cast<std::size_t>(Value::kAppDir)] = fields.AppDir;
  values[static_cast<std::size_t>(Value::kRootOfAppDir)] = GetRootDir(fields.AppDir);
  values[static_cast<std::size_t>(Value::kDirOfLogPath)] = GetDirectory(fields.LogPath);
  values[static_cast<std::size_t>(Value::kGroupName)] = group_name;
  return values;
}

void Expand(const Values& values, std::wstring& path) {
  // Every variable opens with "%"; most paths of a large log open with
  // something else and need no further look.
  if (path.empty() || path.front() != L'%') return;
  for (const Variable& variable : kVariables) {
    if (!StartsWithVariable(path, variable.text)) continue;
    // The rest of the path keeps its letter case; the value goes in as is.
    // A value may itself open with "%" and match a later variable. The new
    // path is built at its exact size: a replace in place would double the
    // buffer, and a large log holds tens of thousands of these paths.
    const std::wstring& value = values[static_cast<std::size_t>(variable.value)];
    std::wstring expanded;
    expanded.reserve(value.size() + path.size() - variable.text.size());
    expanded.append(value).append(path, variable.text.size());
    path.swap(expanded);
  }
}

}  // namespace

void ExpandPathVariables(const PathFields& fields, const std::wstring& group_name,
                         std::wstring& path) {
  Expand(ValuesOf(fields, group_name), path);
}

void ExpandAllPaths(const PathFields& fields, std::int16_t fileCount, std::vector<FileEntry>& files,
                    std::int16_t linkCount, std::vector<LinkEntry>& links, AppInfo& appInfo) {
  // GroupName is the value of "%userfolder%" and is itself never expanded;
  // a copy keeps it apart from the fields being rewritten.
  const Values values = ValuesOf(fields, appInfo.GroupName);

  for (FileEntry& file : EntriesInUse(fileCount, files)) {
    Expand(values, file.SourcePath);
    Expand(values, file.TargetPath);
  }
  for (LinkEntry& link : EntriesInUse(linkCount, links)) {
    Expand(values, link.FolderName);
    Expand(values, link.LinkPath);
  }
  Expand(values, appInfo.AppPath);
  Expand(values, appInfo.MainPath);
}

}  // namespace uninstall
