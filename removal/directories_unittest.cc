#include "removal/directories.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "tests/support/fake_env.h"
#include "tests/support/install_logs.h"

namespace uninstall {
namespace {

// The application's own folder in most cases: the main directory lies in it.
constexpr wchar_t kAppDir[] = L"C:\\Apps\\Tool\\";
constexpr wchar_t kSame[] = L"(as before)";

// Runs the stage over `files` (the first `count`, all when < 0), with the
// main directory that of `main_path`.
void RunStage(FakeEnv& env, FileListing& File1, std::vector<FileEntry> files,
              std::wstring main_path, int count = -1) {
  GuardedFolders guards;
  guards.folders = {L"C:\\WINDOWS\\",   L"C:\\WINDOWS\\system32\\",  L"C:\\Program Files\\",
                    L"C:\\Users\\Me\\", L"C:\\Users\\Me\\Desktop\\", L"C:\\ProgramData\\"};
  guards.system_trees = {L"C:\\WINDOWS\\system32\\"};
  guards.windows_trees = {L"C:\\WINDOWS\\"};
  FolderGuard guard(env, guards, kAppDir);
  DirectoryStageContext ctx;
  ctx.WinDir = L"C:\\WINDOWS\\";
  ctx.WinSysDir = L"C:\\WINDOWS\\system32\\";
  if (count < 0) count = static_cast<int>(files.size());
  const InstallLog log = FilesLog(count, std::move(files), std::move(main_path));
  RemoveDirectories(env, ctx, guard, PlanRemoval(log), File1);
}

// The disk before and after, and the calls made, in order (see FakeEnv).
struct DirCase {
  const char* name;
  const wchar_t* disk;
  const wchar_t* main_path;
  const wchar_t* log;
  const wchar_t* after;
  const wchar_t* calls;
  std::optional<FakeOp> fault = {};  // fails with `code` on `fault_path`
  const wchar_t* fault_path = L"";
  ErrorCode code = kErrorAccessDenied;
};

constexpr FakeOp kAttrs = FakeOp::kGetFileAttrs;

const DirCase kCases[] = {
    {"KeptAndUnexpandedEntriesGiveNoDirectory", L"C:\\Apps\\Tool\\", L"",
     L"C:\\Apps\\Tool\\a.exe:K, %windir%\\x.dll", kSame, L""},
    {"NoDirectoryIsVisitedWithoutAReason", L"C:\\Apps\\Tool\\", L"C:\\Apps\\Tool\\t.exe",
     L"%appdir%\\t.exe, C:\\Apps\\Tool\\t.exe:K", kSame, L""},
    {"CompletionAddsIntermediateDeepestFirst", L"C:\\Apps\\{Tool\\data\\img\\, other.txt}", L"",
     L"C:\\Apps\\Tool\\{a.exe, data\\img\\p.png, b.dll}", L"C:\\Apps\\other.txt",
     L"rd C:\\Apps\\Tool\\data\\img\\; rd C:\\Apps\\Tool\\data\\; rd C:\\Apps\\Tool\\"},
    {"UnrelatedTreesAddNothing", L"C:\\Apps\\Tool\\, D:\\Other\\", L"",
     L"D:\\Other\\b.txt, C:\\Apps\\Tool\\a.exe", L"C:\\Apps\\, D:\\",
     L"rd C:\\Apps\\Tool\\; rd D:\\Other\\"},
    {"AncestryIsCaseSensitive", L"C:\\Apps\\Tool\\data\\img\\", L"",
     L"C:\\Apps\\{tool\\a.exe, Tool\\data\\img\\p.png}", L"C:\\Apps\\Tool\\data\\",
     L"rd C:\\Apps\\Tool\\data\\img\\; rd C:\\Apps\\tool\\"},
    // Asked to go, and refused by the file system: it is not empty.
    {"OtherDirectoryWithFilesIsLeftAlone", L"C:\\Apps\\Tool\\{readme.txt, h.dat:HS}",
     L"C:\\Apps\\Main\\main.exe", L"C:\\Apps\\Tool\\a.exe", kSame, L"rd C:\\Apps\\Tool\\"},
    {"OnlyAnEmptySubdirectoryLeftRemovalFailsSilently", L"C:\\Apps\\{Tool\\cache\\, Next\\}", L"",
     L"C:\\Apps\\{Tool\\a.exe, Next\\b.exe}", L"C:\\Apps\\Tool\\cache\\",
     L"rd C:\\Apps\\Tool\\; rd C:\\Apps\\Next\\"},
    // The listing was read before the deletions: the main directory stays at
    // its one visit although it is empty by then.
    {"MainDirectoryEmptiedButStaysOnOneVisit", L"C:\\Apps\\Tool\\{readme.txt, h.dat:H}",
     L"c:\\apps\\tool\\tool.exe", L"C:\\Apps\\Tool\\tool.exe", L"C:\\Apps\\Tool\\",
     L"dir C:\\Apps\\Tool\\; del C:\\Apps\\Tool\\h.dat; del C:\\Apps\\Tool\\readme.txt"},
    {"MainDirectoryRemovedOnSecondVisit", L"C:\\Apps\\Tool\\readme.txt",
     L"C:\\Apps\\Tool\\tool.exe", L"C:\\Apps\\Tool\\{tool.exe, tool.dll}", L"C:\\Apps\\",
     L"dir C:\\Apps\\Tool\\; del C:\\Apps\\Tool\\readme.txt; dir C:\\Apps\\Tool\\; rd "
     L"C:\\Apps\\Tool\\"},
    {"ReadOnlyLeftoverStaysWithoutPrompt", L"C:\\Apps\\Tool\\ro.txt:R", L"C:\\Apps\\Tool\\tool.exe",
     L"C:\\Apps\\Tool\\{tool.exe, tool.dll}", kSame,
     L"dir C:\\Apps\\Tool\\; del C:\\Apps\\Tool\\ro.txt; dir C:\\Apps\\Tool\\; del "
     L"C:\\Apps\\Tool\\ro.txt"},
    // A kept file survives the emptying of the main directory, whatever the
    // letter case of its logged path and whichever non-zero value marks it.
    {"KeptFilesInMainDirectoryStay", L"C:\\Apps\\Tool\\{Settings.ini, user.db, log.txt}",
     L"C:\\Apps\\Tool\\tool.exe",
     L"C:\\Apps\\Tool\\tool.exe, c:\\apps\\tool\\SETTINGS.INI:K, C:\\Apps\\Tool\\user.db:1",
     L"C:\\Apps\\Tool\\{Settings.ini, user.db}",
     L"dir C:\\Apps\\Tool\\; del C:\\Apps\\Tool\\log.txt; dir C:\\Apps\\Tool\\"},
    {"MainDirectoryNotInListKeepsLeftovers", L"C:\\{Apps\\Tool\\readme.txt, Other\\}",
     L"C:\\Apps\\Tool\\tool.exe", L"C:\\Other\\x.txt", L"C:\\Apps\\Tool\\readme.txt",
     L"rd C:\\Other\\"},
    {"EmptyMainPathDeletesNothing", L"C:\\Apps\\Tool\\readme.txt", L"", L"C:\\Apps\\Tool\\tool.exe",
     kSame, L"rd C:\\Apps\\Tool\\"},
    {"WindowsDirectoryAsMainInAnyCase", L"C:\\WINDOWS\\{notepad.exe, system32\\kernel32.dll}",
     L"c:\\Windows\\app.exe", L"c:\\Windows\\app.exe", kSame, L"dir c:\\Windows\\"},
    {"SystemDirectoryAsMainInAnyCase", L"C:\\WINDOWS\\system32\\kernel32.dll",
     L"C:\\Windows\\SYSTEM32\\app.dll", L"C:\\Windows\\SYSTEM32\\app.dll", kSame,
     L"dir C:\\Windows\\SYSTEM32\\"},
    {"ProgramFilesAsMainIsNotEmptied", L"C:\\Program Files\\shared.dll",
     L"C:\\Program Files\\tool.exe", L"C:\\Program Files\\tool.exe", kSame,
     L"dir C:\\Program Files\\"},
    // ".." climbs before the file system sees the path, as the guard knows.
    {"DotDotToTheWindowsDirectoryIsNotEmptied", L"C:\\Apps\\..\\WINDOWS\\notepad.exe",
     L"C:\\Apps\\..\\WINDOWS\\app.exe", L"C:\\Apps\\..\\WINDOWS\\app.exe", kSame,
     L"dir C:\\Apps\\..\\WINDOWS\\"},
    {"DriveRootAsMainIsNotEmptied", L"C:\\boot.ini", L"C:\\app.exe", L"C:\\app.exe", kSame,
     L"dir C:\\"},
    {"ShareRootAsMainIsNotEmptied", L"\\\\srv\\share\\data.mdb", L"\\\\srv\\share\\app.exe",
     L"\\\\srv\\share\\app.exe", kSame, L"dir \\\\srv\\share\\"},
    {"EmptyGuardedFolderIsNotRemoved", L"C:\\{Users\\Me\\Desktop\\, Apps\\..\\ProgramData\\}", L"",
     L"C:\\{Users\\Me\\Desktop\\app.lnk, Apps\\..\\ProgramData\\app.cfg}", kSame, L""},
    // A logged path without "\" has "" for its directory, an ancestor of
    // everything: the parents up to the drive root are added, but the root
    // itself is never removed.
    {"PathWithoutBackslashClimbsToTheRootButLeavesIt", L"C:\\Apps\\Tool\\", L"",
     L"readme.txt, C:\\Apps\\Tool\\a.exe", L"C:\\", L"rd C:\\Apps\\Tool\\; rd C:\\Apps\\"},
    {"JunctionAsMainIsNotEmptied", L"C:\\Apps\\Link:J\\data.db", L"C:\\Apps\\Link\\tool.exe",
     L"C:\\Apps\\Link\\tool.exe", kSame, L"dir C:\\Apps\\Link\\"},
    {"EmptyJunctionEntryIsRemoved", L"C:\\Apps\\Link:J\\", L"C:\\Apps\\Link\\tool.exe",
     L"C:\\Apps\\Link\\tool.exe", L"C:\\Apps\\", L"dir C:\\Apps\\Link\\; rd C:\\Apps\\Link\\"},
    // Relative paths are taken against the current directory: never emptied.
    {"RelativeMainDirectoryIsNotEmptied", L"App\\leftover.txt", L"App\\tool.exe", L"App\\tool.exe",
     kSame, L"dir App\\"},
    {"DriveRelativeMainDirectoryIsNotEmptied", L"\\App\\leftover.txt", L"\\App\\tool.exe",
     L"\\App\\tool.exe", kSame, L"dir \\App\\"},
    // The listing is read only where it decides something: in the main
    // directory, in a junction (whose removal would not depend on what its
    // target holds) and where the attributes cannot be read. Any other
    // directory is only asked to go.
    {"OrdinaryEmpty", L"C:\\Apps\\Tool\\data\\", L"C:\\Apps\\Tool\\tool.exe",
     L"C:\\Apps\\Tool\\data\\x.dat", L"C:\\Apps\\Tool\\", L"rd C:\\Apps\\Tool\\data\\"},
    {"OrdinaryHoldingAFile", L"C:\\Apps\\Tool\\data\\user.cfg", L"C:\\Apps\\Tool\\tool.exe",
     L"C:\\Apps\\Tool\\data\\x.dat", kSame, L"rd C:\\Apps\\Tool\\data\\"},
    {"JunctionEmpty", L"C:\\Apps\\Tool\\data:J\\", L"C:\\Apps\\Tool\\tool.exe",
     L"C:\\Apps\\Tool\\data\\x.dat", L"C:\\Apps\\Tool\\",
     L"dir C:\\Apps\\Tool\\data\\; rd C:\\Apps\\Tool\\data\\"},
    {"JunctionHoldingAFile", L"C:\\Apps\\Tool\\data:J\\user.cfg", L"C:\\Apps\\Tool\\tool.exe",
     L"C:\\Apps\\Tool\\data\\x.dat", kSame, L"dir C:\\Apps\\Tool\\data\\"},
    {"AttributesUnreadableHoldingAFile", L"C:\\Apps\\Tool\\data\\user.cfg",
     L"C:\\Apps\\Tool\\tool.exe", L"C:\\Apps\\Tool\\data\\x.dat", kSame,
     L"dir C:\\Apps\\Tool\\data\\", kAttrs, L"C:\\Apps\\Tool\\data\\"},
    // An entry that names a folder ("\" at its end) is visited as a folder:
    // removed once empty, kept while it holds anything.
    {"EmptyFolderEntryGoesWithItsParents", L"C:\\Apps\\Tool\\data\\empty\\", L"",
     L"C:\\Apps\\Tool\\{a.exe, data\\empty\\}", L"C:\\Apps\\",
     L"rd C:\\Apps\\Tool\\data\\empty\\; rd C:\\Apps\\Tool\\data\\; rd C:\\Apps\\Tool\\"},
    {"FolderEntryHoldingAFileStays", L"C:\\Apps\\Tool\\data\\empty\\user.cfg", L"",
     L"C:\\Apps\\Tool\\{a.exe, data\\empty\\}", kSame,
     L"rd C:\\Apps\\Tool\\data\\empty\\; rd C:\\Apps\\Tool\\data\\; rd C:\\Apps\\Tool\\"},
    // The folder above the application's, named with "..": visited after
    // the application's folder, as the folder it names.
    {"FolderAboveTheApplicationGoesLast", L"C:\\Apps\\Tool\\", L"",
     L"C:\\Apps\\Tool\\{a.exe, ..\\}", L"C:\\", L"rd C:\\Apps\\Tool\\; rd C:\\Apps\\"},
    {"FolderAboveHoldingAnotherApplicationStays", L"C:\\Apps\\{Tool\\, Other\\x.exe}", L"",
     L"C:\\Apps\\Tool\\{a.exe, ..\\}", L"C:\\Apps\\Other\\x.exe",
     L"rd C:\\Apps\\Tool\\; rd C:\\Apps\\"},
    {"GuardedFolderAboveStays", L"C:\\Program Files\\Tool\\", L"",
     L"C:\\Program Files\\Tool\\{a.exe, ..\\}", L"C:\\Program Files\\",
     L"rd C:\\Program Files\\Tool\\"},
    // Errors are absorbed and the stage goes on.
    {"FailingSearchCountsAsExisting", L"C:\\Apps\\Tool\\", L"", L"C:\\Apps\\Tool\\a.exe",
     L"C:\\Apps\\", L"dir C:\\Apps\\Tool\\; rd C:\\Apps\\Tool\\", kAttrs, L"C:\\Apps\\Tool"},
    // A directory holds one visit for every logged file in it. Once removed,
    // its later visits are passed over: even a search that would fail (and so
    // count as found) is not made again.
    {"RemovedDirectoryIsNotVisitedAgain", L"C:\\Apps\\Tool\\", L"", L"C:\\Apps\\Tool\\{a, b, c}",
     L"C:\\Apps\\", L"dir C:\\Apps\\Tool\\; rd C:\\Apps\\Tool\\", kAttrs, L"C:\\Apps\\Tool\\"},
    // Attributes that cannot be read do not show the main directory is no
    // junction: nothing is deleted.
    {"MainDirectoryWithUnreadableAttributesIsNotEmptied", L"C:\\Apps\\Tool\\readme.txt",
     L"C:\\Apps\\Tool\\tool.exe", L"C:\\Apps\\Tool\\tool.exe", kSame, L"dir C:\\Apps\\Tool\\",
     kAttrs, L"C:\\Apps\\Tool"},
    {"FailingDeleteMovesOnToTheNextName", L"C:\\Apps\\Tool\\{a.txt, b.txt}",
     L"C:\\Apps\\Tool\\tool.exe", L"C:\\Apps\\Tool\\tool.exe", L"C:\\Apps\\Tool\\a.txt",
     L"dir C:\\Apps\\Tool\\; del C:\\Apps\\Tool\\a.txt; del C:\\Apps\\Tool\\b.txt",
     FakeOp::kRemoveFile, L"C:\\Apps\\Tool\\a.txt", kErrorSharingViolation},
    {"FailingRemoveDirMovesOn", L"C:\\Apps\\{One\\, Two\\}", L"", L"C:\\Apps\\{One\\x, Two\\x}",
     L"C:\\Apps\\One\\", L"rd C:\\Apps\\One\\; rd C:\\Apps\\Two\\", FakeOp::kRemoveDir,
     L"C:\\Apps\\One"},
    // A directory that cannot be listed is judged by the names of the one
    // listed before it: here an empty listing, so the removal is tried.
    {"FailingListingKeepsThePreviousNames", L"C:\\Apps\\Tool\\{sub\\, z.txt}", L"",
     L"C:\\Apps\\Tool\\{sub\\x, y}", L"C:\\Apps\\Tool\\z.txt",
     L"rd C:\\Apps\\Tool\\sub\\; rd C:\\Apps\\Tool\\", FakeOp::kListFiles, L"C:\\Apps\\Tool"},
};

// Failures name the case, not its bytes.
void PrintTo(const DirCase& c, std::ostream* os) { *os << c.name; }

class RemoveDirectoriesTest : public ::testing::TestWithParam<DirCase> {};

TEST_P(RemoveDirectoriesTest, Table) {
  const DirCase& c = GetParam();
  FakeEnv env;
  env.AddTree(c.disk);
  if (c.fault) env.InjectFault(*c.fault, c.fault_path, c.code);
  const std::wstring before = env.Tree();
  FileListing File1(env);
  RunStage(env, File1, LoggedFiles(c.log), c.main_path);
  EXPECT_EQ(env.Tree(), c.after == std::wstring_view(kSame) ? before : c.after);
  EXPECT_EQ(env.Calls(), c.calls);
  EXPECT_TRUE(env.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, RemoveDirectoriesTest, ::testing::ValuesIn(kCases),
                         [](const auto& tested) { return std::string(tested.param.name); });

// A log that lists as many files as it can hold, 50 to a folder two levels
// below a data folder: the folders between them and the application's folder
// are in no entry, and all of them go, though the plan then holds more
// entries than the log. Each folder's attributes are read once.
TEST(RemoveDirectories, FullListLeavesNoFolderBehind) {
  FakeEnv env;
  std::vector<FileEntry> entries = LoggedFiles(L"C:\\Apps\\Tool\\big.exe");
  std::set<std::wstring> folders = {L"Tool", L"Data"};
  for (int k = 1; k < kMaxEntries; ++k) {
    const std::wstring d = L"D" + std::to_wstring(k / 2500);
    const std::wstring folder =
        L"C:\\Apps\\Tool\\Data\\" + d + L"\\F" + std::to_wstring(k / 50 % 50);
    folders.insert({d, folder});
    env.AddDir(folder);
    entries.push_back({L"src", folder + L"\\file" + std::to_wstring(k) + L".dat", kFalse});
  }
  FileListing File1(env);
  RunStage(env, File1, entries, L"C:\\Apps\\Tool\\big.exe");
  EXPECT_EQ(env.Tree(), L"C:\\Apps\\");
  EXPECT_EQ(env.attribute_reads(), folders.size());
}

// Every visit of the main directory sees it as it is then (a second visit
// reads it again), and reads it once: pointing the listing reads the names.
TEST(RemoveDirectories, EachVisitReadsTheListingOnce) {
  FakeEnv env;
  env.AddTree(L"C:\\Apps\\Tool\\keep.txt");
  FileListing File1(env);
  RunStage(env, File1, LoggedFiles(L"C:\\Apps\\Tool\\{a, b, keep.txt:K}"), L"C:\\Apps\\Tool\\a");
  EXPECT_EQ(env.Calls(), L"dir C:\\Apps\\Tool\\; dir C:\\Apps\\Tool\\");
  EXPECT_EQ(File1.path(), L"C:\\Apps\\Tool\\");
  EXPECT_EQ(File1.ListCount(), 1);
}

// The fake's trees: what AddTree makes, Tree prints back, sorted by name,
// a folder of one entry as one path, and marks after ":"; an empty entry in
// braces is their folder, and braces before a "\" belong to a name.
TEST(FakeEnvTree, PrintsWhatItWasGiven) {
  const std::pair<const wchar_t*, const wchar_t*> rows[] = {
      {L"", L""},
      {L"C:\\a.txt", L"C:\\a.txt"},
      {L"C:\\Tool\\{b.dll, A.exe, data\\{}}", L"C:\\Tool\\{A.exe, b.dll, data\\}"},
      {L"C:\\Tool\\{h:HS, r:R, l:L}, C:\\Link:J\\x", L"C:\\{Link:J\\x, Tool\\{h:HS, l:L, r:R}}"},
      {L"D:\\x\\, C:\\y\\", L"C:\\y\\, D:\\x\\"},
      {L"\\\\srv\\share\\a, App\\b, \\Root\\c", L"App\\b, \\\\SRV\\share\\a, \\Root\\c"},
      {L"C:\\x\\{, CLSID\\{A}\\y}", L"C:\\x\\CLSID\\{A}\\y"},
  };
  for (const auto& [tree, printed] : rows) {
    FakeEnv env;
    env.AddTree(tree);
    EXPECT_EQ(env.Tree(), printed) << tree;
  }
}

}  // namespace
}  // namespace uninstall
