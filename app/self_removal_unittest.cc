#include "app/self_removal.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fake_env.h"

namespace uninstall {
namespace {

constexpr wchar_t kAppDir[] = L"C:\\Apps\\Vendor\\Tool\\";
constexpr wchar_t kExe[] = L"C:\\Apps\\Vendor\\Tool\\Uninstall.exe";
constexpr wchar_t kLog[] = L"C:\\Apps\\Vendor\\Tool\\Uninstall.dat";
constexpr wchar_t kTempFile[] = L"C:\\TEMP\\uni1.tmp";

// What is left after a complete uninstall: the uninstaller and its log in
// their folder, below a vendor folder that the directory stage visited.
void Installed(FakeEnv& env) {
  env.set_executable_path(kExe);
  env.AddFile(kExe);
  env.AddFile(kLog);
  env.AddDir(L"C:\\TEMP");
  env.AddDir(L"C:\\WINDOWS");
}

struct SelfCase {
  const char* name;
  std::function<void(FakeEnv&)> setup;
  std::vector<std::wstring> visited;
  std::vector<std::wstring> gone;
  std::vector<std::wstring> left;
  std::vector<std::wstring> pending = {};  // deleted at the next restart
};

void PrintTo(const SelfCase& c, std::ostream* os) { *os << c.name; }

const SelfCase kCases[] = {
    {.name = "EverythingGoes",
     .setup = Installed,
     .visited = {kAppDir},
     .gone = {kExe, kLog, kAppDir},
     .left = {L"C:\\Apps\\Vendor", kTempFile},
     .pending = {kTempFile}},
    // The folders above that the directory stage visited go once empty,
    // nearest first; the first that is not empty stops the climb.
    {.name = "VisitedParentsGoWhenEmpty",
     .setup =
         [](FakeEnv& env) {
           Installed(env);
           env.AddFile(L"C:\\Apps\\readme.txt");
         },
     .visited = {L"C:\\Apps\\Vendor\\Tool\\data\\", kAppDir, L"C:\\Apps\\Vendor\\", L"C:\\Apps\\"},
     .gone = {kExe, kLog, kAppDir, L"C:\\Apps\\Vendor"},
     .left = {L"C:\\Apps\\readme.txt"},
     .pending = {kTempFile}},
    {.name = "UserFileKeepsTheFolder",
     .setup =
         [](FakeEnv& env) {
           Installed(env);
           env.AddFile(L"C:\\Apps\\Vendor\\Tool\\Saves\\game1.sav");
         },
     .visited = {kAppDir, L"C:\\Apps\\Vendor\\"},
     .gone = {kExe, kLog},
     .left = {L"C:\\Apps\\Vendor\\Tool\\Saves\\game1.sav"},
     .pending = {kTempFile}},
    // Without its log the uninstaller could not run again: if the log
    // stays, so does the executable.
    {.name = "LogThatStaysKeepsTheExecutable",
     .setup =
         [](FakeEnv& env) {
           Installed(env);
           env.SetLocked(kLog, true);
         },
     .visited = {kAppDir},
     .gone = {kTempFile},
     .left = {kExe, kLog, kAppDir}},
    // The temporary folder on another volume: a rename cannot leave the
    // volume, so both wait for the next restart where they are.
    {.name = "NoRenameAcrossVolumes",
     .setup =
         [](FakeEnv& env) {
           Installed(env);
           env.AddDir(L"D:\\TEMP");
           env.set_temp_dir(L"D:\\TEMP");
         },
     .visited = {kAppDir},
     .gone = {kLog, L"D:\\TEMP\\uni1.tmp"},
     .left = {kExe, kAppDir},
     .pending = {kExe, kAppDir}},
    {.name = "NoTemporaryFolder",
     .setup =
         [](FakeEnv& env) {
           Installed(env);
           env.set_temp_dir(L"C:\\Missing");
         },
     .visited = {kAppDir},
     .gone = {kLog},
     .left = {kExe, kAppDir},
     .pending = {kExe, kAppDir}},
};

class RemoveOwnFilesTest : public ::testing::TestWithParam<SelfCase> {};

TEST_P(RemoveOwnFilesTest, Table) {
  const SelfCase& c = GetParam();
  FakeEnv env;
  c.setup(env);
  FolderGuard guard(env, GuardedFolders{}, kAppDir);
  RemoveOwnFiles(env, guard, {kExe, kLog, kAppDir, L"C:\\WINDOWS\\", c.visited});
  for (const std::wstring& path : c.gone) EXPECT_FALSE(env.Exists(path)) << path;
  for (const std::wstring& path : c.left) EXPECT_TRUE(env.Exists(path)) << path;
  EXPECT_EQ(env.pending_deletes(), c.pending);
  EXPECT_TRUE(env.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, RemoveOwnFilesTest, ::testing::ValuesIn(kCases),
                         [](const auto& tested) { return std::string(tested.param.name); });

// The folder that is the current directory cannot be removed: the current
// directory moves to the temporary folder first.
TEST(RemoveOwnFiles, MovesTheCurrentDirectoryAwayFirst) {
  FakeEnv env;
  Installed(env);
  FolderGuard guard(env, GuardedFolders{}, kAppDir);
  RemoveOwnFiles(env, guard, {kExe, kLog, kAppDir, L"C:\\WINDOWS\\", {}});
  const std::vector<std::wstring> expected = {
      L"CreateTempFile C:\\TEMP\\uni1.tmp",
      L"SetCurrentDir C:\\TEMP\\",
      std::wstring(L"RemoveFile ") + kLog,
      std::wstring(L"RenameFile ") + kExe + L" -> " + kTempFile,
      std::wstring(L"DeleteAtRestart ") + kTempFile,
      std::wstring(L"RemoveDir ") + kAppDir,
  };
  EXPECT_EQ(env.events(), expected);
}

// A guarded folder is never removed, not even at the next restart.
TEST(RemoveOwnFiles, GuardedApplicationFolderStays) {
  for (const bool temp_folder : {true, false}) {
    FakeEnv env;
    Installed(env);
    if (!temp_folder) env.set_temp_dir(L"C:\\Missing");
    GuardedFolders guarded;
    guarded.folders = {kAppDir};
    FolderGuard guard(env, guarded, kAppDir);
    RemoveOwnFiles(env, guard, {kExe, kLog, kAppDir, L"C:\\WINDOWS\\", {kAppDir}});
    EXPECT_TRUE(env.Exists(kAppDir));
    EXPECT_FALSE(env.Exists(kLog));
    EXPECT_EQ(env.pending_deletes(),
              temp_folder ? std::vector<std::wstring>{kTempFile} : std::vector<std::wstring>{kExe});
  }
}

}  // namespace
}  // namespace uninstall
