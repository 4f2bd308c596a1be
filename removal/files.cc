#include "removal/files.h"

#include <algorithm>
#include <string>
#include <utility>

#include "paths/normalise.h"
#include "paths/split.h"
#include "platform/dir_search.h"

namespace uninstall {
namespace {

constexpr std::wstring_view kTitle = L"Uninstall";

// The existence test for a logged file: any file, hidden and system ones
// too (a logged file that the test passed over would stay behind while the
// run reports success), but no directory. A search that fails cannot rule
// the file out, so it counts as found: the delete is attempted and, after a
// delete, the user is asked.
bool FileMayExist(Env& env, const std::wstring& path) {
  return DirSearch(env, path, kSearchAnyFile) != Probe::kNoMatch;
}

// Deletes one logged file that is there, asking Retry or Cancel while it
// resists. Returns false when the file stays.
bool DeleteWithPrompt(Env& env, const std::wstring& path) {
  const std::wstring text =
      L"Error deleting file: " + path + L"\n" + L"Press 'Cancel' to skip this file.";
  for (;;) {
    // No attribute is changed first: a read-only file stays until someone
    // clears the attribute while the prompt shows. A delete the system
    // reports done needs no second look; after a failed one, the re-test
    // decides (the file may have gone all the same).
    if (env.RemoveFile(path).ok() || !FileMayExist(env, path)) return true;

    const Result<int> answer = env.ShowMessage(text, kTitle, msgbox::kRetryCancelExclamation);
    if (answer.ok() && answer.value() == msgbox::kRetry) continue;
    // Cancel, a box that could not be shown, or any other answer: the file
    // is still there, so the run must not be reported as complete.
    return false;
  }
}

}  // namespace

OwnFiles::OwnFiles(std::vector<std::wstring> paths) : paths_(std::move(paths)) {
  for (const std::wstring& path : paths_) {
    keys_.push_back(ComparablePath(path));
    names_.push_back(UpperCase(GetFileName(path)));
  }
}

bool OwnFiles::Contains(Env& env, const std::wstring& path) const {
  if (keys_.empty()) return false;
  if (std::find(keys_.begin(), keys_.end(), ComparablePath(path)) != keys_.end()) return true;
  // Another name for the same file ends in the same name (through another
  // drive letter, a short folder name or a link) or is a short name itself.
  const std::wstring name = UpperCase(GetFileName(path));
  const bool may_be_alias = std::find(names_.begin(), names_.end(), name) != names_.end() ||
                            name.find(L'~') != std::wstring::npos;
  if (!may_be_alias) return false;
  if (!ids_) {
    ids_.emplace();
    for (const std::wstring& own : paths_) {
      const Result<FileIdentity> identity = env.GetFileIdentity(own);
      if (identity.ok()) ids_->push_back(identity.value().id);
    }
  }
  if (ids_->empty()) return false;
  const Result<FileIdentity> identity = env.GetFileIdentity(path);
  return identity.ok() && std::find(ids_->begin(), ids_->end(), identity.value().id) != ids_->end();
}

void RemoveFiles(Env& env, const RemovalPlan& plan, std::int16_t& allRemoved, const OwnFiles& own,
                 Progress* progress) {
  allRemoved = kTrue;
  std::wstring path;  // one buffer for every file
  for (const std::wstring_view file : plan.files) {
    StepOf(progress);
    path.assign(file);
    if (!FileMayExist(env, path)) continue;
    // The uninstaller's own files go after the run: not now, and without a
    // question about them.
    if (own.Contains(env, path)) continue;
    if (!DeleteWithPrompt(env, path)) allRemoved = kFalse;
  }
}

}  // namespace uninstall
