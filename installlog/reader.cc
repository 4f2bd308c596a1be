#include "installlog/reader.h"

#include <utility>

#include "installlog/format.h"
#include "platform/codepage.h"
#include "platform/dir_search.h"
#include "platform/fatal_error.h"

namespace uninstall {
namespace {

std::wstring Quoted(std::wstring_view path) { return L"'" + std::wstring(path) + L"'"; }

// Reads fields from the log's bytes, front to back. Every read either takes
// a whole field or reports that the data ends before it.
class FieldReader {
 public:
  FieldReader(std::string_view bytes, std::size_t offset, std::wstring_view path)
      : bytes_(bytes), pos_(offset), path_(path) {}

  [[nodiscard]] bool AtEnd() const { return pos_ >= bytes_.size(); }
  [[nodiscard]] std::size_t offset() const { return pos_; }
  [[nodiscard]] std::size_t left() const { return bytes_.size() - pos_; }

  [[nodiscard]] std::uint8_t TakeByte() { return static_cast<std::uint8_t>(bytes_[pos_++]); }

  // An integer field; false when fewer than 4 bytes are left.
  [[nodiscard]] bool ReadInteger(std::int32_t& value) {
    if (left() < kIntegerFieldSize) return false;
    value = DecodeLong(bytes_.substr(pos_, kIntegerFieldSize));
    pos_ += kIntegerFieldSize;
    return true;
  }

  // A string field; false when its length or its text goes past the end of
  // the data. A negative length is no cut: the log is damaged.
  [[nodiscard]] bool ReadString(std::wstring& text) {
    const std::size_t field_offset = pos_;
    std::int32_t length = 0;
    if (!ReadInteger(length)) return false;
    if (length < 0) {
      throw FatalError(L"The install log " + Quoted(path_) + L" is damaged: the text at offset " +
                       std::to_wstring(field_offset) + L" has the negative length " +
                       std::to_wstring(length) + L".");
    }
    const auto size = static_cast<std::size_t>(length);
    if (size > left()) return false;
    text = AnsiToWide(bytes_.substr(pos_, size));
    pos_ += size;
    return true;
  }

 private:
  std::string_view bytes_;
  std::size_t pos_;
  std::wstring_view path_;
};

template <typename Entry>
void Append(std::vector<Entry>& list, Entry entry, std::wstring_view path, const wchar_t* what) {
  if (list.size() >= static_cast<std::size_t>(kMaxEntries)) {
    throw FatalError(L"The install log " + Quoted(path) + L" lists more than " +
                     std::to_wstring(kMaxEntries) + L" " + what +
                     L"; it cannot be used to uninstall.");
  }
  list.push_back(std::move(entry));
}

// Reads the fields of `layout` into `record`, in order; false when the
// record is cut short.
template <typename Record>
bool ReadFields(const RecordLayout<Record>& layout, FieldReader& in, Record& record) {
  for (const FieldLayout<Record>& field : layout.fields) {
    if (field.text != nullptr) {
      if (!in.ReadString(record.*field.text)) return false;
      continue;
    }
    std::int32_t value = 0;
    if (!in.ReadInteger(value)) return false;
    if (field.integer != nullptr) {
      record.*field.integer = value;
    } else {
      record.*field.flag = value != 0 ? kTrue : kFalse;
    }
  }
  return true;
}

// Reads the fields of one record of a list into `list`; false when the
// record is cut short, in which case nothing of it is stored.
template <typename Entry>
bool ReadEntry(const RecordLayout<Entry>& layout, FieldReader& in, std::vector<Entry>& list,
               std::wstring_view path, const wchar_t* what) {
  Entry entry;
  if (!ReadFields(layout, in, entry)) return false;
  Append(list, std::move(entry), path, what);
  return true;
}

// Reads the fields of one record of `kind` (1 to 4) into `log`; false when
// the record is cut short, in which case nothing of it is stored.
bool ReadRecord(std::uint8_t kind, FieldReader& in, std::wstring_view path, InstallLog& log) {
  switch (kind) {
    case kRecordAppInfo: {
      AppInfo info;
      if (!ReadFields(kAppInfoLayout, in, info)) return false;
      log.AppInfo = std::move(info);
      return true;
    }
    case kRecordFileEntry:
      return ReadEntry(kFileEntryLayout, in, log.Files, path, L"files");
    case kRecordRegKeyEntry:
      return ReadEntry(kRegKeyEntryLayout, in, log.RegKeys, path, L"registry keys");
    case kRecordLinkEntry:
      return ReadEntry(kLinkEntryLayout, in, log.Links, path, L"shell links");
    default:
      return true;
  }
}

void ShowWarning(Env& env, const std::wstring& text) {
  // The box offers no choice, and its answer is not looked at: whether it
  // could be shown changes nothing about what happens next.
  static_cast<void>(env.ShowMessage(text, std::nullopt, msgbox::kOkExclamation));
}

}  // namespace

ParsedInstallFile ParseInstallFile(std::string_view bytes, std::wstring_view path,
                                   InstallLog& log) {
  // Built aside and committed at the end, so that a throw leaves `log` as it was.
  InstallLog result;
  result.AppInfo = log.AppInfo;

  ParsedInstallFile parsed;
  parsed.magic_ok = bytes.substr(0, kInstallFileMagic.size()) == kInstallFileMagic;
  if (parsed.magic_ok) {
    FieldReader in(bytes, kInstallFileMagic.size(), path);
    while (!in.AtEnd()) {
      const std::size_t record_offset = in.offset();
      const std::uint8_t kind = in.TakeByte();
      if (!IsRecordKind(kind)) {
        if (parsed.skipped.size() < kMaxSkippedListed) {
          parsed.skipped.push_back({record_offset, kind});
        }
        ++parsed.skipped_count;
        continue;
      }
      if (!ReadRecord(kind, in, path, result)) {
        parsed.cut = CutRecord{record_offset, kind};
        break;
      }
    }
  }

  // Append() keeps every list at or below kMaxEntries entries.
  result.FileCount = static_cast<std::int16_t>(result.Files.size());
  result.RegKeyCount = static_cast<std::int16_t>(result.RegKeys.size());
  result.LinkCount = static_cast<std::int16_t>(result.Links.size());
  log = std::move(result);
  return parsed;
}

ParsedInstallFile InstallFile_Read(Env& env, std::wstring_view path, InstallLog& log) {
  const Probe probe = DirSearch(env, path, kSearchNormal);
  if (probe == Probe::kError) {
    throw FatalError(L"The install log " + Quoted(path) +
                     L" could not be looked for: the directory search failed.");
  }
  const bool not_found = probe != Probe::kMatch;
  const bool ends_in_backslash = !path.empty() && path.back() == L'\\';
  const bool empty = path.empty();
  if (not_found || ends_in_backslash || empty) {
    ShowWarning(env, L"internal error in InstallFile_Read(): file '" + std::wstring(path) +
                         L"' not found !");
    return {};
  }

  const Result<std::string> bytes = env.ReadWholeFile(path);
  if (!bytes.ok()) {
    throw FatalError(L"The install log " + Quoted(path) + L" could not be read.", bytes.code());
  }
  ParsedInstallFile parsed = ParseInstallFile(bytes.value(), path, log);
  if (!parsed.magic_ok) {
    ShowWarning(env, L"Error: the file '" + std::wstring(path) + L"' is no valid InstallFile !");
  }
  return parsed;
}

}  // namespace uninstall
