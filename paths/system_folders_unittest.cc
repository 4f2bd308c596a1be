#include "paths/system_folders.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/fake_env.h"

namespace uninstall::GFShellRegistration {
namespace {

struct DirCase {
  std::wstring buffer;  // as the system leaves it
  std::wstring expected;
};

class DirectoryQueryTest : public ::testing::TestWithParam<DirCase> {};

TEST_P(DirectoryQueryTest, TrimsBufferAndEndsInBackslash) {
  const DirCase& c = GetParam();
  FakeEnv env;
  env.set_windows_buffer(c.buffer);
  env.set_system_buffer(c.buffer);
  EXPECT_EQ(GetWindowsDir(env), c.expected);
  EXPECT_EQ(GetSystemDir(env), c.expected);
}

const std::wstring kFullName(kQueryBufferChars, L'w');

INSTANTIATE_TEST_SUITE_P(
    Buffers, DirectoryQueryTest,
    ::testing::Values(DirCase{FakeEnv::Buffer(L"C:\\WINDOWS"), L"C:\\WINDOWS\\"},
                      DirCase{FakeEnv::Buffer(L"C:\\WINDOWS\\"), L"C:\\WINDOWS\\"},
                      DirCase{FakeEnv::Buffer(L"C:\\"), L"C:\\"},
                      // Untouched by the system: nothing but NULs.
                      DirCase{std::wstring(kQueryBufferChars, L'\0'), L"\\"},
                      // Text that fills the buffer with no NUL after it is kept whole.
                      DirCase{kFullName, kFullName + L"\\"},
                      DirCase{std::wstring(kQueryBufferChars - 1, L'w') + L"\\",
                              std::wstring(kQueryBufferChars - 1, L'w') + L"\\"},
                      // Only the text before the first NUL counts.
                      DirCase{std::wstring(L"C:\\WIN\0old\\", 11) + std::wstring(249, L'\0'),
                              L"C:\\WIN\\"}));

TEST(TrimFolderBuffer, EmptyBufferGivesBackslash) { EXPECT_EQ(TrimFolderBuffer(L""), L"\\"); }

TEST(GetSpecialFolder, FoundFolderEndsInBackslash) {
  FakeEnv env;
  env.SetSpecialFolder(csidl::kPrograms, L"C:\\Users\\me\\Start Menu\\Programs");
  EXPECT_EQ(GetSpecialFolder(env, csidl::kPrograms), L"C:\\Users\\me\\Start Menu\\Programs\\");
  EXPECT_EQ(GetSpecialFolder(env, csidl::kPersonal), L"");  // unknown to the machine
}

struct ShellCase {
  std::int32_t location_result;
  bool path_ok;
  std::wstring expected;
};

class SpecialFolderQueryTest : public ::testing::TestWithParam<ShellCase> {};

TEST_P(SpecialFolderQueryTest, OnlyFullSuccessGivesPath) {
  const ShellCase& c = GetParam();
  FakeEnv env;
  env.SetSpecialFolderQuery(csidl::kPrograms, ShellFolderQuery{c.location_result, c.path_ok,
                                                               FakeEnv::Buffer(L"C:\\Programs")});
  EXPECT_EQ(GetSpecialFolder(env, csidl::kPrograms), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Results, SpecialFolderQueryTest,
                         ::testing::Values(ShellCase{0, true, L"C:\\Programs\\"},
                                           // S_FALSE is a success code, but not 0.
                                           ShellCase{1, true, L""},
                                           ShellCase{static_cast<std::int32_t>(0x80004005u), true,
                                                     L""},
                                           // Located, but no file system path for it.
                                           ShellCase{0, false, L""}));

}  // namespace
}  // namespace uninstall::GFShellRegistration
