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
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
constexpr std::size_t kThoroughMaxBytes = std::size_t{64} * 1024;

enum class Refusal { kNone, kNegativeLength, kTooManyRecords };

struct Expected {
  bool magic_ok = false;
  Refusal refusal = Refusal::kNone;
  std::size_t negative_length_offset = 0;  // of the offending length field
  std::optional<CutRecord> cut;
  std::vector<SkippedByte> skipped;  // the first kMaxSkippedListed
  std::size_t skipped_count = 0;
  InstallLog log;
};

// What is in the log before a read: a known AppInfo (it must survive a read
// without a kind-1 record) and lists that a read must empty.
InstallLog LogBeforeRead() {
  InstallLog log;
  log.AppInfo = {L"before-path", L"before-name", L"before-main", L"before-group"};
  log.Files = {{L"s", L"t", kTrue}};
  log.FileCount = 1;
  log.RegKeys = {{1, L"k", L"", L""}};
  log.RegKeyCount = 1;
  log.Links = {{L"f", L"n", L"p"}};
  log.LinkCount = 1;
  return log;
}

std::int32_t Int32At(std::string_view bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + k])) << (8 * k);
  }
  return static_cast<std::int32_t>(v);
}

// The format, read the long way: a field layout per kind ('S' string,
// 'I' integer), every field taken at an explicit offset.
Expected Model(std::string_view bytes, const InstallLog& before) {
  Expected e;
  e.log.AppInfo = before.AppInfo;
  if (bytes.size() < 11 || bytes.substr(0, 11) != "InstallFile") return e;
  e.magic_ok = true;

  std::size_t p = 11;
  while (p < bytes.size()) {
    const std::size_t record_at = p;
    const auto kind = static_cast<std::uint8_t>(bytes[p++]);
    const char* layout = nullptr;
    switch (kind) {
      case 1:
        layout = "SSSS";
        break;
      case 2:
        layout = "SSI";
        break;
      case 3:
        layout = "ISSS";
        break;
      case 4:
        layout = "SSS";
        break;
      default:
        if (e.skipped.size() < kMaxSkippedListed) e.skipped.push_back({record_at, kind});
        ++e.skipped_count;
        continue;
    }
    std::vector<std::wstring> strings;
    std::vector<std::int32_t> integers;
    bool cut = false;
    for (const char* f = layout; *f != '\0' && !cut; ++f) {
      if (bytes.size() - p < 4) {
        cut = true;
        break;
      }
      const std::size_t field_at = p;
      const std::int32_t value = Int32At(bytes, p);
      p += 4;
      if (*f == 'I') {
        integers.push_back(value);
        continue;
      }
      if (value < 0) {
        e.refusal = Refusal::kNegativeLength;
        e.negative_length_offset = field_at;
        return e;
      }
      if (static_cast<std::size_t>(value) > bytes.size() - p) {
        cut = true;
        break;
      }
      strings.push_back(AnsiToWide(bytes.substr(p, static_cast<std::size_t>(value))));
      p += static_cast<std::size_t>(value);
    }
    if (cut) {
      e.cut = CutRecord{record_at, kind};
      break;
    }

    const auto full = [](std::size_t size) {
      return size == static_cast<std::size_t>(kMaxEntries);
    };
    if (kind == 1) {
      e.log.AppInfo = {strings[0], strings[1], strings[2], strings[3]};
    } else if (kind == 2) {
      if (full(e.log.Files.size())) {
        e.refusal = Refusal::kTooManyRecords;
        return e;
      }
      e.log.Files.push_back({strings[0], strings[1], integers[0] != 0 ? kTrue : kFalse});
    } else if (kind == 3) {
      if (full(e.log.RegKeys.size())) {
        e.refusal = Refusal::kTooManyRecords;
        return e;
      }
      e.log.RegKeys.push_back({integers[0], strings[0], strings[1], strings[2]});
    } else {
      if (full(e.log.Links.size())) {
        e.refusal = Refusal::kTooManyRecords;
        return e;
      }
      e.log.Links.push_back({strings[0], strings[1], strings[2]});
    }
  }
  e.log.FileCount = static_cast<std::int16_t>(e.log.Files.size());
  e.log.RegKeyCount = static_cast<std::int16_t>(e.log.RegKeys.size());
  e.log.LinkCount = static_cast<std::int16_t>(e.log.Links.size());
  return e;
}

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

