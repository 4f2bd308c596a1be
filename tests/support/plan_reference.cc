#include "tests/support/plan_reference.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "paths/split.h"

namespace uninstall {
namespace {

// I is an ancestor of J: another position, the same root, a strictly shorter
// path that equals the first characters of J's path.
bool IsAncestor(const std::vector<PlanItem>& list, std::size_t i, std::size_t j) {
  if (i == j || list[i].root != list[j].root) return false;
  const std::wstring& a = list[i].path;
  const std::wstring& b = list[j].path;
  return a.size() < b.size() && b.compare(0, a.size(), a) == 0;
}

std::wstring ParentOf(const std::wstring& path) {
  return GetDirectory(std::wstring_view{path}.substr(0, path.empty() ? 0 : path.size() - 1));
}

// Runs passes until one reaches the end of the list without appending.
void Complete(std::vector<PlanItem>& list, std::vector<std::int32_t>& marks) {
  bool appended = true;
  while (appended) {
    appended = false;
    const std::size_t n = list.size();
    for (std::size_t j = 0; j < n && !appended; ++j) {
      const std::wstring parent = ParentOf(list[j].path);
      bool any_ancestor = false;
      bool complete = false;
      for (std::size_t i = 0; i < n; ++i) {
        if (!IsAncestor(list, i, j)) continue;
        any_ancestor = true;
        if (list[i].path == parent) {
          complete = true;
          break;
        }
      }
      if (complete || !any_ancestor) continue;
      marks.push_back(static_cast<std::int32_t>(parent.size()));
      list.push_back({list[j].root, parent});
      appended = true;
    }
  }
}

// Repeated selection of the greatest mark.
void Order(std::vector<PlanItem>& list, std::vector<std::int32_t>& marks) {
  const std::size_t n = list.size();
  std::size_t p = 0;
  for (;;) {
    std::int32_t m = 0;
    for (const std::int32_t mark : marks) {
      if (mark > m) m = mark;
    }
    if (m == 0) return;
    std::size_t i = p;
    while (i < n) {
      if (list[i].path.size() != static_cast<std::size_t>(m)) {
        ++i;
        continue;
      }
      if (i != p) {
        std::swap(list[i], list[p]);
        std::swap(marks[i], marks[p]);
      }
      marks[p] = 0;
      ++p;
      i = p;
    }
  }
}

}  // namespace

void PrintTo(const PlanItem& item, std::ostream* os) {
  *os << item.root << ":\"";
  for (const wchar_t c : item.path) {
    if (c >= 0x20 && c < 0x7F) {
      *os << static_cast<char>(c);
    } else {
      *os << "\\x" << std::hex << static_cast<std::uint32_t>(c) << std::dec;
    }
  }
  *os << '"';
}

std::vector<PlanItem> ReferencePlanRemovalOrder(std::vector<PlanItem> items) {
  std::vector<std::int32_t> marks;
  marks.reserve(items.size());
  for (const PlanItem& item : items) marks.push_back(static_cast<std::int32_t>(item.path.size()));
  Complete(items, marks);
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
