#include "app/self_removal.h"

#include <algorithm>
#include <set>

#include "paths/normalise.h"
#include "paths/split.h"

namespace uninstall {
namespace {

// Whether `path` still names something after a deletion was asked for.
bool StillThere(Env& env, const std::wstring& path) {
  const Result<std::uint32_t> attrs = env.GetFileAttrs(path);
  return attrs.ok() || (attrs.code() != kErrorFileNotFound && attrs.code() != kErrorPathNotFound);
}

// Removes the folders above `dir` that the directory stage visited, nearest
// first, while each is empty and may go.
void RemoveVisitedParents(Env& env, FolderGuard& guard, const std::wstring& dir,
                          const std::vector<std::wstring>& visited) {
  std::set<std::wstring> keys;
  for (const std::wstring& folder : visited) keys.insert(ComparablePath(folder));
  NormalPath parent = NormalisePath(dir).Parent();
  while (!parent.IsRoot() && keys.contains(UpperCase(parent.Text()))) {
    const std::wstring text = parent.Text() + L"\\";
    if (!guard.MayRemove(text) || !env.RemoveDir(text).ok()) return;
    parent = parent.Parent();
  }
}

}  // namespace

void RemoveOwnFiles(Env& env, FolderGuard& guard, const OwnFilePaths& own) {
  // The new name of the executable, in the folder for temporary files; that
  // folder becomes the current directory, so that none of the
  // application's folders is held as one.
  const Result<std::wstring> temp = env.CreateTempFile();
  const std::wstring away = temp.ok() ? GetDirectory(temp.value()) : own.fallback_dir;
  static_cast<void>(env.SetCurrentDir(away));

  // Without its log the uninstaller cannot run again, so the log goes first
  // and the executable only once it is gone.
  static_cast<void>(env.RemoveFile(own.log));
  if (StillThere(env, own.log)) {
    if (temp.ok()) static_cast<void>(env.RemoveFile(temp.value()));
    return;
  }

  const bool may_remove_app_dir = guard.MayRemove(own.app_dir);
  if (temp.ok() && env.RenameFile(own.executable, temp.value()).ok()) {
    static_cast<void>(env.DeleteAtRestart(temp.value()));
  } else {
    // It stays where it is until the next restart, and its folder with it.
    if (temp.ok()) static_cast<void>(env.RemoveFile(temp.value()));
    static_cast<void>(env.DeleteAtRestart(own.executable));
    if (may_remove_app_dir) static_cast<void>(env.DeleteAtRestart(own.app_dir));
    return;
  }

  if (may_remove_app_dir && env.RemoveDir(own.app_dir).ok()) {
    RemoveVisitedParents(env, guard, own.app_dir, own.visited_dirs);
  }
}

}  // namespace uninstall
