#include "paths/folder_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fake_env.h"

namespace uninstall {
namespace {

constexpr wchar_t kWinDir[] = L"C:\\WINDOWS\\";
constexpr wchar_t kWinSysDir[] = L"C:\\WINDOWS\\system32\\";
constexpr wchar_t kAppDir[] = L"C:\\Apps\\Tool\\";

// What the guard allows for a folder: removing it when empty, and emptying
// it of files no log names.
struct Row {
  const wchar_t* dir;
  bool may_remove;
  bool may_empty;
};
Row Empties(const wchar_t* dir) { return {dir, true, true}; }
Row Removes(const wchar_t* dir) { return {dir, true, false}; }
Row Keeps(const wchar_t* dir) { return {dir, false, false}; }
void PrintTo(const Row& row, std::ostream* os) { *os << ::testing::PrintToString(row.dir); }

void ExpectAnswers(FolderGuard& guard, std::initializer_list<Row> rows) {
  for (const Row& row : rows) {
    EXPECT_EQ(guard.MayRemove(row.dir), row.may_remove) << ::testing::PrintToString(row.dir);
    EXPECT_EQ(guard.MayEmpty(row.dir), row.may_empty) << ::testing::PrintToString(row.dir);
  }
}

// A 32-bit program's view of 64-bit Windows: System32 is the 32-bit system
// folder, SysWOW64 names it too, and the real system folder (here
// C:\WINDOWS\Native) is reached only through the "Sysnative" alias. The
// application sits in C:\Apps\Tool, and the machine has other names for
// many of its folders.
class FolderGuardTest : public ::testing::Test {
 protected:
  FolderGuardTest() {
    for (const wchar_t* dir :
         {L"C:\\WINDOWS\\system32\\drivers\\etc", L"C:\\WINDOWS\\Native\\drivers",
          L"C:\\WINDOWS\\Temp", L"C:\\WINDOWS\\Fonts", L"C:\\WINDOWS\\inf\\sub",
          L"C:\\Program Files\\Common Files", L"C:\\Program Files\\Other App",
          L"C:\\Program Files (x86)\\Common Files", L"C:\\Users\\Me\\Desktop",
          L"C:\\Users\\Me\\Music\\Playlists", L"C:\\Users\\Me\\AppData\\Local\\Temp",
          L"C:\\Users\\Me\\Stuff", L"C:\\Apps\\Tool\\data\\img", L"C:\\Apps\\Other"}) {
      env_.AddDir(dir);
    }
    env_.AddAlias(L"C:\\WINDOWS\\SysWOW64", L"C:\\WINDOWS\\system32");
    env_.AddAlias(L"C:\\WINDOWS\\Sysnative", L"C:\\WINDOWS\\Native");
    env_.AddAlias(L"C:\\PROGRA~1", L"C:\\Program Files");
    env_.AddAlias(L"C:\\APPS~1", L"C:\\Apps");
    env_.AddAlias(L"S:", L"C:\\Users\\Me");
    env_.AddAlias(L"\\\\localhost\\c$", L"C:");
    env_.AddLink(L"C:\\Junction", L"C:\\Users\\Me");
    env_.AddLink(L"C:\\Apps\\Tool\\win", L"C:\\WINDOWS");
    env_.AddLink(L"C:\\Apps\\Tool\\music", L"C:\\Users\\Me\\Music");
    env_.set_system_folders(
        {.known_folders = {L"C:\\Users\\Me\\Desktop", L"C:\\Users\\Me\\Music",
                           L"C:\\WINDOWS\\Fonts", L"C:\\Program Files (x86)",
                           L"C:\\Program Files (x86)\\Common Files"},
         .program_files = {L"C:\\Program Files", L"C:\\Program Files\\Common Files"},
         .system_wow64 = L"C:\\WINDOWS\\SysWOW64",
         .temp = L"C:\\Users\\Me\\AppData\\Local\\Temp\\",
         .drive_roots = {L"C:\\", L"S:\\"}});
  }
  GuardedFolders Query() { return QueryGuardedFolders(env_, kWinDir, kWinSysDir); }
  FolderGuard Guard(const wchar_t* app_dir = kAppDir) {
    return FolderGuard(env_, Query(), app_dir);
  }

