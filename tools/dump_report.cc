#include "tools/dump_report.h"

#include <array>
#include <cstdio>
#include <stdexcept>

#include "installlog/format.h"
#include "tools/manifest.h"
#include "tools/utf8.h"

namespace uninstall::tools {
namespace {

// Bytes of a run of skipped bytes shown one by one.
constexpr std::size_t kSkippedShown = 16;
// The line end the writer puts after the magic.
constexpr std::size_t kLineEndOffset = kInstallFileMagic.size();

// The size of the whole record of `kind` at `offset`, or 0 when its fields
// run past the end of the data.
std::size_t RecordSize(std::string_view bytes, std::size_t offset, std::uint8_t kind) {
  std::size_t pos = offset + 1;
  const bool whole = VisitRecordLayout(kind, [&](const auto& layout) {
    for (const auto& field : layout.fields) {
      if (bytes.size() - pos < kIntegerFieldSize) return false;
      const std::int32_t value = DecodeLong(bytes.substr(pos, kIntegerFieldSize));
      pos += kIntegerFieldSize;
      if (field.type() == FieldType::kInteger) continue;
      if (value < 0 || static_cast<std::size_t>(value) > bytes.size() - pos) return false;
      pos += static_cast<std::size_t>(value);
    }
    return true;
  });
  return whole ? pos - offset : 0;
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

// The record that a log of one record of `layout` holds.
const AppInfo& Only(const InstallLog& log, const RecordLayout<AppInfo>& /*layout*/) {
  return log.AppInfo;
}
const FileEntry& Only(const InstallLog& log, const RecordLayout<FileEntry>& /*layout*/) {
  return log.Files.at(0);
}
const RegKeyEntry& Only(const InstallLog& log, const RecordLayout<RegKeyEntry>& /*layout*/) {
  return log.RegKeys.at(0);
}
const LinkEntry& Only(const InstallLog& log, const RecordLayout<LinkEntry>& /*layout*/) {
  return log.Links.at(0);
}

// Each field of `record` under its name: texts quoted, the integer (the
// registry root) by its root's name where it has one, the flag as true or
// false with the stored value when that is neither kTrue nor kFalse.
// `stored` holds the record's fields as they are in the log.
template <typename Record>
void WriteFields(std::ostream& out, const RecordLayout<Record>& layout, const Record& record,
                 std::string_view stored) {
  std::size_t pos = 0;
  for (const FieldLayout<Record>& field : layout.fields) {
    const std::int32_t value = DecodeLong(stored.substr(pos, kIntegerFieldSize));
    pos += kIntegerFieldSize;
    if (field.text != nullptr) {
      pos += static_cast<std::size_t>(value);
      Field(out, field.name, QuoteText(record.*field.text));
    } else if (field.integer != nullptr) {
      Field(out, field.name, RootText(record.*field.integer));
    } else {
      std::string flag = record.*field.flag != kFalse ? "true" : "false";
      if (value != kTrue && value != kFalse) flag += " (stored as " + std::to_string(value) + ")";
      Field(out, field.name, flag);
    }
  }
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

  out << RecordName(piece.kind);
  if (piece.kind != kRecordAppInfo) out << " " << number;
  out << "\n";
  const std::string_view stored = bytes.substr(piece.offset + 1, piece.size - 1);
  VisitRecordLayout(
      piece.kind, [&](const auto& layout) { WriteFields(out, layout, Only(log, layout), stored); });
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
        out << RecordName(piece.kind) << " cut short by the end of the log ("
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
        notes.push_back("a " + std::string(RecordName(piece.kind)) + " record at offset " +
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
