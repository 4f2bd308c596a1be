// The broken install logs of support/broken_logs.h, each run through the
// whole uninstall (Form_Load, every question answered Yes) on a machine that
// holds Tool and another application under C:\Shared\. For each case: the
// boxes shown, the error report, and exactly which of the machine's files,
// folders and registry keys are still there afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/mfrm.h"
#include "installlog/reader.h"
#include "installlog/writer.h"
#include "platform/fatal_error.h"
#include "support/broken_logs.h"
#include "tests/support/fake_env.h"
#include "tests/support/log_builder.h"

namespace uninstall {
namespace {

using broken_logs::Access;
using broken_logs::Case;
using broken_logs::kHkcu;
using broken_logs::kHklm;
using broken_logs::Outcome;

constexpr wchar_t kLogPath[] = L"C:\\Program Files\\Tool\\Uninstall.dat";

// What becomes of a thing of the machine: it stays, Tool's uninstall removes
// it (its logged files and keys, the leftovers of its main directory, its
// data folder, its links and its program group; user.cfg is kept, so the
// main directory stays), or the uninstaller removes it as its own.
enum Fate { kStays, kTool, kOwn };

// The files and folders (ending in "\") the machine holds before the
// uninstall, by their fate, and the registry keys.
const std::vector<std::pair<Fate, std::vector<std::wstring>>> kPaths = {
    {kStays,
     {L"C:\\Program Files\\Tool\\", L"C:\\Program Files\\Tool\\user.cfg", L"C:\\Shared\\",
      L"C:\\Shared\\lib.dll", L"C:\\Shared\\lib.dll.old", L"C:\\Shared\\other.txt",
      L"C:\\Users\\me\\Desktop\\Shared.lnk", L"C:\\Users\\me\\Start Menu\\Programs\\Shared\\",
      L"C:\\Users\\me\\Start Menu\\Programs\\Shared\\Shared Tool.lnk"}},
    {kTool,
     {L"C:\\Program Files\\Tool\\tool.exe", L"C:\\Program Files\\Tool\\readme.txt",
      L"C:\\Program Files\\Tool\\data\\", L"C:\\Program Files\\Tool\\data\\a.dat",
      L"C:\\Users\\me\\Desktop\\Tool.lnk", L"C:\\Users\\me\\Start Menu\\Programs\\Tool\\",
      L"C:\\Users\\me\\Start Menu\\Programs\\Tool\\Tool.lnk"}},
    {kOwn, {L"C:\\Program Files\\Tool\\Uninstall.exe", L"C:\\Program Files\\Tool\\Uninstall.dat"}},
};
const std::vector<std::tuple<Fate, std::int32_t, std::vector<std::wstring>>> kKeys = {
    {kStays, kHklm, {L"Software", L"Software\\Shared", L"Software\\SharedData"}},
    {kStays, kHkcu, {L"Software", L"Software\\Tool"}},
    {kTool, kHklm, {L"Software\\Tool", L"Software\\Tool\\Settings"}},
};

// Sets up the machine with the log of `c` and runs the uninstall: the error
// that stopped it, if one did.
std::optional<FatalError> Uninstall(FakeEnv& env, const Case& c) {
  env.set_executable_path(L"C:\\Program Files\\Tool\\Uninstall.exe");
  env.AddDir(L"C:\\TEMP");
  env.SetSpecialFolder(csidl::kPrograms, L"C:\\Users\\me\\Start Menu\\Programs");
  env.SetSpecialFolder(csidl::kDesktopDirectory, L"C:\\Users\\me\\Desktop");
  env.SetSpecialFolder(csidl::kProgramFiles, L"C:\\Program Files");
  for (const auto& [fate, paths] : kPaths) {
    for (const std::wstring& path : paths) {
      path.ends_with(L'\\') ? env.AddDir(path) : env.AddFile(path);
    }
  }
  for (const auto& [fate, root, keys] : kKeys) {
    for (const std::wstring& key : keys) env.AddRegKey(root, key);
  }
  env.AddFile(kLogPath, c.bytes);
  if (c.access == Access::kLocked) env.SetLocked(kLogPath, true);
  if (c.access == Access::kUnreadable) {
    env.InjectFault(FakeOp::kReadWholeFile, kLogPath, kErrorAccessDenied);
  }
  try {
    Mfrm form(env);
    form.Form_Load();
  } catch (const FatalError& error) {
    return error;
  }
  return std::nullopt;
}

std::string Question(const std::string& name) {
  return " | box 36: Do you really want to remove '" + name + "' from this computer ?";
}

class BrokenLogTest : public ::testing::TestWithParam<Case> {};

TEST_P(BrokenLogTest, EndsInItsOutcome) {
  const Case& c = GetParam();
  FakeEnv env;
  const std::optional<FatalError> error = Uninstall(env, c);
  const bool refused = c.outcome == Outcome::kRefused;
  ASSERT_EQ(error.has_value(), refused);
  if (c.access != Access::kNormal) {
    EXPECT_EQ(error->code(),
              c.access == Access::kLocked ? kErrorSharingViolation : kErrorAccessDenied);
  }
  std::string boxes;
  if (c.outcome == Outcome::kNoValidInstallFile) {
    boxes = " | box 48: Error: the file '" + log_builder::Show(kLogPath) +
            "' is no valid InstallFile !";
  }
  if (!refused) {
    boxes += Question(log_builder::Show(c.question_name)) +
             " | box 64 [Uninstall]: Application has been removed successfully.";
  }
  EXPECT_EQ(log_builder::ShowBoxes(env.messages()), boxes);

  // After the success report the uninstaller removes itself and its log,
  // unless the log was no valid log or was cut short.
  bool self_removed = false;
  if (!refused) {
    InstallLog scratch;
    const ParsedInstallFile parsed = ParseInstallFile(c.bytes, kLogPath, scratch);
    self_removed = parsed.magic_ok && !parsed.cut.has_value();
  }
  const auto stays = [&](Fate fate) {
    return !(fate == kOwn ? self_removed : fate == kTool && c.outcome == Outcome::kToolRemoved);
  };
  for (const auto& [fate, paths] : kPaths) {
    for (const std::wstring& path : paths) {
      EXPECT_EQ(env.Exists(path), stays(fate)) << testing::PrintToString(path);
    }
  }
  for (const auto& [fate, root, keys] : kKeys) {
    for (const std::wstring& key : keys) {
      EXPECT_EQ(env.RegKeyExists(root, key), stays(fate)) << testing::PrintToString(key);
    }
  }
  EXPECT_EQ(env.pending_deletes(), self_removed ? std::vector<std::wstring>{L"C:\\TEMP\\uni1.tmp"}
                                                : std::vector<std::wstring>{});
}

INSTANTIATE_TEST_SUITE_P(Corpus, BrokenLogTest, ::testing::ValuesIn(broken_logs::Cases()),
                         [](const auto& tested) { return tested.param.name; });

// The generator writes Tool's log byte for byte as the installer's writer
// does, so that its cases are broken versions of a real log.
TEST(BrokenLogs, ToolLogIsTheWritersOutput) {
  EXPECT_EQ(
      broken_logs::ToolLogBytes(),
      SerializeInstallFile(
          {L"%currentdir%", L"Tool", L"%currentdir%\\tool.exe", L"Tool"}, 3,
          {{L"tool.exe", L"%currentdir%\\tool.exe", kFalse},
           {L"a.dat", L"%currentdir%\\data\\a.dat", kFalse},
           {L"user.cfg", L"%currentdir%\\user.cfg", kTrue}},
          2, {{kHklm, L"Software\\Tool\\Settings", L"", L""}, {kHklm, L"Software\\Tool", L"", L""}},
          1, {{L"%userfolder%", L"Tool", L"%currentdir%\\tool.exe"}}));
}

// The control for the corpus: read whole, the decoys do remove the other
// application's things, so their survival in the cases above means that the
// reader dropped them.
TEST(BrokenLogs, WholeDecoysWouldRemoveTheOtherApplication) {
  std::string bytes = broken_logs::ToolLogBytes();
  for (std::uint8_t kind = 1; kind <= 4; ++kind) bytes += broken_logs::WholeDecoy(kind);
  const Case c{"whole_decoys", bytes, Access::kNormal, Outcome::kToolRemoved, L"Shared"};
  FakeEnv env;
  ASSERT_FALSE(Uninstall(env, c).has_value());
  EXPECT_TRUE(log_builder::ShowBoxes(env.messages()).starts_with(Question("Shared")));
  EXPECT_FALSE(env.Exists(L"C:\\Shared\\lib.dll.old"));
  // The decoy's main directory is not the uninstaller's folder: the file
  // there that no log names stays.
  EXPECT_TRUE(env.Exists(L"C:\\Shared\\other.txt"));
  EXPECT_FALSE(env.Exists(L"C:\\Users\\me\\Start Menu\\Programs\\Shared\\Shared Tool.lnk"));
  EXPECT_FALSE(env.Exists(L"C:\\Users\\me\\Desktop\\Shared.lnk"));
  EXPECT_FALSE(env.RegKeyExists(kHklm, L"Software\\SharedData"));
}

}  // namespace
}  // namespace uninstall
