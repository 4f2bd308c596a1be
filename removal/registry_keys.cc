#include "removal/registry_keys.h"

#include <algorithm>
#include <span>
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

namespace {

// A key under one root, by its names, as the stage compares keys: the
// root's value and the key's comparable path, with a hash of both that is
// rolled on name by name, so that every ancestor of a key is looked up at
// the cost of one pass over its path.
struct KeyName {
  std::int32_t root;
  std::wstring_view names;
  std::uint64_t hash;
  bool operator==(const KeyName& other) const { return root == other.root && names == other.names; }
};
struct KeyNameHash {
  std::size_t operator()(const KeyName& key) const { return static_cast<std::size_t>(key.hash); }
};

constexpr std::uint64_t kHashStart = 0xCBF29CE484222325ull;
std::uint64_t HashStep(std::uint64_t h, wchar_t c) {
  return (h ^ static_cast<std::uint32_t>(c)) * 0x100000001B3ull;
}
std::uint64_t HashOf(std::int32_t root, std::wstring_view names) {
  std::uint64_t h = kHashStart ^ static_cast<std::uint32_t>(root);
  for (const wchar_t c : names) h = HashStep(h, c);
  return h;
}

}  // namespace

std::vector<KeyAction> RegistryKeyActions(std::int16_t count, const std::vector<RegKeyEntry>& keys,
                                          const std::vector<PlanEntry>& plan) {
  const std::span<const RegKeyEntry> in_use = EntriesInUse(count, keys);
  std::vector<std::wstring> listed_names;
  listed_names.reserve(in_use.size());
  for (const RegKeyEntry& key : in_use) listed_names.push_back(ComparableKeyPath(key.SubKey));
  std::unordered_set<KeyName, KeyNameHash> listed;
  // Listed keys that may hold added ones: a shared key named by mistake
  // makes nothing below it the application's.
  std::unordered_set<KeyName, KeyNameHash> anchors;
  for (std::size_t i = 0; i < in_use.size(); ++i) {
    const std::int32_t root = in_use[i].RootKey;
    const KeyName name{root, listed_names[i], HashOf(root, listed_names[i])};
    listed.insert(name);
    if (!IsSharedComparableKey(root, name.names)) anchors.insert(name);
  }

  std::vector<KeyAction> actions;
  actions.reserve(plan.size());
  std::wstring names;
  for (const PlanEntry& entry : plan) {
    names = ComparableKeyPath(entry.path);
    // Whether a listed key lies above this one: its ancestors, cut at each
    // "\", looked up as the hash rolls over the path.
    bool below_listed = false;
    std::uint64_t h = kHashStart ^ static_cast<std::uint32_t>(entry.root);
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (names[i] == L'\\' && !below_listed) {
        below_listed = anchors.contains({entry.root, std::wstring_view(names).substr(0, i), h});
      }
      h = HashStep(h, names[i]);
    }

    KeyAction action = KeyAction::kKeepAbove;
    if (IsSharedComparableKey(entry.root, names)) {
      action = KeyAction::kKeepShared;
    } else if (listed.contains({entry.root, names, h})) {
      action = KeyAction::kDeleteListed;
    } else if (below_listed) {
      action = KeyAction::kDeleteBetween;
    }
    if ((action == KeyAction::kDeleteListed || action == KeyAction::kDeleteBetween) &&
        IsUninstallEntryComparableKey(entry.root, names)) {
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
