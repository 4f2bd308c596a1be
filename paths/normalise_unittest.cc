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

class IsRootPathTest : public ::testing::TestWithParam<RootCase> {};

TEST_P(IsRootPathTest, RootsInAnySpelling) {
  EXPECT_EQ(IsRootPath(GetParam().dir), GetParam().root)
      << ::testing::PrintToString(GetParam().dir);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IsRootPathTest,
    ::testing::Values(RootCase{L"C:\\", true}, RootCase{L"d:\\", true}, RootCase{L"C:", true},
                      RootCase{L"\\", true}, RootCase{L"", true},
                      RootCase{L"\\\\srv\\share\\", true}, RootCase{L"\\\\srv\\share", true},
                      RootCase{L"\\\\?\\UNC\\srv\\share\\", true},
                      RootCase{L"C:\\Apps\\..\\", true}, RootCase{L"C:\\Apps\\..\\..\\", true},
                      RootCase{L"C:\\.\\", true}, RootCase{L"C:\\Apps\\", false},
                      RootCase{L"\\\\srv\\share\\app\\", false}, RootCase{L"App\\", false},
                      RootCase{L"ab\\", false}));

struct InsideCase {
  const wchar_t* path;
  const wchar_t* base;
  bool inside;
};

class IsInsidePathTextTest : public ::testing::TestWithParam<InsideCase> {};

TEST_P(IsInsidePathTextTest, ComponentByComponent) {
  const InsideCase& c = GetParam();
  EXPECT_EQ(IsInsidePathText(c.path, c.base), c.inside)
      << ::testing::PrintToString(c.path) << " in " << ::testing::PrintToString(c.base);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IsInsidePathTextTest,
    ::testing::Values(InsideCase{L"C:\\Apps\\Tool\\data\\", L"C:\\Apps\\Tool\\", true},
                      InsideCase{L"c:\\apps\\tool\\DATA", L"C:\\Apps\\Tool", true},
                      InsideCase{L"C:\\Apps\\Tool\\", L"C:\\Apps\\Tool\\", false},
                      // Not aligned on a separator: a neighbour, not a child.
                      InsideCase{L"C:\\Apps\\ToolBox\\", L"C:\\Apps\\Tool\\", false},
                      InsideCase{L"C:\\Apps\\", L"C:\\Apps\\Tool\\", false},
                      InsideCase{L"C:\\Apps\\Tool\\..\\Other\\", L"C:\\Apps\\Tool\\", false},
                      InsideCase{L"D:\\Apps\\Tool\\x\\", L"C:\\Apps\\Tool\\", false},
                      InsideCase{L"C:\\x\\", L"C:\\", true},
                      InsideCase{L"Apps\\Tool\\x\\", L"Apps\\Tool\\", false},
                      InsideCase{L"\\\\srv\\share\\app\\", L"\\\\SRV\\Share\\", true}));

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
