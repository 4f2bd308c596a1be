#include "support/broken_logs.h"

#include <array>
#include <cstddef>
#include <numeric>
#include <string_view>
#include <utility>

#include "installlog/format.h"
#include "tests/support/log_builder.h"

namespace uninstall::broken_logs {
namespace {

using namespace std::string_literals;
using log_builder::BadStr;
using log_builder::Header;
using log_builder::Int;
using log_builder::Kind;
using log_builder::Repeat;
using log_builder::Str;
using log_builder::Value;
using enum Outcome;

// The kinds as the names of the cases spell them.
constexpr std::array<std::string_view, 5> kKindNames = {"", "app_info", "file", "key", "link"};

// The field values of the decoy record of `kind` (1 to 4).
const std::vector<Value>& Decoy(std::uint8_t kind) {
  static const std::vector<std::vector<Value>> decoys = {
      {"C:\\Shared\\", "Shared", "C:\\Shared\\lib.dll", "Shared"},
      {"lib.dll", "C:\\Shared\\lib.dll.old", 0},
      {kHklm, "Software\\SharedData", "x1", "x2"},
      {"Shared", "Shared Tool", "C:\\Shared\\lib.dll"},
  };
  return decoys[kind - 1];
}

// A case whose outcome is `outcome`; the question names Tool where Tool's
// records are read.
Case Make(std::string name, std::string bytes, Outcome outcome = kToolRemoved,
          Access access = Access::kNormal) {
  return {std::move(name), std::move(bytes), access, outcome,
          outcome == kToolRemoved ? L"Tool" : L""};
}

// The header and each of Tool's records on its own (the header first), so
// that bytes can be put between them.
std::vector<std::string> ToolRecords() {
  return {Header(),
          log_builder::AppRec("%currentdir%", "Tool", "%currentdir%\\tool.exe", "Tool"),
          log_builder::FileRec("tool.exe", "%currentdir%\\tool.exe", 0),
          log_builder::FileRec("a.dat", "%currentdir%\\data\\a.dat", 0),
          log_builder::FileRec("user.cfg", "%currentdir%\\user.cfg", -1),
          log_builder::KeyRec(kHklm, "Software\\Tool\\Settings", "", ""),
          log_builder::KeyRec(kHklm, "Software\\Tool", "", ""),
          log_builder::LinkRec("%userfolder%", "Tool", "%currentdir%\\tool.exe")};
}

// Tool's log followed by a decoy cut short at every field: right after the
// kind byte, inside each integer, inside each string's length and inside
// each string's text (four characters before its end, so that the cut path
// names something real; a short text is cut in half).
void AddCutDecoys(std::vector<Case>& cases) {
  const std::string tool = ToolLogBytes();
  for (std::uint8_t kind = 1; kind <= 4; ++kind) {
    const auto record_kind = static_cast<RecordKind>(kind);
    const std::string base = "cut_" + std::string(kKindNames[kind]) + "_";
    const std::vector<std::string> fields = log_builder::Fields(record_kind, Decoy(kind));
    const auto cut = [&](std::size_t field, std::size_t kept) {
      return tool + log_builder::CutRecord(record_kind, Decoy(kind), field, kept);
    };
    cases.push_back(Make(base + "after_kind", cut(0, 0)));
    VisitRecordLayout(kind, [&](const auto& layout) {
      for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string name = base + "in_" + std::string(layout.fields[i].name);
        const bool integer = layout.fields[i].type() == FieldType::kInteger;
        cases.push_back(Make(name + (integer ? "" : "_length"), cut(i, 2)));
        if (integer) continue;
        const std::size_t text_size = fields[i].size() - kIntegerFieldSize;
        const std::size_t kept = text_size > 4 ? text_size - 4 : text_size / 2;
        cases.push_back(Make(name + "_text", cut(i, kIntegerFieldSize + kept)));
      }
    });
  }
}

}  // namespace

std::string ToolLogBytes() {
  const std::vector<std::string> parts = ToolRecords();
  return std::accumulate(parts.begin(), parts.end(), std::string());
}

std::string WholeDecoy(std::uint8_t kind) {
  return log_builder::Record(static_cast<RecordKind>(kind), Decoy(kind));
}

std::vector<Case> Cases() {
  const std::string tool = ToolLogBytes();
  const std::string records = tool.substr(Header().size());
  const std::string magic(kInstallFileMagic);
  std::vector<Case> cases = {
      // No magic.
      Make("empty_file", "", kNoValidInstallFile),
      Make("ten_bytes", "InstallFil", kNoValidInstallFile),
      Make("magic_in_lower_case", "installfile\r\n" + records, kNoValidInstallFile),
      Make("magic_in_upper_case", "INSTALLFILE\r\n" + records, kNoValidInstallFile),
      Make("magic_in_mixed_case", "InstallfILE\r\n" + records, kNoValidInstallFile),
      // The magic and nothing else.
      Make("magic_only", magic, kNothingRead),
      Make("magic_and_line_end", Header(), kNothingRead),
      // Whole records, laid out unlike the writer does it.
      Make("records_without_line_end", magic + records),
  };
  // Bytes of no record kind before, between and after the records.
  const std::array<std::string, 8> junk = {"\0"s,  "\x05",     "\xFF\x80", "\r\n",
                                           "\x7F", "\x06\x06", "\xC8",     "\r\n\r\n"};
  std::string junk_between;
  const std::vector<std::string> parts = ToolRecords();
  for (std::size_t i = 0; i < parts.size(); ++i) junk_between += parts[i] + junk[i % junk.size()];
  cases.push_back(Make("unknown_kinds_between_records", junk_between));
  // Thousands of kind-1 records: the decoy's, whole, then Tool's own, whose
  // AppInfo is read last and stands.
  cases.push_back(Make("thousands_of_app_infos", Header() + Repeat(WholeDecoy(1), 4999) + records));
  // Tool's link repeated up to the 32767 links a log can list: accepted.
  cases.push_back(Make("links_at_the_limit", tool + Repeat(parts.back(), 32766)));

  // Cut short, in every field of every kind.
  AddCutDecoys(cases);

  // String lengths that cannot be.
  const std::vector<Case> lengths = {
      Make("negative_length", tool + Kind(kRecordFileEntry) + BadStr(-1, "lib.dll"), kRefused),
      Make("most_negative_length",
           tool + Kind(kRecordLinkEntry) + Str("Shared") + BadStr(INT32_MIN, "Shared Tool"),
           kRefused),
      Make("length_2g_minus_1", tool + Kind(kRecordRegKeyEntry) + Int(kHklm) +
                                    BadStr(INT32_MAX, "Software\\SharedData") + Str("x1")),
      Make("length_2g_minus_1_in_first_record",
           Header() + Kind(kRecordAppInfo) + BadStr(INT32_MAX, records), kNothingRead),
      // More links than the 16-bit count holds: Tool's and 32767 decoys.
      Make("too_many_links", tool + Repeat(WholeDecoy(4), 32767), kRefused),
      // A sound log that cannot be read.
      Make("locked_by_another_process", tool, kRefused, Access::kLocked),
      Make("cannot_be_opened", tool, kRefused, Access::kUnreadable),
  };
  cases.insert(cases.end(), lengths.begin(), lengths.end());
  return cases;
}

}  // namespace uninstall::broken_logs
