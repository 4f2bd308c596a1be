// Removal of the logged files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/env.h"
#include "removal/progress.h"
#include "removal/removal_plan.h"

namespace uninstall {

// The uninstaller's own files: its executable and the log it read. The file
// stage passes over them (a running program cannot delete itself, and the
// log must outlast an interrupted run); they go once the run is complete.
class OwnFiles {
 public:
  OwnFiles() = default;
  explicit OwnFiles(std::vector<std::wstring> paths);

  // Whether `path` names one of the own files: the same path in any
  // spelling, or the same file by its identity. The identity is read only
  // for a path that could be another name of one: the same file name, or an
  // 8.3 short name (one with a "~"); the own files' identities are read at
  // the first such path, once.
  [[nodiscard]] bool Contains(Env& env, const std::wstring& path) const;

 private:
  std::vector<std::wstring> paths_;
  std::vector<std::wstring> keys_;                  // comparable paths
  std::vector<std::wstring> names_;                 // file names, upper case
  mutable std::optional<std::vector<FileId>> ids_;  // of those that can be read
};

// Deletes each file of plan.files that is there, asking Retry or Cancel for
// each file that resists. `allRemoved` becomes kTrue, or kFalse when a
// logged file stays. The files of `own` are passed over without a question
// and count as removed. Each file is a step of `progress`.
void RemoveFiles(Env& env, const RemovalPlan& plan, std::int16_t& allRemoved,
                 const OwnFiles& own = OwnFiles(), Progress* progress = nullptr);

}  // namespace uninstall
