// The planning of the registry and directory stages, done step by step with
// no shortcut: one appended parent per completion pass, passes restarting at
// the first entry and comparing every entry with every other, then a
// selection by repeated scans for the greatest length mark. Quartic in the
// worst case; meant only as the yardstick that PlanRemovalOrder is checked
// and measured against. It is no part of the program: the unit tests, the
// fuzz targets and the benchmarks link it (library plan_reference).
#pragma once

#include <ostream>
#include <vector>

#include "removal/plan.h"

namespace uninstall {

[[nodiscard]] std::vector<PlanItem> ReferencePlanRemovalOrder(std::vector<PlanItem> items);

// Shows an entry as root:"path" in test failure messages.
void PrintTo(const PlanItem& item, std::ostream* os);

}  // namespace uninstall
