#include "tools/dump_report.h"

#include <array>
#include <cstdio>
#include <stdexcept>

#include "installlog/format.h"
#include "tools/manifest.h"
#include "tools/utf8.h"

namespace uninstall::tools {
namespace {

// The fields of each record kind after its kind byte: S a string, I an integer.
constexpr std::array<std::string_view, 5> kFieldLayout = {"", "SSSS", "SSI", "ISSS", "SSS"};
constexpr std::array<std::string_view, 5> kKindName = {"", "AppInfo", "FileEntry", "RegKeyEntry",
                                                       "LinkEntry"};
// Bytes of a run of skipped bytes shown one by one.
constexpr std::size_t kSkippedShown = 16;
// The line end the writer puts after the magic.
constexpr std::size_t kLineEndOffset = kInstallFileMagic.size();

bool IsRecordKind(std::uint8_t kind) { return kind >= kRecordAppInfo && kind <= kRecordLinkEntry; }

// The size of the whole record of `kind` at `offset`, or 0 when its fields
// run past the end of the data.
std::size_t RecordSize(std::string_view bytes, std::size_t offset, std::uint8_t kind) {
  std::size_t pos = offset + 1;
  for (const char field : kFieldLayout[kind]) {
    if (bytes.size() - pos < kIntegerFieldSize) return 0;
    const std::int32_t value = DecodeLong(bytes.substr(pos, kIntegerFieldSize));
    pos += kIntegerFieldSize;
    if (field == 'I') continue;
    if (value < 0 || static_cast<std::size_t>(value) > bytes.size() - pos) return 0;
    pos += static_cast<std::size_t>(value);
  }
  return pos - offset;
}

std::string Hex(std::uint32_t value, int digits) {
  std::array<char, 16> buffer{};
  static_cast<void>(std::snprintf(buffer.data(), buffer.size(), "%0*X", digits, value));
  return buffer.data();
}

std::string RootText(std::int32_t root) {
  const std::string hex = "0x" + Hex(static_cast<std::uint32_t>(root), 8);
  if (const auto name = NameOfRootKey(root)) return std::string(*name) + " (" + hex + ")";
  return hex + " (" + std::to_string(root) + ")";
}

std::string Plural(std::size_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

void Field(std::ostream& out, std::string_view name, const std::string& value) {
  out << "          " << name << std::string(12 - name.size(), ' ') << value << "\n";
}

void WriteRecord(std::ostream& out, std::string_view bytes, std::wstring_view path,
                 const LogPiece& piece, std::size_t number) {
  // The record alone behind the magic, decoded by the reader.
  std::string one(kInstallFileMagic);
  one += bytes.substr(piece.offset, piece.size);
  InstallLog log;
  const ParsedInstallFile parsed = ParseInstallFile(one, path, log);
  if (parsed.cut || parsed.skipped_count != 0) {
    throw std::logic_error("a record was split at the wrong place");
  }

  out << kKindName[piece.kind];
  if (piece.kind != kRecordAppInfo) out << " " << number;
  out << "\n";
  switch (piece.kind) {
    case kRecordAppInfo:
      Field(out, "AppPath", QuoteText(log.AppInfo.AppPath));
      Field(out, "AppName", QuoteText(log.AppInfo.AppName));
      Field(out, "MainPath", QuoteText(log.AppInfo.MainPath));
      Field(out, "GroupName", QuoteText(log.AppInfo.GroupName));
      break;
    case kRecordFileEntry: {
      const FileEntry& entry = log.Files.at(0);
      const std::int32_t stored = DecodeLong(bytes.substr(piece.offset + piece.size - 4, 4));
      std::string keep = entry.KeepFile != kFalse ? "true" : "false";
      if (stored != kTrue && stored != kFalse)
        keep += " (stored as " + std::to_string(stored) + ")";
      Field(out, "SourcePath", QuoteText(entry.SourcePath));
      Field(out, "TargetPath", QuoteText(entry.TargetPath));
      Field(out, "KeepFile", keep);
      break;
    }
    case kRecordRegKeyEntry: {
      const RegKeyEntry& entry = log.RegKeys.at(0);
      Field(out, "RootKey", RootText(entry.RootKey));
      Field(out, "SubKey", QuoteText(entry.SubKey));
      Field(out, "Extra1", QuoteText(entry.Extra1));
      Field(out, "Extra2", QuoteText(entry.Extra2));
      break;
    }
    default: {
      const LinkEntry& entry = log.Links.at(0);
      Field(out, "FolderName", QuoteText(entry.FolderName));
      Field(out, "LinkName", QuoteText(entry.LinkName));
      Field(out, "LinkPath", QuoteText(entry.LinkPath));
      break;
    }
  }
}

void WriteSkipped(std::ostream& out, std::string_view bytes, const LogPiece& piece) {
  out << "skipped " << Plural(piece.size, "byte", "bytes") << ":";
  for (std::size_t i = 0; i < piece.size && i < kSkippedShown; ++i) {
    out << " " << Hex(static_cast<unsigned char>(bytes[piece.offset + i]), 2);
  }
  if (piece.size > kSkippedShown) out << " ...";
  out << "\n";
}

}  // namespace

std::vector<LogPiece> SplitLog(std::string_view bytes, const ParsedInstallFile& parsed,
                               const InstallLog& log) {
  std::vector<LogPiece> pieces;
  std::array<std::size_t, 5> records{};
  std::size_t skipped = 0;
  for (std::size_t pos = kInstallFileMagic.size(); pos < bytes.size();) {
    const auto kind = static_cast<std::uint8_t>(bytes[pos]);
    if (!IsRecordKind(kind)) {
      if (pieces.empty() || pieces.back().type != LogPiece::Type::kSkipped ||
          pieces.back().offset + pieces.back().size != pos) {
        pieces.push_back({LogPiece::Type::kSkipped, pos, 0});
      }
      ++pieces.back().size;
      ++skipped;
      ++pos;
      continue;
    }
    const std::size_t size = RecordSize(bytes, pos, kind);
    if (size == 0) {
      pieces.push_back({LogPiece::Type::kCut, pos, bytes.size() - pos, kind});
      break;
    }
    pieces.push_back({LogPiece::Type::kRecord, pos, size, kind});
    ++records[kind];
    pos += size;
  }

  const bool same_cut =
      parsed.cut.has_value() == (!pieces.empty() && pieces.back().type == LogPiece::Type::kCut) &&
      (!parsed.cut ||
       (parsed.cut->offset == pieces.back().offset && parsed.cut->kind == pieces.back().kind));
  if (!parsed.magic_ok || skipped != parsed.skipped_count || !same_cut ||
      records[kRecordFileEntry] != log.Files.size() ||
      records[kRecordRegKeyEntry] != log.RegKeys.size() ||
      records[kRecordLinkEntry] != log.Links.size()) {
    throw std::logic_error("the records found do not match what the reader read");
  }
  return pieces;
}

void WriteDumpText(std::ostream& out, std::string_view bytes, std::wstring_view path,
                   const std::vector<LogPiece>& pieces, const InstallLog& log) {
  out << "log " << QuoteText(path) << ", " << Plural(bytes.size(), "byte", "bytes") << "\n";
  out << "offset\n";
  const auto at = [&out](std::size_t offset) {
    const std::string text = std::to_string(offset);
    out << std::string(text.size() < 8 ? 8 - text.size() : 0, ' ') << text << "  ";
  };
  at(0);
  out << "magic \"" << kInstallFileMagic << "\"\n";

  std::array<std::size_t, 5> numbers{};
  std::size_t skipped = 0;
  bool cut = false;
  for (const LogPiece& piece : pieces) {
    at(piece.offset);
    switch (piece.type) {
      case LogPiece::Type::kRecord:
        WriteRecord(out, bytes, path, piece, ++numbers[piece.kind]);
        break;
      case LogPiece::Type::kSkipped:
        WriteSkipped(out, bytes, piece);
        skipped += piece.size;
        break;
      case LogPiece::Type::kCut:
        out << kKindName[piece.kind] << " cut short by the end of the log ("
            << Plural(piece.size, "byte", "bytes") << " left): the reader drops it\n";
        cut = true;
        break;
    }
  }

  out << "read: " << Plural(numbers[kRecordAppInfo], "AppInfo record", "AppInfo records") << ", "
      << Plural(static_cast<std::size_t>(log.FileCount), "file", "files") << ", "
      << Plural(static_cast<std::size_t>(log.RegKeyCount), "registry key", "registry keys") << ", "
      << Plural(static_cast<std::size_t>(log.LinkCount), "link", "links") << "; "
      << Plural(skipped, "byte", "bytes") << " passed over; "
      << (cut ? "one record cut short" : "no record cut short") << "\n";
}

std::vector<std::string> DumpNotes(std::string_view bytes, const std::vector<LogPiece>& pieces) {
  std::vector<std::string> notes;
  std::size_t skipped = 0;
  std::size_t apps = 0;
  std::size_t last_app = 0;
  for (const LogPiece& piece : pieces) {
    switch (piece.type) {
      case LogPiece::Type::kRecord:
        if (piece.kind == kRecordAppInfo) {
          ++apps;
          last_app = piece.offset;
        }
        break;
      case LogPiece::Type::kSkipped:
        skipped += piece.size;
        // The writer's line end right after the magic is expected.
        if (piece.offset == kLineEndOffset &&
            bytes.substr(kLineEndOffset, kInstallFileLineEnd.size()) == kInstallFileLineEnd) {
          skipped -= kInstallFileLineEnd.size();
        }
        break;
      case LogPiece::Type::kCut:
        notes.push_back("a " + std::string(kKindName[piece.kind]) + " record at offset " +
                        std::to_string(piece.offset) +
                        " is cut short by the end of the log; the reader drops it");
        break;
    }
  }
  if (skipped != 0) {
    notes.insert(notes.begin(), Plural(skipped, "byte that is", "bytes that are") +
                                    " no record kind passed over (see the dump without --json)");
  }
  if (apps == 0) notes.emplace_back("the log has no AppInfo record; its fields are empty");
  if (apps > 1) {
    notes.push_back("the log has " + std::to_string(apps) + " AppInfo records; the last one (at " +
                    "offset " + std::to_string(last_app) + ") stands");
  }
  return notes;
}

}  // namespace uninstall::tools
