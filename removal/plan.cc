#include "removal/plan.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <set>
#include <utility>

#include "installlog/records.h"
#include "paths/split.h"

namespace uninstall {
namespace {

using Key = std::pair<std::int32_t, std::wstring>;

std::wstring ParentOf(const std::wstring& path) {
  return GetDirectory(std::wstring_view(path).substr(0, path.empty() ? 0 : path.size() - 1));
}

// An entry needs its parent appended when some strictly shorter prefix of
// its path is present under its root but the parent itself is not.
bool NeedsParent(const std::set<Key>& present, const PlanItem& item) {
  if (item.path.empty() || present.contains({item.root, ParentOf(item.path)})) return false;
  for (std::size_t len = 0; len < item.path.size(); ++len) {
    if (present.contains({item.root, item.path.substr(0, len)})) return true;
  }
  return false;
}

}  // namespace

std::vector<PlanItem> PlanRemovalOrder(std::vector<PlanItem> items) {
  std::set<Key> present;
  for (const PlanItem& item : items) present.insert({item.root, item.path});
  while (items.size() < static_cast<std::size_t>(kMaxEntries)) {
    const auto first = std::find_if(items.begin(), items.end(), [&](const PlanItem& item) {
      return NeedsParent(present, item);
    });
    if (first == items.end()) break;
    PlanItem parent{first->root, ParentOf(first->path)};
    present.insert({parent.root, parent.path});
    items.push_back(std::move(parent));
  }

  std::set<std::size_t, std::greater<>> lengths;
  for (const PlanItem& item : items) lengths.insert(item.path.size());
  std::size_t p = 0;
  const std::size_t last = static_cast<std::size_t>(kMaxEntries) - 1;
  for (const std::size_t m : lengths) {
    if (m == 0) break;
    for (std::size_t i = p; i < items.size() && p < last; ++i) {
      if (items[i].path.size() != m) continue;
      if (i != p) std::swap(items[i], items[p]);
      ++p;
    }
  }
  return items;
}

}  // namespace uninstall
