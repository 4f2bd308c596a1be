#include "removal/shortcuts.h"

#include <string_view>

#include "paths/shell_registration.h"
#include "platform/dir_search.h"

namespace uninstall {
namespace {

constexpr wchar_t kSep = L'\\';

}  // namespace

void RemoveShortcuts(Env& env, FolderGuard& guard, const RemovalPlan& plan, Progress* progress) {
  // The Programs folder and the desktop are asked for once, not per link.
  GFShellRegistration::LinkFolders folders(env);
  // Results are not looked at: a link that stays is no reason to stop.
  for (const ShellLinkCall& call : plan.links) {
    static_cast<void>(
        GFShellRegistration::RemoveShellLink(env, folders, call.folderName, call.linkName));
    StepOf(progress);
  }
  StepOf(progress);  // the program group

  // Then the program group, now that the links in it are gone. Without a
  // group name the Programs folder itself would be the candidate: never.
  if (plan.group.empty()) return;
  const std::wstring& programs = folders.Programs();
  if (programs.empty()) return;
  std::wstring group = programs;
  if (group.back() != kSep) group.push_back(kSep);
  group += plan.group;

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
