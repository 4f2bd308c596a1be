#include "removal/removal_plan.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "removal/shared_keys.h"
#include "tests/support/install_logs.h"

namespace uninstall {
namespace {

constexpr std::int32_t kHkcu = static_cast<std::int32_t>(0x80000001u);
constexpr std::int32_t kHklm = static_cast<std::int32_t>(0x80000002u);

constexpr std::int32_t kHkcr = static_cast<std::int32_t>(0x80000000u);
constexpr std::int32_t kHku = static_cast<std::int32_t>(0x80000003u);

// --- What the stage does with each key --------------------------------

struct ActionCase {
  const char* name;
  const wchar_t* keys;     // as in LoggedKeys
  const wchar_t* planned;  // every key of the deletion order, "ACTION ROOT\KEY\"
};

void PrintTo(const ActionCase& c, std::ostream* os) { *os << c.name; }

const ActionCase kActionCases[] = {
    // As a manifest writes keys without "\": the completion climbs to
    // Software, through the shared Run key that holds other programs'
    // values.
    {"NothingAboveTheListedKeys",
     L"HKCU\\Software\\{Acme, Acme\\Tool, Microsoft\\Windows\\CurrentVersion\\Run\\AcmeTool}",
     L"listed HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\AcmeTool\\; shared "
     L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\; shared "
     L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\; shared "
     L"HKCU\\Software\\Microsoft\\Windows\\; "
     L"shared HKCU\\Software\\Microsoft\\; listed HKCU\\Software\\Acme\\Tool\\; listed "
     L"HKCU\\Software\\Acme\\; listed HKCU\\Software\\Acme\\; shared HKCU\\Software\\"},
    // Keys compared by name in any case: Sub\ is the listed sub\, App\ lies
    // between listed keys, and AcmeX\ is not inside Acme, whose text it
    // starts with.
    {"BetweenListedKeysByKeyName",
     L"HKLM\\{Software\\Acme, Software\\Acme\\App\\Sub\\Deep\\, software\\acme\\app\\sub\\, "
     L"Software\\AcmeX\\Y\\}",
     L"listed HKLM\\Software\\Acme\\App\\Sub\\Deep\\; listed HKLM\\software\\acme\\app\\sub\\; "
     L"listed "
     L"HKLM\\Software\\Acme\\App\\Sub\\; between HKLM\\Software\\Acme\\App\\; listed "
     L"HKLM\\Software\\AcmeX\\Y\\; above HKLM\\Software\\AcmeX\\; listed HKLM\\Software\\Acme\\; "
     L"listed "
     L"HKLM\\Software\\Acme\\; shared HKLM\\Software\\"},
    // Shared keys listed by mistake, in both views and any case, stay, and
    // make nothing below them the application's.
    {"SharedKeysStayEvenWhenListed",
     L"HKCR\\{CLSID, CLSID\\{A}\\InprocServer32, interface\\}, "
     L"HKLM\\Software\\{Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\, "
     L"Classes\\Wow6432Node\\*\\}",
     L"shared HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\; shared "
     L"HKLM\\Software\\Classes\\Wow6432Node\\*\\; listed HKCR\\CLSID\\{A}\\InprocServer32\\; "
     L"shared "
     L"HKCR\\interface\\; above HKCR\\CLSID\\{A}\\; shared HKCR\\CLSID\\; shared HKCR\\CLSID\\; "
     L"shared "
     L"HKCR\\"},
    // The uninstall entry, listed or between, is held back to the end.
    {"UninstallEntryGoesLast",
     L"HKLM\\Software\\{Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\{, A\\B\\}, Acme\\}",
     L"end HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\A\\B\\; end "
     L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\A\\; end "
     L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\; listed "
     L"HKLM\\Software\\Acme\\"},
};

class RegistryKeyActionsTest : public ::testing::TestWithParam<ActionCase> {};

TEST_P(RegistryKeyActionsTest, MarksEveryPlannedKey) {
  static constexpr const wchar_t* kActions[] = {L"listed", L"between", L"above", L"shared", L"end"};
  const std::vector<RegKeyEntry> keys = LoggedKeys(GetParam().keys);
  const InstallLog log = KeysLog(static_cast<int>(keys.size()), keys);
  std::wstring planned;
  for (const KeyStep& key : PlanRemoval(log).registry) {
    const auto root =
        std::ranges::find(kRootNames, key.root, [](const auto& r) { return r.second; });
    const std::wstring_view path = key.path.substr(0, key.path.find_last_not_of(L'\\') + 1);
    planned += std::wstring(planned.empty() ? L"" : L"; ") +
               kActions[static_cast<int>(key.action)] + L" " + std::wstring(root->first) + L"\\" +
               std::wstring(path) + (path.empty() ? L"" : L"\\");
  }
  EXPECT_EQ(planned, GetParam().planned);
}

INSTANTIATE_TEST_SUITE_P(Table, RegistryKeyActionsTest, ::testing::ValuesIn(kActionCases),
                         [](const auto& tested) { return std::string(tested.param.name); });

// --- Shared keys, in every spelling -------------------------------------

struct SharedCase {
  std::int32_t root;
  const wchar_t* path;
  bool shared;
  bool uninstall_entry = false;
};

TEST(SharedKeys, TheTableHoldsInEverySpelling) {
  const SharedCase cases[] = {
      {kHklm, L"", true},
      {kHkcu, L"\\", true},
      {kHkcr, L"", true},
      {kHku, L".DEFAULT", true},
      {kHku, L"S-1-5-21-1\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", true},
      {kHku, L"S-1-5-21-1_Classes\\CLSID", true},
      {kHklm, L"software", true},
      {kHklm, L"SOFTWARE\\Wow6432Node", true},
      {kHklm, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall", true},
      {kHkcu, L"software\\microsoft\\windows\\currentversion\\RUNONCE\\", true},
      {kHkcu, L"Software\\\\Microsoft\\Windows", true},
      {kHklm, L"Software\\Classes\\TypeLib", true},
      {kHkcu, L"Software\\Classes\\Directory", true},
      {kHkcr, L"Wow6432Node\\Interface", true},
      {kHklm, L"Software\\Wow6432Node\\Classes\\AppID", true},
      {kHklm, L"Software\\Policies", true},
      {kHklm, L"SYSTEM\\CurrentControlSet\\Services", true},
      {kHklm, L"System\\ControlSet001\\Control", true},
      {kHklm, L"SYSTEM\\Select", true},
      {kHklm, L"SAM", true},
      // The applications' own keys below the shared ones.
      {kHklm, L"Software\\Acme", false},
      {kHkcu, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run\\AcmeTool", false},
      {kHkcr, L"CLSID\\{A}", false},
      {kHkcr, L".acme", false},
      {kHklm, L"SYSTEM\\CurrentControlSet\\Services\\AcmeSvc", false},
      {kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme", false, true},
      {kHklm, L"Software\\WOW6432NODE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\Sub",
       false, true},
      {kHkcu, L"Software\\Microsoft\\Windows\\CurrentVersion\\uninstall\\Acme\\", false, true},
      {kHkcr, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme", false},
  };
  for (const SharedCase& c : cases) {
    EXPECT_EQ(IsSharedRegistryKey(c.root, c.path), c.shared) << c.root << " " << c.path;
    EXPECT_EQ(IsUninstallEntryKey(c.root, c.path), c.uninstall_entry) << c.root << " " << c.path;
  }
}

}  // namespace
}  // namespace uninstall
