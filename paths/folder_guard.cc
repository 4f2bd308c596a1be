#include "paths/folder_guard.h"

#include <algorithm>
#include <array>
#include <utility>

#include "paths/normalise.h"
#include "paths/shell_registration.h"

namespace uninstall {
namespace {

// Paths longer than this are opened in their "\\?\" form, which the
// system takes as it stands (the text is resolved already) and which is
// not limited to MAX_PATH.
constexpr std::size_t kLongPath = 240;

std::wstring Key(const NormalPath& path) { return UpperCase(path.Text()); }

// The path of every folder from the root of `path` down to `path` itself.
std::vector<std::wstring> Chain(const NormalPath& path) {
  std::vector<std::wstring> chain;
  NormalPath prefix;
  prefix.root = path.root;
  prefix.absolute = path.absolute;
  chain.push_back(prefix.Text());
  for (const std::wstring& part : path.parts) {
    prefix.parts.push_back(part);
    chain.push_back(prefix.Text());
  }
  return chain;
}

// Whether `inner` is `outer` or lies below it, component by component
// without regard to letter case. Only absolute paths hold anything.
bool SameOrInside(const NormalPath& inner, const NormalPath& outer) {
  if (!inner.absolute || !outer.absolute || !EqualsNoCase(inner.root, outer.root)) return false;
  return inner.parts.size() >= outer.parts.size() &&
         std::equal(
             outer.parts.begin(), outer.parts.end(), inner.parts.begin(),
             [](const std::wstring& a, const std::wstring& b) { return EqualsNoCase(a, b); });
}

// Whether `path` lies on a drive letter ("X:\..."), not on a share.
bool OnDrive(const NormalPath& path) { return path.root.size() == 3 && path.root[1] == L':'; }

bool StrictlyInside(const NormalPath& inner, const NormalPath& outer) {
  return inner.parts.size() > outer.parts.size() && SameOrInside(inner, outer);
}

}  // namespace

GuardedFolders QueryGuardedFolders(Env& env, const std::wstring& WinDir,
                                   const std::wstring& WinSysDir) {
  GuardedFolders guarded;
  const SystemFolderReport report = env.ReportSystemFolders();
  for (const std::wstring* folder : {&WinDir, &WinSysDir}) guarded.folders.push_back(*folder);
  for (const std::wstring& folder : report.known_folders) guarded.folders.push_back(folder);
  for (const std::wstring& folder : report.program_files) guarded.folders.push_back(folder);
  if (!report.system_wow64.empty()) guarded.folders.push_back(report.system_wow64);
  if (!report.temp.empty()) guarded.folders.push_back(report.temp);
  for (const std::wstring& root : report.drive_roots) guarded.folders.push_back(root);

  // The shell folders by their old numbers stand in for the known-folder
  // list where it cannot be read (they are among the known folders).
  static constexpr std::array kShellFolders = {
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
  if (report.known_folders.empty()) {
    for (const std::int32_t id : kShellFolders) {
      std::wstring folder = GFShellRegistration::GetSpecialFolder(env, id);
      if (!folder.empty()) guarded.folders.push_back(std::move(folder));
    }
  }

  // The system folder in every view: as this program sees it, the 32-bit
  // one (SysWOW64) and, for a 32-bit program on 64-bit Windows, the real
  // one behind the "Sysnative" alias (missing elsewhere, and then skipped).
  guarded.system_trees.push_back(WinSysDir);
  if (!report.system_wow64.empty()) guarded.system_trees.push_back(report.system_wow64);
  if (!WinDir.empty()) guarded.system_trees.push_back(JoinPath(WinDir, L"Sysnative\\"));
  guarded.windows_trees.push_back(WinDir);
  return guarded;
}

FolderGuard::FolderGuard(Env& env, GuardedFolders folders, const std::wstring& app_dir)
    : env_(env), folders_(std::move(folders)) {
  // The first filter: the guarded folders and every folder above them by
  // their text, and the trees by their text.
  for (const std::wstring& folder : folders_.folders) {
    const NormalPath path = NormalisePath(folder);
    if (!path.absolute) continue;
    for (const std::wstring& text : Chain(path)) text_folders_.insert(UpperCase(text));
  }
  for (const std::wstring& tree : folders_.system_trees) {
    if (NormalisePath(tree).absolute) text_system_trees_.push_back(ComparablePath(tree));
  }
  for (const std::wstring& tree : folders_.windows_trees) {
    if (NormalisePath(tree).absolute) text_windows_trees_.push_back(ComparablePath(tree));
  }

  // What the file system says of them: their own paths, with every folder
  // above them (their identities are read only when a folder has to be
  // judged by its own, see FolderIds). A folder it cannot find (one that is
  // not there, or Sysnative where there is no second view) is guarded by its
  // text alone.
  for (const std::wstring& folder : folders_.folders) {
    if (!NormalisePath(folder).absolute ||
        !identified_.emplace(ComparablePath(folder), folder).second) {
      continue;
    }
    if (const auto path = PhysicalPath(folder)) {
      if (!OnDrive(*path)) guarded_on_share_ = true;
      for (const std::wstring& text : Chain(*path)) physical_folders_.insert(UpperCase(text));
    }
  }
  for (const std::wstring& tree : folders_.system_trees) {
    if (const auto path = PhysicalPath(tree)) system_trees_.push_back(*path);
  }
  for (const std::wstring& tree : folders_.windows_trees) {
    if (const auto path = PhysicalPath(tree)) windows_trees_.push_back(*path);
  }

  app_text_ = NormalisePath(app_dir);
  if (app_text_.absolute) app_ = Identify(app_dir);
  if (app_.ok) {
    // Of the application's folder the fast path needs only where it lies.
    app_facts_ = PhysicalFacts(app_, false);
    // Folders inside the application's folder can be told by their text
    // only when none of the guarded folders lies in it.
    const auto inside_app = [this](const NormalPath& path) {
      return SameOrInside(path, app_.path);
    };
    app_holds_guarded_ = std::any_of(system_trees_.begin(), system_trees_.end(), inside_app) ||
                         std::any_of(windows_trees_.begin(), windows_trees_.end(), inside_app) ||
                         std::any_of(physical_folders_.begin(), physical_folders_.end(),
                                     [this](const std::wstring& folder) {
                                       return StrictlyInside(NormalisePath(folder), app_.path);
                                     });
  }
}

namespace {

// The form of `path` to open: its "\\?\" form when it is long.
std::wstring OpenablePath(std::wstring_view path) {
  std::wstring open(path);
  if (open.size() > kLongPath && NormalisePath(path).absolute) {
    open = open.starts_with(L"\\\\") ? L"\\\\?\\UNC\\" + open.substr(2) : L"\\\\?\\" + open;
  }
  return open;
}

}  // namespace

std::optional<NormalPath> FolderGuard::PhysicalPath(std::wstring_view path) {
  const Result<std::wstring> final_path = env_.GetFinalPath(OpenablePath(path));
  if (!final_path.ok()) return std::nullopt;
  NormalPath physical = NormalisePath(final_path.value());
  if (!physical.absolute) return std::nullopt;
  return physical;
}

const std::vector<FileId>& FolderGuard::FolderIds() {
  if (!folder_ids_) {
    folder_ids_.emplace();
    for (const auto& [key, folder] : identified_) {
      const Physical physical = Identify(folder);
      if (physical.ok) folder_ids_->push_back(physical.id);
    }
  }
  return *folder_ids_;
}

FolderGuard::Physical FolderGuard::Identify(std::wstring_view path) {
  const Result<FileIdentity> identity = env_.GetFileIdentity(OpenablePath(path));
  Physical physical;
  if (!identity.ok()) return physical;
  physical.path = NormalisePath(identity.value().final_path);
  // Without its own path the folder cannot be placed: it counts as not
  // identified.
  physical.ok = physical.path.absolute;
  physical.id = identity.value().id;
  return physical;
}

FolderGuard::Facts FolderGuard::PhysicalFacts(const Physical& folder, bool by_identity) {
  Facts facts;
  if (!folder.ok) return facts;
  const NormalPath& path = folder.path;
  bool guarded = path.IsRoot() || physical_folders_.contains(Key(path));
  // Identities tell more than final paths only where a share is involved.
  if (!guarded && by_identity && (guarded_on_share_ || !OnDrive(path))) {
    const std::vector<FileId>& ids = FolderIds();
    guarded = std::find(ids.begin(), ids.end(), folder.id) != ids.end();
  }
  const bool in_system =
      std::any_of(system_trees_.begin(), system_trees_.end(),
                  [&](const NormalPath& tree) { return SameOrInside(path, tree); });
  const std::wstring parent = Key(path.Parent());
  const bool windows_child =
      !path.IsRoot() && std::any_of(windows_trees_.begin(), windows_trees_.end(),
                                    [&](const NormalPath& tree) { return Key(tree) == parent; });
  facts.removable = !guarded && !in_system && !windows_child;
  facts.in_system_tree = in_system;
  facts.in_windows_tree =
      std::any_of(windows_trees_.begin(), windows_trees_.end(),
                  [&](const NormalPath& tree) { return SameOrInside(path, tree); });
  facts.in_app = app_.ok && (folder.id == app_.id || SameOrInside(path, app_.path));
  return facts;
}

Result<std::uint32_t> FolderGuard::FolderAttributes(std::wstring_view dir) {
  const NormalPath path = NormalisePath(dir);
  std::wstring key = Key(path);
  auto known = attributes_.find(key);
  if (known == attributes_.end()) {
    known = attributes_.emplace(std::move(key), env_.GetFileAttrs(path.Text())).first;
  }
  return known->second;
}

bool FolderGuard::IsPlainDirectory(std::wstring_view path) {
  const Result<std::uint32_t> attrs = FolderAttributes(path);
  return attrs.ok() && (attrs.value() & attr::kDirectory) != 0 &&
         (attrs.value() & attr::kReparsePoint) == 0;
}

bool FolderGuard::PlainlyInsideApp(const NormalPath& dir) {
  if (!app_.ok || app_holds_guarded_ || !StrictlyInside(dir, app_text_)) return false;
  NormalPath step = app_text_;
  for (std::size_t i = app_text_.parts.size(); i < dir.parts.size(); ++i) {
    step.parts.push_back(dir.parts[i]);
    if (!IsPlainDirectory(step.Text())) return false;
  }
  return true;
}

FolderGuard::Facts FolderGuard::FactsOf(std::wstring_view dir) {
  const NormalPath path = NormalisePath(dir);
  if (!path.absolute) return Facts{};
  std::wstring key = Key(path);
  auto known = facts_.find(key);
  if (known != facts_.end()) return known->second;

  Facts facts;
  const std::wstring parent = Key(path.Parent());
  const auto in_text_tree = [&](const std::vector<std::wstring>& trees) {
    return std::any_of(trees.begin(), trees.end(), [&](const std::wstring& tree) {
      return SameOrInside(path, NormalisePath(tree));
    });
  };
  const bool text_guarded = path.IsRoot() || text_folders_.contains(key) ||
                            in_text_tree(text_system_trees_) ||
                            std::find(text_windows_trees_.begin(), text_windows_trees_.end(),
                                      parent) != text_windows_trees_.end();
  if (text_guarded) {
    facts = Facts{};
  } else if (PlainlyInsideApp(path)) {
    // Physically inside the application's folder, which holds no guarded
    // folder: removable unless that whole folder lies in a system folder.
    facts.removable = !app_facts_.in_system_tree;
    facts.in_windows_tree = app_facts_.in_windows_tree || in_text_tree(text_windows_trees_);
    facts.in_app = true;
  } else {
    // The application's folder itself was identified at the start.
    facts = PhysicalFacts(app_.ok && key == Key(app_text_) ? app_ : Identify(dir));
    if (in_text_tree(text_windows_trees_)) facts.in_windows_tree = true;
  }
  facts_.emplace(std::move(key), facts);
  return facts;
}

bool FolderGuard::MayRemove(std::wstring_view dir) { return FactsOf(dir).removable; }

bool FolderGuard::MayEmpty(std::wstring_view dir) {
  const Facts facts = FactsOf(dir);
  return facts.removable && !facts.in_windows_tree && facts.in_app;
}

bool FolderGuard::IsInside(std::wstring_view dir, std::wstring_view base) {
  const Physical inner = Identify(dir);
  const Physical outer = Identify(base);
  return inner.ok && outer.ok && inner.id != outer.id && StrictlyInside(inner.path, outer.path);
}

FolderGuard::Report FolderGuard::Describe() const {
  Report report;
  report.folders.assign(physical_folders_.begin(), physical_folders_.end());
  for (const NormalPath& tree : system_trees_) report.system_trees.push_back(tree.Text());
  for (const NormalPath& tree : windows_trees_) report.windows_trees.push_back(tree.Text());
  if (app_.ok) report.app_dir = app_.path.Text();
  return report;
}

}  // namespace uninstall
