#include "removal/removal_plan.h"

#include <bit>
#include <span>
#include <utility>

#include "paths/normalise.h"
#include "paths/shell_registration.h"
#include "paths/split.h"
#include "removal/order.h"
#include "removal/shared_keys.h"

namespace uninstall {
namespace {

constexpr wchar_t kSep = L'\\';

// A listed key, as the stage compares keys: its root's value, its path as
// the log spells it, and a hash of the root and the path's comparable form
// (ComparableKeyPath), which is never built for it: the listed keys are
// looked up tens of thousands of times, and copies of them all would cost
// more than the lookups.
struct ListedKey {
  std::int32_t root;
  std::wstring_view path;
  std::uint64_t hash;
};

std::uint64_t HashStart(std::int32_t root) {
  return 0xCBF29CE484222325ull ^ static_cast<std::uint32_t>(root);
}
std::uint64_t HashStep(std::uint64_t h, wchar_t c) {
  return (h ^ static_cast<std::uint32_t>(c)) * 0x100000001B3ull;
}
std::uint64_t HashOf(std::int32_t root, std::wstring_view comparable) {
  std::uint64_t h = HashStart(root);
  for (const wchar_t c : comparable) h = HashStep(h, c);
  return h;
}

// Whether ComparableKeyPath(path) is `comparable`.
bool IsComparably(std::wstring_view path, std::wstring_view comparable) {
  std::size_t n = 0;
  bool equal = true;
  ForEachComparableChar(path, [&](wchar_t c) {
    equal = equal && n < comparable.size() && comparable[n] == c;
    ++n;
  });
  return equal && n == comparable.size();
}

// A set of listed keys in one flat table (open addressing, linear probing,
// at most half full), looked up by a comparable path and its hash.
class ListedKeySet {
 public:
  explicit ListedKeySet(std::size_t capacity) : slots_(std::bit_ceil(capacity * 2 + 2), kEmpty) {
    keys_.reserve(capacity);
  }
  // Adds `key`; a key added twice is held twice, which changes no answer.
  void Insert(const ListedKey& key) {
    std::size_t s = Start(key.hash);
    while (slots_[s] != kEmpty) s = Next(s);
    slots_[s] = static_cast<std::uint32_t>(keys_.size());
    keys_.push_back(key);
  }
  [[nodiscard]] bool Contains(std::int32_t root, std::wstring_view comparable,
                              std::uint64_t hash) const {
    for (std::size_t s = Start(hash); slots_[s] != kEmpty; s = Next(s)) {
      const ListedKey& held = keys_[slots_[s]];
      if (held.hash == hash && held.root == root && IsComparably(held.path, comparable)) {
        return true;
      }
    }
    return false;
  }

