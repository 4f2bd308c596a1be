#include "tests/support/plan_reference.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "paths/split.h"

namespace uninstall {
namespace {

// I is an ancestor of J: another position, the same root, a strictly shorter
// path that equals the first characters of J's path.
bool IsAncestor(const std::vector<PlanItem>& list, std::size_t i, std::size_t j) {
  const std::wstring& a = list[i].path;
  return i != j && list[i].root == list[j].root && a.size() < list[j].path.size() &&
         list[j].path.compare(0, a.size(), a) == 0;
}

// The parent of the first entry that has ancestors but not its parent among
// them, if there is one.
std::optional<PlanItem> MissingParent(const std::vector<PlanItem>& list) {
  for (std::size_t j = 0; j < list.size(); ++j) {
    const std::wstring& path = list[j].path;
    const std::wstring parent =
        GetDirectory(std::wstring_view{path}.substr(0, path.empty() ? 0 : path.size() - 1));
    bool any_ancestor = false;
    bool complete = false;
    for (std::size_t i = 0; i < list.size() && !complete; ++i) {
      if (!IsAncestor(list, i, j)) continue;
      any_ancestor = true;
      complete = list[i].path == parent;
    }
    if (any_ancestor && !complete) return PlanItem{list[j].root, parent};
  }
  return std::nullopt;
}

// Repeated selection of the greatest mark: each scan moves the entries of
// that length, in turn, to the next place and clears their marks.
void Order(std::vector<PlanItem>& list, std::vector<std::int32_t>& marks) {
  for (std::size_t p = 0;;) {
    std::int32_t m = 0;
    for (const std::int32_t mark : marks) m = mark > m ? mark : m;
    if (m == 0) return;
    for (std::size_t i = p; i < list.size(); ++i) {
      if (list[i].path.size() != static_cast<std::size_t>(m)) continue;
      if (i != p) {
        std::swap(list[i], list[p]);
        std::swap(marks[i], marks[p]);
      }
      marks[p] = 0;
      i = p++;  // the scan goes on from the next place
    }
  }
}

}  // namespace

void PrintTo(const PlanItem& item, std::ostream* os) {
  *os << item.root << ":\"";
  for (const wchar_t c : item.path) {
    if (c >= 0x20 && c < 0x7F) *os << static_cast<char>(c);
    if (c < 0x20 || c >= 0x7F)
      *os << "\\x" << std::hex << static_cast<std::uint32_t>(c) << std::dec;
  }
  *os << '"';
}

std::vector<PlanItem> ReferencePlanRemovalOrder(std::vector<PlanItem> items) {
  std::vector<std::int32_t> marks;
  marks.reserve(items.size());
  for (const PlanItem& item : items) marks.push_back(static_cast<std::int32_t>(item.path.size()));
  // One appended parent per pass, each pass from the first entry again.
  while (const std::optional<PlanItem> parent = MissingParent(items)) {
    marks.push_back(static_cast<std::int32_t>(parent->path.size()));
    items.push_back(*parent);
  }
  Order(items, marks);
  return items;
}

std::vector<PlanItem> PlanRemovalOrder(const std::vector<PlanItem>& items) {
  std::vector<PlanEntry> entries;
  entries.reserve(items.size());
  for (const PlanItem& item : items) entries.push_back({item.root, item.path});
  const std::vector<PlanEntry> planned = PlanRemovalOrderOfViews(std::move(entries));
  std::vector<PlanItem> result;
  result.reserve(planned.size());
  for (const PlanEntry& entry : planned) result.push_back({entry.root, std::wstring(entry.path)});
  return result;
}

}  // namespace uninstall
