#include "removal/files.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fake_env.h"
#include "tests/support/install_logs.h"

namespace uninstall {
namespace {

constexpr wchar_t kText[] =
    L"Error deleting file: C:\\App\\a.txt\nPress 'Cancel' to skip this file.";

std::wstring Prompt(const std::wstring& path) {
  return L"ShowMessage 53 Error deleting file: " + path + L"\nPress 'Cancel' to skip this file.";
}
std::wstring Del(const std::wstring& path) { return L"RemoveFile " + path; }

FileEntry File(std::wstring path, std::int16_t keep = kFalse) {
  return FileEntry{L"src", std::move(path), keep};
}

// Runs the stage over the first `count` of `entries`; returns allRemoved.
std::int16_t RunStage(FakeEnv& env, int count, std::vector<FileEntry> entries,
                      const OwnFiles& own = OwnFiles()) {
  const InstallLog log = FilesLog(count, std::move(entries));
  std::int16_t all_removed = 12345;
  RemoveFiles(env, PlanRemoval(log), all_removed, own);
  return all_removed;
}

struct FilesCase {
  const char* name;
  std::function<void(FakeEnv&)> setup;
  std::vector<FileEntry> entries;
  int count;  // < -1000: entries.size()
  std::vector<Result<int>> answers;
  std::vector<std::wstring> events;
  std::int16_t all_removed;
  std::vector<std::wstring> left;       // paths still there afterwards
  std::vector<std::wstring> gone = {};  // paths deleted
};

constexpr int kAll = -10000;

void Standard(FakeEnv& env) {
  env.AddFile(L"C:\\App\\a.txt");
  env.AddFile(L"C:\\App\\b.dll");
}

const FilesCase kCases[] = {
    {"DeletesInLogOrder",
     Standard,
     {File(L"C:\\App\\b.dll"), File(L"C:\\App\\a.txt")},
     kAll,
     {},
     {Del(L"C:\\App\\b.dll"), Del(L"C:\\App\\a.txt")},
     kTrue,
     {},
     {L"C:\\App\\a.txt", L"C:\\App\\b.dll"}},
    {"KeptFileStays",
     Standard,
     {File(L"C:\\App\\a.txt", kTrue), File(L"C:\\App\\b.dll", 1)},
     kAll,
     {},
     {},
     kTrue,
     {L"C:\\App\\a.txt", L"C:\\App\\b.dll"}},
    {"EmptyPathIsSkipped", Standard, {File(L"")}, kAll, {}, {}, kTrue, {}},
    {"DirectoryPathIsSkipped",
     Standard,
     {File(L"C:\\App\\")},
     kAll,
     {},
     {},
     kTrue,
     {L"C:\\App\\a.txt"}},
    // A failing search counts as found; a trailing "\" still keeps the path
    // from being deleted.
    {"TrailingBackslashWinsOverAFailingSearch",
     [](FakeEnv& env) {
       Standard(env);
       env.InjectFault(FakeOp::kGetFileAttrs, L"C:\\App\\a.txt", kErrorAccessDenied);
     },
     {File(L"C:\\App\\a.txt\\")},
     kAll,
     {},
     {},
     kTrue,
     {L"C:\\App\\a.txt"}},
    {"MissingFileIsSkipped", Standard, {File(L"C:\\App\\gone.txt")}, kAll, {}, {}, kTrue, {}},
    {"DuplicateIsDeletedOnce",
     Standard,
     {File(L"C:\\App\\a.txt"), File(L"C:\\App\\a.txt")},
     kAll,
     {},
     {Del(L"C:\\App\\a.txt")},
     kTrue,
     {L"C:\\App\\b.dll"},
     {L"C:\\App\\a.txt"}},
    // Hidden and system files are files like any other; a read-only one
    // resists whatever else it carries; a folder at a logged path is none.
    {"HiddenAndSystemFilesAreDeletedAndAFolderIsNot",
     [](FakeEnv& env) {
       env.AddFile(L"C:\\App\\h.txt", "", attr::kHidden);
       env.AddFile(L"C:\\App\\s.sys", "", attr::kSystem);
       env.AddFile(L"C:\\App\\hs.dat", "", attr::kHidden | attr::kSystem);
       env.AddFile(L"C:\\App\\hr.dat", "", attr::kHidden | attr::kReadOnly);
       env.AddDir(L"C:\\App\\Folder");
     },
     {File(L"C:\\App\\h.txt"), File(L"C:\\App\\s.sys"), File(L"C:\\App\\hs.dat"),
      File(L"C:\\App\\Folder"), File(L"C:\\App\\hr.dat")},
     kAll,
     {msgbox::kCancel},
     {Del(L"C:\\App\\h.txt"), Del(L"C:\\App\\s.sys"), Del(L"C:\\App\\hs.dat"),
      Del(L"C:\\App\\hr.dat"), Prompt(L"C:\\App\\hr.dat")},
     kFalse,
     {L"C:\\App\\Folder", L"C:\\App\\hr.dat"},
     {L"C:\\App\\h.txt", L"C:\\App\\s.sys", L"C:\\App\\hs.dat"}},
    {"WildcardsAreNoPatterns",
     Standard,
     {File(L"C:\\App\\*.txt"), File(L"C:\\App\\?.dll")},
     kAll,
     {},
     {},
     kTrue,
     {L"C:\\App\\a.txt", L"C:\\App\\b.dll"}},
    {"ReadOnlyFileCancelled",
     [](FakeEnv& env) { env.AddFile(L"C:\\App\\a.txt", "", attr::kReadOnly); },
     {File(L"C:\\App\\a.txt")},
     kAll,
     {msgbox::kCancel},
     {Del(L"C:\\App\\a.txt"), Prompt(L"C:\\App\\a.txt")},
     kFalse,
     {L"C:\\App\\a.txt"}},
    {"RetryUntilCancel",
     [](FakeEnv& env) { env.AddFile(L"C:\\App\\a.txt", "", attr::kReadOnly); },
     {File(L"C:\\App\\a.txt")},
     kAll,
     {msgbox::kRetry, msgbox::kRetry, msgbox::kCancel},
     {Del(L"C:\\App\\a.txt"), Prompt(L"C:\\App\\a.txt"), Del(L"C:\\App\\a.txt"),
      Prompt(L"C:\\App\\a.txt"), Del(L"C:\\App\\a.txt"), Prompt(L"C:\\App\\a.txt")},
     kFalse,
     {L"C:\\App\\a.txt"}},
    // A box that cannot be shown, or an answer that is neither Retry nor
    // Cancel, leaves the file in place: the run is not complete.
    {"MessageBoxFailureCountsAsNotRemoved",
     [](FakeEnv& env) {
       env.AddFile(L"C:\\App\\a.txt", "", attr::kReadOnly);
       env.InjectFault(FakeOp::kShowMessage, L"*", kErrorNoWindowStation);
     },
     {File(L"C:\\App\\a.txt"), File(L"C:\\App\\b.dll")},
     kAll,
     {},
     {Del(L"C:\\App\\a.txt"), Prompt(L"C:\\App\\a.txt")},
     kFalse,
     {L"C:\\App\\a.txt"}},
    {"UnexpectedAnswerCountsAsNotRemoved",
     [](FakeEnv& env) { env.AddFile(L"C:\\App\\a.txt", "", attr::kReadOnly); },
     {File(L"C:\\App\\a.txt")},
     kAll,
     {msgbox::kOk},
     {Del(L"C:\\App\\a.txt"), Prompt(L"C:\\App\\a.txt")},
     kFalse,
     {L"C:\\App\\a.txt"}},
    {"OnePromptPerResistingFileInLogOrder",
     [](FakeEnv& env) {
       env.AddFile(L"C:\\App\\a.txt", "", attr::kReadOnly);
       env.AddFile(L"C:\\App\\b.dll");
       env.SetLocked(L"C:\\App\\b.dll", true);
       env.AddFile(L"C:\\App\\c.ini");
     },
     {File(L"C:\\App\\a.txt"), File(L"C:\\App\\b.dll"), File(L"C:\\App\\c.ini")},
     kAll,
     {msgbox::kCancel, msgbox::kCancel},
     {Del(L"C:\\App\\a.txt"), Prompt(L"C:\\App\\a.txt"), Del(L"C:\\App\\b.dll"),
      Prompt(L"C:\\App\\b.dll"), Del(L"C:\\App\\c.ini")},
     kFalse,
     {L"C:\\App\\a.txt", L"C:\\App\\b.dll"},
     {L"C:\\App\\c.ini"}},
    // A failed delete is ignored: the re-test finds the file and the user is
    // asked; Retry then succeeds.
    {"FailingDeleteIsAbsorbed",
     [](FakeEnv& env) {
       Standard(env);
       env.InjectFault(FakeOp::kRemoveFile, L"C:\\App\\a.txt", kErrorAccessDenied, 1);
     },
     {File(L"C:\\App\\a.txt")},
     kAll,
     {msgbox::kRetry},
     {Del(L"C:\\App\\a.txt"), Prompt(L"C:\\App\\a.txt"), Del(L"C:\\App\\a.txt")},
     kTrue,
     {},
     {L"C:\\App\\a.txt"}},
    // A failing search counts as found: the delete is tried, and after a
    // failed delete a failing re-test counts as still there.
    {"FailingSearchLeadsToDeleteAndPrompt",
     [](FakeEnv& env) {
       Standard(env);
       env.InjectFault(FakeOp::kGetFileAttrs, L"C:\\App\\a.txt", kErrorAccessDenied);
       env.InjectFault(FakeOp::kRemoveFile, L"C:\\App\\a.txt", kErrorAccessDenied);
     },
     {File(L"C:\\App\\a.txt"), File(L"C:\\App\\b.dll")},
     kAll,
     {msgbox::kCancel},
     {Del(L"C:\\App\\a.txt"), Prompt(L"C:\\App\\a.txt"), Del(L"C:\\App\\b.dll")},
     kFalse,
     {L"C:\\App\\a.txt"},
     {L"C:\\App\\b.dll"}},
    // A delete the system reports done is not looked at again: a search that
    // keeps failing afterwards does not bring up the prompt.
    {"DeleteReportedDoneNeedsNoSecondLook",
     [](FakeEnv& env) {
       Standard(env);
       env.InjectFault(FakeOp::kGetFileAttrs, L"C:\\App\\a.txt", kErrorAccessDenied);
     },
     {File(L"C:\\App\\a.txt")},
     kAll,
     {},
     {Del(L"C:\\App\\a.txt")},
     kTrue,
     {},
     {L"C:\\App\\a.txt"}},
    {"SearchFailingOnceStillDeletes",
     [](FakeEnv& env) {
       Standard(env);
       env.InjectFault(FakeOp::kGetFileAttrs, L"C:\\App\\a.txt", kErrorAccessDenied, 1);
     },
     {File(L"C:\\App\\a.txt")},
     kAll,
     {},
     {Del(L"C:\\App\\a.txt")},
     kTrue,
     {},
     {L"C:\\App\\a.txt"}},
};

// Failures name the case, not its bytes.
void PrintTo(const FilesCase& c, std::ostream* os) { *os << c.name; }

class RemoveFilesTest : public ::testing::TestWithParam<FilesCase> {};

TEST_P(RemoveFilesTest, FollowsTheLog) {
  const FilesCase& c = GetParam();
  FakeEnv env;
  c.setup(env);
  env.QueueAnswers(c.answers);
  const int count = c.count < -1000 ? static_cast<int>(c.entries.size()) : c.count;
  EXPECT_EQ(RunStage(env, count, c.entries), c.all_removed);
  EXPECT_EQ(env.events(), c.events);
  for (const std::wstring& path : c.left) EXPECT_TRUE(env.Exists(path)) << path;
  for (const std::wstring& path : c.gone) EXPECT_FALSE(env.Exists(path)) << path;
}

INSTANTIATE_TEST_SUITE_P(Table, RemoveFilesTest, ::testing::ValuesIn(kCases),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST(RemoveFiles, PromptHasTitleStyleAndTwoLinesJoinedByLineFeed) {
  FakeEnv env;
  env.AddFile(L"C:\\App\\a.txt", "", attr::kReadOnly);
  static_cast<void>(RunStage(env, 1, {File(L"C:\\App\\a.txt")}));
  ASSERT_EQ(env.messages().size(), 1u);
  EXPECT_EQ(env.messages()[0].text, kText);
  EXPECT_EQ(env.messages()[0].title, std::optional<std::wstring>(L"Uninstall"));
  EXPECT_EQ(env.messages()[0].style, 53);
}

// The user clears the read-only attribute while the prompt shows; Retry then
// deletes the file and the run still counts as complete.
TEST(RemoveFiles, RetryAfterAttributeClearedDeletes) {
  FakeEnv env;
  env.AddFile(L"C:\\App\\a.txt", "", attr::kReadOnly);
  env.set_on_message(
      [&env](const MessageCall&) { env.SetAttrs(L"C:\\App\\a.txt", attr::kArchive); });
  env.QueueAnswers({msgbox::kRetry});
  EXPECT_EQ(RunStage(env, 1, {File(L"C:\\App\\a.txt")}), kTrue);
  EXPECT_FALSE(env.Exists(L"C:\\App\\a.txt"));
  EXPECT_EQ(env.messages().size(), 1u);
}

// The uninstaller's executable and its log are passed over without a
// question, by any name, and count as removed; other files go as usual.
struct OwnCase {
  const char* name;
  std::wstring logged;
  bool own;
};

void PrintTo(const OwnCase& c, std::ostream* os) { *os << c.name; }

class OwnFilesTest : public ::testing::TestWithParam<OwnCase> {};

TEST_P(OwnFilesTest, PassedOverWithoutAQuestion) {
  const OwnCase& c = GetParam();
  FakeEnv env;
  env.set_executable_path(L"C:\\Apps\\Tool\\Uninstall.exe");
  env.AddFile(L"C:\\Apps\\Tool\\Uninstall.exe");
  env.AddFile(L"C:\\Apps\\Tool\\Uninstall.dat");
  env.AddFile(L"C:\\Apps\\Tool\\Other\\Uninstall.exe");
  env.AddFile(L"C:\\Apps\\Tool\\tool.exe");
  env.AddAlias(L"C:\\APPS~1", L"C:\\Apps");
  env.AddAlias(L"C:\\Apps\\Tool\\UNINST~1.EXE", L"C:\\Apps\\Tool\\Uninstall.exe");
  env.AddAlias(L"T:", L"C:\\Apps\\Tool");
  const OwnFiles own(env, {L"C:\\Apps\\Tool\\Uninstall.exe", L"C:\\Apps\\Tool\\Uninstall.dat"});
  EXPECT_EQ(RunStage(env, 1, {File(c.logged)}, own), kTrue);
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
