// Which folders an uninstall may empty of unlisted files and which it may
// remove, decided by the file system's view of each folder, not by the text
// of its path.
//
// A folder has many names: letter case, "." and "..", "\\?\" forms, an 8.3
// short name, a SUBST drive, a share, a path through a link or junction in
// any component. The guard asks the file system what object a path names:
// its identity (volume serial and file index), which is equal for all of
// its names, and its final path (every link and alias resolved), which
// tells what it physically lies in. Text comparisons are a first filter:
// a name they recognise as guarded is refused without a look at the disk.
//
// Guarded, never emptied and never removed:
//  - every known folder of the system and of the current user (Desktop,
//    Documents, Music, Startup, Fonts, ProgramData, Users, Public, ...),
//    Program Files and Common Files in every view, the temporary folder,
//    and every folder above any of them up to its drive root;
//  - drive and share roots; relative paths (they depend on the current
//    directory);
//  - the Windows folder and the system folder in every view (System32 as
//    the program sees it, SysWOW64, and the real System32 that a 32-bit
//    program on 64-bit Windows reaches as "Sysnative");
//  - everything inside a system folder, and every folder directly inside
//    the Windows folder (Temp, Fonts, inf, Installer, ...);
//  - a folder the file system cannot identify.
// Besides, nothing inside the Windows folder is ever emptied of unlisted
// files, and only the application's own folder (the folder of the running
// uninstaller) and the folders physically inside it are emptied at all.
//
// Folders below the application's folder by their text, reached through
// plain directories only (no link or junction on the way), lie physically
// inside it: when the application's folder holds no guarded folder, they
// are decided without reading their identity, which keeps the cost of the
// guard to one attribute read per folder for an ordinary install, the one
// the directory stage's existence test uses too. The guarded folders' final
// paths, which some systems give far faster than identities, are read at
// the start. Their identities are read only when a folder elsewhere has to
// be judged and a share is involved: on drive letters, every name of a
// folder has the one final path (the system resolves links, junctions,
// SUBST drives and short names into it), so the final path alone tells
// whether two names name one folder; a share names a folder by a path of
// another kind ("\\server\share\..."), which only identities match.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "paths/normalise.h"
#include "platform/env.h"

namespace uninstall {

// The folders that define the guard, as the system names them.
struct GuardedFolders {
  // Never emptied or removed; the folders above them are added by the guard.
  std::vector<std::wstring> folders;
  // Never emptied or removed, nor is anything inside them.
  std::vector<std::wstring> system_trees;
  // Never emptied, nor is anything inside them; the folders directly inside
  // are never removed.
  std::vector<std::wstring> windows_trees;
};

// The guarded folders of this machine: the known folders, Program Files in
// every view, the temporary folder and the drive roots the system reports,
// the shell's special folders, WinDir as Windows tree, and WinSysDir,
// SysWOW64 and WinDir\Sysnative\ as system trees.
[[nodiscard]] GuardedFolders QueryGuardedFolders(Env& env, const std::wstring& WinDir,
                                                 const std::wstring& WinSysDir);

class FolderGuard {
 public:
  // `app_dir` is the application's own folder: the folder of the running
  // uninstaller. Reads what the file system says of the guarded folders and
  // of `app_dir` once.
  FolderGuard(Env& env, GuardedFolders folders, const std::wstring& app_dir);

  // Whether the folder `dir` names may be removed (when it is empty).
  [[nodiscard]] bool MayRemove(std::wstring_view dir);
  // Whether files the log does not name may be deleted from `dir`: it may
  // be removed, lies outside the Windows folder, and is the application's
  // own folder or lies inside it.
  [[nodiscard]] bool MayEmpty(std::wstring_view dir);
  // Whether `dir` lies strictly inside `base`, by what the file system
  // says of both. False when either cannot be identified.
  [[nodiscard]] bool IsInside(std::wstring_view dir, std::wstring_view base);
  // The attributes of the folder `dir`, asked without a trailing "\" (with
  // one, some systems report what a link leads to rather than the link).
  // Read once a run and shared by the guard's judgement and the directory
  // stage's existence test: until its own turn, a folder of the stage only
  // loses what lies below it, which changes neither its attributes nor
  // whether it is there.
  [[nodiscard]] Result<std::uint32_t> FolderAttributes(std::wstring_view dir);

  // The guarded folders as the guard holds them: every folder (the ones
  // above them included) by its physical path in comparable form, and the
  // physical paths of the trees. For reports.
  struct Report {
    std::vector<std::wstring> folders;
    std::vector<std::wstring> system_trees;
    std::vector<std::wstring> windows_trees;
    std::wstring app_dir;  // empty when it cannot be identified
  };
  [[nodiscard]] Report Describe() const;

 private:
  // A folder as the file system names it.
  struct Physical {
    bool ok = false;
    FileId id;
    NormalPath path;  // final path, resolved
  };
  // What the guard decides of one folder.
  struct Facts {
    bool removable = false;  // MayRemove
    bool in_system_tree = true;
    bool in_windows_tree = true;
    bool in_app = false;
  };

  Physical Identify(std::wstring_view path);
  std::optional<NormalPath> PhysicalPath(std::wstring_view path);
  // The identities of the guarded folders, read at the first use.
  const std::vector<FileId>& FolderIds();
  Facts FactsOf(std::wstring_view dir);
  // By its final path and, when `by_identity`, by its identity as well.
  [[nodiscard]] Facts PhysicalFacts(const Physical& folder, bool by_identity = true);
  // Whether `dir` lies below the application's folder by its text, through
  // plain directories only (none a link or junction, all readable), while
  // that folder holds no guarded folder.
  [[nodiscard]] bool PlainlyInsideApp(const NormalPath& dir);
  [[nodiscard]] bool IsPlainDirectory(std::wstring_view path);

  Env& env_;
  GuardedFolders folders_;
  // By the text of their paths (comparable form): the first filter.
  std::set<std::wstring> text_folders_;
  std::vector<std::wstring> text_system_trees_;
  std::vector<std::wstring> text_windows_trees_;
  // By what the file system says of them.
  std::map<std::wstring, std::wstring> identified_;  // the guarded folders, by comparable path
  std::optional<std::vector<FileId>> folder_ids_;
  std::set<std::wstring> physical_folders_;  // comparable physical paths, ancestors included
  std::vector<NormalPath> system_trees_;
  std::vector<NormalPath> windows_trees_;
  Physical app_;
  NormalPath app_text_;
  Facts app_facts_;
  bool app_holds_guarded_ = true;
  // Whether a guarded folder lies on a share (its final path is no drive
  // letter path).
  bool guarded_on_share_ = false;
  std::map<std::wstring, Facts> facts_;                       // by comparable path
  std::map<std::wstring, Result<std::uint32_t>> attributes_;  // by comparable path
};

}  // namespace uninstall
