#include "app/self_removal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/fake_env.h"

namespace uninstall {
namespace {

constexpr wchar_t kAppDir[] = L"C:\\Apps\\Vendor\\Tool\\";
constexpr wchar_t kExe[] = L"C:\\Apps\\Vendor\\Tool\\Uninstall.exe";
constexpr wchar_t kLog[] = L"C:\\Apps\\Vendor\\Tool\\Uninstall.dat";
constexpr wchar_t kVendor[] = L"C:\\Apps\\Vendor\\";
constexpr wchar_t kTempFile[] = L"C:\\TEMP\\uni1.tmp";
constexpr wchar_t kReadme[] = L"C:\\Apps\\readme.txt";
constexpr wchar_t kSave[] = L"C:\\Apps\\Vendor\\Tool\\Saves\\game1.sav";

// What is left after a complete uninstall: the uninstaller and its log in
// their folder, below a vendor folder; temporary folders on C: and D:.
class OwnFiles : public ::testing::Test {
 protected:
  OwnFiles() {
    env_.set_executable_path(kExe);
    for (const wchar_t* file : {kExe, kLog}) env_.AddFile(file);
    for (const wchar_t* dir : {L"C:\\TEMP", L"D:\\TEMP", L"C:\\WINDOWS"}) env_.AddDir(dir);
  }
  // Removes the own files after a directory stage that visited `visited`;
  // then, of the paths above, the ones in `left` are there and the others
  // are not, and `pending` are deleted at the next restart.
  void Remove(std::vector<std::wstring> visited, const std::vector<std::wstring>& left,
              const std::vector<std::wstring>& pending = {}) {
    FolderGuard guard(env_, guarded_, kAppDir);
    RemoveOwnFiles(env_, guard, {kExe, kLog, kAppDir, L"C:\\WINDOWS\\", std::move(visited)});
    for (const std::wstring path :
         {kExe, kLog, kAppDir, kVendor, kTempFile, L"D:\\TEMP\\uni1.tmp", kReadme, kSave}) {
      EXPECT_EQ(env_.Exists(path), std::ranges::count(left, path) == 1) << path;
    }
    EXPECT_EQ(env_.pending_deletes(), pending);
    EXPECT_TRUE(env_.messages().empty());
  }
  FakeEnv env_;
  GuardedFolders guarded_;
};

TEST_F(OwnFiles, EverythingGoes) { Remove({kAppDir}, {kVendor, kTempFile}, {kTempFile}); }

// The folders above that the directory stage visited go once empty, nearest
// first; the first that is not empty stops the climb.
TEST_F(OwnFiles, VisitedParentsGoWhenEmpty) {
  env_.AddFile(kReadme);
  Remove({L"C:\\Apps\\Vendor\\Tool\\data\\", kAppDir, kVendor, L"C:\\Apps\\"}, {kReadme, kTempFile},
         {kTempFile});
}

TEST_F(OwnFiles, UserFileKeepsTheFolder) {
  env_.AddFile(kSave);
  Remove({kAppDir, kVendor}, {kSave, kAppDir, kVendor, kTempFile}, {kTempFile});
}

// Without its log the uninstaller could not run again: if the log stays, so
// does the executable.
TEST_F(OwnFiles, LogThatStaysKeepsTheExecutable) {
  env_.SetLocked(kLog, true);
  Remove({kAppDir}, {kExe, kLog, kAppDir, kVendor});
}

// The temporary folder on another volume: a rename cannot leave the volume,
// so both wait for the next restart where they are.
TEST_F(OwnFiles, NoRenameAcrossVolumes) {
  env_.set_temp_dir(L"D:\\TEMP");
  Remove({kAppDir}, {kExe, kAppDir, kVendor}, {kExe, kAppDir});
}

TEST_F(OwnFiles, NoTemporaryFolder) {
  env_.set_temp_dir(L"C:\\Missing");
  Remove({kAppDir}, {kExe, kAppDir, kVendor}, {kExe, kAppDir});
}

// A guarded folder is never removed, not even at the next restart.
TEST_F(OwnFiles, GuardedApplicationFolderStays) {
  guarded_.folders = {kAppDir};
  Remove({kAppDir}, {kAppDir, kVendor, kTempFile}, {kTempFile});
}

TEST_F(OwnFiles, GuardedApplicationFolderStaysWithoutTemporaryFolder) {
  guarded_.folders = {kAppDir};
  env_.set_temp_dir(L"C:\\Missing");
  Remove({kAppDir}, {kExe, kAppDir, kVendor}, {kExe});
}

// The folder that is the current directory cannot be removed: the current
// directory moves to the temporary folder first.
TEST_F(OwnFiles, MovesTheCurrentDirectoryAwayFirst) {
  Remove({}, {kVendor, kTempFile}, {kTempFile});
  EXPECT_EQ(env_.events(),
            (std::vector<std::wstring>{
                L"CreateTempFile C:\\TEMP\\uni1.tmp", L"SetCurrentDir C:\\TEMP\\",
                L"RemoveFile C:\\Apps\\Vendor\\Tool\\Uninstall.dat",
                L"RenameFile C:\\Apps\\Vendor\\Tool\\Uninstall.exe -> C:\\TEMP\\uni1.tmp",
                L"DeleteAtRestart C:\\TEMP\\uni1.tmp", L"RemoveDir C:\\Apps\\Vendor\\Tool\\"}));
}

}  // namespace
}  // namespace uninstall
