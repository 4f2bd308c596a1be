#include "removal/shortcuts.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fake_env.h"
#include "tests/support/install_logs.h"

namespace uninstall {
namespace {

constexpr wchar_t kPrograms[] = L"C:\\Users\\Me\\Start Menu\\Programs";
constexpr wchar_t kDesktop[] = L"C:\\Users\\Me\\Desktop";

std::wstring Programs(const std::wstring& rest) { return std::wstring(kPrograms) + L"\\" + rest; }
std::wstring Desktop(const std::wstring& rest) { return std::wstring(kDesktop) + L"\\" + rest; }
std::wstring Del(const std::wstring& path) { return L"RemoveFile " + path; }
std::wstring Rmdir(const std::wstring& path) { return L"RemoveDir " + path; }

void Folders(FakeEnv& env) {
  env.SetSpecialFolder(csidl::kPrograms, kPrograms);
  env.SetSpecialFolder(csidl::kDesktopDirectory, kDesktop);
  env.AddDir(kPrograms);
  env.AddDir(kDesktop);
}

AppInfo App(std::wstring name, std::wstring group) {
  return AppInfo{L"C:\\Apps\\Tool\\", std::move(name), L"C:\\Apps\\Tool\\tool.exe",
                 std::move(group)};
}
LinkEntry Link(std::wstring folder, std::wstring name) {
  return LinkEntry{std::move(folder), std::move(name), L"C:\\Apps\\Tool\\tool.exe"};
}

struct StageCase {
  const char* name;
  std::function<void(FakeEnv&)> setup;
  AppInfo app;
  std::vector<LinkEntry> links;
  int count;
  std::vector<std::wstring> events;
  std::vector<std::wstring> left;
  std::vector<std::wstring> gone;
};

void Installed(FakeEnv& env) {
  Folders(env);
  env.AddFile(Desktop(L"Tool.lnk"));
  env.AddFile(Programs(L"Tool\\Tool.lnk"));
  env.AddFile(Programs(L"Tool\\Readme.lnk"));
}

const std::vector<LinkEntry> kLinks = {Link(L"Tool", L"Tool"), Link(L"Tool", L"Readme")};

const StageCase kStageCases[] = {
    {"DesktopThenLinksThenGroup",
     Installed,
     App(L"Tool", L"Tool"),
     kLinks,
     2,
     {Del(Desktop(L"Tool.lnk")), Del(Programs(L"Tool\\Tool.lnk")),
      Del(Programs(L"Tool\\Readme.lnk")), Rmdir(Programs(L"Tool"))},
     {kPrograms},
     {Desktop(L"Tool.lnk"), Programs(L"Tool")}},
    {"EmptyListHandlesDesktopAndGroupOnly",
     Installed,
     App(L"Tool", L"Tool"),
     kLinks,
     0,
     {Del(Desktop(L"Tool.lnk")), Rmdir(Programs(L"Tool"))},
     {Programs(L"Tool\\Tool.lnk")},
     {Desktop(L"Tool.lnk")}},
    // The desktop call is made for an unnamed application, but an empty
    // name names no link: no file ".lnk" is deleted.
    {"EmptyAppNameDeletesNothingOnTheDesktop",
     Installed,
     App(L"", L""),
     {},
     0,
     {},
     {Desktop(L"Tool.lnk")},
     {}},
    {"GroupWithAnUnlistedLinkStays",
     Installed,
     App(L"Tool", L"Tool"),
     {Link(L"Tool", L"Tool")},
     1,
     {Del(Desktop(L"Tool.lnk")), Del(Programs(L"Tool\\Tool.lnk")), Rmdir(Programs(L"Tool"))},
     {Programs(L"Tool\\Readme.lnk")},
     {Programs(L"Tool\\Tool.lnk")}},
    {"MissingGroupIsNotTouched",
     Folders,
     App(L"Tool", L"Tool"),
     {},
     0,
     {Del(Desktop(L"Tool.lnk"))},
     {kPrograms},
     {}},
    // Without a group name the Programs folder itself would be the group.
    {"EmptyGroupNameLeavesPrograms",
     Folders,
     App(L"Tool", L""),
     {},
     0,
     {Del(Desktop(L"Tool.lnk"))},
     {kPrograms},
     {}},
    {"ProgramsUnavailableLeavesTheGroup",
     [](FakeEnv& env) {
       env.AddDir(Programs(L"Tool"));
       env.SetSpecialFolder(csidl::kDesktopDirectory, kDesktop);
     },
     App(L"Tool", L"Tool"),
     {Link(L"Tool", L"Tool")},
     1,
     {Del(Desktop(L"Tool.lnk"))},
     {Programs(L"Tool")},
     {}},
    // Only the innermost folder of a nested group name is removed.
    {"NestedGroupRemovesOnlyTheInnermost",
     [](FakeEnv& env) {
       Folders(env);
       env.AddFile(Programs(L"Vendor\\Tool\\Tool.lnk"));
     },
     App(L"Tool", L"Vendor\\Tool"),
     {Link(L"Vendor\\Tool", L"Tool")},
     1,
     {Del(Desktop(L"Tool.lnk")), Del(Programs(L"Vendor\\Tool\\Tool.lnk")),
      Rmdir(Programs(L"Vendor\\Tool"))},
     {Programs(L"Vendor")},
     {Programs(L"Vendor\\Tool")}},
    {"FileNamedLikeTheGroupStays",
     [](FakeEnv& env) {
       Folders(env);
       env.AddFile(Programs(L"Tool"));
     },
     App(L"Tool", L"Tool"),
     {},
     0,
     {Del(Desktop(L"Tool.lnk")), Rmdir(Programs(L"Tool"))},
     {Programs(L"Tool")},
     {}},
    // A link that cannot be removed is passed over; the group then stays.
    {"FailingLinkRemovalMovesOn",
     [](FakeEnv& env) {
       Installed(env);
       env.InjectFault(FakeOp::kRemoveFile, Programs(L"Tool\\Tool.lnk"), kErrorAccessDenied);
     },
     App(L"Tool", L"Tool"),
     kLinks,
     2,
     {Del(Desktop(L"Tool.lnk")), Del(Programs(L"Tool\\Tool.lnk")),
      Del(Programs(L"Tool\\Readme.lnk")), Rmdir(Programs(L"Tool"))},
     {Programs(L"Tool\\Tool.lnk")},
     {Programs(L"Tool\\Readme.lnk")}},
    // A search that fails cannot rule the group out: its removal is tried.
    // A group name that climbs out of the Programs folder, or leads to a
    // folder the user owns, names no program group: nothing outside
    // Programs is removed, and neither is a guarded folder inside it.
    {"GroupNameClimbingOutOfProgramsStays",
     [](FakeEnv& env) {
       Folders(env);
       env.AddDir(L"C:\\Users\\Me\\Start Menu\\Tool");
     },
     App(L"Tool", L"..\\Tool"),
     {},
     0,
     {Del(Desktop(L"Tool.lnk"))},
     {L"C:\\Users\\Me\\Start Menu\\Tool"},
     {}},
    {"GroupNameClimbingToTheDesktopStays",
     Folders,
     App(L"Tool", L"..\\..\\..\\Desktop"),
     {},
     0,
     {Del(Desktop(L"Tool.lnk"))},
     {kDesktop},
     {}},
    {"GroupNameOfAGuardedFolderInProgramsStays",
     [](FakeEnv& env) {
       Folders(env);
       env.AddDir(Programs(L"Startup"));
     },
     App(L"Tool", L"Startup"),
     {},
     0,
     {Del(Desktop(L"Tool.lnk"))},
     {Programs(L"Startup")},
     {}},
    {"GroupThroughAJunctionToTheDesktopStays",
     [](FakeEnv& env) {
       Folders(env);
       env.AddLink(Programs(L"Tool"), kDesktop);
     },
     App(L"Tool", L"Tool"),
     {},
     0,
     {Del(Desktop(L"Tool.lnk"))},
     {Programs(L"Tool"), kDesktop},
     {}},
    {"GroupByAnotherSpellingIsRemoved",
     [](FakeEnv& env) {
       Folders(env);
       env.AddDir(Programs(L"Tool"));
     },
     App(L"Tool", L"Other\\..\\TOOL."),
     {},
     0,
     {Del(Desktop(L"Tool.lnk")), Rmdir(Programs(L"Other\\..\\TOOL."))},
     {kPrograms},
     {Programs(L"Tool")}},
    {"FailingSearchStillTriesTheGroup",
     [](FakeEnv& env) {
       Folders(env);
       env.AddDir(Programs(L"Tool"));
       env.InjectFault(FakeOp::kGetFileAttrs, Programs(L"Tool"), kErrorAccessDenied);
     },
     App(L"Tool", L"Tool"),
     {},
     0,
     {Del(Desktop(L"Tool.lnk")), Rmdir(Programs(L"Tool"))},
     {},
     {Programs(L"Tool")}},
};

void PrintTo(const StageCase& c, std::ostream* os) { *os << c.name; }

class RemoveShortcutsTest : public ::testing::TestWithParam<StageCase> {};

TEST_P(RemoveShortcutsTest, Table) {
  const StageCase& c = GetParam();
  FakeEnv env;
  c.setup(env);
  GuardedFolders guards;
  guards.folders = {kPrograms, kDesktop, Programs(L"Startup")};
  FolderGuard guard(env, guards, L"C:\\Apps\\Tool\\");
  const InstallLog log = LinksLog(c.count, c.links, c.app);
  RemoveShortcuts(env, guard, PlanRemoval(log));
  EXPECT_EQ(env.events(), c.events);
  for (const std::wstring& path : c.left) EXPECT_TRUE(env.Exists(path)) << path;
  for (const std::wstring& path : c.gone) EXPECT_FALSE(env.Exists(path)) << path;
  EXPECT_TRUE(env.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, RemoveShortcutsTest, ::testing::ValuesIn(kStageCases),
                         [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace uninstall
