// Removal of the logged registry keys, deepest first.
#pragma once

#include <cstdint>
#include <string>

#include "platform/env.h"
#include "removal/progress.h"
#include "removal/removal_plan.h"

namespace uninstall {

namespace Rmod {
// Deletes one key without subkeys; the result is not examined. Only the
// predefined roots (0x80000000 to 0x80000006) are passed on: any other value
// could name an open handle of this process, so nothing is deleted for it.
void DeleteRegKey(Env& env, std::int32_t root, const std::wstring& keyPath);
}  // namespace Rmod

// Deletes each key of plan.registry marked kDeleteListed or kDeleteBetween,
// in that order; every key but those held back to the end (kDeleteAtEnd) is
// a step of `progress`. Failures are silent.
void RemoveRegistryKeys(Env& env, const RemovalPlan& plan, Progress* progress = nullptr);

// Deletes the keys of plan.registry held back to the end (kDeleteAtEnd), in
// their order, a step of `progress` each: the application's uninstall
// entry, which the flow removes last, after a run that removed every file,
// so that a run that stops half-way still leaves the user a way to finish
// it.
void RemoveUninstallEntry(Env& env, const RemovalPlan& plan, Progress* progress = nullptr);

}  // namespace uninstall