  FakeEnv env_;
};

class FolderGuardTable : public FolderGuardTest, public ::testing::WithParamInterface<Row> {};

TEST_P(FolderGuardTable, DecidesByTheFolderNotItsName) {
  FolderGuard guard = Guard();
  ExpectAnswers(guard, {GetParam()});
}

INSTANTIATE_TEST_SUITE_P(
    Table, FolderGuardTable,
    ::testing::Values(
        // The application's folder and what lies in it.
        Empties(L"C:\\Apps\\Tool\\"), Empties(L"C:\\Apps\\Tool\\data\\"),
        Empties(L"c:\\apps\\TOOL\\data\\.\\img\\"), Empties(L"C:\\APPS~1\\Tool\\data\\"),
        // Its neighbours and its parent may go when empty, but are never
        // emptied of files no log names.
        Removes(L"C:\\Apps\\Other\\"), Removes(L"C:\\Apps\\"),
        Removes(L"C:\\Apps\\Tool\\..\\Other\\"), Removes(L"C:\\Program Files\\Other App\\"),
        // Guarded folders by any name.
        Keeps(L"C:\\Users\\Me\\Desktop\\"), Keeps(L"C:\\USERS\\ME\\DESKTOP.\\"),
        Keeps(L"\\\\?\\C:\\Users\\Me\\Desktop"), Keeps(L"S:\\Desktop\\"), Keeps(L"S:\\"),
        Keeps(L"\\\\localhost\\c$\\Users\\Me\\Music\\"), Keeps(L"C:\\Junction\\Music\\"),
        Keeps(L"C:\\Apps\\Tool\\music\\"), Keeps(L"C:\\PROGRA~1\\"),
        Keeps(L"C:\\PROGRA~1\\Common Files\\"), Keeps(L"C:\\Program Files (x86)\\"),
        // Above a guarded folder: the profile, AppData above Temp, Users.
        Keeps(L"C:\\Users\\Me\\"), Keeps(L"C:\\Users\\"), Keeps(L"C:\\Users\\Me\\AppData\\"),
        Keeps(L"C:\\Users\\Me\\AppData\\Local\\Temp\\"),
        // A plain folder of the user's, reached through a link: it may go
        // when empty, but it is not the application's.
        Removes(L"C:\\Apps\\Tool\\music\\Playlists\\"), Removes(L"C:\\Users\\Me\\Stuff\\"),
        // The Windows folder: nothing is emptied; its direct children and
        // everything in a system folder in any view stay.
        Keeps(L"C:\\WINDOWS\\"), Keeps(L"C:\\WINDOWS\\Temp\\"),
        Keeps(L"C:\\Apps\\Tool\\win\\Temp\\"), Keeps(L"C:\\WINDOWS\\Fonts\\"),
        Removes(L"C:\\WINDOWS\\inf\\sub\\"), Removes(L"C:\\Apps\\Tool\\win\\inf\\sub\\"),
        Keeps(L"C:\\WINDOWS\\system32\\drivers\\etc\\"), Keeps(L"C:\\WINDOWS\\SysWOW64\\drivers\\"),
        Keeps(L"C:\\WINDOWS\\Sysnative\\"), Keeps(L"C:\\WINDOWS\\Sysnative\\drivers\\"),
        Keeps(L"C:\\WINDOWS\\Native\\drivers\\"),
        // Roots, relative paths and folders that are not there.
        Keeps(L"C:\\"), Keeps(L"\\\\localhost\\c$\\"), Keeps(L"C:\\Apps\\..\\"),
        Keeps(L"Apps\\Tool\\"), Keeps(L"\\Apps\\Tool\\"), Keeps(L""),
        Keeps(L"C:\\Apps\\Tool\\missing\\")));

TEST_F(FolderGuardTest, UnidentifiedFolderIsGuarded) {
  env_.InjectFault(FakeOp::kGetFileIdentity, L"C:\\Apps\\Other", kErrorAccessDenied);
  FolderGuard guard = Guard();
  ExpectAnswers(guard, {Keeps(L"C:\\Apps\\Other\\"), Removes(L"C:\\Apps\\")});
}

// Without the application's own folder identified nothing is emptied; its
// subfolders are then judged one by one, by their own identity.
TEST_F(FolderGuardTest, UnidentifiedApplicationFolderIsNeverEmptied) {
  env_.InjectFault(FakeOp::kGetFileIdentity, kAppDir, kErrorAccessDenied);
  FolderGuard guard = Guard();
  ExpectAnswers(guard, {Removes(L"C:\\Apps\\Tool\\data\\"), Keeps(L"C:\\Apps\\Tool\\music\\")});
}

// An application folder that holds a guarded folder (the uninstaller in the
// user's profile) is judged folder by folder: what the user owns stays.
TEST_F(FolderGuardTest, ApplicationFolderHoldingGuardedFolders) {
  FolderGuard guard = Guard(L"C:\\Users\\Me\\");
  ExpectAnswers(guard, {Keeps(L"C:\\Users\\Me\\"), Keeps(L"C:\\Users\\Me\\Desktop\\"),
                        Keeps(L"C:\\Users\\Me\\Music\\"), Empties(L"C:\\Users\\Me\\Stuff\\"),
                        Empties(L"S:\\Stuff\\")});
}

TEST_F(FolderGuardTest, ApplicationInsideTheWindowsFolderIsNeverEmptied) {
  env_.AddDir(L"C:\\WINDOWS\\Tool\\data");
  FolderGuard guard = Guard(L"C:\\WINDOWS\\Tool\\");
  ExpectAnswers(guard, {Keeps(L"C:\\WINDOWS\\Tool\\"), Removes(L"C:\\WINDOWS\\Tool\\data\\")});
}

TEST_F(FolderGuardTest, IsInsideByTheFoldersThemselves) {
  FolderGuard guard = Guard();
  EXPECT_TRUE(guard.IsInside(L"C:\\Apps\\Tool\\data\\img", L"C:\\APPS~1\\Tool"));
  EXPECT_TRUE(guard.IsInside(L"S:\\Music\\Playlists", L"C:\\Users\\Me\\"));
  EXPECT_FALSE(guard.IsInside(L"C:\\Apps\\Tool\\", L"C:\\APPS~1\\Tool"));
  EXPECT_FALSE(guard.IsInside(L"C:\\Apps\\Tool\\music\\", L"C:\\Apps\\Tool\\"));
  EXPECT_FALSE(guard.IsInside(L"C:\\Apps\\Tool\\..\\Other", L"C:\\Apps\\Tool"));
  EXPECT_FALSE(guard.IsInside(L"C:\\Apps\\Tool\\missing", L"C:\\Apps\\Tool"));
}

// An install in the application's folder costs no identity read but the
// application folder's own, and a folder elsewhere on a drive its own: on
// drive letters the final paths decide. Where a share is involved, the
// guarded folders' identities are read too, once.
TEST_F(FolderGuardTest, IdentitiesAreReadOnlyWhereNeeded) {
  FolderGuard guard = Guard();
  EXPECT_EQ(env_.identity_reads(), 1u);
  EXPECT_TRUE(guard.MayEmpty(L"C:\\Apps\\Tool\\data\\img\\"));
  EXPECT_TRUE(guard.MayRemove(L"C:\\Apps\\Tool\\data\\"));
  EXPECT_TRUE(guard.MayRemove(L"C:\\Apps\\Tool\\"));
  EXPECT_EQ(env_.identity_reads(), 1u);
  EXPECT_TRUE(guard.MayRemove(L"C:\\Apps\\Other\\"));
  EXPECT_FALSE(guard.MayRemove(L"S:\\Desktop\\"));
  EXPECT_EQ(env_.identity_reads(), 3u);
  env_.AddDir(L"\\\\srv\\share\\Tool");
  EXPECT_TRUE(guard.MayRemove(L"\\\\srv\\share\\Tool\\"));
  EXPECT_GT(env_.identity_reads(), 5u);
}

bool Holds(const std::vector<std::wstring>& folders, const std::wstring& folder) {
  return std::find(folders.begin(), folders.end(), folder) != folders.end();
}

TEST_F(FolderGuardTest, QueriesWhatTheSystemReportsAndTheSystemFolderInEveryView) {
  env_.SetSpecialFolder(csidl::kPersonal, L"C:\\Users\\Me\\Documents");
  const GuardedFolders guarded = Query();
  for (const wchar_t* folder :
       {kWinDir, kWinSysDir, L"C:\\Users\\Me\\Desktop", L"C:\\Program Files",
        L"C:\\WINDOWS\\SysWOW64", L"C:\\Users\\Me\\AppData\\Local\\Temp\\", L"S:\\"}) {
    EXPECT_TRUE(Holds(guarded.folders, folder)) << ::testing::PrintToString(folder);
  }
  // The shell folders by number stand in only where the known-folder list
  // cannot be read.
  EXPECT_FALSE(Holds(guarded.folders, L"C:\\Users\\Me\\Documents\\"));
  SystemFolderReport without_list = env_.ReportSystemFolders();
  without_list.known_folders.clear();
  env_.set_system_folders(without_list);
  EXPECT_TRUE(Holds(Query().folders, L"C:\\Users\\Me\\Documents\\"));
  EXPECT_EQ(guarded.system_trees, (std::vector<std::wstring>{kWinSysDir, L"C:\\WINDOWS\\SysWOW64",
                                                             L"C:\\WINDOWS\\Sysnative\\"}));
  EXPECT_EQ(guarded.windows_trees, std::vector<std::wstring>{kWinDir});
}

TEST_F(FolderGuardTest, DescribesTheFoldersByTheirOwnPaths) {
  const FolderGuard::Report report = Guard(L"C:\\APPS~1\\Tool\\").Describe();
  for (const wchar_t* folder :
       {L"C:\\", L"C:\\USERS", L"C:\\USERS\\ME", L"C:\\USERS\\ME\\APPDATA\\LOCAL\\TEMP",
        L"C:\\WINDOWS\\SYSTEM32", L"C:\\PROGRAM FILES\\COMMON FILES"}) {
    EXPECT_TRUE(Holds(report.folders, folder)) << ::testing::PrintToString(folder);
  }
  // The system's own paths keep the letter case the folders were made with.
  EXPECT_EQ(report.system_trees,
            (std::vector<std::wstring>{L"C:\\WINDOWS\\system32", L"C:\\WINDOWS\\system32",
                                       L"C:\\WINDOWS\\Native"}));
  EXPECT_EQ(report.app_dir, L"C:\\Apps\\Tool");
}

}  // namespace
}  // namespace uninstall
