#include "removal/directories.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <set>
#include <utility>

#include "paths/split.h"
#include "paths/system_folders.h"
#include "platform/dir_search.h"
#include "removal/plan.h"

namespace uninstall {
namespace {

constexpr wchar_t kSep = L'\\';

std::wstring Upper(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& ch : out) ch = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch)));
  return out;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// A path brought into one comparable form: upper case, "\" only, no empty,
// "." or ".." components, no trailing dots or spaces on a component (the
// file system drops them too), no trailing "\".
struct NormalPath {
  // "X:\" or "\\SERVER\SHARE\" for an absolute path; "\" (root of the
  // current drive), "X:" (current directory of a drive) or "" (current
  // directory) for the others.
  std::wstring root;
  bool absolute = false;
  std::vector<std::wstring> parts;

  [[nodiscard]] std::wstring Text() const {
    std::wstring text = root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (i > 0) text.push_back(kSep);
      text += parts[i];
    }
    return text;
  }
};

std::vector<std::wstring> SplitParts(std::wstring_view rest) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find(kSep, start);
    if (end == std::wstring_view::npos) end = rest.size();
    parts.emplace_back(rest.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

NormalPath Normalise(std::wstring_view raw) {
  std::wstring path = Upper(raw);
  std::replace(path.begin(), path.end(), L'/', kSep);

  // Device and long-path prefixes name the same folders as plain paths.
  if (StartsWith(path, L"\\\\?\\UNC\\")) {
    path = L"\\\\" + path.substr(8);
  } else if (StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\")) {
    path = path.substr(4);
  }

  NormalPath out;
  std::wstring_view rest = path;
  if (rest.size() >= 2 && rest[1] == L':' && std::iswalpha(static_cast<wint_t>(rest[0])) != 0) {
    out.absolute = rest.size() >= 3 && rest[2] == kSep;
    out.root = std::wstring(rest.substr(0, 2)) + (out.absolute ? L"\\" : L"");
    rest.remove_prefix(out.absolute ? 3 : 2);
  } else if (StartsWith(rest, L"\\\\")) {
    const std::vector<std::wstring> share = SplitParts(rest.substr(2));
    const auto proper = [](const std::wstring& name) {
      return !name.empty() && name != L"." && name != L"..";
    };
    if (share.size() >= 2 && proper(share[0]) && proper(share[1])) {
      out.absolute = true;
      out.root = L"\\\\" + share[0] + L"\\" + share[1] + L"\\";
      rest.remove_prefix(std::min(rest.size(), 2 + share[0].size() + 1 + share[1].size() + 1));
    } else {
      out.root = L"\\";
      rest.remove_prefix(2);
    }
  } else if (StartsWith(rest, L"\\")) {
    out.root = L"\\";
    rest.remove_prefix(1);
  }

  for (std::wstring part : SplitParts(rest)) {
    if (part == L"..") {
      // Above the root there is nothing: ".." stops there, as it does on disk.
      if (!out.parts.empty()) out.parts.pop_back();
      continue;
    }
    while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.pop_back();
    if (!part.empty()) out.parts.push_back(std::move(part));
  }
  return out;
}

bool IsRoot(std::wstring_view dir) {
  if (dir == L"\\" || Upper(GetRootDir(dir)) == Upper(dir)) return true;
  return Normalise(dir).parts.empty();
}

// The guarded folders of one run, normalised once.
class Guards {
 public:
  explicit Guards(const DirectoryStageContext& ctx) {
    for (const std::wstring* folder : {&ctx.WinDir, &ctx.WinSysDir}) Add(*folder);
    for (const std::wstring& folder : ctx.ProtectedDirs) Add(folder);
  }

  [[nodiscard]] bool Cover(std::wstring_view dir) const {
    return IsRoot(dir) || keys_.contains(Normalise(dir).Text());
  }

 private:
  void Add(const std::wstring& folder) {
    if (!folder.empty()) keys_.insert(Normalise(folder).Text());
  }

  std::set<std::wstring> keys_;
};

// Whether the leftover files of `dir` may be deleted: it must name one
// ordinary directory by an absolute path. A relative or empty path would be
// taken against the current directory, and a junction or symbolic link
// would lead the deletions into a folder the application never owned.
bool MayEmpty(Env& env, const Guards& guards, const std::wstring& dir) {
  if (!Normalise(dir).absolute || guards.Cover(dir)) return false;
  const Result<std::uint32_t> attrs = env.GetFileAttrs(dir);
  // Attributes that cannot be read give no assurance that this is not a
  // link, so nothing is deleted.
  return attrs.ok() && (attrs.value() & attr::kReparsePoint) == 0;
}

// Deletes every file the listing names in `dir`, but those the log wants
// kept. The number of names is taken once; the listing is not re-read.
void DeleteLeftovers(Env& env, const std::wstring& dir, const FileListing& File1,
                     const std::set<std::wstring>& kept) {
  const int names = File1.ListCount();
  for (int q = 0; q < names; ++q) {
    const std::wstring file = dir + File1.List(q);
    if (kept.contains(Normalise(file).Text())) continue;
    // No attribute is changed first: a read-only file stays, without a
    // prompt.
    static_cast<void>(env.RemoveFile(file));
  }
}

}  // namespace

bool IsGuardedDirectory(std::wstring_view dir, const DirectoryStageContext& ctx) {
  return Guards(ctx).Cover(dir);
}

