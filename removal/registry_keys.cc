#include "removal/registry_keys.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "removal/shared_keys.h"

namespace uninstall {

namespace {
// The predefined roots, HKEY_CLASSES_ROOT (0x80000000) to HKEY_DYN_DATA
// (0x80000006).
constexpr std::uint32_t kFirstPredefinedRoot = 0x80000000u;
constexpr std::uint32_t kLastPredefinedRoot = 0x80000006u;

// A planned key path as it is passed to the deletion: with a trailing "\".
// Written into `out`, so that one buffer serves every key.
void KeyPathForDeletion(std::wstring_view planned, std::wstring& out) {
  out.assign(planned);
  if (out.empty() || out.back() != L'\\') out.push_back(L'\\');
}
}  // namespace

namespace Rmod {

void DeleteRegKey(Env& env, std::int32_t root, const std::wstring& keyPath) {
  const auto value = static_cast<std::uint32_t>(root);
  // A log can carry any number here; anything but a predefined root could
  // be the value of a key handle this process happens to hold open.
  if (value < kFirstPredefinedRoot || value > kLastPredefinedRoot) return;
  // A key that is missing, still has subkeys or may not be deleted stays;
  // nobody is told.
  static_cast<void>(env.DeleteRegKey(root, keyPath));
}

}  // namespace Rmod

std::vector<PlanEntry> RegistryKeyDeletionPlan(std::int16_t count,
                                               const std::vector<RegKeyEntry>& keys) {
  const std::span<const RegKeyEntry> in_use = EntriesInUse(count, keys);
  std::vector<PlanEntry> entries;
  entries.reserve(in_use.size());
  for (const RegKeyEntry& key : in_use) entries.push_back({key.RootKey, key.SubKey});

  // Intermediate keys are added and the keys ordered deepest first, so each
  // key's subkeys have had their turn before it is tried.
  return PlanRemovalOrderOfViews(std::move(entries));
}

std::vector<PlanItem> RegistryKeyDeletionOrder(std::int16_t count,
                                               const std::vector<RegKeyEntry>& keys) {
  std::vector<PlanItem> ordered;
  for (const PlanEntry& entry : RegistryKeyDeletionPlan(count, keys)) {
    PlanItem& item = ordered.emplace_back();
    item.root = entry.root;
    KeyPathForDeletion(entry.path, item.path);
  }
  return ordered;
}

std::vector<KeyAction> RegistryKeyActions(std::int16_t count, const std::vector<RegKeyEntry>& keys,
                                          const std::vector<PlanEntry>& plan) {
  // A key under one root, by its names: the root's value, then the names.
  const auto name_of = [](std::int32_t root, std::wstring_view path) {
    return std::to_wstring(root) + L":" + ComparableKeyPath(path);
  };
  std::unordered_set<std::wstring> listed;
  // Listed keys that may hold added ones: a shared key named by mistake
  // makes nothing below it the application's.
  std::unordered_set<std::wstring> anchors;
  for (const RegKeyEntry& key : EntriesInUse(count, keys)) {
    std::wstring name = name_of(key.RootKey, key.SubKey);
    if (!IsSharedRegistryKey(key.RootKey, key.SubKey)) anchors.insert(name);
    listed.insert(std::move(name));
  }

  std::vector<KeyAction> actions;
  actions.reserve(plan.size());
  for (const PlanEntry& entry : plan) {
    KeyAction action = KeyAction::kKeepAbove;
    const std::wstring name = name_of(entry.root, entry.path);
    if (IsSharedRegistryKey(entry.root, entry.path)) {
      action = KeyAction::kKeepShared;
    } else if (listed.contains(name)) {
      action = KeyAction::kDeleteListed;
    } else {
      // Below a listed key: one of its ancestors, cut at a "\", is listed.
      for (std::size_t at = name.rfind(L'\\'); at != std::wstring::npos && at > 0;
           at = name.rfind(L'\\', at - 1)) {
        if (anchors.contains(name.substr(0, at))) {
          action = KeyAction::kDeleteBetween;
          break;
        }
      }
    }
    if ((action == KeyAction::kDeleteListed || action == KeyAction::kDeleteBetween) &&
        IsUninstallEntryKey(entry.root, entry.path)) {
      action = KeyAction::kDeleteAtEnd;
    }
    actions.push_back(action);
  }
  return actions;
}

namespace {

// Deletes the keys of the deletion order whose action `deletes` accepts, and
// steps `progress` for the keys `counts` accepts.
template <typename Deletes, typename Counts>
void DeleteKeys(Env& env, std::int16_t count, const std::vector<RegKeyEntry>& keys,
                Progress* progress, Deletes deletes, Counts counts) {
  const std::vector<PlanEntry> plan = RegistryKeyDeletionPlan(count, keys);
  const std::vector<KeyAction> actions = RegistryKeyActions(count, keys, plan);
  // One buffer for every key path: the list can hold tens of thousands.
  std::wstring path;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (deletes(actions[i])) {
      KeyPathForDeletion(plan[i].path, path);
      Rmod::DeleteRegKey(env, plan[i].root, path);
    }
    if (counts(actions[i])) StepOf(progress);
  }
}

}  // namespace

void RemoveRegistryKeys(Env& env, std::int16_t count, const std::vector<RegKeyEntry>& keys,
                        Progress* progress) {
  DeleteKeys(
      env, count, keys, progress,
      [](KeyAction a) { return a == KeyAction::kDeleteListed || a == KeyAction::kDeleteBetween; },
      [](KeyAction a) { return a != KeyAction::kDeleteAtEnd; });
}

void RemoveUninstallEntry(Env& env, std::int16_t count, const std::vector<RegKeyEntry>& keys,
                          Progress* progress) {
  const auto at_end = [](KeyAction a) { return a == KeyAction::kDeleteAtEnd; };
  DeleteKeys(env, count, keys, progress, at_end, at_end);
}

}  // namespace uninstall
