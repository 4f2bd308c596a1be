// What `installlog dump` shows of a log: its records in file order, with
// the bytes the reader passed over and a record cut short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "installlog/reader.h"
#include "installlog/records.h"

namespace uninstall::tools {

// One stretch of a log's bytes after the magic.
struct LogPiece {
  enum class Type { kRecord, kSkipped, kCut };
  Type type = Type::kRecord;
  std::size_t offset = 0;
  std::size_t size =
      0;  // bytes of the record, of the run of skipped bytes, or left for a cut record
  std::uint8_t kind = 0;  // record kind (1 to 4) of a record or a cut record
};

// The pieces of `bytes`, a log whose magic matched, in file order: each
// record, each run of bytes that are no record kind, and a record cut short
// by the end of the data. Where a record ends follows from its kind and its
// length fields; the records themselves are decoded by ParseInstallFile.
// `parsed` and `log` are what ParseInstallFile gave for `bytes`: the pieces
// are checked against them (the number of skipped bytes, the cut record and
// the number of records of each list), and std::logic_error is thrown if
// they disagree.
[[nodiscard]] std::vector<LogPiece> SplitLog(std::string_view bytes,
                                             const ParsedInstallFile& parsed,
                                             const InstallLog& log);

// Writes the dump of the log: the magic, then each piece with its offset
// (records with their fields as the reader reads them, numbered within their
// list; runs of skipped bytes with their first bytes in hexadecimal; a cut
// record), then a summary line with the counts of the log. Text is written
// in UTF-8 between double quotes, with control characters as \uXXXX.
void WriteDumpText(std::ostream& out, std::string_view bytes, std::wstring_view path,
                   const std::vector<LogPiece>& pieces, const InstallLog& log);

// What the manifest of a log does not show, one line each: bytes passed over
// other than the line end the writer puts after the magic, a record cut
// short, and a number of AppInfo records other than one.
// `pieces` are those of SplitLog for `bytes`.
[[nodiscard]] std::vector<std::string> DumpNotes(std::string_view bytes,
                                                 const std::vector<LogPiece>& pieces);

}  // namespace uninstall::tools
