// Removal of the desktop link, the logged links and the program group.
#pragma once

#include "paths/folder_guard.h"
#include "paths/shell_registration.h"
#include "platform/env.h"
#include "removal/progress.h"
#include "removal/removal_plan.h"

namespace uninstall {

// Makes the calls of plan.links, results ignored, then removes the program
// group folder plan.group under the Programs folder when it is empty, lies
// inside the Programs folder (by identity) and `guard` lets it go. An empty
// group name removes no folder. Each link call and the group are a step of
// `progress`.
void RemoveShortcuts(Env& env, FolderGuard& guard, const RemovalPlan& plan,
                     Progress* progress = nullptr);

}  // namespace uninstall
