// Writing an install log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "installlog/records.h"
#include "platform/env.h"

namespace uninstall {

// The bytes of a log: the magic and a line end (0D 0A), one AppInfo record,
// then one record for each of files 1..fileCount, keys 1..regKeyCount and
// links 1..linkCount, back to back, and nothing after the last field.
// - A count of 0 or less writes no record of its kind; a count larger than
//   its list writes only the entries that exist.
// - Each string's length field is the number of bytes of its ANSI form, so
//   the length always matches the text that follows, in any code page.
// - KeepFile is widened with its sign: kTrue (-1) gives FF FF FF FF, kFalse
//   gives 00 00 00 00.
[[nodiscard]] std::string SerializeInstallFile(const AppInfo& appInfo, std::int16_t fileCount,
                                               const std::vector<FileEntry>& files,
                                               std::int16_t regKeyCount,
                                               const std::vector<RegKeyEntry>& regKeys,
                                               std::int16_t linkCount,
                                               const std::vector<LinkEntry>& links);

// Writes the log to `path` (created, or truncated if it exists); the links
// written are LinkCount and Links of `formLog`. An empty path shows the
// message "internal error in InstallFile_Write(): file '" + path +
// " not found !" (style 48, the default title) and creates nothing; no other
// test is made. Throws FatalError when the file cannot be written.
void InstallFile_Write(Env& env, std::wstring_view path, const AppInfo& appInfo,
                       std::int16_t fileCount, const std::vector<FileEntry>& files,
                       std::int16_t regKeyCount, const std::vector<RegKeyEntry>& regKeys,
                       const InstallLog& formLog);

}  // namespace uninstall
