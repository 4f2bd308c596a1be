#include "removal/registry_keys.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fake_env.h"

namespace uninstall {
namespace {

constexpr std::int32_t kHkcu = static_cast<std::int32_t>(0x80000001u);
constexpr std::int32_t kHklm = static_cast<std::int32_t>(0x80000002u);

std::wstring Cu(const std::wstring& key) { return L"DeleteRegKey 0x80000001 " + key; }
std::wstring Lm(const std::wstring& key) { return L"DeleteRegKey 0x80000002 " + key; }

RegKeyEntry Key(std::int32_t root, std::wstring sub) {
  return RegKeyEntry{root, std::move(sub), L"", L""};
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
    {"KeysWithoutTrailingBackslashGetOne",
     {Key(kHklm, L"Software\\X\\App"), Key(kHklm, L"Software\\X\\App\\Sub")},
     {Lm(L"Software\\X\\App\\Sub\\"), Lm(L"Software\\X\\App\\"), Lm(L"Software\\X\\App\\"),
      Lm(L"Software\\X\\")}},
    {"DuplicatesAreBothTried",
     {Key(kHklm, L"Software\\X\\"), Key(kHklm, L"Software\\X\\")},
     {Lm(L"Software\\X\\"), Lm(L"Software\\X\\")}},
    {"EqualLengthsInScanOrder",
     {Key(kHklm, L"A\\"), Key(kHklm, L"BB\\"), Key(kHklm, L"C\\"), Key(kHklm, L"DD\\"),
      Key(kHklm, L"E\\")},
     {Lm(L"BB\\"), Lm(L"DD\\"), Lm(L"C\\"), Lm(L"A\\"), Lm(L"E\\")}},
    {"EmptyKeyPathGoesLastAsBackslash",
     {Key(kHklm, L""), Key(kHklm, L"Software\\X\\")},
     {Lm(L"Software\\X\\"), Lm(L"Software\\"), Lm(L"\\")}},
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
  RemoveRegistryKeys(env, static_cast<std::int16_t>(c.keys.size()), c.keys);
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
  RemoveRegistryKeys(env, 2, keys);
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
  RemoveRegistryKeys(env, 2,
                     {Key(kHklm, L"Software\\X\\App\\Sub\\"), Key(kHklm, L"Software\\Y\\")});
  EXPECT_EQ(env.events(),
            (std::vector<std::wstring>{Lm(L"Software\\X\\App\\Sub\\"), Lm(L"Software\\Y\\")}));
  EXPECT_TRUE(env.RegKeyExists(kHklm, L"Software\\X\\App\\Sub"));
  EXPECT_FALSE(env.RegKeyExists(kHklm, L"Software\\Y"));
}

}  // namespace
}  // namespace uninstall
