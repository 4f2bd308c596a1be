#include "removal/registry_keys.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fake_env.h"
#include "tests/support/install_logs.h"

namespace uninstall {
namespace {

constexpr std::int32_t kHkcu = static_cast<std::int32_t>(0x80000001u);
constexpr std::int32_t kHklm = static_cast<std::int32_t>(0x80000002u);

std::wstring Cu(const std::wstring& key) { return L"DeleteRegKey 0x80000001 " + key; }
std::wstring Lm(const std::wstring& key) { return L"DeleteRegKey 0x80000002 " + key; }

RegKeyEntry Key(std::int32_t root, std::wstring sub) {
  return RegKeyEntry{root, std::move(sub), L"", L""};
}

// Runs the stage over a log of `keys`.
void RunStage(FakeEnv& env, std::vector<RegKeyEntry> keys) {
  const int count = static_cast<int>(keys.size());
  const InstallLog log = KeysLog(count, std::move(keys));
  RemoveRegistryKeys(env, PlanRemoval(log));
}

struct RegCase {
  const char* name;
  std::vector<RegKeyEntry> keys;
  std::vector<std::wstring> deletions;  // in order
};

const RegCase kCases[] = {
    {"NestedKeysDeepestFirstWithMissingParentAdded",
     {Key(kHklm, L"Software\\X\\App\\"), Key(kHklm, L"Software\\X\\App\\Sub\\Deep\\")},
     {Lm(L"Software\\X\\App\\Sub\\Deep\\"), Lm(L"Software\\X\\App\\Sub\\"),
      Lm(L"Software\\X\\App\\")}},
    {"DifferentRootsAddNothing",
     {Key(kHklm, L"Software\\X\\App\\"), Key(kHkcu, L"Software\\X\\App\\Sub\\Deep\\")},
     {Cu(L"Software\\X\\App\\Sub\\Deep\\"), Lm(L"Software\\X\\App\\")}},
    // The completion adds Software\X\ above the listed keys: it stays.
    {"KeysWithoutTrailingBackslashGetOne",
     {Key(kHklm, L"Software\\X\\App"), Key(kHklm, L"Software\\X\\App\\Sub")},
     {Lm(L"Software\\X\\App\\Sub\\"), Lm(L"Software\\X\\App\\"), Lm(L"Software\\X\\App\\")}},
    {"DuplicatesAreBothTried",
     {Key(kHklm, L"Software\\X\\"), Key(kHklm, L"Software\\X\\")},
     {Lm(L"Software\\X\\"), Lm(L"Software\\X\\")}},
    {"EqualLengthsInScanOrder",
     {Key(kHkcu, L"A\\"), Key(kHkcu, L"BB\\"), Key(kHkcu, L"C\\"), Key(kHkcu, L"DD\\"),
      Key(kHkcu, L"E\\")},
     {Cu(L"BB\\"), Cu(L"DD\\"), Cu(L"C\\"), Cu(L"A\\"), Cu(L"E\\")}},
    // The root and Software are shared: only the application's key goes.
    {"EmptyKeyPathAndSoftwareAreKept",
     {Key(kHklm, L""), Key(kHklm, L"Software\\X\\")},
     {Lm(L"Software\\X\\")}},
    // Only the predefined roots reach the registry; a log value that could
    // name an open handle of this process is skipped.
    {"UnknownRootsAreSkipped",
     {Key(0, L"Software\\A\\"), Key(kHklm, L"Software\\B\\"),
      Key(static_cast<std::int32_t>(0x80000007u), L"Software\\C\\"), Key(0x1234, L"Software\\D\\"),
      Key(-1, L"Software\\E\\")},
     {Lm(L"Software\\B\\")}},
};

// Failures name the case, not its bytes.
void PrintTo(const RegCase& c, std::ostream* os) { *os << c.name; }

class RemoveRegistryKeysTest : public ::testing::TestWithParam<RegCase> {};

TEST_P(RemoveRegistryKeysTest, DeletesInOrder) {
  const RegCase& c = GetParam();
  FakeEnv env;
  RunStage(env, c.keys);
  EXPECT_EQ(env.events(), c.deletions);
}

INSTANTIATE_TEST_SUITE_P(Table, RemoveRegistryKeysTest, ::testing::ValuesIn(kCases),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST(RemoveRegistryKeys, RemovesTheTreeItListsAndKeepsAKeyWithAnUnlistedSubkey) {
  FakeEnv env;
  env.AddRegKey(kHklm, L"Software\\X\\App\\Sub\\Deep");
  env.AddRegKey(kHklm, L"Software\\X\\Other");
  const std::vector<RegKeyEntry> keys = {Key(kHklm, L"Software\\X\\"),
                                         Key(kHklm, L"Software\\X\\App\\Sub\\Deep\\")};
  RunStage(env, keys);
  EXPECT_FALSE(env.RegKeyExists(kHklm, L"Software\\X\\App\\Sub\\Deep"));
  EXPECT_FALSE(env.RegKeyExists(kHklm, L"Software\\X\\App\\Sub"));
  EXPECT_FALSE(env.RegKeyExists(kHklm, L"Software\\X\\App"));
  // Software\X still has Other: it stays, silently.
  EXPECT_TRUE(env.RegKeyExists(kHklm, L"Software\\X"));
  EXPECT_TRUE(env.RegKeyExists(kHklm, L"Software\\X\\Other"));
  EXPECT_TRUE(env.messages().empty());
}

TEST(RemoveRegistryKeys, FailingDeletionDoesNotStopTheStage) {
  FakeEnv env;
  env.AddRegKey(kHklm, L"Software\\X\\App\\Sub");
  env.AddRegKey(kHklm, L"Software\\Y");
  env.InjectFault(FakeOp::kDeleteRegKey, L"Software\\X\\App\\Sub\\", kErrorAccessDenied);
  RunStage(env, {Key(kHklm, L"Software\\X\\App\\Sub\\"), Key(kHklm, L"Software\\Y\\")});
  EXPECT_EQ(env.events(),
            (std::vector<std::wstring>{Lm(L"Software\\X\\App\\Sub\\"), Lm(L"Software\\Y\\")}));
  EXPECT_TRUE(env.RegKeyExists(kHklm, L"Software\\X\\App\\Sub"));
  EXPECT_FALSE(env.RegKeyExists(kHklm, L"Software\\Y"));
}

// The two stages delete exactly the keys marked for them: the uninstall
// entry only in the second.
TEST(RemoveRegistryKeys, HoldsTheUninstallEntryBackForTheEnd) {
  const std::vector<RegKeyEntry> keys = {
      Key(kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme"),
      Key(kHklm, L"Software\\Acme"),
      Key(kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run")};
  FakeEnv env;
  const InstallLog log = KeysLog(3, keys);
  const RemovalPlan plan = PlanRemoval(log);
  RemoveRegistryKeys(env, plan);
  EXPECT_EQ(env.events(), std::vector<std::wstring>{Lm(L"Software\\Acme\\")});
  env.ClearEvents();
  RemoveUninstallEntry(env, plan);
  EXPECT_EQ(env.events(), std::vector<std::wstring>{Lm(
                              L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\")});
}

}  // namespace
}  // namespace uninstall
