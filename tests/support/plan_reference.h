// The yardstick for the stages' completion and ordering
// (PlanRemovalOrderOfViews): the same procedure done step by step with no
// shortcut, one appended parent per completion pass, passes restarting at
// the first entry and comparing every entry with every other, then a
// selection by repeated scans for the greatest length mark. Quartic in the
// worst case. The unit tests, the fuzz targets and the benchmarks check and
// measure the program's order against it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "removal/order.h"

namespace uninstall {

// An entry that owns its path, for tables of cases.
struct PlanItem {
  std::int32_t root = 0;  // registry root handle value; 0 for directories
  std::wstring path;
  bool operator==(const PlanItem&) const = default;
};

[[nodiscard]] std::vector<PlanItem> ReferencePlanRemovalOrder(std::vector<PlanItem> items);

// PlanRemovalOrderOfViews over owned entries, its result copied out.
[[nodiscard]] std::vector<PlanItem> PlanRemovalOrder(const std::vector<PlanItem>& items);

// Shows an entry as root:"path" in test failure messages.
void PrintTo(const PlanItem& item, std::ostream* os);

}  // namespace uninstall
