#include "removal/files.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fake_env.h"
#include "tests/support/install_logs.h"

namespace uninstall {
namespace {

// The calls, each prompt written "ask PATH", C:\App written "~".
std::wstring Calls(const FakeEnv& env) {
  const std::wstring calls =
      ReplaceAll(ReplaceAll(env.Calls(), L"ShowMessage 53 Error deleting file: ", L"ask "),
                 L"\nPress 'Cancel' to skip this file.", L"");
  return ReplaceAll(calls, L"C:\\App", L"~");
}

// Runs the stage over a log of the files written as a tree (one empty path
// when it is empty), the user answering R Retry, C Cancel, O OK in turn;
// returns allRemoved.
std::int16_t RunStage(FakeEnv& env, std::wstring_view log, std::string_view answers = "",
                      const OwnFiles& own = OwnFiles()) {
  std::vector<Result<int>> replies;
  for (const char answer : answers) {
    replies.emplace_back(answer == 'R'   ? msgbox::kRetry
                         : answer == 'C' ? msgbox::kCancel
                                         : msgbox::kOk);
  }
  env.QueueAnswers(replies);
  const std::vector<FileEntry> files =
      log.empty() ? std::vector<FileEntry>{{L"src", L"", kFalse}} : LoggedFiles(log);
  const InstallLog install_log = FilesLog(static_cast<int>(files.size()), files);
  std::int16_t all_removed = 12345;
  RemoveFiles(env, PlanRemoval(install_log), all_removed, own);
  return all_removed;
}

constexpr wchar_t kSame[] = L"(as before)";
constexpr wchar_t kStandard[] = L"~\\{a.txt, b.dll}";
constexpr FakeOp kAttrs = FakeOp::kGetFileAttrs;

// The disk before and after, and the calls made, in order, C:\App written
// "~". Faults: a failing
// message box, or a failing call on C:\App\a.txt (`times` over).
struct FilesCase {
  const char* name;
  const wchar_t* disk;
  const wchar_t* log;
  const char* answers;
  const wchar_t* calls;
  bool all_removed;
  const wchar_t* after;
  std::optional<FakeOp> fault = {};
  int times = -1;
  std::optional<FakeOp> fault2 = {};
};

const FilesCase kCases[] = {
    {"DeletesInLogOrder", kStandard, L"~\\{b.dll, a.txt}", "", L"del ~\\b.dll; del ~\\a.txt", true,
     L"~\\"},
    {"KeptFileStays", kStandard, L"~\\{a.txt:K, b.dll:1}", "", L"", true, kSame},
    {"EmptyPathIsSkipped", kStandard, L"", "", L"", true, kSame},
    {"DirectoryPathIsSkipped", kStandard, L"~\\", "", L"", true, kSame},
    // A failing search counts as found; a trailing "\" still keeps the path
    // from being deleted.
    {"TrailingBackslashWinsOverAFailingSearch", kStandard, L"~\\a.txt\\", "", L"", true, kSame,
     kAttrs},
    {"MissingFileIsSkipped", kStandard, L"~\\gone.txt", "", L"", true, kSame},
    {"DuplicateIsDeletedOnce", kStandard, L"~\\{a.txt, a.txt}", "", L"del ~\\a.txt", true,
     L"~\\b.dll"},
    // Hidden and system files are files like any other; a read-only one
    // resists whatever else it carries; a folder at a logged path is none.
    {"HiddenAndSystemFilesAreDeletedAndAFolderIsNot",
     L"~\\{h.txt:H, s.sys:S, hs.dat:HS, hr.dat:HR, Folder\\}",
     L"~\\{h.txt, s.sys, hs.dat, Folder, hr.dat}", "C",
     L"del ~\\h.txt; del ~\\s.sys; del ~\\hs.dat; del ~\\hr.dat; ask "
     L"~\\hr.dat",
     false, L"~\\{Folder\\, hr.dat:HR}"},
    {"WildcardsAreNoPatterns", kStandard, L"~\\{*.txt, ?.dll}", "", L"", true, kSame},
    {"ReadOnlyFileCancelled", L"~\\a.txt:R", L"~\\a.txt", "C", L"del ~\\a.txt; ask ~\\a.txt", false,
     kSame},
    {"RetryUntilCancel", L"~\\a.txt:R", L"~\\a.txt", "RRC",
     L"del ~\\a.txt; ask ~\\a.txt; del ~\\a.txt; ask ~\\a.txt; del "
     L"~\\a.txt; ask ~\\a.txt",
     false, kSame},
    // A box that cannot be shown, or an answer that is neither Retry nor
    // Cancel, leaves the file in place: the run is not complete.
    {"MessageBoxFailureCountsAsNotRemoved", L"~\\a.txt:R", L"~\\{a.txt, b.dll}", "",
     L"del ~\\a.txt; ask ~\\a.txt", false, kSame, FakeOp::kShowMessage},
    {"UnexpectedAnswerCountsAsNotRemoved", L"~\\a.txt:R", L"~\\a.txt", "O",
     L"del ~\\a.txt; ask ~\\a.txt", false, kSame},
    {"OnePromptPerResistingFileInLogOrder", L"~\\{a.txt:R, b.dll:L, c.ini}",
     L"~\\{a.txt, b.dll, c.ini}", "CC",
     L"del ~\\a.txt; ask ~\\a.txt; del ~\\b.dll; ask ~\\b.dll; del "
     L"~\\c.ini",
     false, L"~\\{a.txt:R, b.dll:L}"},
    // A failed delete is ignored: the re-test finds the file and the user is
    // asked; Retry then succeeds.
    {"FailingDeleteIsAbsorbed", kStandard, L"~\\a.txt", "R",
     L"del ~\\a.txt; ask ~\\a.txt; del ~\\a.txt", true, L"~\\b.dll", FakeOp::kRemoveFile, 1},
    // A failing search counts as found: the delete is tried, and after a
    // failed delete a failing re-test counts as still there.
    {"FailingSearchLeadsToDeleteAndPrompt", kStandard, L"~\\{a.txt, b.dll}", "C",
     L"del ~\\a.txt; ask ~\\a.txt; del ~\\b.dll", false, L"~\\a.txt", kAttrs, -1,
     FakeOp::kRemoveFile},
    // A delete the system reports done is not looked at again: a search that
    // keeps failing afterwards does not bring up the prompt.
    {"DeleteReportedDoneNeedsNoSecondLook", kStandard, L"~\\a.txt", "", L"del ~\\a.txt", true,
     L"~\\b.dll", kAttrs},
    {"SearchFailingOnceStillDeletes", kStandard, L"~\\a.txt", "", L"del ~\\a.txt", true,
     L"~\\b.dll", kAttrs, 1},
};

// Failures name the case, not its bytes.
void PrintTo(const FilesCase& c, std::ostream* os) { *os << c.name; }

class RemoveFilesTest : public ::testing::TestWithParam<FilesCase> {};

TEST_P(RemoveFilesTest, FollowsTheLog) {
  const FilesCase& c = GetParam();
  FakeEnv env;
  env.AddTree(ReplaceAll(c.disk, L"~", L"C:\\App"));
  if (c.fault == FakeOp::kShowMessage) env.InjectFault(*c.fault, L"*", kErrorNoWindowStation);
  if (c.fault != FakeOp::kShowMessage && c.fault) {
    env.InjectFault(*c.fault, L"C:\\App\\a.txt", kErrorAccessDenied, c.times);
  }
  if (c.fault2) env.InjectFault(*c.fault2, L"C:\\App\\a.txt", kErrorAccessDenied);
  const std::wstring before = env.Tree();
  EXPECT_EQ(RunStage(env, ReplaceAll(c.log, L"~", L"C:\\App"), c.answers),
            c.all_removed ? kTrue : kFalse);
  EXPECT_EQ(Calls(env), c.calls);
  EXPECT_EQ(ReplaceAll(env.Tree(), L"C:\\App", L"~"),
            c.after == std::wstring_view(kSame) ? ReplaceAll(before, L"C:\\App", L"~") : c.after);
}

INSTANTIATE_TEST_SUITE_P(Table, RemoveFilesTest, ::testing::ValuesIn(kCases),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST(RemoveFiles, PromptHasTitleStyleAndTwoLinesJoinedByLineFeed) {
  FakeEnv env;
  env.AddTree(L"C:\\App\\a.txt:R");
  static_cast<void>(RunStage(env, L"C:\\App\\a.txt"));
  ASSERT_EQ(env.messages().size(), 1u);
  EXPECT_EQ(env.messages()[0].text,
            L"Error deleting file: C:\\App\\a.txt\nPress 'Cancel' to skip this file.");
  EXPECT_EQ(env.messages()[0].title, std::optional<std::wstring>(L"Uninstall"));
  EXPECT_EQ(env.messages()[0].style, 53);
}

// The user clears the read-only attribute while the prompt shows; Retry then
// deletes the file and the run still counts as complete.
TEST(RemoveFiles, RetryAfterAttributeClearedDeletes) {
  FakeEnv env;
  env.AddTree(L"C:\\App\\a.txt:R");
  env.set_on_message(
      [&env](const MessageCall&) { env.SetAttrs(L"C:\\App\\a.txt", attr::kArchive); });
  EXPECT_EQ(RunStage(env, L"C:\\App\\a.txt", "R"), kTrue);
  EXPECT_EQ(env.Tree(), L"C:\\App\\");
  EXPECT_EQ(env.messages().size(), 1u);
}

// The uninstaller's executable and its log are passed over without a
// question, by any name, and count as removed; other files go as usual.
struct OwnCase {
  const char* name;
  const wchar_t* logged;
  bool own;
};

void PrintTo(const OwnCase& c, std::ostream* os) { *os << c.name; }

class OwnFilesTest : public ::testing::TestWithParam<OwnCase> {};

TEST_P(OwnFilesTest, PassedOverWithoutAQuestion) {
  const OwnCase& c = GetParam();
  FakeEnv env;
  env.set_executable_path(L"C:\\Apps\\Tool\\Uninstall.exe");
  env.AddTree(L"C:\\Apps\\Tool\\{Uninstall.exe, Uninstall.dat, Other\\Uninstall.exe, tool.exe}");
  env.AddAlias(L"C:\\APPS~1", L"C:\\Apps");
  env.AddAlias(L"C:\\Apps\\Tool\\UNINST~1.EXE", L"C:\\Apps\\Tool\\Uninstall.exe");
  env.AddAlias(L"T:", L"C:\\Apps\\Tool");
  const OwnFiles own({L"C:\\Apps\\Tool\\Uninstall.exe", L"C:\\Apps\\Tool\\Uninstall.dat"});
  EXPECT_EQ(RunStage(env, c.logged, "", own), kTrue);
  EXPECT_TRUE(env.messages().empty());
  EXPECT_EQ(env.Exists(c.logged), c.own);
  EXPECT_EQ(env.events().empty(), c.own);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OwnFilesTest,
    ::testing::Values(OwnCase{"Executable", L"C:\\Apps\\Tool\\Uninstall.exe", true},
                      OwnCase{"Log", L"C:\\Apps\\Tool\\Uninstall.dat", true},
                      OwnCase{"OtherSpelling", L"c:\\apps\\TOOL\\.\\uninstall.EXE", true},
                      OwnCase{"ShortFolderName", L"C:\\APPS~1\\Tool\\Uninstall.exe", true},
                      OwnCase{"ShortFileName", L"C:\\Apps\\Tool\\UNINST~1.EXE", true},
                      OwnCase{"OtherDrive", L"T:\\Uninstall.dat", true},
                      OwnCase{"SameNameElsewhere", L"C:\\Apps\\Tool\\Other\\Uninstall.exe", false},
                      OwnCase{"AnyOtherFile", L"C:\\Apps\\Tool\\tool.exe", false}),
    [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace uninstall