std::vector<std::wstring> QueryProtectedDirs(Env& env, const std::wstring& WinDir,
                                             const std::wstring& WinSysDir) {
  static constexpr std::array kFolders = {
      csidl::kProgramFiles,
      csidl::kProgramFilesX86,
      csidl::kProgramFilesCommon,
      csidl::kProgramFilesCommonX86,
      csidl::kProfile,
      csidl::kDesktopDirectory,
      csidl::kCommonDesktopDirectory,
      csidl::kPersonal,
      csidl::kCommonDocuments,
      csidl::kAppData,
      csidl::kLocalAppData,
      csidl::kCommonAppData,
      csidl::kStartMenu,
      csidl::kPrograms,
      csidl::kCommonStartMenu,
      csidl::kCommonPrograms,
      csidl::kWindows,
      csidl::kSystem,
  };
  std::vector<std::wstring> dirs;
  if (!WinDir.empty()) dirs.push_back(WinDir);
  if (!WinSysDir.empty()) dirs.push_back(WinSysDir);
  for (const std::int32_t id : kFolders) {
    std::wstring folder = GFShellRegistration::GetSpecialFolder(env, id);
    if (!folder.empty()) dirs.push_back(std::move(folder));
  }
  return dirs;
}

std::vector<std::wstring_view> DirectoryVisitPlan(std::int16_t count,
                                                  const std::vector<FileEntry>& entries) {
  if (count < 1) return {};
  const std::size_t n = std::min(static_cast<std::size_t>(count), entries.size());

  // One directory per logged file, duplicates included. A path that still
  // opens with a variable names no folder of this machine; a kept file
  // gives its directory no reason to go. Each directory is the part of the
  // file's path up to its last "\" (GetDirectory), viewed, not copied.
  std::vector<PlanEntry> dirs;
  dirs.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const FileEntry& entry = entries[i];
    if (StartsWith(entry.TargetPath, L"%") || entry.KeepFile == kTrue) continue;
    const std::wstring_view target = entry.TargetPath;
    const std::size_t last = target.rfind(kSep);
    dirs.push_back(
        {0, last == std::wstring_view::npos ? std::wstring_view{} : target.substr(0, last + 1)});
  }

  // Deepest first: each directory comes after everything below it.
  const std::vector<PlanEntry> planned = PlanRemovalOrderOfViews(std::move(dirs));
  std::vector<std::wstring_view> ordered;
  ordered.reserve(planned.size());
  for (const PlanEntry& entry : planned) ordered.push_back(entry.path);
  return ordered;
}

std::vector<std::wstring> DirectoryVisitOrder(std::int16_t count,
                                              const std::vector<FileEntry>& entries) {
  std::vector<std::wstring> ordered;
  for (const std::wstring_view dir : DirectoryVisitPlan(count, entries)) ordered.emplace_back(dir);
  return ordered;
}

void RemoveDirectories(Env& env, const DirectoryStageContext& ctx, std::int16_t count,
                       const std::vector<FileEntry>& entries, FileListing& File1) {
  if (count < 1) return;
  const std::size_t n = std::min(static_cast<std::size_t>(count), entries.size());

  std::set<std::wstring> kept;
  for (std::size_t i = 0; i < n; ++i) {
    if (entries[i].KeepFile != kFalse) kept.insert(Normalise(entries[i].TargetPath).Text());
  }

  const Guards guards(ctx);
  const std::wstring main_dir = Upper(GetDirectory(ctx.MainPath));
  const auto same_text = [](const std::wstring& a, const std::wstring& b) {
    return Upper(a) == Upper(b);
  };

  // Directories this run has removed. A directory occurs once for every
  // logged file in it; once removed, its later visits would only find it
  // missing, so they are passed over without asking the file system again.
  std::set<std::wstring> removed;

  // Deepest first: each directory comes after everything below it.
  std::wstring d;
  for (const std::wstring_view planned : DirectoryVisitPlan(count, entries)) {
    d.assign(planned);
    if (d.empty() || d.back() != kSep) d.push_back(kSep);
    if (removed.contains(d)) continue;
    // A search that fails cannot rule the directory out.
    const SearchResult found = DirSearchEntry(env, d, kSearchDirectory);
    if (found.probe == Probe::kNoMatch) continue;

    // An ordinary directory other than the main one is simply asked to go:
    // the file system removes a directory only when it is empty, so a
    // listing first would cost a read of every folder and decide nothing
    // more. The listing is kept where it decides something: the main
    // directory, for its leftovers; a junction or symbolic link, whose
    // removal would succeed whatever its target holds; and a directory whose
    // attributes could not be read, which may be either.
    const bool is_main = Upper(d) == main_dir;
    const bool ordinary =
        found.attributes.has_value() && (*found.attributes & attr::kReparsePoint) == 0;
    if (!is_main && ordinary) {
      if (!guards.Cover(d) && env.RemoveDir(d).ok()) removed.insert(d);
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
    if (is_main && !same_text(d, ctx.WinDir) && !same_text(d, ctx.WinSysDir) &&
        MayEmpty(env, guards, d)) {
      DeleteLeftovers(env, d, File1, kept);
    }

    // The number of names is the one read above: files deleted just now
    // still count, so the main directory stays at this visit when it held
    // any. Only an empty directory can be removed anyway.
    if (File1.ListCount() == 0 && !guards.Cover(d) && env.RemoveDir(d).ok()) removed.insert(d);
  }
}

}  // namespace uninstall
