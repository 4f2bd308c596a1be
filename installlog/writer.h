// Writing an install log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "installlog/records.h"
#include "platform/env.h"

namespace uninstall {

// The bytes of a log: header, one AppInfo record, files 1..fileCount, keys
// 1..regKeyCount, links 1..linkCount. Each string's length is the number of
// bytes of its ANSI form.
[[nodiscard]] std::string SerializeInstallFile(const AppInfo& appInfo, std::int16_t fileCount,
                                               const std::vector<FileEntry>& files,
                                               std::int16_t regKeyCount,
                                               const std::vector<RegKeyEntry>& regKeys,
                                               std::int16_t linkCount,
                                               const std::vector<LinkEntry>& links);

// Writes the log to `path`; the links written are those of `formLog`. An
// empty path shows the format's message and creates nothing. Throws
// FatalError when the file cannot be written.
void InstallFile_Write(Env& env, std::wstring_view path, const AppInfo& appInfo,
                       std::int16_t fileCount, const std::vector<FileEntry>& files,
                       std::int16_t regKeyCount, const std::vector<RegKeyEntry>& regKeys,
                       const InstallLog& formLog);

}  // namespace uninstall
