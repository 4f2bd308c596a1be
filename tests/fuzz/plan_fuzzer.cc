// The reader followed by the expansion of path variables and the planning of
// the registry and directory stages, on arbitrary bytes.
//
// For a log that reads (a refused one ends the input), it checks:
// - every expanded field is the value of the one variable it opened with,
//   followed by the rest of the field unchanged, and every other field is
//   untouched;
// - the directory visit list and the key deletion list: lengths never grow
//   along the list; every entry of the input is in it as often as in the
//   input; each entry beyond those is the parent of an entry of the list,
//   appended once and not one of the input's; every entry that has an
//   ancestor in the list has its parent there too, however long the list;
// - for small lists (up to 40 entries) the plan is exactly that of the
//   step-by-step reference;
// - the registry stage takes exactly the planned keys, and deletes only a
//   key the log lists or one below a listed key, never a shared key.
#include <functional>
#include <numeric>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "fuzz_input.h"
#include "installlog/reader.h"
#include "installlog/records.h"
#include "paths/normalise.h"
#include "paths/split.h"
#include "paths/variables.h"
#include "removal/order.h"
#include "removal/removal_plan.h"
#include "removal/shared_keys.h"
#include "tests/support/plan_reference.h"

namespace uninstall::fuzz {
namespace {

const PathFields kFields{L"C:\\WINDOWS\\", L"C:\\WINDOWS\\system32\\", L"C:\\Program Files\\Tool\\",
                         L"C:\\Program Files\\Tool\\Uninstall.dat"};

// What the expansion must make of the log: a variable at the start of a path
// field, with the "\" behind it for the folder variables, replaced by the
// folder. None of the folders opens with "%", so at most one variable is ever
// replaced. Every other field, and the lists' lengths, stay as they were.
void CheckExpansion(const InstallLog& before, const InstallLog& after) {
  const VariableValues values = {kFields.WinDir, kFields.WinSysDir, kFields.AppDir,
                                 L"C:\\",        kFields.AppDir,    before.AppInfo.GroupName};
  InstallLog expected = before;
  const auto expand = [&values](auto&... paths) {
    ((paths = ExpandedOnce(paths, values).value_or(paths)), ...);
  };
  for (FileEntry& file : expected.Files) expand(file.SourcePath, file.TargetPath);
  for (LinkEntry& link : expected.Links) expand(link.FolderName, link.LinkPath);
  expand(expected.AppInfo.AppPath, expected.AppInfo.MainPath);
  FUZZ_CHECK(after == expected);
}

struct ItemHash {
  std::size_t operator()(const PlanItem& item) const {
    return std::hash<std::wstring>()(item.path) ^ static_cast<std::uint32_t>(item.root);
  }
};
using ItemSet = std::unordered_set<PlanItem, ItemHash>;

std::wstring ParentOf(const std::wstring& path) {
  return GetDirectory(std::wstring_view{path}.substr(0, path.empty() ? 0 : path.size() - 1));
}

// Polynomial hashes of an entry's root and of the prefixes of its path, one
// character at a time: they find the prefixes of an entry that are in the
// list without comparing every pair.
std::uint64_t RootHash(const PlanItem& item) {
  return 0xCBF29CE484222325ull ^ static_cast<std::uint32_t>(item.root);
}
std::uint64_t Step(std::uint64_t h, wchar_t c) {
  return h * 0x100000001B3ull + static_cast<std::uint32_t>(c) + 1;
}

void CheckPlan(const std::vector<PlanItem>& input, const std::vector<PlanItem>& plan) {
  // Longest first.
  FUZZ_CHECK(std::ranges::is_sorted(plan, std::greater{},
                                    [](const PlanItem& item) { return item.path.size(); }));

  // Every entry of the input as often as it was given; each entry beyond
  // those is the parent of an entry, missing before: appended once, and not
  // one of the input's.
  const ItemSet given(input.begin(), input.end());
  ItemSet parents;
  std::unordered_map<PlanItem, std::int64_t, ItemHash> surplus;  // times in the plan - in the input
  for (const PlanItem& item : plan) {
    ++surplus[item];
    if (!item.path.empty()) parents.insert({item.root, ParentOf(item.path)});
  }
  for (const PlanItem& item : input) --surplus[item];
  for (const auto& [item, n] : surplus) {
    FUZZ_CHECK(given.contains(item) ? n == 0 : n == 1 && parents.contains(item));
  }

  // Complete: an entry with an ancestor has its parent, however long the
  // list grows.
  const ItemSet present(plan.begin(), plan.end());
  std::unordered_set<std::uint64_t> hashes;
  for (const PlanItem& item : plan) {
    hashes.insert(std::accumulate(item.path.begin(), item.path.end(), RootHash(item), Step));
  }
  for (const PlanItem& item : plan) {
    bool has_ancestor = false;
    std::uint64_t h = RootHash(item);
    for (std::size_t len = 0; len < item.path.size() && !has_ancestor;
         h = Step(h, item.path[len++])) {
      has_ancestor = hashes.contains(h) && present.contains({item.root, item.path.substr(0, len)});
    }
    if (has_ancestor) FUZZ_CHECK(present.contains({item.root, ParentOf(item.path)}));
  }

  // Small lists (up to 40 entries, 100 planned): exactly the step-by-step
  // reference's plan.
  if (input.size() <= 40 && plan.size() <= 100) {
    FUZZ_CHECK(plan == ReferencePlanRemovalOrder(input));
  }
}

void CheckDirectories(const InstallLog& log, const RemovalPlan& removal) {
  // The directory of every file that is not kept and no longer opens with
  // a variable, the folder it names where "." or ".." resolve at its start.
  std::vector<PlanItem> input;
  for (const FileEntry& file : log.Files) {
    if (file.KeepFile != kTrue && !file.TargetPath.starts_with(L'%')) {
      const std::wstring dir = GetDirectory(file.TargetPath);
      input.push_back({0, std::wstring(ResolvedFolderPrefix(dir))});
    }
  }
  std::vector<PlanItem> plan;
  for (const DirectoryVisit& visit : removal.directories)
    plan.push_back({0, std::wstring(visit.dir)});
  CheckPlan(input, plan);
}

void CheckRegistryKeys(const InstallLog& log, const RemovalPlan& removal) {
  std::vector<PlanItem> input;
  for (const RegKeyEntry& key : log.RegKeys) input.push_back({key.RootKey, key.SubKey});
  const std::vector<PlanItem> plan = PlanRemovalOrder(input);
  CheckPlan(input, plan);

  // The stage takes exactly the planned keys.
  std::vector<PlanItem> staged;
  for (const KeyStep& key : removal.registry) staged.push_back({key.root, std::wstring(key.path)});
  FUZZ_CHECK(staged == plan);

  // Of those, the stages delete only a key the log lists or one below a
  // listed key, by key names, and never a shared key.
  std::set<std::pair<std::int32_t, std::wstring>> listed;
  for (const RegKeyEntry& key : EntriesInUse(log.RegKeyCount, log.RegKeys)) {
    listed.emplace(key.RootKey, ComparableKeyPath(key.SubKey));
  }
  for (const KeyStep& key : removal.registry) {
    if (key.action == KeyAction::kKeepAbove || key.action == KeyAction::kKeepShared) continue;
    FUZZ_CHECK(!IsSharedRegistryKey(key.root, key.path));
    // The key itself or one of its ancestors, cut at a "\", is listed.
    const std::wstring name = ComparableKeyPath(key.path);
    bool inside = listed.contains({key.root, name});
    for (std::size_t i = 0; i < name.size() && !inside; ++i) {
      inside = name[i] == L'\\' && listed.contains({key.root, name.substr(0, i)});
    }
    FUZZ_CHECK(inside);
  }
}

void FuzzOne(const std::uint8_t* data, std::size_t size) {
  const std::string bytes = LogBytesFromInput(data, size);
  InstallLog log;
  // Refused logs are the reader target's business.
  if (Refused([&] { static_cast<void>(ParseInstallFile(bytes, L"fuzz", log)); })) return;
  const InstallLog before = log;
  ExpandAllPaths(kFields, log.FileCount, log.Files, log.LinkCount, log.Links, log.AppInfo);
  CheckExpansion(before, log);
  const RemovalPlan removal = PlanRemoval(log);
  CheckDirectories(log, removal);
  CheckRegistryKeys(log, removal);
}

}  // namespace
}  // namespace uninstall::fuzz

FUZZ_TARGET
