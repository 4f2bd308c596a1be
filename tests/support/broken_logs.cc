#include "support/broken_logs.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

#include "installlog/format.h"
#include "platform/codepage.h"

namespace uninstall::broken_logs {
namespace {

// One field of a record: an integer, or a string.
struct Field {
  const char* name;
  bool integer = false;
  std::int32_t value = 0;
  std::wstring text;
};

struct Record {
  std::uint8_t kind;
  const char* kind_name;
  std::vector<Field> fields;
};

std::string Encode(const Field& field) {
  if (field.integer) return EncodeLong(field.value);
  const std::string text = WideToAnsi(field.text);
  return EncodeLong(static_cast<std::int32_t>(text.size())) + text;
}

std::string Encode(const Record& record) {
  std::string out(1, static_cast<char>(record.kind));
  for (const Field& field : record.fields) out += Encode(field);
  return out;
}

Field Str(const char* name, std::wstring text) { return {name, false, 0, std::move(text)}; }
Field Int(const char* name, std::int32_t value) { return {name, true, value, {}}; }

std::string Header() { return std::string(kInstallFileMagic) + std::string(kInstallFileLineEnd); }

std::vector<Record> ToolRecordList() {
  return {
      {1,
       "app_info",
       {Str("AppPath", L"%currentdir%"), Str("AppName", L"Tool"),
        Str("MainPath", L"%currentdir%\\tool.exe"), Str("GroupName", L"Tool")}},
      {2,
       "file",
       {Str("SourcePath", L"tool.exe"), Str("TargetPath", L"%currentdir%\\tool.exe"),
        Int("KeepFile", 0)}},
      {2,
       "file",
       {Str("SourcePath", L"a.dat"), Str("TargetPath", L"%currentdir%\\data\\a.dat"),
        Int("KeepFile", 0)}},
      {2,
       "file",
       {Str("SourcePath", L"user.cfg"), Str("TargetPath", L"%currentdir%\\user.cfg"),
        Int("KeepFile", -1)}},
      {3,
       "key",
       {Int("RootKey", kHklm), Str("SubKey", L"Software\\Tool\\Settings"), Str("Extra1", L""),
        Str("Extra2", L"")}},
      {3,
       "key",
       {Int("RootKey", kHklm), Str("SubKey", L"Software\\Tool"), Str("Extra1", L""),
        Str("Extra2", L"")}},
      {4,
       "link",
       {Str("FolderName", L"%userfolder%"), Str("LinkName", L"Tool"),
        Str("LinkPath", L"%currentdir%\\tool.exe")}},
  };
}

std::vector<Record> Decoys() {
  return {
      {1,
       "app_info",
       {Str("AppPath", L"C:\\Shared\\"), Str("AppName", L"Shared"),
        Str("MainPath", L"C:\\Shared\\lib.dll"), Str("GroupName", L"Shared")}},
      {2,
       "file",
       {Str("SourcePath", L"lib.dll"), Str("TargetPath", L"C:\\Shared\\lib.dll.old"),
        Int("KeepFile", 0)}},
      {3,
       "key",
       {Int("RootKey", kHklm), Str("SubKey", L"Software\\SharedData"), Str("Extra1", L"x1"),
        Str("Extra2", L"x2")}},
      {4,
       "link",
       {Str("FolderName", L"Shared"), Str("LinkName", L"Shared Tool"),
        Str("LinkPath", L"C:\\Shared\\lib.dll")}},
  };
}

const Record& Decoy(std::uint8_t kind) {
  static const std::vector<Record> decoys = Decoys();
  return decoys[kind - 1];
}

std::string Repeat(const std::string& unit, std::size_t times) {
  std::string out;
  out.reserve(unit.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += unit;
  return out;
}

Case ToolCase(std::string name, std::string bytes) {
  return {std::move(name), std::move(bytes), Access::kNormal, Outcome::kToolRemoved, L"Tool"};
}

// Tool's log followed by a decoy cut short at every field: right after the
// kind byte, inside each integer, inside each string's length and inside
// each string's text (four characters before its end, so that the cut path
// names something real; a short text is cut in half).
void AddCutDecoys(std::vector<Case>& cases) {
  const std::string tool = ToolLogBytes();
  for (std::uint8_t kind = 1; kind <= 4; ++kind) {
    const Record& decoy = Decoy(kind);
    std::string prefix(1, static_cast<char>(kind));
    const std::string base = std::string("cut_") + decoy.kind_name + "_";
    cases.push_back(ToolCase(base + "after_kind", tool + prefix));
    for (const Field& field : decoy.fields) {
      const std::string whole = Encode(field);
      if (field.integer) {
        cases.push_back(ToolCase(base + "in_" + field.name, tool + prefix + whole.substr(0, 2)));
      } else {
        cases.push_back(
            ToolCase(base + "in_" + field.name + "_length", tool + prefix + whole.substr(0, 2)));
        const std::size_t text_size = whole.size() - kIntegerFieldSize;
        const std::size_t kept = text_size > 4 ? text_size - 4 : text_size / 2;
        cases.push_back(ToolCase(base + "in_" + field.name + "_text",
                                 tool + prefix + whole.substr(0, kIntegerFieldSize + kept)));
      }
      prefix += whole;
    }
  }
}

}  // namespace

std::vector<std::string> ToolRecords() {
  std::vector<std::string> out{Header()};
  for (const Record& record : ToolRecordList()) out.push_back(Encode(record));
  return out;
}

std::string ToolLogBytes() {
  std::string out;
  for (const std::string& part : ToolRecords()) out += part;
  return out;
}

std::string WholeDecoy(std::uint8_t kind) { return Encode(Decoy(kind)); }

std::vector<Case> Cases() {
  const std::string tool = ToolLogBytes();
  const std::string records = tool.substr(Header().size());
  const auto not_valid = [](std::string name, std::string bytes) {
    return Case{std::move(name), std::move(bytes), Access::kNormal, Outcome::kNoValidInstallFile,
                L""};
  };
  const auto nothing_read = [](std::string name, std::string bytes) {
    return Case{std::move(name), std::move(bytes), Access::kNormal, Outcome::kNothingRead, L""};
  };
  const auto refused = [](std::string name, std::string bytes, Access access = Access::kNormal) {
    return Case{std::move(name), std::move(bytes), access, Outcome::kRefused, L""};
  };

  std::vector<Case> cases;
  // No magic.
  cases.push_back(not_valid("empty_file", ""));
  cases.push_back(not_valid("ten_bytes", "InstallFil"));
  cases.push_back(not_valid("magic_in_lower_case", "installfile\r\n" + records));
  cases.push_back(not_valid("magic_in_upper_case", "INSTALLFILE\r\n" + records));
  cases.push_back(not_valid("magic_in_mixed_case", "InstallfILE\r\n" + records));

  // The magic and nothing else.
  cases.push_back(nothing_read("magic_only", std::string(kInstallFileMagic)));
  cases.push_back(nothing_read("magic_and_line_end", Header()));

  // Whole records, laid out unlike the writer does it.
  cases.push_back(ToolCase("records_without_line_end", std::string(kInstallFileMagic) + records));
  {
    // Bytes of no record kind before, between and after the records.
    static constexpr std::array<std::string_view, 8> kJunk = {std::string_view("\0", 1),
                                                              "\x05",
                                                              "\xFF\x80",
                                                              "\r\n",
                                                              "\x7F",
                                                              "\x06\x06",
                                                              "\xC8",
                                                              "\r\n\r\n"};
    const std::vector<std::string> parts = ToolRecords();
    std::string bytes;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      bytes += parts[i];
      bytes += kJunk[i % kJunk.size()];
    }
    cases.push_back(ToolCase("unknown_kinds_between_records", bytes));
  }
  // Thousands of kind-1 records: the decoy's, whole, then Tool's own, whose
  // AppInfo is read last and stands.
  cases.push_back(
      ToolCase("thousands_of_app_infos", Header() + Repeat(Encode(Decoy(1)), 4999) + records));
  {
    // Tool's link repeated up to the 32767 links a log can list: accepted.
    const std::string link = ToolRecords().back();
    cases.push_back(ToolCase("links_at_the_limit", tool + Repeat(link, 32766)));
  }

