#include "paths/split.h"

#include <gtest/gtest.h>

#include <string>

namespace uninstall {
namespace {

struct RootCase {
  const wchar_t* path;
  const wchar_t* root;
};

class GetRootDirTest : public ::testing::TestWithParam<RootCase> {};

TEST_P(GetRootDirTest, GivesDriveOrShare) {
  const RootCase& c = GetParam();
  EXPECT_EQ(GetRootDir(c.path), c.root) << "path: " << ::testing::PrintToString(c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GetRootDirTest,
    ::testing::Values(RootCase{L"C:\\Program Files\\Tool\\", L"C:\\"}, RootCase{L"C:\\", L"C:\\"},
                      RootCase{L"C:", L"C:"}, RootCase{L"", L""}, RootCase{L"\\dir\\file", L"\\di"},
                      RootCase{L"dir\\file", L"dir"},
                      RootCase{L"\\\\server\\share\\dir\\file", L"\\\\server\\share\\"},
                      RootCase{L"\\\\server\\share", L"\\\\server\\share\\"},
                      RootCase{L"\\\\server\\share\\", L"\\\\server\\share\\"},
                      RootCase{L"\\\\server\\", L"\\\\server\\\\"}, RootCase{L"\\\\server", L""},
                      RootCase{L"\\\\", L""}, RootCase{L"\\", L"\\"},
                      RootCase{L"\\\\\\share\\dir", L"\\\\\\share\\"},
                      // "/" is an ordinary character, never a separator.
                      RootCase{L"//server/share/dir", L"//s"},
                      RootCase{L"\\\\srv/x\\sh/y\\z", L"\\\\srv/x\\sh/y\\"}));

struct SplitCase {
  const wchar_t* path;
  const wchar_t* directory;
  const wchar_t* file_name;
};

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, SplitsAtLastBackslash) {
  const SplitCase& c = GetParam();
  EXPECT_EQ(GetDirectory(c.path), c.directory) << ::testing::PrintToString(c.path);
  EXPECT_EQ(GetFileName(c.path), c.file_name) << ::testing::PrintToString(c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitTest,
    ::testing::Values(SplitCase{L"C:\\dir\\file.txt", L"C:\\dir\\", L"file.txt"},
                      SplitCase{L"C:\\dir\\", L"C:\\dir\\", L""}, SplitCase{L"C:\\", L"C:\\", L""},
                      SplitCase{L"\\file", L"\\", L"file"}, SplitCase{L"file.txt", L"", L""},
                      SplitCase{L"C:/dir/file.txt", L"", L""}, SplitCase{L"", L"", L""},
                      SplitCase{L"C:\\a\\\\b", L"C:\\a\\\\", L"b"}));

// Paths beyond the 16-bit position range: every operation still answers.
TEST(PathSplitLongPaths, VeryLongPathsAreHandled) {
  const std::wstring name(100000, L'x');

  const std::wstring drive_path = L"C:\\" + name;
  EXPECT_EQ(GetRootDir(drive_path), L"C:\\");
  EXPECT_EQ(GetDirectory(drive_path), L"C:\\");
  EXPECT_EQ(GetFileName(drive_path), name);

  const std::wstring deep = L"C:\\" + name + L"\\file.txt";
  EXPECT_EQ(GetDirectory(deep), L"C:\\" + name + L"\\");
  EXPECT_EQ(GetFileName(deep), L"file.txt");

  // The root is looked for only within the first 32767 characters: a share
  // name that runs past them ends there.
  const std::wstring share_path = L"\\\\server\\" + name + L"\\dir";
  EXPECT_EQ(GetRootDir(share_path), share_path.substr(0, 32767) + L"\\");
  EXPECT_EQ(GetRootDir(L"\\\\" + name + L"\\share\\"), L"");
  EXPECT_EQ(GetRootDir(std::wstring(100000, L'\\')), L"\\\\\\\\");
}

}  // namespace
}  // namespace uninstall
