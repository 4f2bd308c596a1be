#include "paths/normalise.h"

#include <gtest/gtest.h>

#include <string>

namespace uninstall {
namespace {

struct ComparableCase {
  const wchar_t* path;
  const wchar_t* comparable;
  bool absolute;
};

class ComparablePathTest : public ::testing::TestWithParam<ComparableCase> {};

TEST_P(ComparablePathTest, OneFormForEverySpelling) {
  const ComparableCase& c = GetParam();
  EXPECT_EQ(ComparablePath(c.path), c.comparable) << ::testing::PrintToString(c.path);
  EXPECT_EQ(NormalisePath(c.path).absolute, c.absolute) << ::testing::PrintToString(c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComparablePathTest,
    ::testing::Values(
        ComparableCase{L"C:\\Windows\\", L"C:\\WINDOWS", true},
        ComparableCase{L"c:\\windows", L"C:\\WINDOWS", true},
        ComparableCase{L"C:/Windows/", L"C:\\WINDOWS", true},
        ComparableCase{L"C:\\\\Windows\\\\\\", L"C:\\WINDOWS", true},
        ComparableCase{L"C:\\.\\Windows\\.\\", L"C:\\WINDOWS", true},
        ComparableCase{L"C:\\Apps\\..\\WINDOWS\\", L"C:\\WINDOWS", true},
        ComparableCase{L"C:\\Windows.\\", L"C:\\WINDOWS", true},
        ComparableCase{L"C:\\Windows . .\\System32 \\", L"C:\\WINDOWS\\SYSTEM32", true},
        ComparableCase{L"\\\\?\\C:\\Windows\\", L"C:\\WINDOWS", true},
        ComparableCase{L"\\\\?\\c:\\windows", L"C:\\WINDOWS", true},
        ComparableCase{L"\\\\.\\C:\\Windows", L"C:\\WINDOWS", true},
        ComparableCase{L"\\\\?\\UNC\\srv\\share\\app", L"\\\\SRV\\SHARE\\APP", true},
        ComparableCase{L"\\\\?\\unc\\srv\\share\\app", L"\\\\SRV\\SHARE\\APP", true},
        // ".." stops at the root, as it does on disk.
        ComparableCase{L"C:\\..\\..\\Windows", L"C:\\WINDOWS", true},
        ComparableCase{L"\\\\srv\\share\\..\\x", L"\\\\SRV\\SHARE\\X", true},
        ComparableCase{L"C:\\", L"C:\\", true}, ComparableCase{L"C:", L"C:", false},
        ComparableCase{L"C:App\\x", L"C:APP\\X", false}, ComparableCase{L"\\", L"\\", false},
        ComparableCase{L"\\App\\", L"\\APP", false}, ComparableCase{L"App\\", L"APP", false},
        ComparableCase{L"", L"", false},
        // A "\\" path that names no share.
        ComparableCase{L"\\\\srv", L"\\SRV", false}, ComparableCase{L"\\\\.\\..\\x", L"X", false}));

struct RootCase {
  const wchar_t* dir;
  bool root;
};

class IsRootTest : public ::testing::TestWithParam<RootCase> {};

TEST_P(IsRootTest, RootsInAnySpelling) {
  EXPECT_EQ(NormalisePath(GetParam().dir).IsRoot(), GetParam().root)
      << ::testing::PrintToString(GetParam().dir);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IsRootTest,
    ::testing::Values(RootCase{L"C:\\", true}, RootCase{L"d:\\", true}, RootCase{L"C:", true},
                      RootCase{L"\\", true}, RootCase{L"", true},
                      RootCase{L"\\\\srv\\share\\", true}, RootCase{L"\\\\srv\\share", true},
                      RootCase{L"\\\\?\\UNC\\srv\\share\\", true},
                      RootCase{L"C:\\Apps\\..\\", true}, RootCase{L"C:\\Apps\\..\\..\\", true},
                      RootCase{L"C:\\.\\", true}, RootCase{L"C:\\Apps\\", false},
                      RootCase{L"\\\\srv\\share\\app\\", false}, RootCase{L"App\\", false},
                      RootCase{L"ab\\", false}));

TEST(NormalisePath, KeepsTheLetterCaseOfTheText) {
  const NormalPath path = NormalisePath(L"c:\\Program Files\\.\\Tool\\..\\Tool.\\");
  EXPECT_EQ(path.Text(), L"c:\\Program Files\\Tool");
  EXPECT_EQ(path.Parent().Text(), L"c:\\Program Files");
  EXPECT_EQ(path.Parent().Parent().Parent().Text(), L"c:\\");
  EXPECT_TRUE(path.Parent().Parent().IsRoot());
}

TEST(JoinPath, ExactlyOneSeparator) {
  EXPECT_EQ(JoinPath(L"C:\\Programs\\", L"\\Tool"), L"C:\\Programs\\Tool");
  EXPECT_EQ(JoinPath(L"C:\\Programs", L"Tool\\"), L"C:\\Programs\\Tool\\");
  EXPECT_EQ(JoinPath(L"", L"Tool"), L"\\Tool");
}

}  // namespace
}  // namespace uninstall
