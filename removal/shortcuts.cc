#include "removal/shortcuts.h"

#include <string_view>

#include "paths/shell_registration.h"
#include "platform/dir_search.h"

namespace uninstall {
namespace {

constexpr wchar_t kSep = L'\\';

}  // namespace

std::vector<ShellLinkCall> ShellLinkCalls(std::int16_t count, const std::vector<LinkEntry>& links,
                                          const AppInfo& appInfo) {
  const std::span<const LinkEntry> in_use = EntriesInUse(count, links);
  std::vector<ShellLinkCall> calls;
  calls.reserve(in_use.size() + 1);
  // The desktop link first, named after the application (even an unnamed one).
  calls.push_back({std::wstring(kDesktopLinkFolder), appInfo.AppName});
  for (const LinkEntry& link : in_use) calls.push_back({link.FolderName, link.LinkName});
  return calls;
}

void RemoveShortcuts(Env& env, FolderGuard& guard, std::int16_t count,
                     const std::vector<LinkEntry>& links, const AppInfo& appInfo,
                     Progress* progress) {
  // Results are not looked at: a link that stays is no reason to stop.
  for (const ShellLinkCall& call : ShellLinkCalls(count, links, appInfo)) {
    static_cast<void>(GFShellRegistration::RemoveShellLink(env, call.folderName, call.linkName));
    StepOf(progress);
  }
  StepOf(progress);  // the program group

  // Then the program group, now that the links in it are gone. Without a
  // group name the Programs folder itself would be the candidate: never.
  if (appInfo.GroupName.empty()) return;
  const std::wstring programs = GFShellRegistration::GetSpecialFolder(env, csidl::kPrograms);
  if (programs.empty()) return;
  std::wstring group = programs;
  if (group.back() != kSep) group.push_back(kSep);
  group += appInfo.GroupName;

  // A search that fails cannot rule the group out; the removal itself only
  // succeeds on an empty directory. A group name that climbs out of the
  // Programs folder ("..\Startup", "..\..\..\Desktop") or leads to a folder
  // the system or the user owns names no program group: it stays.
  if (DirSearch(env, group, kSearchDirectory) != Probe::kNoMatch && guard.MayRemove(group) &&
      guard.IsInside(group, programs)) {
    static_cast<void>(env.RemoveDir(group));
  }
}

}  // namespace uninstall
