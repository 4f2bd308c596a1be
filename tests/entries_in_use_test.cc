// One table for every user of a list's count: the expansion, the writer and
// the removal plan take entries 1..count, none for a count of 0 or less, and
// never past the end of the list, whatever the count says; the stages act on
// what the plan took.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
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
constexpr std::size_t kListSize = 3;

struct CountCase {
  std::int16_t count;
  std::size_t used;  // entries the count puts in use of a list of kListSize
};

class EntriesInUseTest : public ::testing::TestWithParam<CountCase> {};

// Three files in folders of their own, three keys under different parents,
// three links.
std::vector<FileEntry> Files() {
  return {{L"", L"C:\\Apps\\A\\a.dat", kFalse},
          {L"", L"C:\\Apps\\B\\b.dat", kFalse},
          {L"", L"C:\\Apps\\C\\c.dat", kFalse}};
}
std::vector<RegKeyEntry> Keys() {
  return {{kHklm, L"Software\\A\\", L"", L""},
          {kHklm, L"Software\\B\\", L"", L""},
          {kHklm, L"Software\\C\\", L"", L""}};
}
std::vector<LinkEntry> Links() { return {{L"G", L"a", L""}, {L"G", L"b", L""}, {L"G", L"c", L""}}; }

std::size_t Counted(const std::vector<std::wstring>& events, std::wstring_view prefix) {
  std::size_t n = 0;
  for (const std::wstring& e : events) n += e.starts_with(prefix) ? 1 : 0;
  return n;
}

TEST_P(EntriesInUseTest, EveryUserTakesTheSameEntries) {
  const CountCase& c = GetParam();

  std::vector<FileEntry> files = Files();
  EXPECT_EQ(EntriesInUse(c.count, files).size(), c.used);

  // The expansion rewrites the entries in use and no other.
  std::vector<FileEntry> expanded = Files();
  std::vector<LinkEntry> links = Links();
  for (FileEntry& f : expanded) f.TargetPath.insert(0, L"%windir%");
  for (LinkEntry& l : links) l.LinkPath = L"%windir%";
  AppInfo app;
  ExpandAllPaths({L"W\\", L"S\\", L"A\\", L"A\\Uninstall.dat"}, c.count, expanded, c.count, links,
                 app);
  for (std::size_t i = 0; i < kListSize; ++i) {
    EXPECT_EQ(expanded[i].TargetPath.starts_with(L"W\\"), i < c.used) << "file " << i;
    EXPECT_EQ(links[i].LinkPath == L"W\\", i < c.used) << "link " << i;
  }

  // The writer writes them and no other.
  InstallLog read;
  static_cast<void>(ParseInstallFile(
      SerializeInstallFile({}, c.count, Files(), c.count, Keys(), c.count, Links()), L"x", read));
  EXPECT_EQ(read.Files.size(), c.used);
  EXPECT_EQ(read.RegKeys.size(), c.used);
  EXPECT_EQ(read.Links.size(), c.used);

  // The plan takes them and no other, and the stages act on them alone.
  InstallLog log;
  log.FileCount = log.RegKeyCount = log.LinkCount = c.count;
  log.Files = files;
  log.RegKeys = Keys();
  log.Links = Links();
  const RemovalPlan plan = PlanRemoval(log);
  // The desktop link comes first, whatever the count.
  EXPECT_EQ(plan.links.size(), c.used + 1);
  FakeEnv env;
  for (const FileEntry& f : files) env.AddFile(f.TargetPath);
  for (const RegKeyEntry& k : Keys()) env.AddRegKey(k.RootKey, k.SubKey);
  RemoveRegistryKeys(env, plan);
  EXPECT_EQ(Counted(env.events(), L"DeleteRegKey"), c.used);
  std::int16_t all_removed = kFalse;
  RemoveFiles(env, plan, all_removed);
  EXPECT_EQ(Counted(env.events(), L"RemoveFile"), c.used);
  FileListing File1(env);
  FolderGuard guard(env, GuardedFolders{}, L"C:\\Apps\\");
  RemoveDirectories(env, DirectoryStageContext{}, guard, plan, File1);
  EXPECT_EQ(Counted(env.events(), L"RemoveDir"), c.used);
}

INSTANTIATE_TEST_SUITE_P(Counts, EntriesInUseTest,
                         ::testing::Values(CountCase{-32768, 0}, CountCase{-1, 0}, CountCase{0, 0},
                                           CountCase{1, 1}, CountCase{2, 2}, CountCase{3, 3},
                                           // Counts beyond the list stop at its end.
                                           CountCase{4, 3}, CountCase{32767, 3}),
                         [](const auto& tested) {
                           const int count = tested.param.count;
                           return (count < 0 ? "Minus" + std::to_string(-count)
                                             : std::to_string(count));
                         });

}  // namespace
}  // namespace uninstall
