// Removal of the desktop link, the logged links and the program group.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "installlog/records.h"
#include "paths/folder_guard.h"
#include "paths/shell_registration.h"
#include "platform/env.h"
#include "removal/progress.h"

namespace uninstall {

// One call of RemoveShellLink: the folder relative to the Start menu's
// Programs folder, and the link's name.
struct ShellLinkCall {
  std::wstring folderName;
  std::wstring linkName;
  bool operator==(const ShellLinkCall&) const = default;
};

// The RemoveShellLink calls of the stage, in order: the desktop link named
// after the application (AppName, even an empty one), then links 1..count
// with their FolderName and LinkName.
[[nodiscard]] std::vector<ShellLinkCall> ShellLinkCalls(std::int16_t count,
                                                        const std::vector<LinkEntry>& links,
                                                        const AppInfo& appInfo);

// Makes the calls of ShellLinkCalls, results ignored, then removes the
// program group folder GroupName under the Programs folder when it is empty,
// lies inside the Programs folder (by identity) and `guard` lets it go. An
// empty GroupName removes no folder. Each link call and the group are a
// step of `progress`.
void RemoveShortcuts(Env& env, FolderGuard& guard, std::int16_t count,
                     const std::vector<LinkEntry>& links, const AppInfo& appInfo,
                     Progress* progress = nullptr);

}  // namespace uninstall
