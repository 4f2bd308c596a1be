#include "support/broken_logs.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

#include "installlog/format.h"
#include "tests/support/log_builder.h"

namespace uninstall::broken_logs {
namespace {

using log_builder::Header;
using log_builder::Int;
using log_builder::Kind;
using log_builder::Repeat;
using log_builder::Str;
using log_builder::Value;

// A record as the cases use it: its kind and its field values.
struct Record {
  RecordKind kind;
  std::vector<Value> values;
};

std::string Encode(const Record& record) { return log_builder::Record(record.kind, record.values); }

// The kinds as the names of the cases spell them.
constexpr std::array<std::string_view, 5> kKindNames = {"", "app_info", "file", "key", "link"};

std::vector<Record> ToolRecordList() {
  return {
      {kRecordAppInfo, {"%currentdir%", "Tool", "%currentdir%\\tool.exe", "Tool"}},
      {kRecordFileEntry, {"tool.exe", "%currentdir%\\tool.exe", 0}},
      {kRecordFileEntry, {"a.dat", "%currentdir%\\data\\a.dat", 0}},
      {kRecordFileEntry, {"user.cfg", "%currentdir%\\user.cfg", -1}},
      {kRecordRegKeyEntry, {kHklm, "Software\\Tool\\Settings", "", ""}},
      {kRecordRegKeyEntry, {kHklm, "Software\\Tool", "", ""}},
      {kRecordLinkEntry, {"%userfolder%", "Tool", "%currentdir%\\tool.exe"}},
  };
}

std::vector<Record> Decoys() {
  return {
      {kRecordAppInfo, {"C:\\Shared\\", "Shared", "C:\\Shared\\lib.dll", "Shared"}},
      {kRecordFileEntry, {"lib.dll", "C:\\Shared\\lib.dll.old", 0}},
      {kRecordRegKeyEntry, {kHklm, "Software\\SharedData", "x1", "x2"}},
      {kRecordLinkEntry, {"Shared", "Shared Tool", "C:\\Shared\\lib.dll"}},
  };
}

const Record& Decoy(std::uint8_t kind) {
  static const std::vector<Record> decoys = Decoys();
  return decoys[kind - 1];
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
    const std::string base = "cut_" + std::string(kKindNames[kind]) + "_";
    const std::vector<std::string> fields = log_builder::Fields(decoy.kind, decoy.values);
    const auto cut = [&](std::size_t field, std::size_t kept) {
      return tool + log_builder::CutRecord(decoy.kind, decoy.values, field, kept);
    };
    cases.push_back(ToolCase(base + "after_kind", cut(0, 0)));
    VisitRecordLayout(kind, [&](const auto& layout) {
      for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string name = base + "in_" + std::string(layout.fields[i].name);
        if (layout.fields[i].type() == FieldType::kInteger) {
          cases.push_back(ToolCase(name, cut(i, 2)));
          continue;
        }
        cases.push_back(ToolCase(name + "_length", cut(i, 2)));
        const std::size_t text_size = fields[i].size() - kIntegerFieldSize;
        const std::size_t kept = text_size > 4 ? text_size - 4 : text_size / 2;
        cases.push_back(ToolCase(name + "_text", cut(i, kIntegerFieldSize + kept)));
      }
    });
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
    cases.push_back(refused("negative_length",
                            tool + Kind(kRecordFileEntry) + log_builder::BadStr(-1, "lib.dll")));
  }
  {
    cases.push_back(
        refused("most_negative_length", tool + Kind(kRecordLinkEntry) + Str("Shared") +
                                            log_builder::BadStr(INT32_MIN, "Shared Tool")));
  }
  {
    cases.push_back(
        ToolCase("length_2g_minus_1", tool + Kind(kRecordRegKeyEntry) + Int(kHklm) +
                                          log_builder::BadStr(INT32_MAX, "Software\\SharedData") +
                                          Str("x1")));
  }
  {
    cases.push_back(
        nothing_read("length_2g_minus_1_in_first_record",
                     Header() + Kind(kRecordAppInfo) + log_builder::BadStr(INT32_MAX, records)));
  }

  // More links than the 16-bit count holds: Tool's and 32767 decoys.
  cases.push_back(refused("too_many_links", tool + Repeat(Encode(Decoy(4)), 32767)));

  // A sound log that cannot be read.
  cases.push_back(refused("locked_by_another_process", tool, Access::kLocked));
  cases.push_back(refused("cannot_be_opened", tool, Access::kUnreadable));
  return cases;
}

}  // namespace uninstall::broken_logs
