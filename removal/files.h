// Removal of the logged files.
#pragma once

#include <cstdint>
#include <vector>

#include "installlog/records.h"
#include "platform/env.h"

namespace uninstall {

// Whether the stage tests `entry` for its file and deletes what it finds: the
// entry is not kept (KeepFile 0) and its TargetPath can name a file (it is
// not empty and does not end in "\"). Existence is not looked at.
[[nodiscard]] bool FileStageTakesEntry(const FileEntry& entry);

// Deletes each existing, not-kept file of entries 1..count, asking Retry or
// Cancel for each file that resists. `allRemoved` becomes kTrue, or kFalse
// when a logged file stays.
void RemoveFiles(Env& env, std::int16_t count, const std::vector<FileEntry>& entries,
                 std::int16_t& allRemoved);

}  // namespace uninstall
