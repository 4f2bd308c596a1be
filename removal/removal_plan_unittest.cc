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

RegKeyEntry Key(std::int32_t root, std::wstring sub) {
  return RegKeyEntry{root, std::move(sub), L"", L""};
}

// --- What the stage does with each key --------------------------------

constexpr std::int32_t kHkcr = static_cast<std::int32_t>(0x80000000u);
constexpr std::int32_t kHku = static_cast<std::int32_t>(0x80000003u);

// One planned key as "ACTION ROOT KEY\": the action first, so that a row
// reads as what happens to each key.
std::wstring Planned(KeyAction action, std::int32_t root, std::wstring_view path) {
  static constexpr const wchar_t* kNames[] = {L"listed", L"between", L"above", L"shared", L"end"};
  const wchar_t* root_name = root == kHklm ? L"HKLM" : root == kHkcu ? L"HKCU" : L"HKCR";
  return std::wstring(kNames[static_cast<int>(action)]) + L" " + root_name + L" " +
         std::wstring(path) + L"\\";
}

struct ActionCase {
  const char* name;
  std::vector<RegKeyEntry> keys;
  std::vector<std::wstring> planned;  // every key of the deletion order, in order
};

void PrintTo(const ActionCase& c, std::ostream* os) { *os << c.name; }

const ActionCase kActionCases[] = {
    // As a manifest writes keys without "\": the completion climbs to
    // Software, through the shared Run key that holds other programs'
    // values.
    {"NothingAboveTheListedKeys",
     {Key(kHkcu, L"Software\\Acme"), Key(kHkcu, L"Software\\Acme\\Tool"),
      Key(kHkcu, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run\\AcmeTool")},
     {L"listed HKCU Software\\Microsoft\\Windows\\CurrentVersion\\Run\\AcmeTool\\",
      L"shared HKCU Software\\Microsoft\\Windows\\CurrentVersion\\Run\\",
      L"shared HKCU Software\\Microsoft\\Windows\\CurrentVersion\\",
      L"shared HKCU Software\\Microsoft\\Windows\\", L"shared HKCU Software\\Microsoft\\",
      L"listed HKCU Software\\Acme\\Tool\\", L"listed HKCU Software\\Acme\\",
      L"listed HKCU Software\\Acme\\", L"shared HKCU Software\\"}},
    // Keys compared by name in any case: Sub\ is the listed sub\, App\ lies
    // between listed keys, and AcmeX\ is not inside Acme, whose text it
    // starts with.
    {"BetweenListedKeysByKeyName",
     {Key(kHklm, L"Software\\Acme"), Key(kHklm, L"Software\\Acme\\App\\Sub\\Deep\\"),
      Key(kHklm, L"software\\acme\\app\\sub\\"), Key(kHklm, L"Software\\AcmeX\\Y\\")},
     {L"listed HKLM Software\\Acme\\App\\Sub\\Deep\\", L"listed HKLM software\\acme\\app\\sub\\",
      L"listed HKLM Software\\Acme\\App\\Sub\\", L"between HKLM Software\\Acme\\App\\",
      L"listed HKLM Software\\AcmeX\\Y\\", L"above HKLM Software\\AcmeX\\",
      L"listed HKLM Software\\Acme\\", L"listed HKLM Software\\Acme\\", L"shared HKLM Software\\"}},
    // Shared keys listed by mistake, in both views and any case, stay, and
    // make nothing below them the application's.
    {"SharedKeysStayEvenWhenListed",
     {Key(kHkcr, L"CLSID"), Key(kHkcr, L"CLSID\\{A}\\InprocServer32"), Key(kHkcr, L"interface\\"),
      Key(kHklm, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"),
      Key(kHklm, L"Software\\Classes\\Wow6432Node\\*\\")},
     {L"shared HKLM Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\",
      L"shared HKLM Software\\Classes\\Wow6432Node\\*\\",
      L"listed HKCR CLSID\\{A}\\InprocServer32\\", L"shared HKCR interface\\",
      L"above HKCR CLSID\\{A}\\", L"shared HKCR CLSID\\", L"shared HKCR CLSID\\",
      L"shared HKCR \\"}},
    // The uninstall entry, listed or between, is held back to the end.
    {"UninstallEntryGoesLast",
     {Key(kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\"),
      Key(kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\A\\B\\"),
      Key(kHklm, L"Software\\Acme\\")},
     {L"end HKLM Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\A\\B\\",
      L"end HKLM Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\A\\",
      L"end HKLM Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\",
      L"listed HKLM Software\\Acme\\"}},
};

class RegistryKeyActionsTest : public ::testing::TestWithParam<ActionCase> {};

TEST_P(RegistryKeyActionsTest, MarksEveryPlannedKey) {
  const ActionCase& c = GetParam();
  const InstallLog log = KeysLog(static_cast<int>(c.keys.size()), c.keys);
  std::vector<std::wstring> planned;
  for (const KeyStep& key : PlanRemoval(log).registry) {
    planned.push_back(
        Planned(key.action, key.root, key.path.substr(0, key.path.find_last_not_of(L'\\') + 1)));
  }
  EXPECT_EQ(planned, c.planned);
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
