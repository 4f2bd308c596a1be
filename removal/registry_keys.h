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

// What the stage does with a key of the deletion order.
enum class KeyAction : std::uint8_t {
  kDeleteListed,   // a key the log lists, in any spelling
  kDeleteBetween,  // added between a listed key and a listed key above it
  kKeepAbove,      // added above the listed keys of its path: not the application's
  kKeepShared,     // a key the system and every application share, listed or not
  kDeleteAtEnd,    // the application's uninstall entry: held back until the run is complete
};

// The keys of the log and the keys the completion adds, in deletion order:
// keys 1..count completed with their missing intermediate keys and ordered
// longest first (PlanRemovalOrder), each key path with a trailing "\" as it
// is passed to the deletion. Duplicates are kept. A count of 0 or less gives
// none.
//
// Not every key of the order is deleted: see RegistryKeyActions.
[[nodiscard]] std::vector<PlanItem> RegistryKeyDeletionOrder(std::int16_t count,
                                                             const std::vector<RegKeyEntry>& keys);

// The plan behind RegistryKeyDeletionOrder, over views of the keys' SubKey
// strings and without the trailing "\": valid as long as `keys` is.
[[nodiscard]] std::vector<PlanEntry> RegistryKeyDeletionPlan(std::int16_t count,
                                                             const std::vector<RegKeyEntry>& keys);

// What the stage does with each key of `plan` (RegistryKeyDeletionPlan of
// the same keys), by position. Keys are compared by their names (aligned on
// "\", letter case ignored) under the same root value:
//   - a shared key (removal/shared_keys.h) is kept, even when listed;
//   - a key equal to a listed key is deleted, and so is one that lies below
//     a listed key (that is not shared): the completion adds it between two
//     listed keys;
//   - any other added key lies above the listed keys of its path and is
//     kept;
//   - a key to be deleted that is an uninstall entry is held back to the
//     end (RemoveUninstallEntry).
[[nodiscard]] std::vector<KeyAction> RegistryKeyActions(std::int16_t count,
                                                        const std::vector<RegKeyEntry>& keys,
                                                        const std::vector<PlanEntry>& plan);

// Deletes each key of the deletion order that RegistryKeyActions marks
// kDeleteListed or kDeleteBetween, in that order; every key but those held
// back to the end is a step of `progress`. The keys held back (kDeleteAtEnd)
// are added to `held_back`, in deletion order and ready for the deletion,
// when it is given. Failures are silent.
void RemoveRegistryKeys(Env& env, std::int16_t count, const std::vector<RegKeyEntry>& keys,
                        Progress* progress = nullptr, std::vector<PlanItem>* held_back = nullptr);

// Deletes the keys RemoveRegistryKeys held back, in their order, a step of
// `progress` each: the application's uninstall entry, which the flow
// removes last, after a run that removed every file, so that a run that
// stops half-way still leaves the user a way to finish it.
void RemoveUninstallEntry(Env& env, const std::vector<PlanItem>& held_back,
                          Progress* progress = nullptr);

}  // namespace uninstall
