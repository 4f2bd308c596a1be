// The files named on installlog's command line, read and written whole.
//
// The tool works on the files a user names, not on the uninstaller's Env: it
// reads manifests and logs and writes logs, and nothing else.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace uninstall::tools {

// Files larger than this are refused rather than read into memory.
inline constexpr std::uintmax_t kMaxInputSize = std::uintmax_t{256} << 20;

// The file a command-line argument names. On Windows the argument is UTF-8
// and the file name wide; elsewhere the argument's bytes are the name.
[[nodiscard]] std::filesystem::path PathFromArgument(const std::string& argument);

// Reads the whole of a regular file into `bytes`. Returns "" on success,
// else why it failed ("No such file or directory", "is a directory", ...).
// Anything but a regular file is refused: a pipe or a device could block or
// never end.
[[nodiscard]] std::string ReadWholeFile(const std::filesystem::path& path, std::string& bytes);

// Creates or truncates `path` and writes `bytes` to it. Returns "" on
// success, else why it failed.
[[nodiscard]] std::string WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace uninstall::tools