  // Cut short, in every field of every kind.
  AddCutDecoys(cases);

  // String lengths that cannot be.
  {
    std::string bytes = tool + "\x02";
    bytes += EncodeLong(-1) + "lib.dll";
    cases.push_back(refused("negative_length", bytes));
  }
  {
    std::string bytes = tool + "\x04" + Encode(Str("FolderName", L"Shared"));
    bytes += EncodeLong(static_cast<std::int32_t>(0x80000000u)) + "Shared Tool";
    cases.push_back(refused("most_negative_length", bytes));
  }
  {
    std::string bytes = tool + "\x03" + EncodeLong(kHklm);
    bytes += EncodeLong(0x7FFFFFFF) + "Software\\SharedData" + Encode(Str("", L"x1"));
    cases.push_back(ToolCase("length_2g_minus_1", bytes));
  }
  {
    std::string bytes = Header() + "\x01";
    bytes += EncodeLong(0x7FFFFFFF) + records;
    cases.push_back(nothing_read("length_2g_minus_1_in_first_record", bytes));
  }

  // More links than the 16-bit count holds: Tool's and 32767 decoys.
  cases.push_back(refused("too_many_links", tool + Repeat(Encode(Decoy(4)), 32767)));

  // A sound log that cannot be read.
  cases.push_back(refused("locked_by_another_process", tool, Access::kLocked));
  cases.push_back(refused("cannot_be_opened", tool, Access::kUnreadable));
  return cases;
}

}  // namespace uninstall::broken_logs
