// The folders the operating system knows, as paths that end in "\"
// (module GFShellRegistration).
#pragma once

#include <cstdint>
#include <string>

#include "platform/env.h"

namespace uninstall::GFShellRegistration {

// The Windows directory. A query that yields no text gives "\".
[[nodiscard]] std::wstring GetWindowsDir(Env& env);
// The Windows system directory, the same way.
[[nodiscard]] std::wstring GetSystemDir(Env& env);
// A shell special folder by its CSIDL; "" when it cannot be determined
// (any location result but 0, or no file system path for it).
[[nodiscard]] std::wstring GetSpecialFolder(Env& env, std::int32_t folderId);

// The query buffer cut before its first NUL (all of it when it has none),
// with "\" appended when it does not end in one.
[[nodiscard]] std::wstring TrimFolderBuffer(const std::wstring& buffer);

}  // namespace uninstall::GFShellRegistration
