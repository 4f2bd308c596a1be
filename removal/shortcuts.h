// Removal of the desktop link, the logged links and the program group.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "installlog/records.h"
#include "platform/env.h"

namespace uninstall {

namespace GFShellRegistration {
// Removes the link "<linkName>.lnk" from `folderName`, a folder relative to
// the current user's Start-menu Programs folder; "..\..\Desktop" names the
// user's desktop. Returns kTrue on success (a link that is already gone
// counts as removed), kFalse otherwise.
std::int16_t RemoveShellLink(Env& env, std::wstring folderName, std::wstring linkName);
}  // namespace GFShellRegistration

void RemoveShortcuts(Env& env, std::int16_t count, const std::vector<LinkEntry>& links,
                     const AppInfo& appInfo);

}  // namespace uninstall
