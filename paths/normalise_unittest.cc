#include "paths/normalise.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

namespace uninstall {
namespace {

struct ComparableCase {
  const wchar_t* path;
  const wchar_t* comparable;
  bool absolute;
};
ComparableCase Absolute(const wchar_t* path, const wchar_t* comparable) {
  return {path, comparable, true};
}
ComparableCase Relative(const wchar_t* path, const wchar_t* comparable) {
  return {path, comparable, false};
}
ComparableCase Windows(const wchar_t* path) { return Absolute(path, L"C:\\WINDOWS"); }

class ComparablePathTest : public ::testing::TestWithParam<ComparableCase> {};

TEST_P(ComparablePathTest, OneFormForEverySpelling) {
  const ComparableCase& c = GetParam();
  EXPECT_EQ(ComparablePath(c.path), c.comparable) << ::testing::PrintToString(c.path);
  EXPECT_EQ(NormalisePath(c.path).absolute, c.absolute) << ::testing::PrintToString(c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComparablePathTest,
    ::testing::Values(
        // Every spelling of one folder.
        Windows(L"C:\\Windows\\"), Windows(L"c:\\windows"), Windows(L"C:/Windows/"),
        Windows(L"C:\\\\Windows\\\\\\"), Windows(L"C:\\.\\Windows\\.\\"),
        Windows(L"C:\\Apps\\..\\WINDOWS\\"), Windows(L"C:\\Windows.\\"),
        Absolute(L"C:\\Windows . .\\System32 \\", L"C:\\WINDOWS\\SYSTEM32"),
        Windows(L"\\\\?\\C:\\Windows\\"), Windows(L"\\\\?\\c:\\windows"),
        Windows(L"\\\\.\\C:\\Windows"),
        Absolute(L"\\\\?\\UNC\\srv\\share\\app", L"\\\\SRV\\SHARE\\APP"),
        Absolute(L"\\\\?\\unc\\srv\\share\\app", L"\\\\SRV\\SHARE\\APP"),
        // ".." stops at the root, as it does on disk.
        Windows(L"C:\\..\\..\\Windows"), Absolute(L"\\\\srv\\share\\..\\x", L"\\\\SRV\\SHARE\\X"),
        Absolute(L"C:\\", L"C:\\"), Relative(L"C:", L"C:"), Relative(L"C:App\\x", L"C:APP\\X"),
        Relative(L"\\", L"\\"), Relative(L"\\App\\", L"\\APP"), Relative(L"App\\", L"APP"),
        Relative(L"", L""),
        // A "\\" path that names no share.
        Relative(L"\\\\srv", L"\\SRV"), Relative(L"\\\\.\\..\\x", L"X")));

struct RootCase {
  const wchar_t* dir;
  bool root;
};
RootCase Root(const wchar_t* dir) { return {dir, true}; }
RootCase NotRoot(const wchar_t* dir) { return {dir, false}; }

class IsRootTest : public ::testing::TestWithParam<RootCase> {};

TEST_P(IsRootTest, RootsInAnySpelling) {
  EXPECT_EQ(NormalisePath(GetParam().dir).IsRoot(), GetParam().root)
      << ::testing::PrintToString(GetParam().dir);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IsRootTest,
    ::testing::Values(Root(L"C:\\"), Root(L"d:\\"), Root(L"C:"), Root(L"\\"), Root(L""),
                      Root(L"\\\\srv\\share\\"), Root(L"\\\\srv\\share"),
                      Root(L"\\\\?\\UNC\\srv\\share\\"), Root(L"C:\\Apps\\..\\"),
                      Root(L"C:\\Apps\\..\\..\\"), Root(L"C:\\.\\"), NotRoot(L"C:\\Apps\\"),
                      NotRoot(L"\\\\srv\\share\\app\\"), NotRoot(L"App\\"), NotRoot(L"ab\\")));

TEST(NormalisePath, KeepsTheLetterCaseOfTheText) {
  const NormalPath path = NormalisePath(L"c:\\Program Files\\.\\Tool\\..\\Tool.\\");
  EXPECT_EQ(path.Text(), L"c:\\Program Files\\Tool");
  EXPECT_EQ(path.Parent().Text(), L"c:\\Program Files");
  EXPECT_EQ(path.Parent().Parent().Parent().Text(), L"c:\\");
  EXPECT_TRUE(path.Parent().Parent().IsRoot());
}

// The folder a directory's text names, as a view of the start of that text.
TEST(ResolvedFolderPrefix, TheFolderWhereTheTextSpellsIt) {
  const std::pair<const wchar_t*, const wchar_t*> rows[] = {
      {L"C:\\PF\\Vendor\\App\\..\\", L"C:\\PF\\Vendor\\"},
      {L"C:\\PF\\App\\.\\", L"C:\\PF\\App\\"},
      {L"C:\\PF\\App\\..\\..\\..\\", L"C:\\"},
      {L"C:\\PF\\App. \\..\\", L"C:\\PF\\"},
      {L"\\\\srv\\share\\App\\..\\", L"\\\\srv\\share\\"},
      {L"C:\\PF\\App\\..", L"C:\\PF\\"},
      // Spelled nowhere at the start, or not to be resolved: as it stands.
      {L"C:\\PF\\App\\..\\Shared\\", L"C:\\PF\\App\\..\\Shared\\"},
      {L"\\\\?\\C:\\PF\\App\\..\\", L"\\\\?\\C:\\PF\\App\\..\\"},
      {L"App\\..\\", L"App\\..\\"},
      {L"C:\\PF\\App\\.git\\", L"C:\\PF\\App\\.git\\"},
      {L"C:\\PF\\App\\...\\", L"C:\\PF\\App\\...\\"},
      {L"", L""},
  };
  for (const auto& [dir, folder] : rows) {
    const std::wstring_view text = dir;
    const std::wstring_view resolved = ResolvedFolderPrefix(text);
    EXPECT_EQ(resolved, folder) << ::testing::PrintToString(dir);
    EXPECT_EQ(resolved.data(), text.data()) << ::testing::PrintToString(dir);
  }
}

TEST(JoinPath, ExactlyOneSeparator) {
  EXPECT_EQ(JoinPath(L"C:\\Programs\\", L"\\Tool"), L"C:\\Programs\\Tool");
  EXPECT_EQ(JoinPath(L"C:\\Programs", L"Tool\\"), L"C:\\Programs\\Tool\\");
  EXPECT_EQ(JoinPath(L"", L"Tool"), L"\\Tool");
}

}  // namespace
}  // namespace uninstall
