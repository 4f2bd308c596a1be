// Removal of the logged registry keys, deepest first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "installlog/records.h"
#include "platform/env.h"
#include "removal/plan.h"
#include "removal/progress.h"

namespace uninstall {

namespace Rmod {
// Deletes one key without subkeys; the result is not examined. Only the
// predefined roots (0x80000000 to 0x80000006) are passed on: any other value
// could name an open handle of this process, so nothing is deleted for it.
void DeleteRegKey(Env& env, std::int32_t root, const std::wstring& keyPath);
}  // namespace Rmod

// The keys the stage deletes, in deletion order: keys 1..count completed with
// their missing intermediate keys and ordered longest first (PlanRemovalOrder),
// each key path with a trailing "\" as it is passed to the deletion.
// Duplicates are kept. A count of 0 or less gives none.
[[nodiscard]] std::vector<PlanItem> RegistryKeyDeletionOrder(std::int16_t count,
                                                             const std::vector<RegKeyEntry>& keys);

// The plan behind RegistryKeyDeletionOrder, over views of the keys' SubKey
// strings and without the trailing "\": valid as long as `keys` is.
[[nodiscard]] std::vector<PlanEntry> RegistryKeyDeletionPlan(std::int16_t count,
                                                             const std::vector<RegKeyEntry>& keys);

// Deletes each key of RegistryKeyDeletionOrder, in that order, a step of
// `progress` each. Failures are silent.
void RemoveRegistryKeys(Env& env, std::int16_t count, const std::vector<RegKeyEntry>& keys,
                        Progress* progress = nullptr);

}  // namespace uninstall
