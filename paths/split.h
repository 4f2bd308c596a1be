// Taking a Windows path apart, on its text alone.
//
// "\" is the only separator; "/" is an ordinary character. None of these
// touches the file system, fails, or changes its argument.
#pragma once

#include <string>
#include <string_view>

namespace uninstall {

// The root of a path: a drive ("C:\" from "C:\dir\file"; simply the first
// three characters of any path that does not begin with "\\"), or a share
// ("\\server\share\" from "\\server\share\dir" or "\\server\share"), or ""
// for a "\\" path that names no share. Only the first 32767 characters are
// looked at; a share root that would run past them ends there.
[[nodiscard]] std::wstring GetRootDir(std::wstring_view path);
// The path up to and including its last "\", or "" when it has none.
[[nodiscard]] std::wstring GetDirectory(std::wstring_view path);
// The part after the last "\", or "" when the path has none.
[[nodiscard]] std::wstring GetFileName(std::wstring_view path);

}  // namespace uninstall
