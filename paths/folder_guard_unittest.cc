#include "paths/folder_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fake_env.h"

namespace uninstall {
namespace {

constexpr wchar_t kWinDir[] = L"C:\\WINDOWS\\";
constexpr wchar_t kWinSysDir[] = L"C:\\WINDOWS\\system32\\";
constexpr wchar_t kAppDir[] = L"C:\\Apps\\Tool\\";

// A 32-bit program's view of 64-bit Windows: System32 is the 32-bit system
// folder, SysWOW64 names it too, and the real system folder (here
// C:\WINDOWS\Native) is reached only through the "Sysnative" alias. The
// application sits in C:\Apps\Tool, and the machine has other names for
// many of its folders.
void Machine(FakeEnv& env) {
  for (const wchar_t* dir :
       {L"C:\\WINDOWS\\system32\\drivers\\etc", L"C:\\WINDOWS\\Native\\drivers",
        L"C:\\WINDOWS\\Temp", L"C:\\WINDOWS\\Fonts", L"C:\\WINDOWS\\inf\\sub",
        L"C:\\Program Files\\Common Files", L"C:\\Program Files\\Other App",
        L"C:\\Program Files (x86)\\Common Files", L"C:\\Users\\Me\\Desktop",
        L"C:\\Users\\Me\\Music\\Playlists", L"C:\\Users\\Me\\AppData\\Local\\Temp",
        L"C:\\Users\\Me\\Stuff", L"C:\\Apps\\Tool\\data\\img", L"C:\\Apps\\Other"}) {
    env.AddDir(dir);
  }
  env.AddAlias(L"C:\\WINDOWS\\SysWOW64", L"C:\\WINDOWS\\system32");
  env.AddAlias(L"C:\\WINDOWS\\Sysnative", L"C:\\WINDOWS\\Native");
  env.AddAlias(L"C:\\PROGRA~1", L"C:\\Program Files");
  env.AddAlias(L"C:\\APPS~1", L"C:\\Apps");
  env.AddAlias(L"S:", L"C:\\Users\\Me");
  env.AddAlias(L"\\\\localhost\\c$", L"C:");
  env.AddLink(L"C:\\Junction", L"C:\\Users\\Me");
  env.AddLink(L"C:\\Apps\\Tool\\win", L"C:\\WINDOWS");
  env.AddLink(L"C:\\Apps\\Tool\\music", L"C:\\Users\\Me\\Music");

  SystemFolderReport report;
  report.known_folders = {L"C:\\Users\\Me\\Desktop", L"C:\\Users\\Me\\Music", L"C:\\WINDOWS\\Fonts",
                          L"C:\\Program Files (x86)", L"C:\\Program Files (x86)\\Common Files"};
  report.program_files = {L"C:\\Program Files", L"C:\\Program Files\\Common Files"};
  report.system_wow64 = L"C:\\WINDOWS\\SysWOW64";
  report.temp = L"C:\\Users\\Me\\AppData\\Local\\Temp\\";
  report.drive_roots = {L"C:\\", L"S:\\"};
  env.set_system_folders(report);
}

struct GuardCase {
  const wchar_t* dir;
  bool may_remove;
  bool may_empty;
};

void PrintTo(const GuardCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.dir); }

class FolderGuardTest : public ::testing::TestWithParam<GuardCase> {};

TEST_P(FolderGuardTest, DecidesByTheFolderNotItsName) {
  const GuardCase& c = GetParam();
  FakeEnv env;
  Machine(env);
  FolderGuard guard(env, QueryGuardedFolders(env, kWinDir, kWinSysDir), kAppDir);
  EXPECT_EQ(guard.MayRemove(c.dir), c.may_remove);
  EXPECT_EQ(guard.MayEmpty(c.dir), c.may_empty);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FolderGuardTest,
    ::testing::Values(
        // The application's folder and what lies in it.
        GuardCase{L"C:\\Apps\\Tool\\", true, true},
        GuardCase{L"C:\\Apps\\Tool\\data\\", true, true},
        GuardCase{L"c:\\apps\\TOOL\\data\\.\\img\\", true, true},
        GuardCase{L"C:\\APPS~1\\Tool\\data\\", true, true},
        // Its neighbours and its parent may go when empty, but are never
        // emptied of files no log names.
        GuardCase{L"C:\\Apps\\Other\\", true, false}, GuardCase{L"C:\\Apps\\", true, false},
        GuardCase{L"C:\\Apps\\Tool\\..\\Other\\", true, false},
        GuardCase{L"C:\\Program Files\\Other App\\", true, false},
        // Guarded folders by any name.
        GuardCase{L"C:\\Users\\Me\\Desktop\\", false, false},
        GuardCase{L"C:\\USERS\\ME\\DESKTOP.\\", false, false},
        GuardCase{L"\\\\?\\C:\\Users\\Me\\Desktop", false, false},
        GuardCase{L"S:\\Desktop\\", false, false}, GuardCase{L"S:\\", false, false},
        GuardCase{L"\\\\localhost\\c$\\Users\\Me\\Music\\", false, false},
        GuardCase{L"C:\\Junction\\Music\\", false, false},
        GuardCase{L"C:\\Apps\\Tool\\music\\", false, false},
        GuardCase{L"C:\\PROGRA~1\\", false, false},
        GuardCase{L"C:\\PROGRA~1\\Common Files\\", false, false},
        GuardCase{L"C:\\Program Files (x86)\\", false, false},
        // Above a guarded folder: the profile, AppData above Temp, Users.
        GuardCase{L"C:\\Users\\Me\\", false, false}, GuardCase{L"C:\\Users\\", false, false},
        GuardCase{L"C:\\Users\\Me\\AppData\\", false, false},
        GuardCase{L"C:\\Users\\Me\\AppData\\Local\\Temp\\", false, false},
        // A plain folder of the user's, reached through a link: it may go
        // when empty, but it is not the application's.
        GuardCase{L"C:\\Apps\\Tool\\music\\Playlists\\", true, false},
        GuardCase{L"C:\\Users\\Me\\Stuff\\", true, false},
        // The Windows folder: nothing is emptied; its direct children and
        // everything in a system folder in any view stay.
        GuardCase{L"C:\\WINDOWS\\", false, false}, GuardCase{L"C:\\WINDOWS\\Temp\\", false, false},
        GuardCase{L"C:\\Apps\\Tool\\win\\Temp\\", false, false},
        GuardCase{L"C:\\WINDOWS\\Fonts\\", false, false},
        GuardCase{L"C:\\WINDOWS\\inf\\sub\\", true, false},
        GuardCase{L"C:\\Apps\\Tool\\win\\inf\\sub\\", true, false},
        GuardCase{L"C:\\WINDOWS\\system32\\drivers\\etc\\", false, false},
        GuardCase{L"C:\\WINDOWS\\SysWOW64\\drivers\\", false, false},
        GuardCase{L"C:\\WINDOWS\\Sysnative\\", false, false},
        GuardCase{L"C:\\WINDOWS\\Sysnative\\drivers\\", false, false},
        GuardCase{L"C:\\WINDOWS\\Native\\drivers\\", false, false},
        // Roots, relative paths and folders that are not there.
        GuardCase{L"C:\\", false, false}, GuardCase{L"\\\\localhost\\c$\\", false, false},
        GuardCase{L"C:\\Apps\\..\\", false, false}, GuardCase{L"Apps\\Tool\\", false, false},
        GuardCase{L"\\Apps\\Tool\\", false, false}, GuardCase{L"", false, false},
        GuardCase{L"C:\\Apps\\Tool\\missing\\", false, false}));

TEST(FolderGuard, UnidentifiedFolderIsGuarded) {
  FakeEnv env;
  Machine(env);
  env.InjectFault(FakeOp::kGetFileIdentity, L"C:\\Apps\\Other", kErrorAccessDenied);
  FolderGuard guard(env, QueryGuardedFolders(env, kWinDir, kWinSysDir), kAppDir);
  EXPECT_FALSE(guard.MayRemove(L"C:\\Apps\\Other\\"));
  EXPECT_TRUE(guard.MayRemove(L"C:\\Apps\\"));
}

// Without the application's own folder identified nothing is emptied; its
// subfolders are then judged one by one, by their own identity.
TEST(FolderGuard, UnidentifiedApplicationFolderIsNeverEmptied) {
  FakeEnv env;
  Machine(env);
  env.InjectFault(FakeOp::kGetFileIdentity, kAppDir, kErrorAccessDenied);
  FolderGuard guard(env, QueryGuardedFolders(env, kWinDir, kWinSysDir), kAppDir);
  EXPECT_FALSE(guard.MayEmpty(L"C:\\Apps\\Tool\\data\\"));
  EXPECT_TRUE(guard.MayRemove(L"C:\\Apps\\Tool\\data\\"));
  EXPECT_FALSE(guard.MayRemove(L"C:\\Apps\\Tool\\music\\"));
}

// An application folder that holds a guarded folder (the uninstaller in the
// user's profile) is judged folder by folder: what the user owns stays.
TEST(FolderGuard, ApplicationFolderHoldingGuardedFolders) {
  FakeEnv env;
  Machine(env);
  FolderGuard guard(env, QueryGuardedFolders(env, kWinDir, kWinSysDir), L"C:\\Users\\Me\\");
  EXPECT_FALSE(guard.MayRemove(L"C:\\Users\\Me\\"));
  EXPECT_FALSE(guard.MayRemove(L"C:\\Users\\Me\\Desktop\\"));
  EXPECT_FALSE(guard.MayRemove(L"C:\\Users\\Me\\Music\\"));
  EXPECT_TRUE(guard.MayEmpty(L"C:\\Users\\Me\\Stuff\\"));
  EXPECT_TRUE(guard.MayEmpty(L"S:\\Stuff\\"));
}

TEST(FolderGuard, ApplicationInsideTheWindowsFolderIsNeverEmptied) {
  FakeEnv env;
  Machine(env);
  env.AddDir(L"C:\\WINDOWS\\Tool\\data");
  FolderGuard guard(env, QueryGuardedFolders(env, kWinDir, kWinSysDir), L"C:\\WINDOWS\\Tool\\");
  EXPECT_FALSE(guard.MayRemove(L"C:\\WINDOWS\\Tool\\"));
  EXPECT_TRUE(guard.MayRemove(L"C:\\WINDOWS\\Tool\\data\\"));
  EXPECT_FALSE(guard.MayEmpty(L"C:\\WINDOWS\\Tool\\data\\"));
}

TEST(FolderGuard, IsInsideByTheFoldersThemselves) {
  FakeEnv env;
  Machine(env);
  FolderGuard guard(env, QueryGuardedFolders(env, kWinDir, kWinSysDir), kAppDir);
  EXPECT_TRUE(guard.IsInside(L"C:\\Apps\\Tool\\data\\img", L"C:\\APPS~1\\Tool"));
  EXPECT_TRUE(guard.IsInside(L"S:\\Music\\Playlists", L"C:\\Users\\Me\\"));
  EXPECT_FALSE(guard.IsInside(L"C:\\Apps\\Tool\\", L"C:\\APPS~1\\Tool"));
  EXPECT_FALSE(guard.IsInside(L"C:\\Apps\\Tool\\music\\", L"C:\\Apps\\Tool\\"));
  EXPECT_FALSE(guard.IsInside(L"C:\\Apps\\Tool\\..\\Other", L"C:\\Apps\\Tool"));
  EXPECT_FALSE(guard.IsInside(L"C:\\Apps\\Tool\\missing", L"C:\\Apps\\Tool"));
}

// An install in the application's folder costs no identity read but the
// application folder's own: its folders are told by their text and their
// attributes. A folder elsewhere reads the guarded folders' identities,
// once.
TEST(FolderGuard, IdentitiesAreReadOnlyWhereNeeded) {
  FakeEnv env;
  Machine(env);
  FolderGuard guard(env, QueryGuardedFolders(env, kWinDir, kWinSysDir), kAppDir);
  EXPECT_EQ(env.identity_reads(), 1u);
  EXPECT_TRUE(guard.MayEmpty(L"C:\\Apps\\Tool\\data\\img\\"));
  EXPECT_TRUE(guard.MayRemove(L"C:\\Apps\\Tool\\data\\"));
  EXPECT_EQ(env.identity_reads(), 1u);
  EXPECT_TRUE(guard.MayRemove(L"C:\\Apps\\Other\\"));
  const std::size_t after_first = env.identity_reads();
  EXPECT_GT(after_first, 2u);
  EXPECT_FALSE(guard.MayRemove(L"S:\\Desktop\\"));
  EXPECT_EQ(env.identity_reads(), after_first + 1);
}

TEST(QueryGuardedFolders, WhatTheSystemReportsAndTheSystemFolderInEveryView) {
  FakeEnv env;
  Machine(env);
  env.SetSpecialFolder(csidl::kPersonal, L"C:\\Users\\Me\\Documents");
  const GuardedFolders guarded = QueryGuardedFolders(env, kWinDir, kWinSysDir);
  const auto holds = [&](const GuardedFolders& g, const wchar_t* folder) {
    return std::find(g.folders.begin(), g.folders.end(), folder) != g.folders.end();
  };
  for (const wchar_t* folder :
       {kWinDir, kWinSysDir, L"C:\\Users\\Me\\Desktop", L"C:\\Program Files",
        L"C:\\WINDOWS\\SysWOW64", L"C:\\Users\\Me\\AppData\\Local\\Temp\\", L"S:\\"}) {
    EXPECT_TRUE(holds(guarded, folder)) << ::testing::PrintToString(folder);
  }
  // The shell folders by number stand in only where the known-folder list
  // cannot be read.
  EXPECT_FALSE(holds(guarded, L"C:\\Users\\Me\\Documents\\"));
  SystemFolderReport without_list = env.ReportSystemFolders();
  without_list.known_folders.clear();
  env.set_system_folders(without_list);
  EXPECT_TRUE(holds(QueryGuardedFolders(env, kWinDir, kWinSysDir), L"C:\\Users\\Me\\Documents\\"));
  EXPECT_EQ(guarded.system_trees, (std::vector<std::wstring>{kWinSysDir, L"C:\\WINDOWS\\SysWOW64",
                                                             L"C:\\WINDOWS\\Sysnative\\"}));
  EXPECT_EQ(guarded.windows_trees, std::vector<std::wstring>{kWinDir});
}

TEST(FolderGuard, DescribesTheFoldersByTheirOwnPaths) {
  FakeEnv env;
  Machine(env);
  FolderGuard guard(env, QueryGuardedFolders(env, kWinDir, kWinSysDir), L"C:\\APPS~1\\Tool\\");
  const FolderGuard::Report report = guard.Describe();
  for (const wchar_t* folder :
       {L"C:\\", L"C:\\USERS", L"C:\\USERS\\ME", L"C:\\USERS\\ME\\APPDATA\\LOCAL\\TEMP",
        L"C:\\WINDOWS\\SYSTEM32", L"C:\\PROGRAM FILES\\COMMON FILES"}) {
    EXPECT_NE(std::find(report.folders.begin(), report.folders.end(), folder), report.folders.end())
        << ::testing::PrintToString(folder);
  }
  // The system's own paths keep the letter case the folders were made with.
  EXPECT_EQ(report.system_trees,
            (std::vector<std::wstring>{L"C:\\WINDOWS\\system32", L"C:\\WINDOWS\\system32",
                                       L"C:\\WINDOWS\\Native"}));
  EXPECT_EQ(report.app_dir, L"C:\\Apps\\Tool");
}

}  // namespace
}  // namespace uninstall
