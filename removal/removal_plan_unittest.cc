#include "removal/removal_plan.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "paths/variables.h"
#include "removal/shared_keys.h"
#include "tests/support/install_logs.h"

namespace uninstall {
namespace {

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
    const auto* const root =
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

// --- Entries that name a folder ------------------------------------------

// A TargetPath ending in "\" names a folder: the file stage leaves it to the
// directory stage, which visits it with the folders of the logged files.
struct FolderEntryCase {
  const char* name;
  const wchar_t* log;          // as in LoggedFiles, before the expansion
  const wchar_t* files;        // plan.files, joined by "; "
  const wchar_t* directories;  // plan.directories, joined by "; "
};

void PrintTo(const FolderEntryCase& c, std::ostream* os) { *os << c.name; }

const FolderEntryCase kFolderEntryCases[] = {
    {"EmptyFolderOfTheTreeIsVisitedNotDeleted", L"%currentdir%\\{a.txt, data\\empty\\}",
     L"C:\\PF\\Vendor\\App\\a.txt",
     L"C:\\PF\\Vendor\\App\\data\\empty\\; C:\\PF\\Vendor\\App\\data\\; C:\\PF\\Vendor\\App\\"},
    {"ApplicationFolderItself", L"%currentdir%\\, %currentdir%", L"",
     L"C:\\PF\\Vendor\\App\\; C:\\PF\\Vendor\\App\\"},
    {"KeptFolderIsNotVisited", L"%currentdir%\\{a.txt, cache\\:K}", L"C:\\PF\\Vendor\\App\\a.txt",
     L"C:\\PF\\Vendor\\App\\"},
    {"FolderElsewhereAddsNothingBetween", L"%currentdir%\\a.txt, %windir%\\Vendor\\",
     L"C:\\PF\\Vendor\\App\\a.txt", L"C:\\WINDOWS\\Vendor\\; C:\\PF\\Vendor\\App\\"},
    // "..", as the log names the folder above the application's, is
    // resolved: the folder goes after the one below it, and the folders
    // between are completed.
    {"FolderAboveTheApplicationAfterIt", L"%currentdir%\\{a.txt, data\\empty\\}, %currentdir%..\\",
     L"C:\\PF\\Vendor\\App\\a.txt",
     L"C:\\PF\\Vendor\\App\\data\\empty\\; C:\\PF\\Vendor\\App\\data\\; C:\\PF\\Vendor\\App\\; "
     L"C:\\PF\\Vendor\\"},
    {"FolderAboveCompletesTheFoldersBetween", L"%currentdir%\\bin\\x.exe, %currentdir%\\..\\",
     L"C:\\PF\\Vendor\\App\\bin\\x.exe",
     L"C:\\PF\\Vendor\\App\\bin\\; C:\\PF\\Vendor\\App\\; C:\\PF\\Vendor\\"},
    {"TwoLevelsUpAndDot", L"%currentdir%..\\..\\, %currentdir%.\\", L"",
     L"C:\\PF\\Vendor\\App\\; C:\\PF\\Vendor\\; C:\\PF\\"},
    {"FileAboveTheApplication", L"%currentdir%..\\readme.txt",
     L"C:\\PF\\Vendor\\App\\..\\readme.txt", L"C:\\PF\\Vendor\\"},
    // Resolved, the path is spelled nowhere in the log: visited as written.
    {"DotDotBeforeANameStaysAsWritten", L"%currentdir%..\\Shared\\", L"",
     L"C:\\PF\\Vendor\\App\\..\\Shared\\"},
};

class FolderEntryTest : public ::testing::TestWithParam<FolderEntryCase> {};

TEST_P(FolderEntryTest, PlannedAsAFolder) {
  const PathFields fields{L"C:\\WINDOWS\\", L"C:\\WINDOWS\\SYSTEM32\\", L"C:\\PF\\Vendor\\App\\",
                          L"C:\\PF\\Vendor\\App\\Uninstall.dat"};
  std::vector<FileEntry> files = LoggedFiles(GetParam().log);
  for (FileEntry& file : files) ExpandPathVariables(fields, L"", file.TargetPath);
  const int count = static_cast<int>(files.size());
  const InstallLog log = FilesLog(count, std::move(files));
  const RemovalPlan plan = PlanRemoval(log);
  std::wstring planned_files;
  for (const std::wstring_view file : plan.files) {
    planned_files += (planned_files.empty() ? L"" : L"; ") + std::wstring(file);
  }
  std::wstring visited;
  for (const DirectoryVisit& visit : plan.directories) {
    visited += (visited.empty() ? L"" : L"; ") + std::wstring(visit.dir);
  }
  EXPECT_EQ(planned_files, GetParam().files);
  EXPECT_EQ(visited, GetParam().directories);
}

INSTANTIATE_TEST_SUITE_P(Table, FolderEntryTest, ::testing::ValuesIn(kFolderEntryCases),
                         [](const auto& tested) { return std::string(tested.param.name); });

// --- Shared keys, in every spelling -------------------------------------

TEST(SharedKeys, TheTableHoldsInEverySpelling) {
  const std::pair<const wchar_t*, std::pair<bool, bool>> groups[] = {
      // Shared keys:
      {L"HKLM\\, HKCU\\\\, HKCR\\, HKU\\{.DEFAULT, "
       L"S-1-5-21-1\\Software\\Microsoft\\Windows\\CurrentVersion\\Run, "
       L"S-1-5-21-1_Classes\\CLSID}, "
       L"HKLM\\{software, SOFTWARE\\Wow6432Node, "
       L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall}, "
       L"HKCU\\{software\\microsoft\\windows\\currentversion\\RUNONCE\\, "
       L"Software\\\\Microsoft\\Windows}, "
       L"HKLM\\Software\\Classes\\TypeLib, HKCU\\Software\\Classes\\Directory, "
       L"HKCR\\Wow6432Node\\Interface, HKLM\\Software\\{Wow6432Node\\Classes\\AppID, Policies}, "
       L"HKLM\\{SYSTEM\\CurrentControlSet\\Services, System\\ControlSet001\\Control, "
       L"SYSTEM\\Select, SAM}",
       {true, false}},
      // The applications' own keys below the shared ones:
      {L"HKLM\\Software\\Acme, HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\AcmeTool, "
       L"HKCR\\.acme, HKLM\\SYSTEM\\CurrentControlSet\\Services\\AcmeSvc, "
       L"HKCR\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme",
       {false, false}},
      // Their uninstall entries:
      {L"HKLM\\Software\\{Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme, "
       L"WOW6432NODE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\Sub}, "
       L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\uninstall\\Acme\\",
       {false, true}},
  };
  // A CLSID's name in braces, which a tree would read as a folder's entries.
  EXPECT_FALSE(IsSharedRegistryKey(static_cast<std::int32_t>(0x80000000u), L"CLSID\\{A}"));
  EXPECT_FALSE(IsUninstallEntryKey(static_cast<std::int32_t>(0x80000000u), L"CLSID\\{A}"));
  std::size_t checked = 1;
  for (const auto& [keys, expected] : groups) {
    for (const RegKeyEntry& key : LoggedKeys(keys)) {
      EXPECT_EQ(IsSharedRegistryKey(key.RootKey, key.SubKey), expected.first) << key.SubKey;
      EXPECT_EQ(IsUninstallEntryKey(key.RootKey, key.SubKey), expected.second) << key.SubKey;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 29u);
}

}  // namespace
}  // namespace uninstall
