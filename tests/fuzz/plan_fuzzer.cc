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
//   step-by-step reference.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "installlog/reader.h"
#include "installlog/records.h"
#include "paths/split.h"
#include "paths/variables.h"
#include "platform/fatal_error.h"
#include "removal/order.h"
#include "removal/removal_plan.h"
#include "removal/shared_keys.h"
#include "tests/support/plan_reference.h"

namespace uninstall::fuzz {
namespace {

constexpr std::size_t kReferenceMaxInput = 40;
constexpr std::size_t kReferenceMaxOutput = 100;

const PathFields& Fields() {
  static const PathFields fields{L"C:\\WINDOWS\\", L"C:\\WINDOWS\\system32\\",
                                 L"C:\\Program Files\\Tool\\",
                                 L"C:\\Program Files\\Tool\\Uninstall.dat"};
  return fields;
}

wchar_t AsciiLower(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool OpensWith(const std::wstring& path, std::wstring_view name) {
  if (path.size() < name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (AsciiLower(path[i]) != name[i]) return false;
  }
  return true;
}

// What a field must read after the expansion: a variable at its start, with
// the "\" behind it for the folder variables, replaced by the folder. None of
// the folders opens with "%", so at most one variable is ever replaced.
std::wstring ExpectedExpansion(const std::wstring& path, const std::wstring& group) {
  struct Variable {
    std::wstring_view name;
    std::wstring_view value;
    bool folder;
  };
  const PathFields& f = Fields();
  const Variable variables[] = {
      {L"%windir%", f.WinDir, true},     {L"%winsysdir%", f.WinSysDir, true},
      {L"%currentdir%", f.AppDir, true}, {L"%rootdir%", L"C:\\", true},
      {L"%userdir%", f.AppDir, true},    {L"%userfolder%", group, false},
  };
  for (const Variable& v : variables) {
    if (!OpensWith(path, v.name)) continue;
    std::size_t used = v.name.size();
    if (v.folder && path.size() > used && path[used] == L'\\') ++used;
    return std::wstring(v.value) + path.substr(used);
  }
  return path;
}

void CheckExpansion(const InstallLog& before, const InstallLog& after) {
  const std::wstring& group = before.AppInfo.GroupName;
  FUZZ_CHECK(after.Files.size() == before.Files.size());
  for (std::size_t i = 0; i < before.Files.size(); ++i) {
    FUZZ_CHECK(after.Files[i].SourcePath == ExpectedExpansion(before.Files[i].SourcePath, group));
    FUZZ_CHECK(after.Files[i].TargetPath == ExpectedExpansion(before.Files[i].TargetPath, group));
    FUZZ_CHECK(after.Files[i].KeepFile == before.Files[i].KeepFile);
  }
  FUZZ_CHECK(after.Links.size() == before.Links.size());
  for (std::size_t i = 0; i < before.Links.size(); ++i) {
    FUZZ_CHECK(after.Links[i].FolderName == ExpectedExpansion(before.Links[i].FolderName, group));
    FUZZ_CHECK(after.Links[i].LinkName == before.Links[i].LinkName);
    FUZZ_CHECK(after.Links[i].LinkPath == ExpectedExpansion(before.Links[i].LinkPath, group));
  }
  FUZZ_CHECK(after.AppInfo.AppPath == ExpectedExpansion(before.AppInfo.AppPath, group));
  FUZZ_CHECK(after.AppInfo.AppName == before.AppInfo.AppName);
  FUZZ_CHECK(after.AppInfo.MainPath == ExpectedExpansion(before.AppInfo.MainPath, group));
  FUZZ_CHECK(after.AppInfo.GroupName == group);
  FUZZ_CHECK(after.RegKeys == before.RegKeys);
}

struct ItemHash {
  std::size_t operator()(const PlanItem& item) const {
    return std::hash<std::wstring>()(item.path) ^
           (static_cast<std::size_t>(static_cast<std::uint32_t>(item.root)) *
            0x9E3779B97F4A7C15ull);
  }
};
using ItemSet = std::unordered_set<PlanItem, ItemHash>;

std::wstring ParentOf(const std::wstring& path) {
  return GetDirectory(std::wstring_view{path}.substr(0, path.empty() ? 0 : path.size() - 1));
}

// Polynomial hashes of a root and a path's prefixes, to find the prefixes of
// an entry that are in the list without comparing every pair.
constexpr std::uint64_t kPrime = 0x100000001B3ull;
std::uint64_t RootHash(std::int32_t root) {
  return 0xCBF29CE484222325ull ^ static_cast<std::uint32_t>(root);
}
std::uint64_t Step(std::uint64_t h, wchar_t c) {
  return h * kPrime + static_cast<std::uint32_t>(c) + 1;
}

void CheckPlan(const std::vector<PlanItem>& input, const std::vector<PlanItem>& plan) {
  // Longest first.
  for (std::size_t i = 1; i < plan.size(); ++i) {
    FUZZ_CHECK(plan[i - 1].path.size() >= plan[i].path.size());
  }

  // The input, each entry as often as it was given, and the appended rest.
  std::unordered_map<PlanItem, std::size_t, ItemHash> given;
  for (const PlanItem& item : input) ++given[item];
  std::vector<PlanItem> appended;
  for (const PlanItem& item : plan) {
    auto it = given.find(item);
    if (it != given.end() && it->second > 0) {
      --it->second;
    } else {
      appended.push_back(item);
    }
  }
  for (const auto& [item, left] : given) FUZZ_CHECK(left == 0);
  FUZZ_CHECK(plan.size() == input.size() + appended.size());

  // Each appended entry is a parent of an entry, missing before: appended
  // once, and not one of the input's.
  ItemSet parents;
  for (const PlanItem& item : plan) {
    if (!item.path.empty()) parents.insert({item.root, ParentOf(item.path)});
  }
  ItemSet appended_set;
  for (const PlanItem& item : appended) {
    FUZZ_CHECK(parents.contains(item));
    FUZZ_CHECK(!given.contains(item));
    FUZZ_CHECK(appended_set.insert(item).second);
  }

  // Complete: an entry with an ancestor has its parent, however long the
  // list grows.
  const ItemSet present(plan.begin(), plan.end());
  std::unordered_set<std::uint64_t> hashes;
  for (const PlanItem& item : plan) {
    std::uint64_t h = RootHash(item.root);
    for (const wchar_t c : item.path) h = Step(h, c);
    hashes.insert(h);
  }
  for (const PlanItem& item : plan) {
    bool has_ancestor = false;
    std::uint64_t h = RootHash(item.root);
    for (std::size_t len = 0; len < item.path.size() && !has_ancestor; ++len) {
      if (hashes.contains(h))
        has_ancestor = present.contains({item.root, item.path.substr(0, len)});
      h = Step(h, item.path[len]);
    }
    if (has_ancestor) FUZZ_CHECK(present.contains({item.root, ParentOf(item.path)}));
  }
}

void CheckAgainstReference(const std::vector<PlanItem>& input, const std::vector<PlanItem>& plan) {
  if (input.size() > kReferenceMaxInput || plan.size() > kReferenceMaxOutput) return;
  FUZZ_CHECK(plan == ReferencePlanRemovalOrder(input));
}

void CheckDirectories(const InstallLog& log, const RemovalPlan& removal) {
  // The directory of every file that is not kept and no longer opens with
  // a variable.
  std::vector<PlanItem> input;
  for (const FileEntry& file : log.Files) {
    if (file.KeepFile == kTrue || (!file.TargetPath.empty() && file.TargetPath[0] == L'%')) {
      continue;
    }
    input.push_back({0, GetDirectory(file.TargetPath)});
  }
  std::vector<PlanItem> plan;
  plan.reserve(removal.directories.size());
  for (const DirectoryVisit& visit : removal.directories) {
    plan.push_back({0, std::wstring(visit.dir)});
  }
  CheckPlan(input, plan);
  CheckAgainstReference(input, plan);
}

void CheckRegistryKeys(const InstallLog& log, const RemovalPlan& removal) {
  std::vector<PlanItem> input;
  for (const RegKeyEntry& key : log.RegKeys) input.push_back({key.RootKey, key.SubKey});
  const std::vector<PlanItem> plan = PlanRemovalOrder(input);
  CheckPlan(input, plan);
  CheckAgainstReference(input, plan);

  // The stage takes exactly the planned keys.
  FUZZ_CHECK(removal.registry.size() == plan.size());
  for (std::size_t i = 0; i < plan.size(); ++i) {
    FUZZ_CHECK(removal.registry[i].root == plan[i].root);
    FUZZ_CHECK(removal.registry[i].path == plan[i].path);
  }

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

int FuzzOne(const std::uint8_t* data, std::size_t size) {
  InstallLog log;
  try {
    static_cast<void>(ParseInstallFile(LogBytesFromInput(data, size), L"fuzz", log));
  } catch (const FatalError&) {
    return 0;  // refused logs are the reader target's business
  }

  const InstallLog before = log;
  ExpandAllPaths(Fields(), log.FileCount, log.Files, log.LinkCount, log.Links, log.AppInfo);
  CheckExpansion(before, log);
  const RemovalPlan removal = PlanRemoval(log);
  CheckDirectories(log, removal);
  CheckRegistryKeys(log, removal);
  return 0;
}

}  // namespace
}  // namespace uninstall::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return uninstall::fuzz::FuzzOne(data, size);
}
