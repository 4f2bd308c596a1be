#include "removal/directories.h"

#include <set>

#include "paths/normalise.h"
#include "platform/dir_search.h"

namespace uninstall {
namespace {

constexpr wchar_t kSep = L'\\';

// Whether the leftover files of the main directory `dir` may be deleted:
// the guard lets it be emptied, and it is an ordinary directory. A junction
// or symbolic link would lead the deletions into a folder the application
// never owned.
bool MayEmptyMain(FolderGuard& guard, const std::wstring& dir) {
  if (!guard.MayEmpty(dir)) return false;
  const Result<std::uint32_t> attrs = guard.FolderAttributes(dir);
  // Attributes that cannot be read give no assurance that this is not a
  // link, so nothing is deleted.
  return attrs.ok() && (attrs.value() & attr::kReparsePoint) == 0;
}

// Deletes every file the listing names in `dir`, but those the log wants
// kept. The number of names is taken once; the listing is not re-read.
void DeleteLeftovers(Env& env, const std::wstring& dir, const FileListing& File1,
                     const std::set<std::wstring>& kept, const OwnFiles& own) {
  const int names = File1.ListCount();
  for (int q = 0; q < names; ++q) {
    const std::wstring file = dir + File1.List(q);
    if (kept.contains(ComparablePath(file)) || own.Contains(env, file)) continue;
    // No attribute is changed first: a read-only file stays, without a
    // prompt.
    static_cast<void>(env.RemoveFile(file));
  }
}

}  // namespace

void RemoveDirectories(Env& env, const DirectoryStageContext& ctx, FolderGuard& guard,
                       const RemovalPlan& plan, FileListing& File1, Progress* progress) {
  // Directories this run has removed. A directory occurs once for every
  // logged file in it; once removed, its later visits would only find it
  // missing, so they are passed over without asking the file system again.
  std::set<std::wstring> removed;
  // Deepest first: each directory comes after everything below it.
  std::wstring d;
  for (const DirectoryVisit& visit : plan.directories) {
    StepOf(progress);
    d.assign(visit.dir);
    if (d.empty() || d.back() != kSep) d.push_back(kSep);
    if (removed.contains(d)) continue;
    // A search that fails cannot rule the directory out. The guard has read
    // the attributes of most directories already, when it judged one below.
    const SearchResult found = Searchable(d)
                                   ? DirSearchOf(d, guard.FolderAttributes(d), kSearchDirectory)
                                   : SearchResult{};
    if (found.probe == Probe::kNoMatch) continue;

    // An ordinary directory other than the main one is simply asked to go:
    // the file system removes a directory only when it is empty, so a
    // listing first would cost a read of every folder and decide nothing
    // more. The listing is kept where it decides something: the main
    // directory, for its leftovers; a junction or symbolic link, whose
    // removal would succeed whatever its target holds; and a directory whose
    // attributes could not be read, which may be either.
    const bool is_main = visit.main;
    const bool ordinary =
        found.attributes.has_value() && (*found.attributes & attr::kReparsePoint) == 0;
    if (!is_main && ordinary) {
      if (guard.MayRemove(d) && env.RemoveDir(d).ok()) removed.insert(d);
      continue;
    }

    // Point the listing at d and read it. Pointing reads the names already,
    // so the re-read is needed only when pointing failed: the listing then
    // stays on the directory before, which is read again, and its names and
    // number are what the steps below see.
    if (!File1.SetPath(d).ok()) static_cast<void>(File1.Refresh());

    // The main directory is emptied of what the installer left in it, unless
    // it is the Windows or the system folder or another folder that is not
    // the application's own.
    if (is_main && !EqualsNoCase(d, ctx.WinDir) && !EqualsNoCase(d, ctx.WinSysDir) &&
        MayEmptyMain(guard, d)) {
      DeleteLeftovers(env, d, File1, plan.keptFiles, ctx.Own);
    }

    // The number of names is the one read above: files deleted just now
    // still count, so the main directory stays at this visit when it held
    // any. Only an empty directory can be removed anyway.
    if (File1.ListCount() == 0 && guard.MayRemove(d) && env.RemoveDir(d).ok()) removed.insert(d);
  }
}

}  // namespace uninstall
