#include "paths/shell_registration.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "installlog/records.h"
#include "tests/support/fake_env.h"

namespace uninstall::GFShellRegistration {
namespace {

struct DirCase {
  std::wstring buffer;  // as the system leaves it
  std::wstring expected;
};

class DirectoryQueryTest : public ::testing::TestWithParam<DirCase> {};

TEST_P(DirectoryQueryTest, TrimsBufferAndEndsInBackslash) {
  FakeEnv env;
  env.set_windows_buffer(GetParam().buffer);
  env.set_system_buffer(GetParam().buffer);
  EXPECT_EQ(GetWindowsDir(env), GetParam().expected);
  EXPECT_EQ(GetSystemDir(env), GetParam().expected);
}

const std::wstring kFullName(kQueryBufferChars, L'w');
const std::wstring kFullDir = std::wstring(kQueryBufferChars - 1, L'w') + L"\\";

INSTANTIATE_TEST_SUITE_P(
    Buffers, DirectoryQueryTest,
    ::testing::Values(DirCase{FakeEnv::Buffer(L"C:\\WINDOWS"), L"C:\\WINDOWS\\"},
                      DirCase{FakeEnv::Buffer(L"C:\\WINDOWS\\"), L"C:\\WINDOWS\\"},
                      DirCase{FakeEnv::Buffer(L"C:\\"), L"C:\\"},
                      // Untouched by the system: nothing but NULs.
                      DirCase{std::wstring(kQueryBufferChars, L'\0'), L"\\"},
                      // Text that fills the buffer with no NUL after it is kept whole.
                      DirCase{kFullName, kFullName + L"\\"}, DirCase{kFullDir, kFullDir},
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

// Links by the folder convention of the log: relative to the Programs
// folder, and "..\\..\\Desktop" for the desktop.
constexpr wchar_t kPrograms[] = L"C:\\Users\\Me\\Start Menu\\Programs";
constexpr wchar_t kDesktop[] = L"C:\\Users\\Me\\Desktop";

std::wstring Programs(const std::wstring& rest) { return std::wstring(kPrograms) + L"\\" + rest; }
std::wstring Desktop(const std::wstring& rest) { return std::wstring(kDesktop) + L"\\" + rest; }

void Standard(FakeEnv& env) {
  env.SetSpecialFolder(csidl::kPrograms, kPrograms);
  env.SetSpecialFolder(csidl::kDesktopDirectory, kDesktop);
  env.AddDir(kPrograms);
  env.AddDir(kDesktop);
  env.AddFile(Desktop(L"Tool.lnk"));
  env.AddFile(Programs(L"Vendor Tool\\Tool.lnk"));
}
void DesktopLinkLocked(FakeEnv& env) {
  Standard(env);
  env.SetLocked(Desktop(L"Tool.lnk"), true);
}
void NoPrograms(FakeEnv& env) {
  env.SetSpecialFolder(csidl::kDesktopDirectory, kDesktop);
  env.AddFile(Programs(L"Vendor Tool\\Tool.lnk"));
}
void NoDesktop(FakeEnv& env) {
  env.SetSpecialFolder(csidl::kPrograms, kPrograms);
  env.AddFile(Desktop(L"Tool.lnk"));
}

struct LinkCase {
  const char* name;
  std::wstring folder;
  std::wstring link;
  std::int16_t result;
  std::wstring removes;  // the one file the call removes; empty: it touches nothing
  void (*setup)(FakeEnv&) = Standard;
};

const LinkCase kLinkCases[] = {
    // The desktop is asked for by name, not two levels above Programs.
    {"DesktopByName", L"..\\..\\Desktop", L"Tool", kTrue, Desktop(L"Tool.lnk")},
    {"DesktopNameInAnyCase", L"..\\..\\DESKTOP", L"Tool", kTrue, Desktop(L"Tool.lnk")},
    {"FolderBelowPrograms", L"Vendor Tool", L"Tool", kTrue, Programs(L"Vendor Tool\\Tool.lnk")},
    {"OneSeparatorBetweenFolderAndName", L"Vendor Tool\\", L"Tool", kTrue,
     Programs(L"Vendor Tool\\Tool.lnk")},
    {"EmptyFolderIsProgramsItself", L"", L"Tool", kTrue, Programs(L"Tool.lnk")},
    {"EmptyLinkNameNamesNoLink", L"Vendor Tool", L"", kFalse, L""},
    // The caller wants the link gone; one that is not there already is.
    {"MissingLinkCountsAsRemoved", L"Vendor Tool", L"Other", kTrue,
     Programs(L"Vendor Tool\\Other.lnk")},
    {"MissingFolderCountsAsRemoved", L"Nowhere", L"Tool", kTrue, Programs(L"Nowhere\\Tool.lnk")},
    {"LockedLinkFails", L"..\\..\\Desktop", L"Tool", kFalse, Desktop(L"Tool.lnk"),
     DesktopLinkLocked},
    {"ProgramsUnavailable", L"Vendor Tool", L"Tool", kFalse, L"", NoPrograms},
    {"DesktopUnavailable", L"..\\..\\Desktop", L"Tool", kFalse, L"", NoDesktop},
};

void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

class RemoveShellLinkTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(RemoveShellLinkTest, RemovesTheLinkFile) {
  const LinkCase& c = GetParam();
  FakeEnv env;
  c.setup(env);
  EXPECT_EQ(RemoveShellLink(env, c.folder, c.link), c.result);
  EXPECT_EQ(env.events(), c.removes.empty()
                              ? std::vector<std::wstring>{}
                              : std::vector<std::wstring>{L"RemoveFile " + c.removes});
}

INSTANTIATE_TEST_SUITE_P(Table, RemoveShellLinkTest, ::testing::ValuesIn(kLinkCases),
                         [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace uninstall::GFShellRegistration
