#include "app/mfrm.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "installlog/writer.h"
#include "platform/fatal_error.h"
#include "tests/support/fake_env.h"

namespace uninstall {
namespace {

constexpr std::int32_t kHklm = static_cast<std::int32_t>(0x80000002u);
constexpr wchar_t kAppDir[] = L"C:\\Program Files\\Tool\\";
constexpr wchar_t kLogPath[] = L"C:\\Program Files\\Tool\\Uninstall.dat";
constexpr wchar_t kSorry[] =
    L"Sorry, uninstallling is not possible as 'Uninstall.dat' was not found in the current "
    L"directory. Try to reinstall the target application and then start uninstall again.";

std::string SampleLog() {
  InstallLog log;
  log.AppInfo = {L"%currentdir%", L"Tool", L"%currentdir%\\tool.exe", L"Tool"};
  log.Files = {{L"tool.exe", L"%currentdir%\\tool.exe", kFalse},
               {L"a.dat", L"%currentdir%\\data\\a.dat", kFalse}};
  log.RegKeys = {{kHklm, L"Software\\Tool\\", L"", L""}};
  log.Links = {{L"%userfolder%", L"Tool", L"%currentdir%\\tool.exe"}};
  return SerializeInstallFile(log.AppInfo, 2, log.Files, 1, log.RegKeys, 1, log.Links);
}

// A machine with the sample application installed and Uninstall.exe beside it.
struct Machine {
  FakeEnv env;
  Machine() {
    env.set_executable_path(std::wstring(kAppDir) + L"Uninstall.exe");
    env.AddFile(std::wstring(kAppDir) + L"Uninstall.exe");
    env.AddFile(std::wstring(kAppDir) + L"tool.exe");
    env.AddFile(std::wstring(kAppDir) + L"data\\a.dat");
    env.AddRegKey(kHklm, L"Software\\Tool");
    env.AddRegKey(kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool");
    env.SetSpecialFolder(csidl::kPrograms, L"C:\\Users\\me\\Start Menu\\Programs");
    env.SetSpecialFolder(csidl::kDesktopDirectory, L"C:\\Users\\me\\Desktop");
    env.AddFile(L"C:\\Users\\me\\Start Menu\\Programs\\Tool\\Tool.lnk");
  }
  void Run() {
    Mfrm form(env);
    form.Form_Load();
  }
  [[nodiscard]] std::vector<std::wstring> Removals() const {
    std::vector<std::wstring> out;
    for (const auto& e : env.events()) {
      if (e.starts_with(L"RemoveFile") || e.starts_with(L"RemoveDir") ||
          e.starts_with(L"DeleteRegKey")) {
        out.push_back(e);
      }
    }
    return out;
  }
};

std::size_t IndexOf(const std::vector<std::wstring>& events, std::wstring_view prefix) {
  const auto it = std::find_if(events.begin(), events.end(),
                               [&](const std::wstring& e) { return e.starts_with(prefix); });
  return static_cast<std::size_t>(it - events.begin());
}

TEST(Mfrm, InitPathsDerivesTheLogFromTheExecutable) {
  struct {
    const wchar_t* exe;
    const wchar_t* app_dir;
    const wchar_t* log_path;
  } const cases[] = {
      {L"C:\\Program Files\\Tool\\Uninstall.exe", L"C:\\Program Files\\Tool\\",
       L"C:\\Program Files\\Tool\\Uninstall.dat"},
      {L"D:\\Uninstall.exe", L"D:\\", L"D:\\Uninstall.dat"},
      {L"\\\\server\\apps\\Tool\\Uninstall.exe", L"\\\\server\\apps\\Tool\\",
       L"\\\\server\\apps\\Tool\\Uninstall.dat"},
  };
  for (const auto& c : cases) {
    FakeEnv env;
    env.set_executable_path(c.exe);
    env.set_windows_dir(L"C:\\WINDOWS");
    env.set_system_dir(L"C:\\WINDOWS\\system32\\");
    Mfrm form(env);
    form.InitPaths();
    EXPECT_EQ(form.AppDir, c.app_dir);
    EXPECT_EQ(form.LogPath, c.log_path);
    EXPECT_EQ(form.WinDir, L"C:\\WINDOWS\\");
    EXPECT_EQ(form.WinSysDir, L"C:\\WINDOWS\\system32\\");
  }
}

TEST(Mfrm, UnusableLogShowsOnlyTheSorryBox) {
  enum class Log { kMissing, kHidden, kSystem, kDirectory };
  for (const Log kind : {Log::kMissing, Log::kHidden, Log::kSystem, Log::kDirectory}) {
    Machine m;
    if (kind == Log::kHidden) m.env.AddFile(kLogPath, SampleLog(), attr::kHidden);
    if (kind == Log::kSystem) m.env.AddFile(kLogPath, SampleLog(), attr::kSystem);
    if (kind == Log::kDirectory) m.env.AddDir(kLogPath);
    m.Run();
    ASSERT_EQ(m.env.messages().size(), 1u) << static_cast<int>(kind);
    EXPECT_EQ(m.env.messages()[0].text, kSorry);
    EXPECT_EQ(m.env.messages()[0].title, L"Uninstall");
    EXPECT_EQ(m.env.messages()[0].style, msgbox::kOkExclamation);
    EXPECT_EQ(IndexOf(m.env.events(), L"Window shown"), m.env.events().size());
    EXPECT_TRUE(m.Removals().empty());
  }
}

TEST(Mfrm, AnswerOtherThanYesRemovesNothing) {
  for (const Result<int> answer :
       {Result<int>(msgbox::kNo), Result<int>(msgbox::kCancel), Result<int>(Status(1400))}) {
    Machine m;
    m.env.AddFile(kLogPath, SampleLog(), attr::kArchive | attr::kReadOnly);
    m.env.QueueAnswers({answer});
    m.Run();
    ASSERT_EQ(m.env.messages().size(), 1u);
    EXPECT_EQ(m.env.messages()[0].text,
              L"Do you really want to remove 'Tool' from this computer ?");
    EXPECT_EQ(m.env.messages()[0].title, std::nullopt);
    EXPECT_EQ(m.env.messages()[0].style, msgbox::kYesNoQuestion);
    EXPECT_TRUE(m.Removals().empty());
    EXPECT_TRUE(m.env.Exists(L"C:\\Program Files\\Tool\\tool.exe"));
  }
}

TEST(Mfrm, YesRunsTheStagesInTheirFixedOrder) {
  Machine m;
  m.env.AddFile(kLogPath, SampleLog());
  m.Run();

  const auto& events = m.env.events();
  const std::size_t shown = IndexOf(events, L"Window shown");
  const std::size_t confirm = IndexOf(events, L"ShowMessage 36");
  const std::size_t reg = IndexOf(events, L"DeleteRegKey");
  const std::size_t file = IndexOf(events, L"RemoveFile C:\\Program Files\\Tool\\tool.exe");
  const std::size_t dir = IndexOf(events, L"RemoveDir");
  const std::size_t link = IndexOf(events, L"RemoveFile C:\\Users\\me\\Desktop\\Tool.lnk");
  const std::size_t sleep = IndexOf(events, L"Sleep 2000");
  const std::size_t hidden = IndexOf(events, L"Window hidden");
  const std::size_t report = IndexOf(events, L"ShowMessage 64");
  ASSERT_LT(report, events.size());
  EXPECT_LT(shown, confirm);
  EXPECT_LT(confirm, reg);
  EXPECT_LT(reg, file);
  EXPECT_LT(file, dir);
  EXPECT_LT(dir, link);
  EXPECT_LT(link, sleep);
  EXPECT_LT(sleep, hidden);
  EXPECT_LT(hidden, report);

  EXPECT_EQ(m.env.messages().back().text, L"Application has been removed successfully.");
  EXPECT_EQ(m.env.messages().back().title, L"Uninstall");
  // Paths were expanded against the program's own folder before removal.
  EXPECT_FALSE(m.env.Exists(L"C:\\Program Files\\Tool\\tool.exe"));
  EXPECT_FALSE(m.env.Exists(L"C:\\Program Files\\Tool\\data\\"));
  EXPECT_FALSE(m.env.RegKeyExists(kHklm, L"Software\\Tool"));
  EXPECT_FALSE(m.env.Exists(L"C:\\Users\\me\\Start Menu\\Programs\\Tool\\"));
}

TEST(Mfrm, FileLeftInPlaceChangesOnlyTheFinalMessage) {
  Machine m;
  m.env.AddFile(kLogPath, SampleLog());
  m.env.SetAttrs(L"C:\\Program Files\\Tool\\tool.exe", attr::kReadOnly);
  m.env.QueueAnswers({msgbox::kYes, msgbox::kCancel});
  m.Run();
  ASSERT_EQ(m.env.messages().size(), 3u);
  EXPECT_EQ(m.env.messages()[1].style, msgbox::kRetryCancelExclamation);
  EXPECT_EQ(m.env.messages()[2].text, L"Uninstalling finished, not all files have been removed.");
  // The later stages still ran.
  EXPECT_FALSE(m.env.Exists(L"C:\\Program Files\\Tool\\data\\"));
  EXPECT_LT(IndexOf(m.env.events(), L"RemoveFile C:\\Users\\me\\Desktop\\Tool.lnk"),
            m.env.events().size());
}

TEST(Mfrm, WrongMagicStillAsksWithAnEmptyName) {
  Machine m;
  m.env.AddFile(kLogPath, "installfile\r\n");
  m.env.QueueAnswers({msgbox::kOk, msgbox::kNo});
  m.Run();
  ASSERT_EQ(m.env.messages().size(), 2u);
  EXPECT_EQ(m.env.messages()[0].text,
            std::wstring(L"Error: the file '") + kLogPath + L"' is no valid InstallFile !");
  EXPECT_EQ(m.env.messages()[1].text, L"Do you really want to remove '' from this computer ?");
}

TEST(Mfrm, UntrappedErrorsStopBeforeAnythingIsRemoved) {
  std::string negative = SampleLog();
  // The first string length after the kind byte of the AppInfo record.
  negative[14] = '\xFF';
  negative[15] = '\xFF';
  negative[16] = '\xFF';
  negative[17] = '\xFF';
  struct {
    const char* name;
    std::string content;
    bool locked;
  } const cases[] = {{"locked log", SampleLog(), true}, {"negative length", negative, false}};
  for (const auto& c : cases) {
    Machine m;
    m.env.AddFile(kLogPath, c.content);
    m.env.SetLocked(kLogPath, c.locked);
    EXPECT_THROW(m.Run(), FatalError) << c.name;
    EXPECT_TRUE(m.Removals().empty()) << c.name;
    EXPECT_EQ(IndexOf(m.env.events(), L"ShowMessage 36"), m.env.events().size()) << c.name;
  }
}

constexpr wchar_t kUninstallEntry[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool";

// The uninstaller's own files: never deleted by a stage, so that a run that
// ends half-way can be started again; after the success report they go,
// with the application's folder, and after any other report they stay.
std::string SelfLoggingLog() {
  InstallLog log;
  log.AppInfo = {L"%currentdir%", L"Tool", L"%currentdir%\\tool.exe", L"Tool"};
  log.Files = {{L"tool.exe", L"%currentdir%\\tool.exe", kFalse},
               {L"a.dat", L"%currentdir%\\data\\a.dat", kFalse},
               {L"Uninstall.exe", L"%currentdir%\\Uninstall.exe", kFalse},
               {L"Uninstall.dat", L"%currentdir%\\Uninstall.dat", kFalse}};
  log.RegKeys = {{kHklm, kUninstallEntry, L"", L""}, {kHklm, L"Software\\Tool\\", L"", L""}};
  return SerializeInstallFile(log.AppInfo, 4, log.Files, 2, log.RegKeys, 0, {});
}

TEST(Mfrm, OwnFilesGoAfterTheSuccessReport) {
  for (const bool logged : {true, false}) {
    Machine m;
    m.env.AddDir(L"C:\\TEMP");
    m.env.AddFile(kLogPath, logged ? SelfLoggingLog() : SampleLog());
    m.Run();
    // No question about the uninstaller itself, and the success report.
    ASSERT_EQ(m.env.messages().size(), 2u) << logged;
    EXPECT_EQ(m.env.messages()[1].text, L"Application has been removed successfully.");
    EXPECT_FALSE(m.env.Exists(kLogPath)) << logged;
    EXPECT_FALSE(m.env.Exists(kAppDir)) << logged;
    EXPECT_EQ(m.env.pending_deletes(), std::vector<std::wstring>{L"C:\\TEMP\\uni1.tmp"});
    // After the report.
    EXPECT_LT(IndexOf(m.env.events(), L"ShowMessage 64"),
              IndexOf(m.env.events(), std::wstring(L"RemoveFile ") + kLogPath));
  }
}

TEST(Mfrm, OwnFilesStayAfterAnyOtherReportAndASecondRunFinishes) {
  Machine m;
  m.env.AddDir(L"C:\\TEMP");
  m.env.AddFile(kLogPath, SelfLoggingLog());
  m.env.SetLocked(L"C:\\Program Files\\Tool\\tool.exe", true);
  m.env.QueueAnswers({msgbox::kYes, msgbox::kCancel});
  m.Run();
  EXPECT_EQ(m.env.messages().back().text,
            L"Uninstalling finished, not all files have been removed.");
  EXPECT_TRUE(m.env.Exists(kLogPath));
  EXPECT_TRUE(m.env.Exists(std::wstring(kAppDir) + L"Uninstall.exe"));
  EXPECT_TRUE(m.env.pending_deletes().empty());
  // So does the uninstall entry, the user's way back to it; the other keys
  // are gone.
  EXPECT_TRUE(m.env.RegKeyExists(kHklm, kUninstallEntry));
  EXPECT_FALSE(m.env.RegKeyExists(kHklm, L"Software\\Tool"));

  // The file is free now; the same uninstaller, started again, finishes.
  m.env.SetLocked(L"C:\\Program Files\\Tool\\tool.exe", false);
  m.env.ClearEvents();
  m.env.QueueAnswers({msgbox::kYes, msgbox::kOk});
  m.Run();
  EXPECT_EQ(m.env.messages().back().text, L"Application has been removed successfully.");
  EXPECT_FALSE(m.env.Exists(kAppDir));
  // The entry went last: after the link stage, before the final message.
  EXPECT_FALSE(m.env.RegKeyExists(kHklm, kUninstallEntry));
  const auto& events = m.env.events();
  const std::size_t entry =
      IndexOf(events, std::wstring(L"DeleteRegKey 0x80000002 ") + kUninstallEntry + L"\\");
  EXPECT_LT(IndexOf(events, L"RemoveFile C:\\Users\\me\\Desktop\\Tool.lnk"), entry);
  EXPECT_LT(entry, IndexOf(events, L"Sleep 2000"));
}

TEST(Mfrm, DamagedLogStaysWithTheUninstaller) {
  std::string cut = SampleLog();
  cut.resize(cut.size() - 3);  // the link record loses its last bytes
  for (const std::string& content : {std::string("installfile\r\n"), cut}) {
    Machine m;
    m.env.AddDir(L"C:\\TEMP");
    m.env.AddFile(kLogPath, content);
    m.Run();
    EXPECT_EQ(m.env.messages().back().text, L"Application has been removed successfully.");
    EXPECT_TRUE(m.env.Exists(kLogPath));
    EXPECT_TRUE(m.env.Exists(std::wstring(kAppDir) + L"Uninstall.exe"));
    EXPECT_TRUE(m.env.pending_deletes().empty());
  }
}

// The bar advances over the whole removal and ends full before the pause:
// one key, two files, two directories, the desktop link and one logged link,
// and the group are 8 steps.
TEST(Mfrm, ProgressRunsOverTheWholeRemoval) {
  Machine m;
  m.env.AddFile(kLogPath, SampleLog());
  m.env.set_tick_step_ms(100);
  m.Run();
  const auto& shown = m.env.progress();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front(), std::make_pair(std::uint64_t{0}, std::uint64_t{8}));
  EXPECT_EQ(shown.back(), std::make_pair(std::uint64_t{8}, std::uint64_t{8}));
  for (std::size_t i = 1; i < shown.size(); ++i) {
    EXPECT_LE(shown[i - 1].first, shown[i].first);
    EXPECT_EQ(shown[i].second, 8u);
  }
}

TEST(Mfrm, ClosingTheWindowIsAlwaysRefused) {
  bool cancel = false;
  Mfrm::Form_Unload(cancel);
  EXPECT_TRUE(cancel);
}

}  // namespace
}  // namespace uninstall
