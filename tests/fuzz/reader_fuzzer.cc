// The install log reader on arbitrary bytes.
//
// Every input is parsed twice: by ParseInstallFile and by a plain model of
// the format written here, field by field with explicit offsets. The two
// must agree on everything: the records read, the bytes skipped, the record
// cut short, and whether and why the log is refused. Then:
// - a refused log (FatalError) leaves the InstallLog exactly as it was, and
//   is refused only for a negative string length or for more than 32767
//   records of one kind, as the model finds them in the bytes;
// - InstallFile_Read through the fake machine gives the same InstallLog,
//   shows the "no valid InstallFile" box exactly when the magic is wrong and
//   nothing else, and changes nothing on the machine;
// - what was read, written again with SerializeInstallFile, reads back the same.
// The last two are skipped for logs above 64 KiB (the repeated form).

#include "fuzz_input.h"
#include "installlog/format.h"
#include "installlog/reader.h"
#include "installlog/records.h"
#include "installlog/writer.h"
#include "platform/codepage.h"
#include "platform/fatal_error.h"
#include "tests/support/fake_env.h"

namespace uninstall::fuzz {
namespace {

constexpr wchar_t kLogPath[] = L"C:\\APP\\Uninstall.dat";

struct Expected {
  ParsedInstallFile parsed;
  std::vector<std::wstring> refusal;  // what the text of a refusal says; none: read
  InstallLog log;
};

// What is in the log before a read: a known AppInfo (it must survive a read
// without a kind-1 record) and lists that a read must empty.
const InstallLog kBeforeRead{
    .AppInfo = {L"before-path", L"before-name", L"before-main", L"before-group"},
    .FileCount = 1,
    .Files = {{L"s", L"t", kTrue}},
    .RegKeyCount = 1,
    .RegKeys = {{1, L"k", L"", L""}},
    .LinkCount = 1,
    .Links = {{L"f", L"n", L"p"}}};

std::int32_t Int32At(std::string_view bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t k = 4; k-- > 0;) v = v << 8 | static_cast<std::uint8_t>(bytes[at + k]);
  return static_cast<std::int32_t>(v);
}

// The format, read the long way: a field layout per kind ('S' string,
// 'I' integer), every field taken at an explicit offset.
constexpr std::array<std::string_view, 5> kLayouts = {"", "SSSS", "SSI", "ISSS", "SSS"};

Expected Model(std::string_view bytes) {
  Expected e;
  e.log.AppInfo = kBeforeRead.AppInfo;
  if (!bytes.starts_with("InstallFile")) return e;
  e.parsed.magic_ok = true;
  for (std::size_t p = 11; p < bytes.size();) {
    const std::size_t record_at = p;
    const auto kind = static_cast<std::uint8_t>(bytes[p++]);
    if (kind < 1 || kind >= kLayouts.size()) {
      if (++e.parsed.skipped_count <= kMaxSkippedListed)
        e.parsed.skipped.push_back({record_at, kind});
      continue;
    }
    std::vector<std::wstring> s;
    std::vector<std::int32_t> n;
    for (const char field : kLayouts[kind]) {
      if (bytes.size() - p < 4) break;
      const std::int32_t value = Int32At(bytes, p);
      p += 4;
      if (field == 'I') {
        n.push_back(value);
        continue;
      }
      if (value < 0) {  // named by the offset of its length field
        e.refusal = {L"negative length", L"offset " + std::to_wstring(p - 4) + L" "};
        return e;
      }
      if (static_cast<std::size_t>(value) > bytes.size() - p) break;
      s.push_back(AnsiToWide(bytes.substr(p, static_cast<std::size_t>(value))));
      p += static_cast<std::size_t>(value);
    }
    if (s.size() + n.size() < kLayouts[kind].size()) {  // a field ran past the end
      e.parsed.cut = CutRecord{record_at, kind};
      break;
    }
    const std::size_t listed[] = {0, 0, e.log.Files.size(), e.log.RegKeys.size(),
                                  e.log.Links.size()};
    if (listed[kind] == static_cast<std::size_t>(kMaxEntries)) {
      e.refusal = {L"lists more than 32767"};
      return e;
    }
    if (kind == 1) e.log.AppInfo = {s[0], s[1], s[2], s[3]};
    if (kind == 2) e.log.Files.push_back({s[0], s[1], n[0] != 0 ? kTrue : kFalse});
    if (kind == 3) e.log.RegKeys.push_back({n[0], s[0], s[1], s[2]});
    if (kind == 4) e.log.Links.push_back({s[0], s[1], s[2]});
  }
  e.log.FileCount = static_cast<std::int16_t>(e.log.Files.size());
  e.log.RegKeyCount = static_cast<std::int16_t>(e.log.RegKeys.size());
  e.log.LinkCount = static_cast<std::int16_t>(e.log.Links.size());
  return e;
}

// Runs `read` on kBeforeRead. A refusal must be the one the model predicts
// and leave the log as it was; a log read must be the model's. True if
// refused.
template <class Read>
bool CheckOutcome(const Expected& expected, const Read& read) {
  InstallLog log = kBeforeRead;
  try {
    read(log);
  } catch (const FatalError& error) {
    FUZZ_CHECK(!expected.refusal.empty());
    for (const std::wstring& part : expected.refusal) {
      FUZZ_CHECK(error.message().find(part) != std::wstring::npos);
    }
    FUZZ_CHECK(log == kBeforeRead);
    return true;
  }
  FUZZ_CHECK(expected.refusal.empty());
  FUZZ_CHECK(log == expected.log);
  return false;
}

void CheckParse(std::string_view bytes, const Expected& expected) {
  ParsedInstallFile parsed;
  const auto parse = [&](InstallLog& log) { parsed = ParseInstallFile(bytes, kLogPath, log); };
  if (CheckOutcome(expected, parse)) return;
  const ParsedInstallFile& e = expected.parsed;
  FUZZ_CHECK(parsed.magic_ok == e.magic_ok && parsed.skipped_count == e.skipped_count);
  FUZZ_CHECK(std::ranges::equal(parsed.skipped, e.skipped, [](SkippedByte a, SkippedByte b) {
    return a.offset == b.offset && a.value == b.value;
  }));
  FUZZ_CHECK(parsed.cut.has_value() == e.cut.has_value() &&
             (!e.cut || (parsed.cut->offset == e.cut->offset && parsed.cut->kind == e.cut->kind)));
}

void CheckRead(const std::string& bytes, const Expected& expected) {
  // One machine for every input, which costs half a run to build: the log
  // is written over and the record of calls emptied, and the checks below
  // fail on any call that would change the machine.
  static FakeEnv env;
  env.ClearEvents();
  env.AddFile(kLogPath, bytes);
  const bool refused = CheckOutcome(
      expected, [&](InstallLog& log) { static_cast<void>(InstallFile_Read(env, kLogPath, log)); });

  // The box for a wrong magic, and nothing else: no deletion, no write.
  const std::size_t boxes = !refused && !expected.parsed.magic_ok ? 1 : 0;
  FUZZ_CHECK(env.messages().size() == boxes && env.events().size() == boxes);
  for (const MessageCall& box : env.messages()) {
    FUZZ_CHECK(box.text == L"Error: the file 'C:\\APP\\Uninstall.dat' is no valid InstallFile !" &&
               !box.title.has_value() && box.style == msgbox::kOkExclamation);
  }
  const Result<std::string> after = env.ReadWholeFile(kLogPath);
  FUZZ_CHECK(after.ok() && after.value() == bytes);
}

void FuzzOne(const std::uint8_t* data, std::size_t size) {
  const std::string bytes = LogBytesFromInput(data, size);
  const Expected expected = Model(bytes);
  CheckParse(bytes, expected);
  // The read through the fake machine and the round trip cost as much as the
  // parse again; for the logs above 64 KiB, of thousands of records (the
  // repeated form), they add nothing that the small ones do not check.
  if (bytes.size() > std::size_t{64} * 1024) return;
  CheckRead(bytes, expected);

  // Written again and read back: the same records. The writer's only
  // skipped bytes are its line end.
  if (!expected.parsed.magic_ok || !expected.refusal.empty()) return;
  const InstallLog& log = expected.log;  // what the parse gave (checked before)
  const std::string again =
      SerializeInstallFile(log.AppInfo, log.FileCount, log.Files, log.RegKeyCount, log.RegKeys,
                           log.LinkCount, log.Links);
  InstallLog reread;
  const ParsedInstallFile second = ParseInstallFile(again, kLogPath, reread);
  FUZZ_CHECK(second.magic_ok && !second.cut.has_value());
  FUZZ_CHECK(second.skipped_count == kInstallFileLineEnd.size());
  FUZZ_CHECK(reread == log);
}

}  // namespace
}  // namespace uninstall::fuzz

FUZZ_TARGET
