#include "removal/registry_keys.h"

#include <algorithm>
#include <bit>
#include <span>
#include <string_view>
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

// A listed key, as the stage compares keys: its root's value, its path as
// the log spells it, and a hash of the root and the path's comparable form
// (ComparableKeyPath), which is never built for it: the listed keys are
// looked up tens of thousands of times, and copies of them all would cost
// more than the lookups.
struct ListedKey {
  std::int32_t root;
  std::wstring_view path;
  std::uint64_t hash;
};

std::uint64_t HashStart(std::int32_t root) {
  return 0xCBF29CE484222325ull ^ static_cast<std::uint32_t>(root);
}
std::uint64_t HashStep(std::uint64_t h, wchar_t c) {
  return (h ^ static_cast<std::uint32_t>(c)) * 0x100000001B3ull;
}
std::uint64_t HashOf(std::int32_t root, std::wstring_view comparable) {
  std::uint64_t h = HashStart(root);
  for (const wchar_t c : comparable) h = HashStep(h, c);
  return h;
}

// Whether ComparableKeyPath(path) is `comparable`.
bool IsComparably(std::wstring_view path, std::wstring_view comparable) {
  std::size_t n = 0;
  bool equal = true;
  ForEachComparableChar(path, [&](wchar_t c) {
    equal = equal && n < comparable.size() && comparable[n] == c;
    ++n;
  });
  return equal && n == comparable.size();
}

// A set of listed keys in one flat table (open addressing, linear probing,
// at most half full), looked up by a comparable path and its hash.
class ListedKeySet {
 public:
  explicit ListedKeySet(std::size_t capacity) : slots_(std::bit_ceil(capacity * 2 + 2), kEmpty) {
    keys_.reserve(capacity);
  }
  // Adds `key`; a key added twice is held twice, which changes no answer.
  void Insert(const ListedKey& key) {
    std::size_t s = Start(key.hash);
    while (slots_[s] != kEmpty) s = Next(s);
    slots_[s] = static_cast<std::uint32_t>(keys_.size());
    keys_.push_back(key);
  }
  [[nodiscard]] bool Contains(std::int32_t root, std::wstring_view comparable,
                              std::uint64_t hash) const {
    for (std::size_t s = Start(hash); slots_[s] != kEmpty; s = Next(s)) {
      const ListedKey& held = keys_[slots_[s]];
      if (held.hash == hash && held.root == root && IsComparably(held.path, comparable)) {
        return true;
      }
    }
    return false;
  }

 private:
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
  [[nodiscard]] std::size_t Start(std::uint64_t hash) const {
    return static_cast<std::size_t>(hash ^ (hash >> 29)) & (slots_.size() - 1);
  }
  [[nodiscard]] std::size_t Next(std::size_t s) const { return (s + 1) & (slots_.size() - 1); }
  std::vector<std::uint32_t> slots_;
  std::vector<ListedKey> keys_;
};

}  // namespace

std::vector<KeyAction> RegistryKeyActions(std::int16_t count, const std::vector<RegKeyEntry>& keys,
                                          const std::vector<PlanEntry>& plan) {
  const std::span<const RegKeyEntry> in_use = EntriesInUse(count, keys);
  ListedKeySet listed(in_use.size());
  // Listed keys that may hold added ones: a shared key named by mistake
  // makes nothing below it the application's.
  ListedKeySet anchors(in_use.size());
  std::wstring names;  // one buffer for every comparable path
  for (const RegKeyEntry& key : in_use) {
    std::uint64_t h = HashStart(key.RootKey);
    ForEachComparableChar(key.SubKey, [&](wchar_t c) { h = HashStep(h, c); });
    const ListedKey listed_key{key.RootKey, key.SubKey, h};
    listed.Insert(listed_key);
    ComparableKeyPath(key.SubKey, names);
    if (!IsSharedComparableKey(key.RootKey, names)) anchors.Insert(listed_key);
  }

  std::vector<KeyAction> actions;
  actions.reserve(plan.size());
  for (const PlanEntry& entry : plan) {
    ComparableKeyPath(entry.path, names);
    KeyAction action = KeyAction::kKeepAbove;
    if (IsSharedComparableKey(entry.root, names)) {
      action = KeyAction::kKeepShared;
    } else if (listed.Contains(entry.root, names, HashOf(entry.root, names))) {
      action = KeyAction::kDeleteListed;
    } else {
      // Below a listed key: one of its ancestors, cut at a "\", is listed.
      // The ancestors are looked up as the hash rolls over the path.
      const std::wstring_view view = names;
      std::uint64_t h = HashStart(entry.root);
      for (std::size_t i = 0; i < view.size() && action == KeyAction::kKeepAbove; ++i) {
        if (view[i] == L'\\' && anchors.Contains(entry.root, view.substr(0, i), h)) {
          action = KeyAction::kDeleteBetween;
        }
        h = HashStep(h, view[i]);
      }
    }
    if ((action == KeyAction::kDeleteListed || action == KeyAction::kDeleteBetween) &&
        IsUninstallEntryComparableKey(entry.root, names)) {
      action = KeyAction::kDeleteAtEnd;
    }
    actions.push_back(action);
  }
  return actions;
}

void RemoveRegistryKeys(Env& env, std::int16_t count, const std::vector<RegKeyEntry>& keys,
                        Progress* progress, std::vector<PlanItem>* held_back) {
  const std::vector<PlanEntry> plan = RegistryKeyDeletionPlan(count, keys);
  const std::vector<KeyAction> actions = RegistryKeyActions(count, keys, plan);
  // One buffer for every key path: the list can hold tens of thousands.
  std::wstring path;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (actions[i] == KeyAction::kDeleteAtEnd) {
      if (held_back != nullptr) {
        PlanItem& held = held_back->emplace_back();
        held.root = plan[i].root;
        KeyPathForDeletion(plan[i].path, held.path);
      }
      continue;
    }
    if (actions[i] == KeyAction::kDeleteListed || actions[i] == KeyAction::kDeleteBetween) {
      KeyPathForDeletion(plan[i].path, path);
      Rmod::DeleteRegKey(env, plan[i].root, path);
    }
    StepOf(progress);
  }
}

void RemoveUninstallEntry(Env& env, const std::vector<PlanItem>& held_back, Progress* progress) {
  for (const PlanItem& key : held_back) {
    Rmod::DeleteRegKey(env, key.root, key.path);
    StepOf(progress);
  }
}

}  // namespace uninstall
