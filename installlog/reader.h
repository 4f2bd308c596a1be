// Reading an install log.
#pragma once

#include <cstddef>
#include <cstdint>
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

// At most this many skipped bytes are listed one by one; skipped_count
// counts them all, so a file full of junk does not cost memory in
// proportion to its size.
inline constexpr std::size_t kMaxSkippedListed = 4096;

struct ParsedInstallFile {
  bool magic_ok = false;
  std::vector<SkippedByte> skipped;  // bytes that were no record kind (the first kMaxSkippedListed)
  std::size_t skipped_count = 0;     // all bytes that were no record kind
  std::optional<CutRecord> cut;      // a record cut short by the end of the data
};

// Parses the bytes of a log into `log`, exactly as the reader does after the
// file has been read:
// - The lists are emptied (counts 0) before anything else, also when the
//   magic does not match. AppInfo is kept unless a kind-1 record replaces it;
//   a later kind-1 record overwrites an earlier one.
// - The first 11 bytes must be "InstallFile" (case-sensitive); a shorter
//   input never matches. Without the magic, magic_ok is false and nothing
//   else is read.
// - Records follow from offset 11 in any order and number. A byte that is no
//   record kind (0, 5 to 255) is passed over. A non-zero KeepFile reads as
//   kTrue. After the parse each count equals the size of its list, and entry
//   k of a list is element k - 1.
// - A record cut short by the end of the data, or whose string length is
//   larger than what is left of the data, is dropped whole (no half-read
//   path is ever stored) and parsing stops there; `cut` names it.
// Throws FatalError, leaving `log` unchanged:
// - for a negative string length;
// - for more than kMaxEntries (32767) complete records of one kind: the
//   16-bit counts cannot hold them, and removing only a part of what the log
//   lists would leave the machine half uninstalled, so the log is refused.
// `path` is used only in the texts of the errors.
ParsedInstallFile ParseInstallFile(std::string_view bytes, std::wstring_view path, InstallLog& log);

// Fills `log` from the log file at `path`:
// - The path is unusable when a directory search for exactly `path` with
//   normal attributes finds nothing (hidden files, system files and
//   directories do not match), when it ends in "\" or when it is empty. Then
//   the message "internal error in InstallFile_Read(): file '<path>' not
//   found !" is shown (style 48, the default title) and `log` is unchanged.
// - Otherwise the whole file is read in one call (it is open only inside
//   that call) and parsed as ParseInstallFile does. Without the magic the
//   message "Error: the file '<path>' is no valid InstallFile !" is shown
//   (style 48, the default title); the lists are then empty.
// Returns what the parse found (magic_ok false when the path was unusable).
// Throws FatalError, leaving `log` unchanged, when the directory search
// itself fails, when the file cannot be read, and in the cases that
// ParseInstallFile throws for.
ParsedInstallFile InstallFile_Read(Env& env, std::wstring_view path, InstallLog& log);

}  // namespace uninstall
