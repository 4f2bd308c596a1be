// The whole removal, worked out from the expanded log before anything is
// touched: what each stage does, in the order it does it. The flow makes
// the plan once; the stages execute its lists, the progress bar counts its
// steps, and `installlog plan` prints it.
//
// The plan views the log's strings: it is valid as long as the log it was
// made from is, unchanged.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "installlog/records.h"

namespace uninstall {

// What the registry stage does with a key of the deletion order.
enum class KeyAction : std::uint8_t {
  kDeleteListed,   // a key the log lists, in any spelling
  kDeleteBetween,  // added between a listed key and a listed key above it
  kKeepAbove,      // added above the listed keys of its path: not the application's
  kKeepShared,     // a key the system and every application share, listed or not
  kDeleteAtEnd,    // the application's uninstall entry: held back until the run is complete
};

// One key of the deletion order.
struct KeyStep {
  std::int32_t root = 0;
  std::wstring_view path;  // as the log spells it, without a trailing "\"
  KeyAction action = KeyAction::kKeepAbove;
};

// One visit of the directory stage.
struct DirectoryVisit {
  std::wstring_view dir;  // ends in "\", or is empty
  bool main = false;      // the main directory, that of MainPath: emptied of leftovers
};

// One call of RemoveShellLink: the folder relative to the Start menu's
// Programs folder, and the link's name.
struct ShellLinkCall {
  std::wstring folderName;
  std::wstring linkName;
  bool operator==(const ShellLinkCall&) const = default;
};

struct RemovalPlan {
  // The keys of the log and the keys between them, longest first: keys
  // 1..RegKeyCount completed with their missing intermediate keys and
  // ordered by the completion and ordering of removal/order.h, duplicates
  // kept. What happens to each:
  //   - a shared key (removal/shared_keys.h) is kept, even when listed;
  //   - a key equal to a listed key is deleted, and so is one that lies
  //     below a listed key that is not shared: the completion added it
  //     between two listed keys;
  //   - any other added key lies above the listed keys of its path: kept;
  //   - a key to be deleted that is an uninstall entry is deleted last.
  // Keys are compared by their names (aligned on "\", letter case ignored)
  // under the same root value.
  std::vector<KeyStep> registry;
  // TargetPath of each entry the file stage tests and deletes, in log
  // order: those not kept (KeepFile 0) whose path can name a file (not
  // empty, not ending in "\").
  std::vector<std::wstring_view> files;
  // The kept files (KeepFile not 0), as ComparablePath: never deleted as
  // leftovers of the main directory.
  std::set<std::wstring> keptFiles;
  // The directory (GetDirectory) of each logged file, but those of kept
  // files and of paths that still open with "%", duplicates included,
  // completed with the folders between a directory and a listed ancestor
  // and ordered deepest first. A path ending in "\" names a folder, which
  // is its directory. A directory named with "." or ".." is the folder it
  // names where its text spells that (ResolvedFolderPrefix), so that
  // "C:\PF\Vendor\App\..\" is visited as "C:\PF\Vendor\", after the
  // application's folder.
  std::vector<DirectoryVisit> directories;
  std::wstring mainDirectory;  // GetDirectory of MainPath
  // The desktop link named after the application (AppName, even an empty
  // one), then links 1..LinkCount.
  std::vector<ShellLinkCall> links;
  std::wstring group;  // GroupName: the program group, removed when empty

  // The steps of the whole removal, as the progress bar counts them: one a
  // key, a file, a directory visit or a link call, and one the group.
  [[nodiscard]] std::uint64_t Steps() const {
    return registry.size() + files.size() + directories.size() + links.size() + 1;
  }
};

// The plan for `log`, whose paths are expanded already. Nothing on the
// machine is looked at.
[[nodiscard]] RemovalPlan PlanRemoval(const InstallLog& log);
// The plan of a temporary log would view strings that are gone.
RemovalPlan PlanRemoval(InstallLog&& log) = delete;

// A planned key path as it is passed to the deletion: with a trailing "\".
// Written into `out`, so that one buffer serves every key.
void KeyPathForDeletion(std::wstring_view planned, std::wstring& out);

}  // namespace uninstall
