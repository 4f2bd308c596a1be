#include "removal/order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/plan_reference.h"

namespace uninstall {
namespace {

constexpr std::int32_t kHkcu = static_cast<std::int32_t>(0x80000001u);
constexpr std::int32_t kHklm = static_cast<std::int32_t>(0x80000002u);

struct PlanCase {
  const char* name;
  std::vector<PlanItem> input;
  std::vector<PlanItem> expected;
};

void PrintTo(const PlanCase& c, std::ostream* os) { *os << c.name; }

class PlanRemovalOrderTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(PlanRemovalOrderTest, CompletesAndOrdersLongestFirst) {
  EXPECT_EQ(PlanRemovalOrder(GetParam().input), GetParam().expected);
}

// The yardstick of the randomized comparison must itself give these results.
TEST_P(PlanRemovalOrderTest, StepByStepReferenceAgrees) {
  EXPECT_EQ(ReferencePlanRemovalOrder(GetParam().input), GetParam().expected);
}

// Registry keys: root values as the registry hands them out.
INSTANTIATE_TEST_SUITE_P(
    RegistryKeys, PlanRemovalOrderTest,
    ::testing::Values(
        PlanCase{"Empty", {}, {}},
        PlanCase{"AddsTheOneMissingKeyBetween",
                 {{kHklm, L"Software\\X\\App\\"}, {kHklm, L"Software\\X\\App\\Sub\\Deep\\"}},
                 {{kHklm, L"Software\\X\\App\\Sub\\Deep\\"},
                  {kHklm, L"Software\\X\\App\\Sub\\"},
                  {kHklm, L"Software\\X\\App\\"}}},
        PlanCase{"RootsNeverRelate",
                 {{kHklm, L"Software\\X\\App\\"}, {kHkcu, L"Software\\X\\App\\Sub\\Deep\\"}},
                 {{kHkcu, L"Software\\X\\App\\Sub\\Deep\\"}, {kHklm, L"Software\\X\\App\\"}}},
        // The listed key without "\" is an ancestor of the added one but not
        // its parent, so the completion climbs once more.
        PlanCase{"KeysWithoutTrailingBackslash",
                 {{kHklm, L"Software\\X\\App"}, {kHklm, L"Software\\X\\App\\Sub"}},
                 {{kHklm, L"Software\\X\\App\\Sub"},
                  {kHklm, L"Software\\X\\App\\"},
                  {kHklm, L"Software\\X\\App"},
                  {kHklm, L"Software\\X\\"}}},
        PlanCase{"AncestorTestIgnoresKeyNameBounds",
                 {{kHklm, L"Software\\App"}, {kHklm, L"Software\\AppX\\Y"}},
                 {{kHklm, L"Software\\AppX\\Y"},
                  {kHklm, L"Software\\AppX\\"},
                  {kHklm, L"Software\\App"},
                  {kHklm, L"Software\\"}}},
        PlanCase{"EmptyPathIsAncestorOfItsRootOnly",
                 {{kHklm, L""}, {kHkcu, L"Other\\Key\\"}, {kHklm, L"Software\\X\\App\\"}},
                 {{kHklm, L"Software\\X\\App\\"},
                  {kHklm, L"Software\\X\\"},
                  {kHkcu, L"Other\\Key\\"},
                  {kHklm, L"Software\\"},
                  {kHklm, L""}}},
        PlanCase{
            "DuplicatesStayAndNeedOneParent",
            {{kHklm, L"X\\"}, {kHklm, L"X\\a\\b\\"}, {kHklm, L"X\\a\\b\\"}},
            {{kHklm, L"X\\a\\b\\"}, {kHklm, L"X\\a\\b\\"}, {kHklm, L"X\\a\\"}, {kHklm, L"X\\"}}},
        PlanCase{
            "EqualLengthsAreNotStable",
            {{kHklm, L"A\\"}, {kHklm, L"BB\\"}, {kHklm, L"C\\"}, {kHklm, L"DD\\"}, {kHklm, L"E\\"}},
            {{kHklm, L"BB\\"},
             {kHklm, L"DD\\"},
             {kHklm, L"C\\"},
             {kHklm, L"A\\"},
             {kHklm, L"E\\"}}},
        // Parents are appended one per pass for the first entry lacking one:
        // both deep keys get theirs before either climbs further.
        PlanCase{"AppendsForTheFirstIncompleteEntryFirst",
                 {{kHklm, L"R\\b\\x\\y\\"}, {kHklm, L"R\\a\\x\\y\\"}, {kHklm, L"R\\"}},
                 {{kHklm, L"R\\b\\x\\y\\"},
                  {kHklm, L"R\\a\\x\\y\\"},
                  {kHklm, L"R\\b\\x\\"},
                  {kHklm, L"R\\a\\x\\"},
                  {kHklm, L"R\\b\\"},
                  {kHklm, L"R\\a\\"},
                  {kHklm, L"R\\"}}}),
    [](const ::testing::TestParamInfo<PlanCase>& param) { return std::string(param.param.name); });

// Directories: one root for all.
INSTANTIATE_TEST_SUITE_P(
    Directories, PlanRemovalOrderTest,
    ::testing::Values(PlanCase{"AddsMissingDirectoryOnceDuplicatesKept",
                               {{0, L"C:\\Apps\\Tool\\"},
                                {0, L"C:\\Apps\\Tool\\data\\img\\"},
                                {0, L"C:\\Apps\\Tool\\"}},
                               {{0, L"C:\\Apps\\Tool\\data\\img\\"},
                                {0, L"C:\\Apps\\Tool\\data\\"},
                                {0, L"C:\\Apps\\Tool\\"},
                                {0, L"C:\\Apps\\Tool\\"}}},
                      PlanCase{"UnrelatedDrivesGainNothing",
                               {{0, L"D:\\Other\\"}, {0, L"C:\\Apps\\Tool\\"}},
                               {{0, L"C:\\Apps\\Tool\\"}, {0, L"D:\\Other\\"}}},
                      PlanCase{"AncestorTestIsCaseSensitive",
                               {{0, L"C:\\Apps\\tool\\"}, {0, L"C:\\Apps\\Tool\\data\\"}},
                               {{0, L"C:\\Apps\\Tool\\data\\"}, {0, L"C:\\Apps\\tool\\"}}},
                      // A file logged without "\" gives the empty directory, which makes
                      // the completion climb to every drive root.
                      PlanCase{"EmptyDirectoryCompletesUpToDriveRoots",
                               {{0, L""}, {0, L"C:\\Apps\\Tool\\"}, {0, L"D:\\x\\"}},
                               {{0, L"C:\\Apps\\Tool\\"},
                                {0, L"C:\\Apps\\"},
                                {0, L"D:\\x\\"},
                                {0, L"D:\\"},
                                {0, L"C:\\"},
                                {0, L""}}}),
    [](const ::testing::TestParamInfo<PlanCase>& param) { return std::string(param.param.name); });

// The stages keep only the views the plan returns, so each must lie within
// one of the strings it was given, the added parents included.
TEST(PlanRemovalOrderOfViews, ViewsOnlyTheGivenStrings) {
  const std::vector<std::wstring> paths = {L"C:\\Apps\\Tool\\", L"C:\\Apps\\Tool\\data\\img\\", L"",
                                           L"D:\\x\\y\\"};
  std::vector<PlanEntry> entries;
  for (const std::wstring& path : paths) entries.push_back({0, path});

  const std::vector<PlanEntry> plan = PlanRemovalOrderOfViews(entries);
  std::vector<PlanItem> owned;
  for (const PlanEntry& entry : plan) {
    owned.push_back({entry.root, std::wstring(entry.path)});
    if (entry.path.empty()) continue;
    const bool inside = std::ranges::any_of(paths, [&](const std::wstring& path) {
      return entry.path.data() >= path.data() &&
             entry.path.data() + entry.path.size() <= path.data() + path.size();
    });
    EXPECT_TRUE(inside) << "a planned path was copied";
  }
  std::vector<PlanItem> items;
  for (const std::wstring& path : paths) items.push_back({0, path});
  EXPECT_EQ(owned, PlanRemovalOrder(items));
  EXPECT_EQ(plan.size(), 9u);  // 4 given, 5 parents added
}

}  // namespace
}  // namespace uninstall
