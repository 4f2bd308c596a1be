// PlanRemovalOrder against the step-by-step procedure, on random lists built
// so that prefixes collide: few short components, "\" on its own, paths with
// and without a trailing "\", empty paths, duplicates and up to three roots.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "installlog/records.h"
#include "removal/order.h"
#include "tests/support/plan_reference.h"

namespace uninstall {
namespace {

// Root values as the registry stage passes them (negative as 32-bit signed
// integers), and 0 as the directory stage passes it.
constexpr std::int32_t kRoots[] = {0, static_cast<std::int32_t>(0x80000001u),
                                   static_cast<std::int32_t>(0x80000002u)};

std::vector<PlanItem> RandomList(std::mt19937& rng) {
  static const wchar_t* const kParts[] = {L"a", L"b", L"ab", L"A", L"\\", L"a\\", L"b\\", L"ba\\"};
  const auto pick = [&rng](auto low, auto high) {
    return std::uniform_int_distribution<decltype(low)>(low, high)(rng);
  };
  const auto grow = [&](std::wstring& path, int depth) {
    for (; depth > 0; --depth) path += kParts[pick(0, static_cast<int>(std::size(kParts)) - 1)];
  };
  const int roots = pick(1, 3);
  const int size = pick(0, 60);
  std::vector<PlanItem> items;
  for (int k = 0; k < size; ++k) {
    if (!items.empty() && pick(0, 99) < 10) {
      items.push_back(items[pick(std::size_t{0}, items.size() - 1)]);
      continue;
    }
    PlanItem item{kRoots[pick(0, roots - 1)], L""};
    if (!items.empty() && pick(0, 99) < 40) {
      // A cut of a listed path, grown again: chains of nested prefixes that
      // are not aligned on "\".
      const PlanItem& base = items[pick(std::size_t{0}, items.size() - 1)];
      item = {base.root, base.path.substr(0, pick(std::size_t{0}, base.path.size()))};
      grow(item.path, pick(0, 7) / 2);
    } else if (pick(0, 99) >= 5) {
      grow(item.path, pick(0, 7));
      if (pick(0, 99) < 60 && (item.path.empty() || item.path.back() != L'\\')) item.path += L'\\';
    }
    items.push_back(std::move(item));
  }
  return items;
}

TEST(PlanDifferentialTest, MatchesStepByStepOnRandomLists) {
  constexpr int kRuns = 4000;
  int with_appends = 0;
  for (int run = 0; run < kRuns; ++run) {
    const unsigned seed = 20240601u + static_cast<unsigned>(run);
    std::mt19937 rng(seed);
    const std::vector<PlanItem> input = RandomList(rng);
    const std::vector<PlanItem> expected = ReferencePlanRemovalOrder(input);
    ASSERT_EQ(PlanRemovalOrder(input), expected) << "seed " << seed;
    if (expected.size() > input.size()) ++with_appends;
  }
  // The generator must keep producing lists that the completion extends.
  EXPECT_GT(with_appends, kRuns / 4);
}

// Lists at the entry limit of a log or just below it. Fillers come first in
// the list (each completes on the first entry it meets, so the step-by-step
// procedure stays affordable) and share one length; the chains that need
// parents appended sit at the end.
std::vector<PlanItem> NearLimit(int fillers, std::int32_t root) {
  std::vector<PlanItem> items{{root, L"r\\"}};
  for (int k = 0; k < fillers; ++k) items.push_back({root, L"r\\" + std::to_wstring(100000 + k)});
  const PlanItem deep{root, L"r\\a\\b\\c\\d\\e\\f\\g\\h\\"};
  items.insert(items.end(), {deep, {0, L"x"}, {0, L""}, deep});
  return items;
}

class PlanNearLimitTest : public ::testing::TestWithParam<int> {};

TEST_P(PlanNearLimitTest, MatchesStepByStep) {
  const std::vector<PlanItem> input = NearLimit(GetParam(), 5);
  const std::vector<PlanItem> expected = ReferencePlanRemovalOrder(input);
  // Every missing parent is added, past the limit of a log's lists too:
  // otherwise those folders or keys would stay behind.
  EXPECT_EQ(expected.size(), input.size() + 7);
  EXPECT_EQ(PlanRemovalOrder(input), expected);
  // Longest first over the whole list, the last entry of a full one too.
  for (std::size_t i = 1; i < expected.size(); ++i) {
    EXPECT_TRUE(expected[i].path.empty() || expected[i - 1].path.size() >= expected[i].path.size())
        << "at " << i;
  }
}

// The deep chain lacks 7 parents: the full list and the ones 1 to 15 short
// of the limit get all of them.
INSTANTIATE_TEST_SUITE_P(Sizes, PlanNearLimitTest,
                         ::testing::Values(kMaxEntries - 5, kMaxEntries - 6, kMaxEntries - 8,
                                           kMaxEntries - 11, kMaxEntries - 12, kMaxEntries - 13,
                                           kMaxEntries - 20));

}  // namespace
}  // namespace uninstall
