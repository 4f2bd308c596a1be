// One table for every user of a list's count: the expansion, the writer and
// the removal plan take entries 1..count, none for a count of 0 or less, and
// never past the end of the list, whatever the count says; the stages act on
// what the plan took.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "installlog/reader.h"
#include "installlog/records.h"
#include "installlog/writer.h"
#include "paths/variables.h"
#include "removal/directories.h"
#include "removal/files.h"
#include "removal/registry_keys.h"
#include "removal/removal_plan.h"
#include "tests/support/fake_env.h"

namespace uninstall {
namespace {

constexpr std::int32_t kHklm = static_cast<std::int32_t>(0x80000002u);

// Three files in folders of their own, three keys under different parents,
// three links; every count says `count`.
InstallLog ThreeOfEach(std::int16_t count) {
  InstallLog log;
  log.FileCount = log.RegKeyCount = log.LinkCount = count;
  log.Files = {{L"", L"C:\\Apps\\A\\a.dat", kFalse},
               {L"", L"C:\\Apps\\B\\b.dat", kFalse},
               {L"", L"C:\\Apps\\C\\c.dat", kFalse}};
  log.RegKeys = {{kHklm, L"Software\\A\\", L"", L""},
                 {kHklm, L"Software\\B\\", L"", L""},
                 {kHklm, L"Software\\C\\", L"", L""}};
  log.Links = {{L"G", L"a", L""}, {L"G", L"b", L""}, {L"G", L"c", L""}};
  return log;
}

std::size_t Counted(const std::vector<std::wstring>& events, std::wstring_view prefix) {
  return static_cast<std::size_t>(
      std::ranges::count_if(events, [&](const std::wstring& e) { return e.starts_with(prefix); }));
}

TEST(EntriesInUse, EveryUserTakesTheSameEntries) {
  // A count and the entries it puts in use of a list of three: counts
  // beyond the list stop at its end.
  const std::pair<std::int16_t, std::size_t> kCounts[] = {{-32768, 0}, {-1, 0}, {0, 0}, {1, 1},
                                                          {2, 2},      {3, 3},  {4, 3}, {32767, 3}};
  for (const auto& [count, used] : kCounts) {
    SCOPED_TRACE(count);
    const InstallLog log = ThreeOfEach(count);
    EXPECT_EQ(EntriesInUse(count, log.Files).size(), used);

    // The expansion rewrites the entries in use and no other.
    InstallLog expanded = ThreeOfEach(count);
    for (FileEntry& f : expanded.Files) f.TargetPath.insert(0, L"%windir%");
    for (LinkEntry& l : expanded.Links) l.LinkPath = L"%windir%";
    ExpandAllPaths({L"W\\", L"S\\", L"A\\", L"A\\Uninstall.dat"}, count, expanded.Files, count,
                   expanded.Links, expanded.AppInfo);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(expanded.Files[i].TargetPath.starts_with(L"W\\"), i < used) << "file " << i;
      EXPECT_EQ(expanded.Links[i].LinkPath == L"W\\", i < used) << "link " << i;
    }

    // The writer writes them and no other.
    InstallLog read;
    static_cast<void>(ParseInstallFile(
        SerializeInstallFile({}, count, log.Files, count, log.RegKeys, count, log.Links), L"x",
        read));
    EXPECT_EQ(std::tuple(read.Files.size(), read.RegKeys.size(), read.Links.size()),
              std::tuple(used, used, used));

    // The plan takes them and no other (after the desktop link, which comes
    // whatever the count), and the stages act on them alone.
    const RemovalPlan plan = PlanRemoval(log);
    EXPECT_EQ(plan.links.size(), used + 1);
    FakeEnv env;
    for (const FileEntry& f : log.Files) env.AddFile(f.TargetPath);
    for (const RegKeyEntry& k : log.RegKeys) env.AddRegKey(k.RootKey, k.SubKey);
    RemoveRegistryKeys(env, plan);
    EXPECT_EQ(Counted(env.events(), L"DeleteRegKey"), used);
    std::int16_t all_removed = kFalse;
    RemoveFiles(env, plan, all_removed);
    EXPECT_EQ(Counted(env.events(), L"RemoveFile"), used);
    FileListing File1(env);
    FolderGuard guard(env, GuardedFolders{}, L"C:\\Apps\\");
    RemoveDirectories(env, DirectoryStageContext{}, guard, plan, File1);
    EXPECT_EQ(Counted(env.events(), L"RemoveDir"), used);
  }
}

}  // namespace
}  // namespace uninstall
