#include "paths/variables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace uninstall {
namespace {

PathFields ToolFields(const std::wstring& app_dir = L"D:\\Apps\\Tool\\") {
  return PathFields{L"C:\\WINDOWS\\", L"C:\\WINDOWS\\SYSTEM\\", app_dir,
                    app_dir + L"Uninstall.dat"};
}

std::wstring Expanded(std::wstring path, const PathFields& fields = ToolFields(),
                      const std::wstring& group_name = L"Tool") {
  ExpandPathVariables(fields, group_name, path);
  return path;
}

// A path before and after, for the group "Tool" (or `group`) and the
// application in D:\Apps\Tool (or `app_dir`).
struct ExpandCase {
  const wchar_t* before;
  const wchar_t* after;
  const wchar_t* group = L"Tool";
  const wchar_t* app_dir = L"D:\\Apps\\Tool\\";
};

class ExpandPathVariablesTest : public ::testing::TestWithParam<ExpandCase> {};

TEST_P(ExpandPathVariablesTest, ReplacesLeadingVariable) {
  const ExpandCase& c = GetParam();
  EXPECT_EQ(Expanded(c.before, ToolFields(c.app_dir), c.group), c.after)
      << ::testing::PrintToString(c.before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExpandPathVariablesTest,
    ::testing::Values(ExpandCase{L"%windir%\\win.ini", L"C:\\WINDOWS\\win.ini"},
                      ExpandCase{L"%windir%win.ini", L"C:\\WINDOWS\\win.ini"},
                      ExpandCase{L"%WINDIR%\\win.ini", L"C:\\WINDOWS\\win.ini"},
                      ExpandCase{L"%windir%", L"C:\\WINDOWS\\"},
                      ExpandCase{L"%winsysdir%\\x.dll", L"C:\\WINDOWS\\SYSTEM\\x.dll"},
                      ExpandCase{L"%currentdir%\\readme.txt", L"D:\\Apps\\Tool\\readme.txt"},
                      ExpandCase{L"%rootdir%\\Data", L"D:\\Data"},
                      ExpandCase{L"%rootdir%", L"D:\\"},
                      ExpandCase{L"%rootdir%\\Data", L"\\\\server\\apps\\Data", L"Tool",
                                 L"\\\\server\\apps\\Tool\\"},
                      ExpandCase{L"%userdir%\\notes.txt", L"D:\\Apps\\Tool\\notes.txt"},
                      ExpandCase{L"%userfolder%\\Tool.lnk", L"Tool\\Tool.lnk"},
                      ExpandCase{L"%userfolder%", L"Tool"},
                      ExpandCase{L"%userfolder%\\Tool.lnk", L"\\Tool.lnk", L""},
                      // The group name goes in as it is.
                      ExpandCase{L"%userfolder%\\a", L"%windir%\\a", L"%windir%"},
                      ExpandCase{L"C:\\%windir%\\x", L"C:\\%windir%\\x"},
                      ExpandCase{L"%temp%\\x", L"%temp%\\x"}, ExpandCase{L"", L""},
                      // The rest of the path keeps its case.
                      ExpandCase{L"%CurrentDir%\\ReadMe.TXT", L"D:\\Apps\\Tool\\ReadMe.TXT"},
                      // Shorter than every variable, or cut off inside one.
                      ExpandCase{L"%", L"%"}, ExpandCase{L"%windi", L"%windi"},
                      // A variable is replaced once; a second one stays.
                      ExpandCase{L"%windir%\\%windir%", L"C:\\WINDOWS\\%windir%"}));

TEST(ExpandPathVariables, LaterRowsSeeEarlierResults) {
  // Each row is tested once, on the string as the rows before left it: a
  // value that opens with a later variable is expanded again.
  PathFields fields = ToolFields();
  fields.WinDir = L"%userfolder%\\";
  EXPECT_EQ(Expanded(L"%windir%\\x", fields), L"Tool\\x");
  // The long form "%windir%\" has had its turn when row 2 yields "%windir%\x";
  // the short form "%windir%" still matches and leaves the "\" of the rest behind.
  fields = ToolFields();
  fields.WinSysDir = L"%windir%\\";
  EXPECT_EQ(Expanded(L"%winsysdir%\\x", fields), L"C:\\WINDOWS\\\\x");
}

FileEntry File(const std::wstring& tag) {
  return FileEntry{L"%windir%\\" + tag + L".src", L"%currentdir%\\" + tag, kTrue};
}
LinkEntry Link(const std::wstring& tag) {
  return LinkEntry{L"%userfolder%", L"%windir%\\" + tag, L"%currentdir%\\" + tag + L".exe"};
}

TEST(ExpandAllPaths, ExpandsOnlyPathFieldsOfCountedEntries) {
  std::vector<FileEntry> files = {File(L"a"), File(L"b"), File(L"c")};
  std::vector<LinkEntry> links = {Link(L"l1"), Link(L"l2")};
  AppInfo app{L"%currentdir%", L"%windir%Name", L"%currentdir%\\Tool.exe", L"Tool"};

  ExpandAllPaths(ToolFields(), 2, files, 1, links, app);

  EXPECT_EQ(files, (std::vector<FileEntry>{{L"C:\\WINDOWS\\a.src", L"D:\\Apps\\Tool\\a", kTrue},
                                           {L"C:\\WINDOWS\\b.src", L"D:\\Apps\\Tool\\b", kTrue},
                                           File(L"c")}));  // the last beyond the count
  EXPECT_EQ(links, (std::vector<LinkEntry>{{L"Tool", L"%windir%\\l1", L"D:\\Apps\\Tool\\l1.exe"},
                                           Link(L"l2")}));
  EXPECT_EQ(app,
            (AppInfo{L"D:\\Apps\\Tool\\", L"%windir%Name", L"D:\\Apps\\Tool\\Tool.exe", L"Tool"}));
}

}  // namespace
}  // namespace uninstall