// A refusal is the one the model predicts, with the offset of a negative
// length named in its text.
void CheckRefusal(const FatalError& error, const Expected& expected) {
  FUZZ_CHECK(expected.refusal != Refusal::kNone);
  if (expected.refusal == Refusal::kNegativeLength) {
    FUZZ_CHECK(Contains(error.message(), L"negative length"));
    FUZZ_CHECK(Contains(error.message(),
                        L"offset " + std::to_wstring(expected.negative_length_offset) + L" "));
  } else {
    FUZZ_CHECK(Contains(error.message(), L"lists more than 32767"));
  }
}

void CheckParse(std::string_view bytes, const Expected& expected) {
  InstallLog log = LogBeforeRead();
  const InstallLog before = log;
  ParsedInstallFile parsed;
  try {
    parsed = ParseInstallFile(bytes, kLogPath, log);
  } catch (const FatalError& error) {
    CheckRefusal(error, expected);
    FUZZ_CHECK(log == before);
    return;
  }
  FUZZ_CHECK(expected.refusal == Refusal::kNone);
  FUZZ_CHECK(parsed.magic_ok == expected.magic_ok);
  FUZZ_CHECK(log == expected.log);
  FUZZ_CHECK(parsed.cut.has_value() == expected.cut.has_value());
  if (parsed.cut) {
    FUZZ_CHECK(parsed.cut->offset == expected.cut->offset);
    FUZZ_CHECK(parsed.cut->kind == expected.cut->kind);
  }
  FUZZ_CHECK(parsed.skipped_count == expected.skipped_count);
  FUZZ_CHECK(parsed.skipped.size() == expected.skipped.size());
  for (std::size_t i = 0; i < parsed.skipped.size(); ++i) {
    FUZZ_CHECK(parsed.skipped[i].offset == expected.skipped[i].offset);
    FUZZ_CHECK(parsed.skipped[i].value == expected.skipped[i].value);
  }
}

// Written again and read back: the same records. The writer's only skipped
// bytes are its line end.
void CheckRoundTrip(const Expected& expected) {
  if (!expected.magic_ok || expected.refusal != Refusal::kNone) return;
  const InstallLog& log = expected.log;  // what the parse gave (checked before)
  const std::string again =
      SerializeInstallFile(log.AppInfo, log.FileCount, log.Files, log.RegKeyCount, log.RegKeys,
                           log.LinkCount, log.Links);
  InstallLog reread;
  const ParsedInstallFile second = ParseInstallFile(again, kLogPath, reread);
  FUZZ_CHECK(second.magic_ok);
  FUZZ_CHECK(!second.cut.has_value());
  FUZZ_CHECK(second.skipped_count == kInstallFileLineEnd.size());
  FUZZ_CHECK(reread == log);
}

void CheckRead(const std::string& bytes, const Expected& expected) {
  // One machine for every input, which costs half a run to build: the log
  // is written over and the record of calls emptied, and the checks below
  // fail on any call that would change the machine.
  static FakeEnv env;
  env.ClearEvents();
  env.AddFile(kLogPath, bytes);
  InstallLog log = LogBeforeRead();
  const InstallLog before = log;
  bool refused = false;
  try {
    InstallFile_Read(env, kLogPath, log);
  } catch (const FatalError& error) {
    CheckRefusal(error, expected);
    FUZZ_CHECK(log == before);
    refused = true;
  }
  if (!refused) {
    FUZZ_CHECK(expected.refusal == Refusal::kNone);
    FUZZ_CHECK(log == expected.log);
  }

  // The box for a wrong magic, and nothing else: no deletion, no write.
  const std::size_t boxes = !refused && !expected.magic_ok ? 1 : 0;
  FUZZ_CHECK(env.messages().size() == boxes);
  FUZZ_CHECK(env.events().size() == boxes);
  if (boxes == 1) {
    FUZZ_CHECK(env.messages()[0].text ==
               L"Error: the file 'C:\\APP\\Uninstall.dat' is no valid InstallFile !");
    FUZZ_CHECK(!env.messages()[0].title.has_value());
    FUZZ_CHECK(env.messages()[0].style == msgbox::kOkExclamation);
  }
  const Result<std::string> after = env.ReadWholeFile(kLogPath);
  FUZZ_CHECK(after.ok() && after.value() == bytes);
}

int FuzzOne(const std::uint8_t* data, std::size_t size) {
  const std::string bytes = LogBytesFromInput(data, size);
  const Expected expected = Model(bytes, LogBeforeRead());
  CheckParse(bytes, expected);
  // The read through the fake machine and the round trip cost as much as the
  // parse again; for the logs of thousands of records (the repeated form)
  // they add nothing that the small ones do not check.
  if (bytes.size() <= kThoroughMaxBytes) {
    CheckRoundTrip(expected);
    CheckRead(bytes, expected);
  }
  return 0;
}

}  // namespace
}  // namespace uninstall::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return uninstall::fuzz::FuzzOne(data, size);
}
