// Removal of the logged registry keys, deepest first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "installlog/records.h"
#include "platform/env.h"

namespace uninstall {

namespace Rmod {
// Deletes one key without subkeys; the result is not examined. Only the
// predefined roots (0x80000000 to 0x80000006) are passed on: any other value
// could name an open handle of this process, so nothing is deleted for it.
void DeleteRegKey(Env& env, std::int32_t root, std::wstring keyPath);
}  // namespace Rmod

// Completes keys 1..count with their missing intermediate keys, orders them
// longest first and deletes each, with a trailing "\". Failures are silent.
void RemoveRegistryKeys(Env& env, std::int16_t count, const std::vector<RegKeyEntry>& keys);

}  // namespace uninstall
