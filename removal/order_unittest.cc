#include "removal/order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/install_logs.h"
#include "tests/support/plan_reference.h"

namespace uninstall {
namespace {

// Entries written as keys in LoggedKeys; directories under the root 0
// ("0\" is the empty directory).
std::vector<PlanItem> Items(std::wstring_view text) {
  std::vector<PlanItem> items;
  for (const RegKeyEntry& key : LoggedKeys(text)) items.push_back({key.RootKey, key.SubKey});
  return items;
}

struct PlanCase {
  const char* name;
  const wchar_t* input;
  const wchar_t* expected;
};

void PrintTo(const PlanCase& c, std::ostream* os) { *os << c.name; }

class PlanRemovalOrderTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(PlanRemovalOrderTest, CompletesAndOrdersLongestFirst) {
  EXPECT_EQ(PlanRemovalOrder(Items(GetParam().input)), Items(GetParam().expected));
}

// The yardstick of the randomized comparison must itself give these results.
TEST_P(PlanRemovalOrderTest, StepByStepReferenceAgrees) {
  EXPECT_EQ(ReferencePlanRemovalOrder(Items(GetParam().input)), Items(GetParam().expected));
}

// Registry keys: root values as the registry hands them out.
INSTANTIATE_TEST_SUITE_P(
    RegistryKeys, PlanRemovalOrderTest,
    ::testing::Values(
        PlanCase{"Empty", L"", L""},
        PlanCase{"AddsTheOneMissingKeyBetween", L"HKLM\\Software\\X\\{App\\, App\\Sub\\Deep\\}",
                 L"HKLM\\Software\\X\\{App\\Sub\\Deep\\, App\\Sub\\, App\\}"},
        PlanCase{"RootsNeverRelate",
                 L"HKLM\\Software\\X\\App\\, HKCU\\Software\\X\\App\\Sub\\Deep\\",
                 L"HKCU\\Software\\X\\App\\Sub\\Deep\\, HKLM\\Software\\X\\App\\"},
        // The listed key without "\" is an ancestor of the added one but not
        // its parent, so the completion climbs once more.
        PlanCase{"KeysWithoutTrailingBackslash", L"HKLM\\Software\\X\\{App, App\\Sub}",
                 L"HKLM\\Software\\X\\{App\\Sub, App\\, App}, HKLM\\Software\\X\\"},
        PlanCase{"AncestorTestIgnoresKeyNameBounds", L"HKLM\\Software\\{App, AppX\\Y}",
                 L"HKLM\\Software\\{AppX\\Y, AppX\\, App}, HKLM\\Software\\"},
        PlanCase{"EmptyPathIsAncestorOfItsRootOnly",
                 L"HKLM\\, HKCU\\Other\\Key\\, HKLM\\Software\\X\\App\\",
                 L"HKLM\\Software\\X\\{App\\, }, HKCU\\Other\\Key\\, HKLM\\Software\\, HKLM\\"},
        PlanCase{"DuplicatesStayAndNeedOneParent", L"HKLM\\{X\\, X\\a\\b\\, X\\a\\b\\}",
                 L"HKLM\\{X\\a\\b\\, X\\a\\b\\, X\\a\\, X\\}"},
        PlanCase{"EqualLengthsAreNotStable", L"HKLM\\{A\\, BB\\, C\\, DD\\, E\\}",
                 L"HKLM\\{BB\\, DD\\, C\\, A\\, E\\}"},
        // Parents are appended one per pass for the first entry lacking one:
        // both deep keys get theirs before either climbs further.
        PlanCase{"AppendsForTheFirstIncompleteEntryFirst",
                 L"HKLM\\{R\\b\\x\\y\\, R\\a\\x\\y\\, R\\}",
                 L"HKLM\\{R\\b\\x\\y\\, R\\a\\x\\y\\, R\\b\\x\\, R\\a\\x\\, R\\b\\, R\\a\\, R\\}"}),
    [](const ::testing::TestParamInfo<PlanCase>& param) { return std::string(param.param.name); });

// Directories: one root for all.
INSTANTIATE_TEST_SUITE_P(
    Directories, PlanRemovalOrderTest,
    ::testing::Values(
        PlanCase{"AddsMissingDirectoryOnceDuplicatesKept", L"0\\C:\\Apps\\Tool\\{, data\\img\\, }",
                 L"0\\C:\\Apps\\Tool\\{data\\img\\, data\\, , }"},
        PlanCase{"UnrelatedDrivesGainNothing", L"0\\{D:\\Other\\, C:\\Apps\\Tool\\}",
                 L"0\\{C:\\Apps\\Tool\\, D:\\Other\\}"},
        PlanCase{"AncestorTestIsCaseSensitive", L"0\\C:\\Apps\\{tool\\, Tool\\data\\}",
                 L"0\\C:\\Apps\\{Tool\\data\\, tool\\}"},
        // A file logged without "\" gives the empty directory, which makes
        // the completion climb to every drive root.
        PlanCase{"EmptyDirectoryCompletesUpToDriveRoots", L"0\\, 0\\{C:\\Apps\\Tool\\, D:\\x\\}",
                 L"0\\{C:\\Apps\\Tool\\, C:\\Apps\\, D:\\x\\, D:\\, C:\\, }"}),
    [](const ::testing::TestParamInfo<PlanCase>& param) { return std::string(param.param.name); });

// The stages keep only the views the plan returns, so each must lie within
// one of the strings it was given, the added parents included.
TEST(PlanRemovalOrderOfViews, ViewsOnlyTheGivenStrings) {
  const std::vector<std::wstring> paths = {L"C:\\Apps\\Tool\\", L"C:\\Apps\\Tool\\data\\img\\", L"",
                                           L"D:\\x\\y\\"};
  std::vector<PlanEntry> entries;
  std::vector<PlanItem> items;
  for (const std::wstring& path : paths) {
    entries.push_back({0, path});
    items.push_back({0, path});
  }
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
  EXPECT_EQ(owned, PlanRemovalOrder(items));
  EXPECT_EQ(plan.size(), 9u);  // 4 given, 5 parents added
}

}  // namespace
}  // namespace uninstall
