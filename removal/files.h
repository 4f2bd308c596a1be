// Removal of the logged files.
#pragma once

#include <cstdint>
#include <vector>

#include "installlog/records.h"
#include "platform/env.h"

namespace uninstall {

// Deletes each existing, not-kept file of entries 1..count, asking Retry or
// Cancel for each file that resists. `allRemoved` becomes kTrue, or kFalse
// when a logged file stays.
void RemoveFiles(Env& env, std::int16_t count, const std::vector<FileEntry>& entries,
                 std::int16_t& allRemoved);

}  // namespace uninstall
