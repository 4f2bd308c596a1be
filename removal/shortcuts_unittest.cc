#include "removal/shortcuts.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fake_env.h"
#include "tests/support/install_logs.h"

namespace uninstall {
namespace {

// Paths in the rows write the user's folder C:\Users\Me as "~".
constexpr std::wstring_view kMe = L"C:\\Users\\Me";
constexpr wchar_t kPrograms[] = L"C:\\Users\\Me\\Start Menu\\Programs";
constexpr wchar_t kDesktop[] = L"C:\\Users\\Me\\Desktop";

// The rows' folders and links; a link "Tool\Readme" is Readme in the group Tool.
const wchar_t kFolders[] = L"~\\{Desktop\\, Start Menu\\Programs\\}";
const wchar_t kInstalled[] =
    L"~\\{Desktop\\Tool.lnk, Start Menu\\Programs\\Tool\\{Readme.lnk, Tool.lnk}}";

// The disk before and after, and the calls made, in order.
struct StageCase {
  const char* name;
  const wchar_t* disk;
  const wchar_t* app_name;
  const wchar_t* group;
  const wchar_t* links;
  int count;
  const wchar_t* calls;
  const wchar_t* after;
  std::optional<FakeOp> fault = {};  // fails on `fault_path` with access denied
  const wchar_t* fault_path = L"";
  bool programs_known = true;
  bool junction = false;  // Programs\Tool a junction to the desktop
};

const StageCase kStageCases[] = {
    {"DesktopThenLinksThenGroup", kInstalled, L"Tool", L"Tool", L"Tool\\{Tool, Readme}", 2,
     L"del ~\\Desktop\\Tool.lnk; del ~\\Start Menu\\Programs\\Tool\\Tool.lnk; del ~\\Start "
     L"Menu\\Programs\\Tool\\Readme.lnk; rd ~\\Start Menu\\Programs\\Tool",
     L"~\\{Desktop\\, Start Menu\\Programs\\}"},
    {"EmptyListHandlesDesktopAndGroupOnly", kInstalled, L"Tool", L"Tool", L"Tool\\{Tool, Readme}",
     0, L"del ~\\Desktop\\Tool.lnk; rd ~\\Start Menu\\Programs\\Tool",
     L"~\\{Desktop\\, Start Menu\\Programs\\Tool\\{Readme.lnk, Tool.lnk}}"},
    // The desktop call is made for an unnamed application, but an empty
    // name names no link: no file ".lnk" is deleted.
    {"EmptyAppNameDeletesNothingOnTheDesktop", kInstalled, L"", L"", L"", 0, L"", kInstalled},
    {"GroupWithAnUnlistedLinkStays", kInstalled, L"Tool", L"Tool", L"Tool\\Tool", 1,
     L"del ~\\Desktop\\Tool.lnk; del ~\\Start Menu\\Programs\\Tool\\Tool.lnk; rd ~\\Start "
     L"Menu\\Programs\\Tool",
     L"~\\{Desktop\\, Start Menu\\Programs\\Tool\\Readme.lnk}"},
    {"MissingGroupIsNotTouched", kFolders, L"Tool", L"Tool", L"", 0, L"del ~\\Desktop\\Tool.lnk",
     kFolders},
    // Without a group name the Programs folder itself would be the group.
    {"EmptyGroupNameLeavesPrograms", kFolders, L"Tool", L"", L"", 0, L"del ~\\Desktop\\Tool.lnk",
     kFolders},
    {"ProgramsUnavailableLeavesTheGroup",
     L"~\\Start Menu\\Programs\\Tool\\",
     L"Tool",
     L"Tool",
     L"Tool\\Tool",
     1,
     L"del ~\\Desktop\\Tool.lnk",
     L"~\\Start Menu\\Programs\\Tool\\",
     {},
     L"",
     false},
    // Only the innermost folder of a nested group name is removed.
    {"NestedGroupRemovesOnlyTheInnermost",
     L"~\\{Desktop\\, Start Menu\\Programs\\Vendor\\Tool\\Tool.lnk}", L"Tool", L"Vendor\\Tool",
     L"Vendor\\Tool\\Tool", 1,
     L"del ~\\Desktop\\Tool.lnk; del ~\\Start Menu\\Programs\\Vendor\\Tool\\Tool.lnk; rd ~\\Start "
     L"Menu\\Programs\\Vendor\\Tool",
     L"~\\{Desktop\\, Start Menu\\Programs\\Vendor\\}"},
    {"FileNamedLikeTheGroupStays", L"~\\{Desktop\\, Start Menu\\Programs\\Tool}", L"Tool", L"Tool",
     L"", 0, L"del ~\\Desktop\\Tool.lnk; rd ~\\Start Menu\\Programs\\Tool",
     L"~\\{Desktop\\, Start Menu\\Programs\\Tool}"},
    // A link that cannot be removed is passed over; the group then stays.
    {"FailingLinkRemovalMovesOn", kInstalled, L"Tool", L"Tool", L"Tool\\{Tool, Readme}", 2,
     L"del ~\\Desktop\\Tool.lnk; del ~\\Start Menu\\Programs\\Tool\\Tool.lnk; del ~\\Start "
     L"Menu\\Programs\\Tool\\Readme.lnk; rd ~\\Start Menu\\Programs\\Tool",
     L"~\\{Desktop\\, Start Menu\\Programs\\Tool\\Tool.lnk}", FakeOp::kRemoveFile,
     L"~\\Start Menu\\Programs\\Tool\\Tool.lnk"},
    // A group name that climbs out of the Programs folder, or leads to a
    // folder the user owns, names no program group: nothing outside
    // Programs is removed, and neither is a guarded folder inside it.
    {"GroupNameClimbingOutOfProgramsStays", L"~\\{Desktop\\, Start Menu\\{Programs\\, Tool\\}}",
     L"Tool", L"..\\Tool", L"", 0, L"del ~\\Desktop\\Tool.lnk",
     L"~\\{Desktop\\, Start Menu\\{Programs\\, Tool\\}}"},
    {"GroupNameClimbingToTheDesktopStays", kFolders, L"Tool", L"..\\..\\..\\Desktop", L"", 0,
     L"del ~\\Desktop\\Tool.lnk", kFolders},
    {"GroupNameOfAGuardedFolderInProgramsStays", L"~\\{Desktop\\, Start Menu\\Programs\\Startup\\}",
     L"Tool", L"Startup", L"", 0, L"del ~\\Desktop\\Tool.lnk",
     L"~\\{Desktop\\, Start Menu\\Programs\\Startup\\}"},
    {"GroupThroughAJunctionToTheDesktopStays", kFolders, L"Tool", L"Tool", L"", 0,
     L"del ~\\Desktop\\Tool.lnk", L"~\\{Desktop\\, Start Menu\\Programs\\Tool:J\\}", std::nullopt,
     L"", true, true},
    {"GroupByAnotherSpellingIsRemoved", L"~\\{Desktop\\, Start Menu\\Programs\\Tool\\}", L"Tool",
     L"Other\\..\\TOOL.", L"", 0,
     L"del ~\\Desktop\\Tool.lnk; rd ~\\Start Menu\\Programs\\Other\\..\\TOOL.", kFolders},
    // A search that fails cannot rule the group out: its removal is tried.
    {"FailingSearchStillTriesTheGroup", L"~\\{Desktop\\, Start Menu\\Programs\\Tool\\}", L"Tool",
     L"Tool", L"", 0, L"del ~\\Desktop\\Tool.lnk; rd ~\\Start Menu\\Programs\\Tool", kFolders,
     FakeOp::kGetFileAttrs, L"~\\Start Menu\\Programs\\Tool"},
};

void PrintTo(const StageCase& c, std::ostream* os) { *os << c.name; }

class RemoveShortcutsTest : public ::testing::TestWithParam<StageCase> {};

TEST_P(RemoveShortcutsTest, Table) {
  const StageCase& c = GetParam();
  FakeEnv env;
  env.AddTree(ReplaceAll(c.disk, L"~", kMe));
  if (c.programs_known) env.SetSpecialFolder(csidl::kPrograms, kPrograms);
  env.SetSpecialFolder(csidl::kDesktopDirectory, kDesktop);
  if (c.fault) env.InjectFault(*c.fault, ReplaceAll(c.fault_path, L"~", kMe), kErrorAccessDenied);
  if (c.junction) env.AddLink(std::wstring(kPrograms) + L"\\Tool", kDesktop);
  std::vector<LinkEntry> links;
  for (const TreeItem& link : TreeItems(c.links)) {
    const std::size_t slash = link.path.rfind(L'\\');
    links.push_back(
        {link.path.substr(0, slash), link.path.substr(slash + 1), L"C:\\Apps\\Tool\\tool.exe"});
  }
  GuardedFolders guards;
  guards.folders = {kPrograms, kDesktop, std::wstring(kPrograms) + L"\\Startup"};
  FolderGuard guard(env, guards, L"C:\\Apps\\Tool\\");
  const InstallLog log =
      LinksLog(c.count, links,
               AppInfo{L"C:\\Apps\\Tool\\", c.app_name, L"C:\\Apps\\Tool\\tool.exe", c.group});
  RemoveShortcuts(env, guard, PlanRemoval(log));
  // The Programs folder and the desktop, each asked for once at most.
  EXPECT_LE(env.special_folder_queries(), 2u);
  EXPECT_EQ(ReplaceAll(env.Calls(), kMe, L"~"), c.calls);
  EXPECT_EQ(ReplaceAll(env.Tree(), kMe, L"~"), c.after);
  EXPECT_TRUE(env.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, RemoveShortcutsTest, ::testing::ValuesIn(kStageCases),
                         [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace uninstall