 private:
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
  [[nodiscard]] std::size_t Start(std::uint64_t hash) const {
    return static_cast<std::size_t>(hash ^ (hash >> 29)) & (slots_.size() - 1);
  }
  [[nodiscard]] std::size_t Next(std::size_t s) const { return (s + 1) & (slots_.size() - 1); }
  std::vector<std::uint32_t> slots_;
  std::vector<ListedKey> keys_;
};

// The deletion order of keys 1..count and what happens to each key of it.
std::vector<KeyStep> PlanRegistry(std::span<const RegKeyEntry> in_use) {
  std::vector<PlanEntry> entries;
  entries.reserve(in_use.size());
  for (const RegKeyEntry& key : in_use) entries.push_back({key.RootKey, key.SubKey});
  // Intermediate keys are added and the keys ordered deepest first, so each
  // key's subkeys have had their turn before it is tried.
  const std::vector<PlanEntry> order = PlanRemovalOrderOfViews(std::move(entries));

  ListedKeySet listed(in_use.size());
  // Listed keys that may hold added ones: a shared key named by mistake
  // makes nothing below it the application's.
  ListedKeySet anchors(in_use.size());
  std::wstring names;  // one buffer for every comparable path
  for (const RegKeyEntry& key : in_use) {
    std::uint64_t h = HashStart(key.RootKey);
    ForEachComparableChar(key.SubKey, [&](wchar_t c) { h = HashStep(h, c); });
    const ListedKey listed_key{key.RootKey, key.SubKey, h};
    listed.Insert(listed_key);
    ComparableKeyPath(key.SubKey, names);
    if (!IsSharedComparableKey(key.RootKey, names)) anchors.Insert(listed_key);
  }

  std::vector<KeyStep> steps;
  steps.reserve(order.size());
  for (const PlanEntry& entry : order) {
    ComparableKeyPath(entry.path, names);
    KeyAction action = KeyAction::kKeepAbove;
    if (IsSharedComparableKey(entry.root, names)) {
      action = KeyAction::kKeepShared;
    } else if (listed.Contains(entry.root, names, HashOf(entry.root, names))) {
      action = KeyAction::kDeleteListed;
    } else {
      // Below a listed key: one of its ancestors, cut at a "\", is listed.
      // The ancestors are looked up as the hash rolls over the path.
      const std::wstring_view view = names;
      std::uint64_t h = HashStart(entry.root);
      for (std::size_t i = 0; i < view.size() && action == KeyAction::kKeepAbove; ++i) {
        if (view[i] == kSep && anchors.Contains(entry.root, view.substr(0, i), h)) {
          action = KeyAction::kDeleteBetween;
        }
        h = HashStep(h, view[i]);
      }
    }
    if ((action == KeyAction::kDeleteListed || action == KeyAction::kDeleteBetween) &&
        IsUninstallEntryComparableKey(entry.root, names)) {
      action = KeyAction::kDeleteAtEnd;
    }
    steps.push_back({entry.root, entry.path, action});
  }
  return steps;
}

// The directory stage's visits: one directory per logged file, duplicates
// included, completed and ordered deepest first.
std::vector<DirectoryVisit> PlanDirectories(std::span<const FileEntry> in_use,
                                            std::wstring_view main_dir) {
  // A path that still opens with a variable names no folder of this
  // machine; a kept file gives its directory no reason to go. Each
  // directory is the part of the file's path up to its last "\"
  // (GetDirectory), viewed, not copied; an entry whose path ends in "\"
  // names a folder, and that is its directory.
  //
  // The order and the completion read paths by their text, so a directory
  // named with "." or ".." ("%currentdir%..\", the folder above the
  // application's) is taken as the folder it names where its text spells
  // that folder's path: ordered by its text as it stands, the folder above
  // would come before the application's folder, still full, and stay.
  std::vector<PlanEntry> dirs;
  dirs.reserve(in_use.size());
  for (const FileEntry& entry : in_use) {
    if (entry.TargetPath.starts_with(L'%') || entry.KeepFile == kTrue) continue;
    const std::wstring_view target = entry.TargetPath;
    const std::size_t last = target.rfind(kSep);
    dirs.push_back({0, last == std::wstring_view::npos
                           ? std::wstring_view{}
                           : ResolvedFolderPrefix(target.substr(0, last + 1))});
  }
  std::vector<DirectoryVisit> visits;
  const std::vector<PlanEntry> ordered = PlanRemovalOrderOfViews(std::move(dirs));
  visits.reserve(ordered.size());
  // The main directory, resolved as the visits are.
  const std::wstring_view main_folder = ResolvedFolderPrefix(main_dir);
  std::wstring dir;  // one buffer for every directory
  for (const PlanEntry& entry : ordered) {
    // The stage visits each directory with a trailing "\".
    dir.assign(entry.path);
    if (dir.empty() || dir.back() != kSep) dir.push_back(kSep);
    visits.push_back({entry.path, !main_folder.empty() && EqualsNoCase(dir, main_folder)});
  }
  return visits;
}

}  // namespace

void KeyPathForDeletion(std::wstring_view planned, std::wstring& out) {
  out.assign(planned);
  if (out.empty() || out.back() != kSep) out.push_back(kSep);
}

RemovalPlan PlanRemoval(const InstallLog& log) {
  RemovalPlan plan;
  plan.registry = PlanRegistry(EntriesInUse(log.RegKeyCount, log.RegKeys));

  const std::span<const FileEntry> files = EntriesInUse(log.FileCount, log.Files);
  for (const FileEntry& entry : files) {
    const std::wstring& path = entry.TargetPath;
    if (entry.KeepFile != kFalse) {
      plan.keptFiles.insert(ComparablePath(path));
    } else if (!path.empty() && path.back() != kSep) {
      plan.files.emplace_back(path);
    }
  }
  plan.mainDirectory = GetDirectory(log.AppInfo.MainPath);
  plan.directories = PlanDirectories(files, plan.mainDirectory);

  const std::span<const LinkEntry> links = EntriesInUse(log.LinkCount, log.Links);
  plan.links.reserve(links.size() + 1);
  // The desktop link first, named after the application (even an unnamed one).
  plan.links.push_back({std::wstring(kDesktopLinkFolder), log.AppInfo.AppName});
  for (const LinkEntry& link : links) plan.links.push_back({link.FolderName, link.LinkName});
  plan.group = log.AppInfo.GroupName;
  return plan;
}

}  // namespace uninstall
