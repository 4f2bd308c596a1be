// The broken install logs of support/broken_logs.h, each run through the
// whole uninstall (Form_Load, every question answered Yes) on a machine that
// holds Tool and another application under C:\Shared\. For each case: the
// boxes shown, the error report, and exactly which of the machine's files,
// folders and registry keys are still there afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/mfrm.h"
#include "installlog/reader.h"
#include "installlog/writer.h"
#include "platform/fatal_error.h"
#include "support/broken_logs.h"
#include "tests/support/fake_env.h"

namespace uninstall {
namespace {

using broken_logs::Access;
using broken_logs::Case;
using broken_logs::kHkcu;
using broken_logs::kHklm;
using broken_logs::Outcome;

constexpr wchar_t kAppDir[] = L"C:\\Program Files\\Tool\\";
constexpr wchar_t kLogPath[] = L"C:\\Program Files\\Tool\\Uninstall.dat";
constexpr wchar_t kPrograms[] = L"C:\\Users\\me\\Start Menu\\Programs";
constexpr wchar_t kDesktop[] = L"C:\\Users\\me\\Desktop";
constexpr wchar_t kRemoved[] = L"Application has been removed successfully.";

using Key = std::pair<std::int32_t, std::wstring>;

// What the machine holds before the uninstall.
const std::vector<std::wstring> kFiles = {
    L"C:\\Program Files\\Tool\\Uninstall.exe",
    L"C:\\Program Files\\Tool\\Uninstall.dat",
    L"C:\\Program Files\\Tool\\tool.exe",
    L"C:\\Program Files\\Tool\\readme.txt",
    L"C:\\Program Files\\Tool\\user.cfg",
    L"C:\\Program Files\\Tool\\data\\a.dat",
    L"C:\\Shared\\lib.dll",
    L"C:\\Shared\\lib.dll.old",
    L"C:\\Shared\\other.txt",
    L"C:\\Users\\me\\Desktop\\Tool.lnk",
    L"C:\\Users\\me\\Desktop\\Shared.lnk",
    L"C:\\Users\\me\\Start Menu\\Programs\\Tool\\Tool.lnk",
    L"C:\\Users\\me\\Start Menu\\Programs\\Shared\\Shared Tool.lnk",
};
const std::vector<std::wstring> kDirs = {
    L"C:\\Program Files\\Tool",
    L"C:\\Program Files\\Tool\\data",
    L"C:\\Shared",
    L"C:\\Users\\me\\Start Menu\\Programs\\Tool",
    L"C:\\Users\\me\\Start Menu\\Programs\\Shared",
};
const std::vector<Key> kKeys = {
    {kHklm, L"Software"},
    {kHklm, L"Software\\Tool"},
    {kHklm, L"Software\\Tool\\Settings"},
    {kHklm, L"Software\\Shared"},
    {kHklm, L"Software\\SharedData"},
    {kHkcu, L"Software"},
    {kHkcu, L"Software\\Tool"},
};

// What Tool's uninstall removes: its logged files and keys, the leftovers of
// its main directory, its data folder, its links and its program group.
// user.cfg is kept, so the main directory stays.
const std::set<std::wstring> kToolFilesGone = {
    L"C:\\Program Files\\Tool\\tool.exe",
    L"C:\\Program Files\\Tool\\readme.txt",
    L"C:\\Program Files\\Tool\\data\\a.dat",
    L"C:\\Users\\me\\Desktop\\Tool.lnk",
    L"C:\\Users\\me\\Start Menu\\Programs\\Tool\\Tool.lnk",
};
const std::set<std::wstring> kToolDirsGone = {
    L"C:\\Program Files\\Tool\\data",
    L"C:\\Users\\me\\Start Menu\\Programs\\Tool",
};
const std::set<Key> kToolKeysGone = {
    {kHklm, L"Software\\Tool"},
    {kHklm, L"Software\\Tool\\Settings"},
};

struct Machine {
  FakeEnv env;

  explicit Machine(const Case& c) {
    env.set_executable_path(std::wstring(kAppDir) + L"Uninstall.exe");
    env.AddDir(L"C:\\TEMP");
    env.SetSpecialFolder(csidl::kPrograms, kPrograms);
    env.SetSpecialFolder(csidl::kDesktopDirectory, kDesktop);
    env.SetSpecialFolder(csidl::kProgramFiles, L"C:\\Program Files");
    for (const std::wstring& dir : kDirs) env.AddDir(dir);
    for (const std::wstring& file : kFiles) env.AddFile(file);
    for (const auto& [root, key] : kKeys) env.AddRegKey(root, key);
    env.AddFile(kLogPath, c.bytes);
    if (c.access == Access::kLocked) env.SetLocked(kLogPath, true);
    if (c.access == Access::kUnreadable) {
      env.InjectFault(FakeOp::kReadWholeFile, kLogPath, kErrorAccessDenied);
    }
  }

