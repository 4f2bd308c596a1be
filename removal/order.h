// The order of the registry and directory stages: complete a list of paths
// with the missing intermediate parents, then order it longest path first,
// so that every key or directory comes after everything below it.
//
// Completion: an entry A is an ancestor of J when it has J's root and its
// path is strictly shorter than J's and equals the first characters of J's
// path (exact, case-sensitive, not aligned on "\"). The parent of J is
// GetDirectory of J's path without its last character. While some entry has
// an ancestor but its parent is not in the list, the parent of the first such
// entry (in list order) is appended. The list may grow past the kMaxEntries
// that a log's counts can hold: a full list of files in folders two levels
// below their common folder needs those folders too, or they would stay
// behind after a complete uninstall.
//
// Ordering: repeatedly take the greatest path length left (above 0) and move
// the entries of that length, in list order, to the front of the unplaced
// part by exchange with the entry standing there (so equal lengths are not
// kept in a stable order); empty paths stay behind all others, in the order
// the exchanges left them. Duplicates are kept.
//
// The result is exactly what the step-by-step procedure (one appended parent
// per pass, passes restarting at the first entry; a selection by repeated
// maximum scans) produces, at O(n log n) cost instead of cubic.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace uninstall {

// The completed and ordered list, over views. Every parent the completion
// adds is a prefix of a path in the list, so the result views only the
// characters the given views do, and no path is copied: tens of thousands
// of entries are planned this way without an allocation per entry. The
// result is valid as long as the viewed strings are.
struct PlanEntry {
  std::int32_t root = 0;
  std::wstring_view path;
};
[[nodiscard]] std::vector<PlanEntry> PlanRemovalOrderOfViews(std::vector<PlanEntry> entries);

}  // namespace uninstall
