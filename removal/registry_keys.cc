#include "removal/registry_keys.h"

#include <algorithm>
#include <utility>

namespace uninstall {

namespace {
// The predefined roots, HKEY_CLASSES_ROOT (0x80000000) to HKEY_DYN_DATA
// (0x80000006).
constexpr std::uint32_t kFirstPredefinedRoot = 0x80000000u;
constexpr std::uint32_t kLastPredefinedRoot = 0x80000006u;
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

std::vector<PlanItem> RegistryKeyDeletionOrder(std::int16_t count,
                                               const std::vector<RegKeyEntry>& keys) {
  if (count < 1) return {};
  const std::size_t n = std::min(static_cast<std::size_t>(count), keys.size());

  std::vector<PlanItem> items;
  items.reserve(n);
  for (std::size_t i = 0; i < n; ++i) items.push_back({keys[i].RootKey, keys[i].SubKey});

  // Intermediate keys are added and the keys ordered deepest first, so each
  // key's subkeys have had their turn before it is tried.
  std::vector<PlanItem> ordered = PlanRemovalOrder(std::move(items));
  for (PlanItem& item : ordered) {
    if (item.path.empty() || item.path.back() != L'\\') item.path.push_back(L'\\');
  }
  return ordered;
}

void RemoveRegistryKeys(Env& env, std::int16_t count, const std::vector<RegKeyEntry>& keys) {
  for (const PlanItem& item : RegistryKeyDeletionOrder(count, keys)) {
    Rmod::DeleteRegKey(env, item.root, item.path);
  }
}

}  // namespace uninstall