  // The error that stopped the run, if one did.
  std::optional<FatalError> Run() {
    try {
      Mfrm form(env);
      form.Form_Load();
    } catch (const FatalError& error) {
      return error;
    }
    return std::nullopt;
  }
};

std::wstring Question(const std::wstring& name) {
  return L"Do you really want to remove '" + name + L"' from this computer ?";
}

// What the boxes must say, in order.
std::vector<MessageCall> ExpectedBoxes(const Case& c) {
  const MessageCall question{Question(c.question_name), std::nullopt, msgbox::kYesNoQuestion};
  const MessageCall report{kRemoved, L"Uninstall", msgbox::kOkInformation};
  switch (c.outcome) {
    case Outcome::kNoValidInstallFile:
      return {{L"Error: the file 'C:\\Program Files\\Tool\\Uninstall.dat' is no valid "
               L"InstallFile !",
               std::nullopt, msgbox::kOkExclamation},
              question,
              report};
    case Outcome::kNothingRead:
    case Outcome::kToolRemoved:
      return {question, report};
    case Outcome::kRefused:
      return {};
  }
  return {};
}

class BrokenLogTest : public ::testing::TestWithParam<Case> {};

TEST_P(BrokenLogTest, EndsInItsOutcome) {
  const Case& c = GetParam();
  Machine m(c);
  const std::optional<FatalError> error = m.Run();

  ASSERT_EQ(error.has_value(), c.outcome == Outcome::kRefused);
  if (c.access == Access::kLocked) {
    EXPECT_EQ(error->code(), kErrorSharingViolation);
  }
  if (c.access == Access::kUnreadable) {
    EXPECT_EQ(error->code(), kErrorAccessDenied);
  }

  const std::vector<MessageCall> boxes = ExpectedBoxes(c);
  ASSERT_EQ(m.env.messages().size(), boxes.size());
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_EQ(m.env.messages()[i].text, boxes[i].text) << i;
    EXPECT_EQ(m.env.messages()[i].title, boxes[i].title) << i;
    EXPECT_EQ(m.env.messages()[i].style, boxes[i].style) << i;
  }

  // After the success report the uninstaller removes itself and its log,
  // unless the log was no valid log or was cut short.
  InstallLog scratch;
  bool whole = false;
  try {
    const ParsedInstallFile parsed = ParseInstallFile(c.bytes, kLogPath, scratch);
    whole = parsed.magic_ok && !parsed.cut.has_value();
  } catch (const FatalError&) {
  }
  const bool self_removed = whole && c.outcome != Outcome::kRefused;
  const std::set<std::wstring> own = {L"C:\\Program Files\\Tool\\Uninstall.exe", kLogPath};

  const bool tool_removed = c.outcome == Outcome::kToolRemoved;
  for (const std::wstring& file : kFiles) {
    const bool gone =
        own.contains(file) ? self_removed : tool_removed && kToolFilesGone.contains(file);
    EXPECT_EQ(m.env.Exists(file), !gone) << testing::PrintToString(file);
  }
  EXPECT_EQ(m.env.pending_deletes(), self_removed ? std::vector<std::wstring>{L"C:\\TEMP\\uni1.tmp"}
                                                  : std::vector<std::wstring>{});
  for (const std::wstring& dir : kDirs) {
    EXPECT_EQ(m.env.Exists(dir), !(tool_removed && kToolDirsGone.contains(dir)))
        << testing::PrintToString(dir);
  }
  for (const Key& key : kKeys) {
    EXPECT_EQ(m.env.RegKeyExists(key.first, key.second),
              !(tool_removed && kToolKeysGone.contains(key)))
        << testing::PrintToString(key.second);
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, BrokenLogTest, ::testing::ValuesIn(broken_logs::Cases()),
                         [](const auto& tested) { return tested.param.name; });

// The generator writes Tool's log byte for byte as the installer's writer
// does, so that its cases are broken versions of a real log.
TEST(BrokenLogs, ToolLogIsTheWritersOutput) {
  InstallLog log;
  log.AppInfo = {L"%currentdir%", L"Tool", L"%currentdir%\\tool.exe", L"Tool"};
  log.Files = {{L"tool.exe", L"%currentdir%\\tool.exe", kFalse},
               {L"a.dat", L"%currentdir%\\data\\a.dat", kFalse},
               {L"user.cfg", L"%currentdir%\\user.cfg", kTrue}};
  log.RegKeys = {{kHklm, L"Software\\Tool\\Settings", L"", L""},
                 {kHklm, L"Software\\Tool", L"", L""}};
  log.Links = {{L"%userfolder%", L"Tool", L"%currentdir%\\tool.exe"}};
  EXPECT_EQ(broken_logs::ToolLogBytes(),
            SerializeInstallFile(log.AppInfo, 3, log.Files, 2, log.RegKeys, 1, log.Links));
}

// The control for the corpus: read whole, the decoys do remove the other
// application's things, so their survival in the cases above means that the
// reader dropped them.
TEST(BrokenLogs, WholeDecoysWouldRemoveTheOtherApplication) {
  std::string bytes = broken_logs::ToolLogBytes();
  for (std::uint8_t kind = 1; kind <= 4; ++kind) bytes += broken_logs::WholeDecoy(kind);
  const Case c{"whole_decoys", bytes, Access::kNormal, Outcome::kToolRemoved, L"Shared"};
  Machine m(c);
  ASSERT_FALSE(m.Run().has_value());
  ASSERT_FALSE(m.env.messages().empty());
  EXPECT_EQ(m.env.messages()[0].text, Question(L"Shared"));
  EXPECT_FALSE(m.env.Exists(L"C:\\Shared\\lib.dll.old"));
  // The decoy's main directory is not the uninstaller's folder: the file
  // there that no log names stays.
  EXPECT_TRUE(m.env.Exists(L"C:\\Shared\\other.txt"));
  EXPECT_FALSE(m.env.Exists(L"C:\\Users\\me\\Start Menu\\Programs\\Shared\\Shared Tool.lnk"));
  EXPECT_FALSE(m.env.Exists(L"C:\\Users\\me\\Desktop\\Shared.lnk"));
  EXPECT_FALSE(m.env.RegKeyExists(kHklm, L"Software\\SharedData"));
}

}  // namespace
}  // namespace uninstall
