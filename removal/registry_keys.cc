#include "removal/registry_keys.h"

#include <algorithm>
#include <string_view>
#include <utility>

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

void RemoveRegistryKeys(Env& env, std::int16_t count, const std::vector<RegKeyEntry>& keys,
                        Progress* progress) {
  // One buffer for every key path: the list can hold tens of thousands.
  std::wstring path;
  for (const PlanEntry& entry : RegistryKeyDeletionPlan(count, keys)) {
    KeyPathForDeletion(entry.path, path);
    Rmod::DeleteRegKey(env, entry.root, path);
    StepOf(progress);
  }
}

}  // namespace uninstall
