#include "removal/registry_keys.h"

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

void RemoveRegistryKeys(Env& env, const RemovalPlan& plan, Progress* progress) {
  // One buffer for every key path: the list can hold tens of thousands.
  std::wstring path;
  for (const KeyStep& key : plan.registry) {
    // The uninstall entry is no step of this stage: RemoveUninstallEntry.
    if (key.action == KeyAction::kDeleteAtEnd) continue;
    if (key.action == KeyAction::kDeleteListed || key.action == KeyAction::kDeleteBetween) {
      KeyPathForDeletion(key.path, path);
      Rmod::DeleteRegKey(env, key.root, path);
    }
    StepOf(progress);
  }
}

void RemoveUninstallEntry(Env& env, const RemovalPlan& plan, Progress* progress) {
  std::wstring path;
  for (const KeyStep& key : plan.registry) {
    if (key.action != KeyAction::kDeleteAtEnd) continue;
    KeyPathForDeletion(key.path, path);
    Rmod::DeleteRegKey(env, key.root, path);
    StepOf(progress);
  }
}

}  // namespace uninstall
