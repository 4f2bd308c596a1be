#include "removal/registry_keys.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fake_env.h"
#include "tests/support/install_logs.h"

namespace uninstall {
namespace {

constexpr std::int32_t kHklm = static_cast<std::int32_t>(0x80000002u);

// The calls, each deletion written as its key, "HKLM\Software\X\".
std::wstring Deletions(const FakeEnv& env) {
  return ReplaceAll(ReplaceAll(env.Calls(), L"DeleteRegKey 0x80000001 ", L"HKCU\\"),
                    L"DeleteRegKey 0x80000002 ", L"HKLM\\");
}

// Runs the stage over a log of the keys written as in LoggedKeys.
void RunStage(FakeEnv& env, std::wstring_view keys) {
  const std::vector<RegKeyEntry> entries = LoggedKeys(keys);
  const InstallLog log = KeysLog(static_cast<int>(entries.size()), entries);
  RemoveRegistryKeys(env, PlanRemoval(log));
}

struct RegCase {
  const char* name;
  const wchar_t* keys;
  const wchar_t* deletions;  // in order
};

const RegCase kCases[] = {
    {"NestedKeysDeepestFirstWithMissingParentAdded",
     L"HKLM\\Software\\X\\{App\\, App\\Sub\\Deep\\}",
     L"HKLM\\Software\\X\\App\\Sub\\Deep\\; HKLM\\Software\\X\\App\\Sub\\; "
     L"HKLM\\Software\\X\\App\\"},
    {"DifferentRootsAddNothing", L"HKLM\\Software\\X\\App\\, HKCU\\Software\\X\\App\\Sub\\Deep\\",
     L"HKCU\\Software\\X\\App\\Sub\\Deep\\; HKLM\\Software\\X\\App\\"},
    // The completion adds Software\X\ above the listed keys: it stays.
    {"KeysWithoutTrailingBackslashGetOne", L"HKLM\\Software\\X\\{App, App\\Sub}",
     L"HKLM\\Software\\X\\App\\Sub\\; HKLM\\Software\\X\\App\\; HKLM\\Software\\X\\App\\"},
    {"DuplicatesAreBothTried", L"HKLM\\Software\\X\\, HKLM\\Software\\X\\",
     L"HKLM\\Software\\X\\; HKLM\\Software\\X\\"},
    {"EqualLengthsInScanOrder", L"HKCU\\{A\\, BB\\, C\\, DD\\, E\\}",
     L"HKCU\\BB\\; HKCU\\DD\\; HKCU\\C\\; HKCU\\A\\; HKCU\\E\\"},
    // The root and Software are shared: only the application's key goes.
    {"EmptyKeyPathAndSoftwareAreKept", L"HKLM\\, HKLM\\Software\\X\\", L"HKLM\\Software\\X\\"},
    // Only the predefined roots reach the registry; a log value that could
    // name an open handle of this process is skipped.
    {"UnknownRootsAreSkipped",
     L"0\\Software\\A\\, HKLM\\Software\\B\\, 0x80000007\\Software\\C\\, 0x1234\\Software\\D\\, "
     L"-1\\Software\\E\\",
     L"HKLM\\Software\\B\\"},
};

// Failures name the case, not its bytes.
void PrintTo(const RegCase& c, std::ostream* os) { *os << c.name; }

class RemoveRegistryKeysTest : public ::testing::TestWithParam<RegCase> {};

TEST_P(RemoveRegistryKeysTest, DeletesInOrder) {
  FakeEnv env;
  RunStage(env, GetParam().keys);
  EXPECT_EQ(Deletions(env), GetParam().deletions);
}

INSTANTIATE_TEST_SUITE_P(Table, RemoveRegistryKeysTest, ::testing::ValuesIn(kCases),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST(RemoveRegistryKeys, RemovesTheTreeItListsAndKeepsAKeyWithAnUnlistedSubkey) {
  FakeEnv env;
  env.AddRegKey(kHklm, L"Software\\X\\App\\Sub\\Deep");
  env.AddRegKey(kHklm, L"Software\\X\\Other");
  RunStage(env, L"HKLM\\Software\\X\\, HKLM\\Software\\X\\App\\Sub\\Deep\\");
  for (const wchar_t* gone :
       {L"Software\\X\\App\\Sub\\Deep", L"Software\\X\\App\\Sub", L"Software\\X\\App"}) {
    EXPECT_FALSE(env.RegKeyExists(kHklm, gone)) << gone;
  }
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
  RunStage(env, L"HKLM\\Software\\{X\\App\\Sub\\, Y\\}");
  EXPECT_EQ(Deletions(env), L"HKLM\\Software\\X\\App\\Sub\\; HKLM\\Software\\Y\\");
  EXPECT_TRUE(env.RegKeyExists(kHklm, L"Software\\X\\App\\Sub"));
  EXPECT_FALSE(env.RegKeyExists(kHklm, L"Software\\Y"));
}

// The two stages delete exactly the keys marked for them: the uninstall
// entry only in the second.
TEST(RemoveRegistryKeys, HoldsTheUninstallEntryBackForTheEnd) {
  FakeEnv env;
  const InstallLog log = KeysLog(
      3, LoggedKeys(L"HKLM\\Software\\{Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme, Acme, "
                    L"Microsoft\\Windows\\CurrentVersion\\Run}"));
  const RemovalPlan plan = PlanRemoval(log);
  RemoveRegistryKeys(env, plan);
  EXPECT_EQ(Deletions(env), L"HKLM\\Software\\Acme\\");
  env.ClearEvents();
  RemoveUninstallEntry(env, plan);
  EXPECT_EQ(Deletions(env),
            L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\");
}

}  // namespace
}  // namespace uninstall
