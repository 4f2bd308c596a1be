// Reading an install log.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "installlog/records.h"
#include "platform/env.h"

namespace uninstall {

// What a parse passed over, for diagnostics (installlog dump, fuzzing).
struct SkippedByte {
  std::size_t offset;
  std::uint8_t value;
};
struct CutRecord {
  std::size_t offset;  // of the record's kind byte
  std::uint8_t kind;
};

struct ParsedInstallFile {
  bool magic_ok = false;
  std::vector<SkippedByte> skipped;  // bytes that were no record kind
  std::optional<CutRecord> cut;      // a record cut short by the end of the data
};

// Parses the bytes of a log into `log`, exactly as the reader does after the
// file has been opened: the lists are emptied; AppInfo is kept unless a
// kind-1 record replaces it. A record cut short by the end of the data is
// dropped and parsing stops. Throws FatalError for a negative string length
// and for more than kMaxEntries records of one kind.
ParsedInstallFile ParseInstallFile(std::string_view bytes, std::wstring_view path, InstallLog& log);

// Fills `log` from the log file at `path`, showing the format's messages
// (unusable path, wrong magic). Throws FatalError when the file cannot be
// read, as well as for the cases ParseInstallFile throws for.
void InstallFile_Read(Env& env, std::wstring_view path, InstallLog& log);

}  // namespace uninstall
