#include "app/mfrm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <utility>

#include "installlog/writer.h"
#include "platform/fatal_error.h"
#include "tests/support/fake_env.h"

namespace uninstall {
namespace {

constexpr std::int32_t kHklm = static_cast<std::int32_t>(0x80000002u);
constexpr wchar_t kAppDir[] = L"C:\\Program Files\\Tool\\";
constexpr wchar_t kLogPath[] = L"C:\\Program Files\\Tool\\Uninstall.dat";
constexpr wchar_t kToolExe[] = L"C:\\Program Files\\Tool\\tool.exe";
constexpr wchar_t kUninstallExe[] = L"C:\\Program Files\\Tool\\Uninstall.exe";
constexpr wchar_t kEntry[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool";
constexpr wchar_t kLinkRemoved[] = L"RemoveFile C:\\Users\\me\\Desktop\\Tool.lnk";
constexpr wchar_t kDone[] = L"Application has been removed successfully.";
constexpr wchar_t kNotAll[] = L"Uninstalling finished, not all files have been removed.";
constexpr wchar_t kSorry[] =
    L"Sorry, uninstallling is not possible as 'Uninstall.dat' was not found in the current "
    L"directory. Try to reinstall the target application and then start uninstall again.";

// The application's log. With `self`, the uninstaller's own files and its
// uninstall entry are logged too, and no link: those files are never deleted
// by a stage, so that a run that ends half-way can be started again; after
// the success report they go, with the application's folder, and after any
// other report they stay.
std::string SampleLog(bool self = false) {
  InstallLog log;
  log.AppInfo = {L"%currentdir%", L"Tool", L"%currentdir%\\tool.exe", L"Tool"};
  log.Files = {{L"tool.exe", L"%currentdir%\\tool.exe", kFalse},
               {L"a.dat", L"%currentdir%\\data\\a.dat", kFalse}};
  log.RegKeys = {{kHklm, L"Software\\Tool\\", L"", L""}};
  if (!self) {
    log.Links = {{L"%userfolder%", L"Tool", L"%currentdir%\\tool.exe"}};
    return SerializeInstallFile(log.AppInfo, 2, log.Files, 1, log.RegKeys, 1, log.Links);
  }
  log.Files.push_back({L"Uninstall.exe", L"%currentdir%\\Uninstall.exe", kFalse});
  log.Files.push_back({L"Uninstall.dat", L"%currentdir%\\Uninstall.dat", kFalse});
  log.RegKeys.insert(log.RegKeys.begin(), {kHklm, kEntry, L"", L""});
  return SerializeInstallFile(log.AppInfo, 4, log.Files, 2, log.RegKeys, 0, {});
}

// A machine with the sample application installed, Uninstall.exe beside it
// and a temporary folder; the log is `log` with `attrs` (a folder for
// attr::kDirectory).
struct Machine {
  FakeEnv env;
  explicit Machine(std::optional<std::string> log = SampleLog(),
                   std::uint32_t attrs = attr::kArchive) {
    env.set_executable_path(kUninstallExe);
    env.SetSpecialFolder(csidl::kPrograms, L"C:\\Users\\me\\Start Menu\\Programs");
    env.SetSpecialFolder(csidl::kDesktopDirectory, L"C:\\Users\\me\\Desktop");
    for (const wchar_t* file : {L"Uninstall.exe", L"tool.exe", L"data\\a.dat"}) {
      env.AddFile(std::wstring(kAppDir) + file);
    }
    env.AddFile(L"C:\\Users\\me\\Start Menu\\Programs\\Tool\\Tool.lnk");
    for (const wchar_t* key : {L"Software\\Tool", kEntry}) env.AddRegKey(kHklm, key);
    env.AddDir(L"C:\\TEMP");
    if (attrs == attr::kDirectory) env.AddDir(kLogPath);
    if (log && attrs != attr::kDirectory) env.AddFile(kLogPath, *log, attrs);
  }
  void Run(std::vector<Result<int>> answers = {}) {
    env.QueueAnswers(std::move(answers));
    Mfrm(env).Form_Load();
  }
  // The first event that starts with `prefix`, or the number of events.
  [[nodiscard]] std::size_t At(std::wstring_view prefix) const {
    return static_cast<std::size_t>(
        std::ranges::find_if(env.events(), [&](const auto& e) { return e.starts_with(prefix); }) -
        env.events().begin());
  }
  [[nodiscard]] bool Saw(std::wstring_view prefix) const {
    return At(prefix) < env.events().size();
  }
  [[nodiscard]] bool RemovedAny() const {
    return Saw(L"RemoveFile") || Saw(L"RemoveDir") || Saw(L"DeleteRegKey");
  }
  // Each of the events happened, the first of each after the one before.
  void ExpectInOrder(std::initializer_list<std::wstring_view> prefixes) const {
    std::vector<std::size_t> at;
    for (const std::wstring_view prefix : prefixes) at.push_back(At(prefix));
    EXPECT_LT(at.back(), env.events().size());
    for (std::size_t i = 1; i < at.size(); ++i) EXPECT_LT(at[i - 1], at[i]) << "step " << i;
  }
  void ExpectThere(bool there, std::initializer_list<std::wstring_view> paths) const {
    for (const std::wstring_view path : paths) EXPECT_EQ(env.Exists(path), there) << path.data();
  }
};

TEST(Mfrm, InitPathsDerivesTheLogFromTheExecutable) {
  for (const std::wstring dir :
       {L"C:\\Program Files\\Tool\\", L"D:\\", L"\\\\server\\apps\\Tool\\"}) {
    FakeEnv env;
    env.set_executable_path(dir + L"Uninstall.exe");
    env.set_windows_dir(L"C:\\WINDOWS");
    env.set_system_dir(L"C:\\WINDOWS\\system32\\");
    Mfrm form(env);
    form.InitPaths();
    EXPECT_EQ(form.AppDir, dir);
    EXPECT_EQ(form.LogPath, dir + L"Uninstall.dat");
    EXPECT_EQ(form.WinDir, L"C:\\WINDOWS\\");
    EXPECT_EQ(form.WinSysDir, L"C:\\WINDOWS\\system32\\");
  }
}

// Missing, hidden, system, or a folder.
TEST(Mfrm, UnusableLogShowsOnlyTheSorryBox) {
  for (const std::uint32_t attrs : {0u, attr::kHidden, attr::kSystem, attr::kDirectory}) {
    Machine m(attrs == 0 ? std::nullopt : std::optional(SampleLog()), attrs);
    m.Run();
    ASSERT_EQ(m.env.messages().size(), 1u) << attrs;
    EXPECT_EQ(m.env.messages()[0].text, kSorry);
    EXPECT_EQ(m.env.messages()[0].title, L"Uninstall");
    EXPECT_EQ(m.env.messages()[0].style, msgbox::kOkExclamation);
    EXPECT_FALSE(m.Saw(L"Window shown"));
    EXPECT_FALSE(m.RemovedAny());
  }
}

TEST(Mfrm, AnswerOtherThanYesRemovesNothing) {
  for (const Result<int> answer :
       {Result<int>(msgbox::kNo), Result<int>(msgbox::kCancel), Result<int>(Status(1400))}) {
    Machine m(SampleLog(), attr::kArchive | attr::kReadOnly);
    m.Run({answer});
    ASSERT_EQ(m.env.messages().size(), 1u);
    EXPECT_EQ(m.env.messages()[0].text,
              L"Do you really want to remove 'Tool' from this computer ?");
    EXPECT_EQ(m.env.messages()[0].title, std::nullopt);
    EXPECT_EQ(m.env.messages()[0].style, msgbox::kYesNoQuestion);
    EXPECT_FALSE(m.RemovedAny());
  }
}

TEST(Mfrm, YesRunsTheStagesInTheirFixedOrder) {
  Machine m;
  m.Run();
  m.ExpectInOrder({L"Window shown", L"ShowMessage 36", L"DeleteRegKey",
                   std::wstring(L"RemoveFile ") + kToolExe, L"RemoveDir", kLinkRemoved,
                   L"Sleep 2000", L"Window hidden", L"ShowMessage 64"});
  EXPECT_EQ(m.env.messages().back().text, kDone);
  EXPECT_EQ(m.env.messages().back().title, L"Uninstall");
  // Paths were expanded against the program's own folder before removal.
  m.ExpectThere(false, {kToolExe, L"C:\\Program Files\\Tool\\data\\",
                        L"C:\\Users\\me\\Start Menu\\Programs\\Tool\\"});
  EXPECT_FALSE(m.env.RegKeyExists(kHklm, L"Software\\Tool"));
}

TEST(Mfrm, FileLeftInPlaceChangesOnlyTheFinalMessage) {
  Machine m;
  m.env.SetAttrs(kToolExe, attr::kReadOnly);
  m.Run({msgbox::kYes, msgbox::kCancel});
  ASSERT_EQ(m.env.messages().size(), 3u);
  EXPECT_EQ(m.env.messages()[1].style, msgbox::kRetryCancelExclamation);
  EXPECT_EQ(m.env.messages()[2].text, kNotAll);
  // The later stages still ran.
  EXPECT_FALSE(m.env.Exists(L"C:\\Program Files\\Tool\\data\\"));
  EXPECT_TRUE(m.Saw(kLinkRemoved));
}

TEST(Mfrm, WrongMagicStillAsksWithAnEmptyName) {
  Machine m("installfile\r\n");
  m.Run({msgbox::kOk, msgbox::kNo});
  ASSERT_EQ(m.env.messages().size(), 2u);
  EXPECT_EQ(m.env.messages()[0].text,
            std::wstring(L"Error: the file '") + kLogPath + L"' is no valid InstallFile !");
  EXPECT_EQ(m.env.messages()[1].text, L"Do you really want to remove '' from this computer ?");
}

// A locked log, and one whose first string length (after the kind byte of
// the AppInfo record) is negative.
TEST(Mfrm, UntrappedErrorsStopBeforeAnythingIsRemoved) {
  for (const bool locked : {true, false}) {
    Machine m(locked ? SampleLog() : SampleLog().replace(14, 4, 4, '\xFF'));
    m.env.SetLocked(kLogPath, locked);
    EXPECT_THROW(m.Run(), FatalError) << locked;
    EXPECT_FALSE(m.RemovedAny()) << locked;
    EXPECT_FALSE(m.Saw(L"ShowMessage 36")) << locked;
  }
}

// After the success report the uninstaller's own files go, with the
// application's folder, whether the log lists them or not; a damaged log (a
// wrong magic, a link record that lost its last bytes) stays with them.
TEST(Mfrm, OwnFilesGoAfterTheSuccessReportUnlessTheLogIsDamaged) {
  using Paths = std::vector<std::wstring>;
  const std::string log = SampleLog();
  const std::pair<std::string, bool> kLogs[] = {{SampleLog(/*self=*/true), true},
                                                {log, true},
                                                {"installfile\r\n", false},
                                                {log.substr(0, log.size() - 3), false}};
  for (const auto& [content, go] : kLogs) {
    Machine m(content);
    m.Run();
    EXPECT_EQ(m.env.messages().back().text, kDone);
    m.ExpectThere(!go, {kLogPath, kUninstallExe, kAppDir});
    EXPECT_EQ(m.env.pending_deletes(), go ? Paths{L"C:\\TEMP\\uni1.tmp"} : Paths{});
    if (!go) continue;
    // No question about the uninstaller itself; its files go after the report.
    EXPECT_EQ(m.env.messages().size(), 2u);
    m.ExpectInOrder({L"ShowMessage 64", std::wstring(L"RemoveFile ") + kLogPath});
  }
}

TEST(Mfrm, OwnFilesStayAfterAnyOtherReportAndASecondRunFinishes) {
  Machine m(SampleLog(/*self=*/true));
  m.env.SetLocked(kToolExe, true);
  m.Run({msgbox::kYes, msgbox::kCancel});
  EXPECT_EQ(m.env.messages().back().text, kNotAll);
  m.ExpectThere(true, {kLogPath, kUninstallExe});
  EXPECT_TRUE(m.env.pending_deletes().empty());
  // So does the uninstall entry, the user's way back to it; the other keys
  // are gone.
  EXPECT_TRUE(m.env.RegKeyExists(kHklm, kEntry));
  EXPECT_FALSE(m.env.RegKeyExists(kHklm, L"Software\\Tool"));

  // The file is free now; the same uninstaller, started again, finishes.
  m.env.SetLocked(kToolExe, false);
  m.env.ClearEvents();
  m.Run({msgbox::kYes, msgbox::kOk});
  EXPECT_EQ(m.env.messages().back().text, kDone);
  EXPECT_FALSE(m.env.Exists(kAppDir));
  // The entry went last: after the link stage, before the final message.
  EXPECT_FALSE(m.env.RegKeyExists(kHklm, kEntry));
  m.ExpectInOrder(
      {kLinkRemoved, std::wstring(L"DeleteRegKey 0x80000002 ") + kEntry + L"\\", L"Sleep 2000"});
}

// The bar advances over the whole removal and ends full before the pause:
// one key, two files, two directories, the desktop link and one logged link,
// and the group are 8 steps.
TEST(Mfrm, ProgressRunsOverTheWholeRemoval) {
  using Step = std::pair<std::uint64_t, std::uint64_t>;
  Machine m;
  m.env.set_tick_step_ms(100);
  m.Run();
  const std::vector<Step>& shown = m.env.progress();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front(), Step(0, 8));
  EXPECT_EQ(shown.back(), Step(8, 8));
  EXPECT_EQ(static_cast<std::size_t>(std::ranges::count(shown, 8u, &Step::second)), shown.size());
  EXPECT_TRUE(std::ranges::is_sorted(shown));  // with one total, the steps never go back
}

// However fast a stage is, its end is shown: the key, the files, the
// directories, the links and the group.
TEST(Mfrm, ProgressShowsTheEndOfEveryStage) {
  using Step = std::pair<std::uint64_t, std::uint64_t>;
  Machine m;
  m.env.set_tick_step_ms(0);
  m.Run();
  EXPECT_EQ(m.env.progress(), (std::vector<Step>{{0, 8}, {1, 8}, {3, 8}, {5, 8}, {8, 8}, {8, 8}}));
}

TEST(Mfrm, ClosingTheWindowIsAlwaysRefused) {
  bool cancel = false;
  Mfrm::Form_Unload(cancel);
  EXPECT_TRUE(cancel);
}

}  // namespace
}  // namespace uninstall
