#include "removal/directories.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fake_env.h"
#include "tests/support/install_logs.h"

namespace uninstall {
namespace {

constexpr int kAll = -10000;

FileEntry File(std::wstring path, std::int16_t keep = kFalse) {
  return FileEntry{L"src", std::move(path), keep};
}
std::wstring Rmdir(const std::wstring& path) { return L"RemoveDir " + path; }
std::wstring Del(const std::wstring& path) { return L"RemoveFile " + path; }

// What the stage did to the disk, without the listings it read.
std::vector<std::wstring> Changes(const FakeEnv& env) {
  std::vector<std::wstring> out;
  for (const std::wstring& e : env.events()) {
    if (e.starts_with(L"RemoveDir ") || e.starts_with(L"RemoveFile ")) out.push_back(e);
  }
  return out;
}

// Runs the stage over the first `count` of `entries`, with the main
// directory that of `main_path`.
void RunStage(FakeEnv& env, FolderGuard& guard, FileListing& File1, int count,
              std::vector<FileEntry> entries, std::wstring main_path) {
  DirectoryStageContext ctx;
  ctx.WinDir = L"C:\\WINDOWS\\";
  ctx.WinSysDir = L"C:\\WINDOWS\\system32\\";
  const InstallLog log = FilesLog(count, std::move(entries), std::move(main_path));
  RemoveDirectories(env, ctx, guard, PlanRemoval(log), File1);
}

GuardedFolders Guards() {
  GuardedFolders guards;
  guards.folders = {L"C:\\WINDOWS\\",   L"C:\\WINDOWS\\system32\\",  L"C:\\Program Files\\",
                    L"C:\\Users\\Me\\", L"C:\\Users\\Me\\Desktop\\", L"C:\\ProgramData\\"};
  guards.system_trees = {L"C:\\WINDOWS\\system32\\"};
  guards.windows_trees = {L"C:\\WINDOWS\\"};
  return guards;
}

// The application's own folder in most cases: the main directory lies in it.
constexpr wchar_t kAppDir[] = L"C:\\Apps\\Tool\\";

struct DirCase {
  const char* name = "";
  std::function<void(FakeEnv&)> setup = {};
  std::wstring main_path = {};
  std::vector<FileEntry> entries = {};
  std::vector<std::wstring> changes = {};  // RemoveDir / RemoveFile, in order
  std::vector<std::wstring> left = {};     // still there afterwards
  std::vector<std::wstring> gone = {};     // removed
  int count = kAll;
  std::wstring app_dir = kAppDir;  // the folder of the running uninstaller
};

const DirCase kCases[] = {
    {.name = "KeptAndUnexpandedEntriesGiveNoDirectory",
     .setup = [](FakeEnv& env) { env.AddDir(L"C:\\Apps\\Tool"); },
     .entries = {File(L"C:\\Apps\\Tool\\a.exe", kTrue), File(L"%windir%\\x.dll")},
     .left = {L"C:\\Apps\\Tool"}},
    {.name = "CompletionAddsIntermediateDeepestFirst",
     .setup =
         [](FakeEnv& env) {
           env.AddDir(L"C:\\Apps\\Tool\\data\\img");
           env.AddFile(L"C:\\Apps\\other.txt");
         },
     .entries = {File(L"C:\\Apps\\Tool\\a.exe"), File(L"C:\\Apps\\Tool\\data\\img\\p.png"),
                 File(L"C:\\Apps\\Tool\\b.dll")},
     .changes = {Rmdir(L"C:\\Apps\\Tool\\data\\img\\"), Rmdir(L"C:\\Apps\\Tool\\data\\"),
                 Rmdir(L"C:\\Apps\\Tool\\")},
     .left = {L"C:\\Apps\\other.txt"},
     .gone = {L"C:\\Apps\\Tool"}},
    {.name = "UnrelatedTreesAddNothing",
     .setup =
         [](FakeEnv& env) {
           env.AddDir(L"C:\\Apps\\Tool");
           env.AddDir(L"D:\\Other");
         },
     .entries = {File(L"D:\\Other\\b.txt"), File(L"C:\\Apps\\Tool\\a.exe")},
     .changes = {Rmdir(L"C:\\Apps\\Tool\\"), Rmdir(L"D:\\Other\\")},
     .left = {L"C:\\Apps"},
     .gone = {L"C:\\Apps\\Tool", L"D:\\Other"}},
    {.name = "AncestryIsCaseSensitive",
     .setup = [](FakeEnv& env) { env.AddDir(L"C:\\Apps\\Tool\\data\\img"); },
     .entries = {File(L"C:\\Apps\\tool\\a.exe"), File(L"C:\\Apps\\Tool\\data\\img\\p.png")},
     .changes = {Rmdir(L"C:\\Apps\\Tool\\data\\img\\"), Rmdir(L"C:\\Apps\\tool\\")},
     .left = {L"C:\\Apps\\Tool\\data"}},
    {.name = "OtherDirectoryWithFilesIsLeftAlone",
     .setup =
         [](FakeEnv& env) {
           env.AddFile(L"C:\\Apps\\Tool\\readme.txt");
           env.AddFile(L"C:\\Apps\\Tool\\h.dat", "", attr::kHidden | attr::kSystem);
         },
     .main_path = L"C:\\Apps\\Main\\main.exe",
     .entries = {File(L"C:\\Apps\\Tool\\a.exe")},
     // Asked to go, and refused by the file system: it is not empty.
     .changes = {L"RemoveDir C:\\Apps\\Tool\\"},
     .left = {L"C:\\Apps\\Tool\\readme.txt", L"C:\\Apps\\Tool\\h.dat"}},
    {.name = "OnlyAnEmptySubdirectoryLeftRemovalFailsSilently",
     .setup =
         [](FakeEnv& env) {
           env.AddDir(L"C:\\Apps\\Tool\\cache");
           env.AddDir(L"C:\\Apps\\Next");
         },
     .entries = {File(L"C:\\Apps\\Tool\\a.exe"), File(L"C:\\Apps\\Next\\b.exe")},
     .changes = {Rmdir(L"C:\\Apps\\Tool\\"), Rmdir(L"C:\\Apps\\Next\\")},
     .left = {L"C:\\Apps\\Tool\\cache"}},
    // The listing was read before the deletions: the main directory stays at
    // its one visit although it is empty by then.
    {.name = "MainDirectoryEmptiedButStaysOnOneVisit",
     .setup =
         [](FakeEnv& env) {
           env.AddFile(L"C:\\Apps\\Tool\\readme.txt");
           env.AddFile(L"C:\\Apps\\Tool\\h.dat", "", attr::kHidden);
         },
     .main_path = L"c:\\apps\\tool\\tool.exe",
     .entries = {File(L"C:\\Apps\\Tool\\tool.exe")},
     .changes = {Del(L"C:\\Apps\\Tool\\h.dat"), Del(L"C:\\Apps\\Tool\\readme.txt")},
     .left = {L"C:\\Apps\\Tool"},
     .gone = {L"C:\\Apps\\Tool\\readme.txt", L"C:\\Apps\\Tool\\h.dat"}},
    {.name = "MainDirectoryRemovedOnSecondVisit",
     .setup = [](FakeEnv& env) { env.AddFile(L"C:\\Apps\\Tool\\readme.txt"); },
     .main_path = L"C:\\Apps\\Tool\\tool.exe",
     .entries = {File(L"C:\\Apps\\Tool\\tool.exe"), File(L"C:\\Apps\\Tool\\tool.dll")},
     .changes = {Del(L"C:\\Apps\\Tool\\readme.txt"), Rmdir(L"C:\\Apps\\Tool\\")},
     .gone = {L"C:\\Apps\\Tool"}},
    {.name = "ReadOnlyLeftoverStaysWithoutPrompt",
     .setup = [](FakeEnv& env) { env.AddFile(L"C:\\Apps\\Tool\\ro.txt", "", attr::kReadOnly); },
     .main_path = L"C:\\Apps\\Tool\\tool.exe",
     .entries = {File(L"C:\\Apps\\Tool\\tool.exe"), File(L"C:\\Apps\\Tool\\tool.dll")},
     .changes = {Del(L"C:\\Apps\\Tool\\ro.txt"), Del(L"C:\\Apps\\Tool\\ro.txt")},
     .left = {L"C:\\Apps\\Tool\\ro.txt"}},
    // A kept file survives the emptying of the main directory, whatever the
    // letter case of its logged path and whichever non-zero value marks it.
    {.name = "KeptFilesInMainDirectoryStay",
     .setup =
         [](FakeEnv& env) {
           env.AddFile(L"C:\\Apps\\Tool\\Settings.ini");
           env.AddFile(L"C:\\Apps\\Tool\\user.db");
           env.AddFile(L"C:\\Apps\\Tool\\log.txt");
         },
     .main_path = L"C:\\Apps\\Tool\\tool.exe",
     .entries = {File(L"C:\\Apps\\Tool\\tool.exe"), File(L"c:\\apps\\tool\\SETTINGS.INI", kTrue),
                 File(L"C:\\Apps\\Tool\\user.db", 1)},
     .changes = {Del(L"C:\\Apps\\Tool\\log.txt")},
     .left = {L"C:\\Apps\\Tool\\Settings.ini", L"C:\\Apps\\Tool\\user.db"},
     .gone = {L"C:\\Apps\\Tool\\log.txt"}},
    {.name = "MainDirectoryNotInListKeepsLeftovers",
     .setup =
         [](FakeEnv& env) {
           env.AddFile(L"C:\\Apps\\Tool\\readme.txt");
           env.AddDir(L"C:\\Other");
         },
     .main_path = L"C:\\Apps\\Tool\\tool.exe",
     .entries = {File(L"C:\\Other\\x.txt")},
     .changes = {Rmdir(L"C:\\Other\\")},
     .left = {L"C:\\Apps\\Tool\\readme.txt"}},
    {.name = "EmptyMainPathDeletesNothing",
     .setup = [](FakeEnv& env) { env.AddFile(L"C:\\Apps\\Tool\\readme.txt"); },
     .entries = {File(L"C:\\Apps\\Tool\\tool.exe")},
     .changes = {L"RemoveDir C:\\Apps\\Tool\\"},  // refused: not empty
     .left = {L"C:\\Apps\\Tool\\readme.txt"}},
    {.name = "WindowsDirectoryAsMainInAnyCase",
     .setup =
         [](FakeEnv& env) {
           env.AddFile(L"C:\\WINDOWS\\notepad.exe");
           env.AddFile(L"C:\\WINDOWS\\system32\\kernel32.dll");
         },
     .main_path = L"c:\\Windows\\app.exe",
     .entries = {File(L"c:\\Windows\\app.exe")},
     .left = {L"C:\\WINDOWS\\notepad.exe"}},
    {.name = "SystemDirectoryAsMainInAnyCase",
     .setup = [](FakeEnv& env) { env.AddFile(L"C:\\WINDOWS\\system32\\kernel32.dll"); },
     .main_path = L"C:\\Windows\\SYSTEM32\\app.dll",
     .entries = {File(L"C:\\Windows\\SYSTEM32\\app.dll")},
     .left = {L"C:\\WINDOWS\\system32\\kernel32.dll"}},
    {.name = "ProgramFilesAsMainIsNotEmptied",
     .setup = [](FakeEnv& env) { env.AddFile(L"C:\\Program Files\\shared.dll"); },
     .main_path = L"C:\\Program Files\\tool.exe",
     .entries = {File(L"C:\\Program Files\\tool.exe")},
     .left = {L"C:\\Program Files\\shared.dll"}},
    // ".." climbs before the file system sees the path, as the guard knows.
    {.name = "DotDotToTheWindowsDirectoryIsNotEmptied",
     .setup = [](FakeEnv& env) { env.AddFile(L"C:\\Apps\\..\\WINDOWS\\notepad.exe"); },
     .main_path = L"C:\\Apps\\..\\WINDOWS\\app.exe",
     .entries = {File(L"C:\\Apps\\..\\WINDOWS\\app.exe")},
     .left = {L"C:\\Apps\\..\\WINDOWS\\notepad.exe"}},
    {.name = "DriveRootAsMainIsNotEmptied",
     .setup = [](FakeEnv& env) { env.AddFile(L"C:\\boot.ini"); },
     .main_path = L"C:\\app.exe",
     .entries = {File(L"C:\\app.exe")},
     .left = {L"C:\\boot.ini"}},
    {.name = "ShareRootAsMainIsNotEmptied",
     .setup = [](FakeEnv& env) { env.AddFile(L"\\\\srv\\share\\data.mdb"); },
     .main_path = L"\\\\srv\\share\\app.exe",
     .entries = {File(L"\\\\srv\\share\\app.exe")},
     .left = {L"\\\\srv\\share\\data.mdb"}},
    {.name = "EmptyGuardedFolderIsNotRemoved",
     .setup =
         [](FakeEnv& env) {
           env.AddDir(L"C:\\Users\\Me\\Desktop");
           env.AddDir(L"C:\\Apps\\..\\ProgramData");
         },
     .entries = {File(L"C:\\Users\\Me\\Desktop\\app.lnk"),
                 File(L"C:\\Apps\\..\\ProgramData\\app.cfg")},
     .left = {L"C:\\Users\\Me\\Desktop", L"C:\\Apps\\..\\ProgramData"}},
    // A logged path without "\" has "" for its directory, an ancestor of
    // everything: the parents up to the drive root are added, but the root
    // itself is never removed.
    {.name = "PathWithoutBackslashClimbsToTheRootButLeavesIt",
     .setup = [](FakeEnv& env) { env.AddDir(L"C:\\Apps\\Tool"); },
     .entries = {File(L"readme.txt"), File(L"C:\\Apps\\Tool\\a.exe")},
     .changes = {Rmdir(L"C:\\Apps\\Tool\\"), Rmdir(L"C:\\Apps\\")},
     .gone = {L"C:\\Apps"}},
    {.name = "JunctionAsMainIsNotEmptied",
     .setup =
         [](FakeEnv& env) {
           env.AddDir(L"C:\\Apps\\Link", attr::kDirectory | attr::kReparsePoint);
           env.AddFile(L"C:\\Apps\\Link\\data.db");
         },
     .main_path = L"C:\\Apps\\Link\\tool.exe",
     .entries = {File(L"C:\\Apps\\Link\\tool.exe")},
     .left = {L"C:\\Apps\\Link\\data.db"}},
    {.name = "EmptyJunctionEntryIsRemoved",
     .setup =
         [](FakeEnv& env) {
           env.AddDir(L"C:\\Apps\\Link", attr::kDirectory | attr::kReparsePoint);
         },
     .main_path = L"C:\\Apps\\Link\\tool.exe",
     .entries = {File(L"C:\\Apps\\Link\\tool.exe")},
     .changes = {Rmdir(L"C:\\Apps\\Link\\")},
     .gone = {L"C:\\Apps\\Link"}},
    // Relative paths are taken against the current directory: never emptied.
    {.name = "RelativeMainDirectoryIsNotEmptied",
     .setup = [](FakeEnv& env) { env.AddFile(L"App\\leftover.txt"); },
     .main_path = L"App\\tool.exe",
     .entries = {File(L"App\\tool.exe")},
     .left = {L"App\\leftover.txt"}},
    {.name = "DriveRelativeMainDirectoryIsNotEmptied",
     .setup = [](FakeEnv& env) { env.AddFile(L"\\App\\leftover.txt"); },
     .main_path = L"\\App\\tool.exe",
     .entries = {File(L"\\App\\tool.exe")},
     .left = {L"\\App\\leftover.txt"}},
    // Errors are absorbed and the stage goes on.
    {.name = "FailingSearchCountsAsExisting",
     .setup =
         [](FakeEnv& env) {
           env.AddDir(L"C:\\Apps\\Tool");
           env.InjectFault(FakeOp::kGetFileAttrs, L"C:\\Apps\\Tool", kErrorAccessDenied);
         },
     .entries = {File(L"C:\\Apps\\Tool\\a.exe")},
     .changes = {Rmdir(L"C:\\Apps\\Tool\\")},
     .gone = {L"C:\\Apps\\Tool"}},
    // Attributes that cannot be read do not show the main directory is no
    // junction: nothing is deleted.
    {.name = "MainDirectoryWithUnreadableAttributesIsNotEmptied",
     .setup =
         [](FakeEnv& env) {
           env.AddFile(L"C:\\Apps\\Tool\\readme.txt");
           env.InjectFault(FakeOp::kGetFileAttrs, L"C:\\Apps\\Tool", kErrorAccessDenied);
         },
     .main_path = L"C:\\Apps\\Tool\\tool.exe",
     .entries = {File(L"C:\\Apps\\Tool\\tool.exe")},
     .left = {L"C:\\Apps\\Tool\\readme.txt"}},
    {.name = "FailingDeleteMovesOnToTheNextName",
     .setup =
         [](FakeEnv& env) {
           env.AddFile(L"C:\\Apps\\Tool\\a.txt");
           env.AddFile(L"C:\\Apps\\Tool\\b.txt");
           env.InjectFault(FakeOp::kRemoveFile, L"C:\\Apps\\Tool\\a.txt", kErrorSharingViolation);
         },
     .main_path = L"C:\\Apps\\Tool\\tool.exe",
     .entries = {File(L"C:\\Apps\\Tool\\tool.exe")},
     .changes = {Del(L"C:\\Apps\\Tool\\a.txt"), Del(L"C:\\Apps\\Tool\\b.txt")},
     .left = {L"C:\\Apps\\Tool\\a.txt"},
     .gone = {L"C:\\Apps\\Tool\\b.txt"}},
    {.name = "FailingRemoveDirMovesOn",
     .setup =
         [](FakeEnv& env) {
           env.AddDir(L"C:\\Apps\\One");
           env.AddDir(L"C:\\Apps\\Two");
           env.InjectFault(FakeOp::kRemoveDir, L"C:\\Apps\\One", kErrorAccessDenied);
         },
     .entries = {File(L"C:\\Apps\\One\\x"), File(L"C:\\Apps\\Two\\x")},
     .changes = {Rmdir(L"C:\\Apps\\One\\"), Rmdir(L"C:\\Apps\\Two\\")},
     .left = {L"C:\\Apps\\One"},
     .gone = {L"C:\\Apps\\Two"}},
    // A directory that cannot be listed is judged by the names of the one
    // listed before it: here an empty listing, so the removal is tried.
    {.name = "FailingListingKeepsThePreviousNames",
     .setup =
         [](FakeEnv& env) {
           env.AddDir(L"C:\\Apps\\Tool\\sub");
           env.AddFile(L"C:\\Apps\\Tool\\z.txt");
           env.InjectFault(FakeOp::kListFiles, L"C:\\Apps\\Tool", kErrorAccessDenied);
         },
     .entries = {File(L"C:\\Apps\\Tool\\sub\\x"), File(L"C:\\Apps\\Tool\\y")},
     .changes = {Rmdir(L"C:\\Apps\\Tool\\sub\\"), Rmdir(L"C:\\Apps\\Tool\\")},
     .left = {L"C:\\Apps\\Tool\\z.txt"},
     .gone = {L"C:\\Apps\\Tool\\sub"}},
};

// Failures name the case, not its bytes.
void PrintTo(const DirCase& c, std::ostream* os) { *os << c.name; }

class RemoveDirectoriesTest : public ::testing::TestWithParam<DirCase> {};

TEST_P(RemoveDirectoriesTest, Table) {
  const DirCase& c = GetParam();
  FakeEnv env;
  c.setup(env);
  FileListing File1(env);
  FolderGuard guard(env, Guards(), c.app_dir);
  const int count = c.count == kAll ? static_cast<int>(c.entries.size()) : c.count;
  RunStage(env, guard, File1, count, c.entries, c.main_path);
  EXPECT_EQ(Changes(env), c.changes);
  for (const std::wstring& path : c.left) EXPECT_TRUE(env.Exists(path)) << path;
  for (const std::wstring& path : c.gone) EXPECT_FALSE(env.Exists(path)) << path;
  EXPECT_TRUE(env.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, RemoveDirectoriesTest, ::testing::ValuesIn(kCases),
                         [](const auto& tested) { return std::string(tested.param.name); });

// A log that lists as many files as it can hold, 50 to a folder two levels
// below a data folder: the folders between them and the application's folder
// are in no entry, and all of them go, though the plan then holds more
// entries than the log.
TEST(RemoveDirectories, FullListLeavesNoFolderBehind) {
  FakeEnv env;
  std::vector<FileEntry> entries{File(L"C:\\Apps\\Tool\\big.exe")};
  for (int k = 1; k < kMaxEntries; ++k) {
    const std::wstring folder = L"C:\\Apps\\Tool\\Data\\D" + std::to_wstring(k / 2500) + L"\\F" +
                                std::to_wstring(k / 50 % 50);
    env.AddDir(folder);
    entries.push_back(File(folder + L"\\file" + std::to_wstring(k) + L".dat"));
  }
  FileListing File1(env);
  FolderGuard guard(env, Guards(), kAppDir);
  RunStage(env, guard, File1, kMaxEntries, entries, L"C:\\Apps\\Tool\\big.exe");
  EXPECT_FALSE(env.Exists(L"C:\\Apps\\Tool\\Data"));
  EXPECT_FALSE(env.Exists(L"C:\\Apps\\Tool"));
  EXPECT_TRUE(env.Exists(L"C:\\Apps"));
}

TEST(RemoveDirectories, NoDirectoryIsVisitedWithoutAReason) {
  FakeEnv env;
  env.AddDir(L"C:\\Apps\\Tool");
  FileListing File1(env);
  FolderGuard guard(env, Guards(), kAppDir);
  RunStage(env, guard, File1, 2, {File(L"%appdir%\\t.exe"), File(L"C:\\Apps\\Tool\\t.exe", kTrue)},
           L"C:\\Apps\\Tool\\t.exe");
  EXPECT_TRUE(env.events().empty());
}

// Every visit of the main directory sees it as it is then (a second visit
// reads it again), and reads it once: pointing the listing reads the names.
TEST(RemoveDirectories, EachVisitReadsTheListingOnce) {
  FakeEnv env;
  env.AddDir(L"C:\\Apps\\Tool");
  env.AddFile(L"C:\\Apps\\Tool\\keep.txt");
  FileListing File1(env);
  FolderGuard guard(env, Guards(), kAppDir);
  RunStage(env, guard, File1, 3,
           {File(L"C:\\Apps\\Tool\\a"), File(L"C:\\Apps\\Tool\\b"),
            File(L"C:\\Apps\\Tool\\keep.txt", kTrue)},
           L"C:\\Apps\\Tool\\a");
  EXPECT_EQ(env.events(), std::vector<std::wstring>(2, L"ListFiles C:\\Apps\\Tool\\"));
  EXPECT_EQ(File1.path(), L"C:\\Apps\\Tool\\");
  EXPECT_EQ(File1.ListCount(), 1);
}

// The listing is read only where it decides something: in the main
// directory, in a junction (whose removal would not depend on what its
// target holds) and where the attributes cannot be read. Any other
// directory is only asked to go.
struct ListingCase {
  const char* name;
  std::uint32_t dir_attrs;
  bool holds_file;
  bool unreadable_attrs;
  std::vector<std::wstring> events;
  bool gone;
};

void PrintTo(const ListingCase& c, std::ostream* os) { *os << c.name; }

class ListingUseTest : public ::testing::TestWithParam<ListingCase> {};

TEST_P(ListingUseTest, ReadsTheListingOnlyWhereItDecides) {
  const ListingCase& c = GetParam();
  const std::wstring dir = L"C:\\Apps\\Tool\\data\\";
  FakeEnv env;
  env.AddDir(L"C:\\Apps\\Tool\\data", c.dir_attrs);
  if (c.holds_file) env.AddFile(dir + L"user.cfg");
  if (c.unreadable_attrs) env.InjectFault(FakeOp::kGetFileAttrs, dir, kErrorAccessDenied);
  FileListing File1(env);
  FolderGuard guard(env, Guards(), kAppDir);
  RunStage(env, guard, File1, 1, {File(dir + L"x.dat")}, L"C:\\Apps\\Tool\\tool.exe");
  EXPECT_EQ(env.events(), c.events);
  EXPECT_EQ(env.Exists(dir), !c.gone);
  if (c.holds_file) {
    EXPECT_TRUE(env.Exists(dir + L"user.cfg"));
  }
}

constexpr std::uint32_t kJunction = attr::kDirectory | attr::kReparsePoint;

INSTANTIATE_TEST_SUITE_P(Table, ListingUseTest,
                         ::testing::Values(ListingCase{"OrdinaryEmpty",
                                                       attr::kDirectory,
                                                       false,
                                                       false,
                                                       {L"RemoveDir C:\\Apps\\Tool\\data\\"},
                                                       true},
                                           ListingCase{"OrdinaryHoldingAFile",
                                                       attr::kDirectory,
                                                       true,
                                                       false,
                                                       {L"RemoveDir C:\\Apps\\Tool\\data\\"},
                                                       false},
                                           ListingCase{"JunctionEmpty",
                                                       kJunction,
                                                       false,
                                                       false,
                                                       {L"ListFiles C:\\Apps\\Tool\\data\\",
                                                        L"RemoveDir C:\\Apps\\Tool\\data\\"},
                                                       true},
                                           ListingCase{"JunctionHoldingAFile",
                                                       kJunction,
                                                       true,
                                                       false,
                                                       {L"ListFiles C:\\Apps\\Tool\\data\\"},
                                                       false},
                                           ListingCase{"AttributesUnreadableHoldingAFile",
                                                       attr::kDirectory,
                                                       true,
                                                       true,
                                                       {L"ListFiles C:\\Apps\\Tool\\data\\"},
                                                       false}),
                         [](const auto& tested) { return std::string(tested.param.name); });

// A directory holds one visit for every logged file in it. Once removed, its
// later visits are passed over: even a search that would fail (and so count
// as found) is not made again.
TEST(RemoveDirectories, RemovedDirectoryIsNotVisitedAgain) {
  FakeEnv env;
  env.AddDir(L"C:\\Apps\\Tool");
  env.InjectFault(FakeOp::kGetFileAttrs, L"C:\\Apps\\Tool\\", kErrorAccessDenied);
  FileListing File1(env);
  FolderGuard guard(env, Guards(), kAppDir);
  RunStage(env, guard, File1, 3,
           {File(L"C:\\Apps\\Tool\\a"), File(L"C:\\Apps\\Tool\\b"), File(L"C:\\Apps\\Tool\\c")},
           L"");
  EXPECT_EQ(env.events(), (std::vector<std::wstring>{L"ListFiles C:\\Apps\\Tool\\",
                                                     L"RemoveDir C:\\Apps\\Tool\\"}));
  EXPECT_FALSE(env.Exists(L"C:\\Apps\\Tool"));
}

}  // namespace
}  // namespace uninstall
