#include "installlog/reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "platform/fatal_error.h"
#include "tests/support/fake_env.h"
#include "tests/support/install_logs.h"
#include "tests/support/log_builder.h"

namespace uninstall {
namespace {

using namespace std::string_literals;

using log_builder::AppRec;
using log_builder::BadStr;
using log_builder::FileRec;
using log_builder::Int;
using log_builder::KeyRec;
using log_builder::Kind;
using log_builder::LinkRec;
using log_builder::Show;
using log_builder::Str;
const std::string kMagic(kInstallFileMagic);
const std::string kHeader = log_builder::Header();
const std::wstring kLogPath = L"C:\\App\\Uninstall.dat";

constexpr std::int32_t kHklm = *RootKeyByName("HKEY_LOCAL_MACHINE");

// A log as a previous read may have left it: every read starts from this.
InstallLog PreviousLog() {
  return MakeInstallLog({L"old path", L"Old", L"old main", L"Old Group"},
                        {{L"s", L"C:\\old.txt", kFalse}}, {{kHklm, L"Software\\Old", L"", L""}},
                        {{L"Old Group", L"Old", L"C:\\old.exe"}});
}
// PreviousLog() with its lists emptied, as Show shows it.
const std::string kOldApp = "app: old path|Old|old main|Old Group";

// What `read` does to PreviousLog(), in one line: the log as Show shows it
// ("unchanged" when it is still PreviousLog()), " [no magic]", the record
// cut short; or the error with its code, and " [log changed]" if the log
// was changed before it.
std::string Outcome(const std::function<ParsedInstallFile(InstallLog&)>& read) {
  InstallLog log = PreviousLog();
  try {
    const ParsedInstallFile parsed = read(log);
    std::string out = log == PreviousLog() ? "unchanged" : Show(log);
    if (!parsed.magic_ok) out += " [no magic]";
    if (parsed.cut) {
      out += " [cut " + std::string(RecordName(parsed.cut->kind)) + " at " +
             std::to_string(parsed.cut->offset) + "]";
    }
    return out;
  } catch (const FatalError& error) {
    return "error " + std::to_string(error.code()) + ": " + Show(error.message()) +
           (log == PreviousLog() ? "" : " [log changed]");
  }
}
std::string Parse(std::string_view bytes) {
  return Outcome([&](InstallLog& log) { return ParseInstallFile(bytes, kLogPath, log); });
}

// --- Parsing --------------------------------------------------------------

// Bytes, and what Parse gives for them.
using ParseCase = std::pair<std::string, std::string>;

std::vector<ParseCase> ParseCases() {
  const std::string app = AppRec("%currentdir%", "My App", "%currentdir%\\app.exe", "My Group");
  const std::string file1 = FileRec("a.dll", "%windir%\\a.dll", 0);
  const std::string file2 = FileRec("b.exe", "%currentdir%\\b.exe", -1);
  const std::string key = KeyRec(kHklm, "Software\\My App", "x", "y");
  const std::string link = LinkRec("My Group", "My App", "%currentdir%\\app.exe");
  const std::string body = app + file1 + file2 + key + link;
  const std::string full =
      "app: %currentdir%|My App|%currentdir%\\app.exe|My Group; "
      "files: a.dll|%windir%\\a.dll|0, b.exe|%currentdir%\\b.exe|-1; "
      "keys: HKLM|Software\\My App|x|y; links: My Group|My App|%currentdir%\\app.exe";
  const std::string first_app = AppRec("p1", "First", "m1", "g1");
  const auto negative = [](int offset, const std::string& length) {
    return "error 0: The install log 'C:\\App\\Uninstall.dat' is damaged: the text at offset " +
           std::to_string(offset) + " has the negative length " + length + ".";
  };
  std::vector<ParseCase> cases;
  for (std::size_t n = 0; n <= 10; ++n) {
    cases.emplace_back(kMagic.substr(0, n), kOldApp + " [no magic]");  // short
  }
  const std::vector<ParseCase> table = {
      // The magic in another case, or after junk.
      {"installfile\r\n" + body, kOldApp + " [no magic]"},
      {"INSTALLFILE\r\n" + body, kOldApp + " [no magic]"},
      {"\r\nInstallFile\r\n" + body, kOldApp + " [no magic]"},
      // The magic alone, with its line end, and before the records with and
      // without the line end, with junk between records.
      {kMagic, kOldApp},
      {kHeader, kOldApp},
      {kHeader + body, full},
      {kMagic + body, full},
      {kMagic + "\r\n\r\n\x00"s + app + "\xFF\x05" + file1 + "\x80" + file2 + "\x7F" + key +
           "\x00"s + link + "\r\n",
       full},
      // Two AppInfo records: the later stands, also when it is the last record.
      {kHeader + first_app + body, full},
      {kHeader + first_app + link + key + file1 + file2 + app, full},
      // No AppInfo record keeps the old one.
      {kHeader + LinkRec("G", "L", "P") + FileRec("S", "T", 0),
       kOldApp + "; files: S|T|0; links: G|L|P"},
      // Any non-zero KeepFile is true.
      {kHeader + FileRec("", "1", 1) + FileRec("", "2", -1) + FileRec("", "3", INT32_MIN) +
           FileRec("", "4", 0) + FileRec("", "5", 2),
       kOldApp + "; files: |1|-1, |2|-1, |3|-1, |4|0, |5|-1"},
      // Empty strings.
      {kHeader + AppRec("", "", "", "") + KeyRec(0, "", "", "k"), "app: |||; keys: 0|||k"},
      // The 33 bytes that a log holding only the name "abc" consists of.
      {"InstallFile\r\n\x01"s + std::string(4, '\0') + "\x03\0\0\0abc"s + std::string(12, '\0'),
       "app: |abc||"},
      // Text in the ANSI code page.
      {kHeader + AppRec("", "Caf\xE9 \x80", "", "") + FileRec("\r\n", "x\x01y", 0),
       "app: |Caf{E9} {20AC}||; files: {D}{A}|x{1}y|0"},
      // A string length of exactly what is left; one more cuts the record,
      // the largest too, and a length past the end swallows what follows.
      {kHeader + Kind(kRecordAppInfo) + Str("") + Str("") + Str("") + BadStr(3, "abc"),
       "app: |||abc"},
      {kHeader + Kind(kRecordAppInfo) + Str("") + Str("") + Str("") + BadStr(4, "abc"),
       kOldApp + " [cut AppInfo at 13]"},
      {kHeader + FileRec("a", "b", 0) + Kind(kRecordFileEntry) + BadStr(INT32_MAX, "C:\\Windows"),
       kOldApp + "; files: a|b|0 [cut FileEntry at 28]"},
      {kHeader + Kind(kRecordLinkEntry) + Str("g") + BadStr(200, "") + LinkRec("g", "n", "p") +
           FileRec("s", "t", 0),
       kOldApp + " [cut LinkEntry at 13]"},
      // A negative string length is fatal and leaves the log alone: in the
      // app path, in a file's target after a good record, in a key's Extra2,
      // in a link's path.
      {kHeader + Kind(kRecordAppInfo) + BadStr(-1, "xxxx"), negative(14, "-1")},
      {kHeader + FileRec("a", "b", 0) + Kind(kRecordFileEntry) + Str("s") + BadStr(INT32_MIN, "") +
           Int(0),
       negative(34, "-2147483648")},
      {kHeader + Kind(kRecordRegKeyEntry) + Int(kHklm) + Str("k") + Str("") + BadStr(-5, ""),
       negative(27, "-5")},
      {kHeader + Kind(kRecordLinkEntry) + Str("f") + Str("n") + BadStr(-1, ""), negative(24, "-1")},
  };
  cases.insert(cases.end(), table.begin(), table.end());
  return cases;
}

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, ReadsWhatTheBytesHold) { EXPECT_EQ(Parse(GetParam().first), GetParam().second); }

INSTANTIATE_TEST_SUITE_P(Table, ParseTest, ::testing::ValuesIn(ParseCases()));

TEST(ParseInstallFile, ListsTheBytesThatAreNoRecordKindUpToALimitAndCountsThemAll) {
  InstallLog log;
  const std::string bytes = kHeader + "\x00"s + LinkRec("", "", "") + "\x05\xFF";
  ParsedInstallFile parsed = ParseInstallFile(bytes, L"x", log);
  std::string skipped;
  for (const SkippedByte& b : parsed.skipped) {
    skipped += std::to_string(b.offset) + ":" + std::to_string(b.value) + " ";
  }
  EXPECT_EQ(skipped, "11:13 12:10 13:0 27:5 28:255 ");
  EXPECT_EQ(parsed.skipped_count, 5u);
  EXPECT_EQ(log.LinkCount, 1);

  parsed = ParseInstallFile(kMagic + std::string(kMaxSkippedListed + 10, '\xAA'), L"x", log);
  EXPECT_EQ(parsed.skipped.size(), kMaxSkippedListed);
  EXPECT_EQ(parsed.skipped_count, kMaxSkippedListed + 10);
}

TEST(ParseInstallFile, CutAtEveryOffsetKeepsOnlyWholeRecords) {
  // Every kind, some strings empty, an AppInfo replaced midway.
  using Entry = std::variant<AppInfo, FileEntry, RegKeyEntry, LinkEntry>;
  const std::vector<std::pair<std::string, Entry>> records = {
      {AppRec("ap", "First", "", "grp"), AppInfo{L"ap", L"First", L"", L"grp"}},
      {FileRec("src", "C:\\App\\a.exe", -1), FileEntry{L"src", L"C:\\App\\a.exe", kTrue}},
      {KeyRec(kHklm, "Software\\A", "e1", ""), RegKeyEntry{kHklm, L"Software\\A", L"e1", L""}},
      {LinkRec("grp", "A", "C:\\App\\a.exe"), LinkEntry{L"grp", L"A", L"C:\\App\\a.exe"}},
      {FileRec("", "C:\\App\\b.dll", 0), FileEntry{L"", L"C:\\App\\b.dll", kFalse}},
      {AppRec("", "Second", "main", ""), AppInfo{L"", L"Second", L"main", L""}},
      {KeyRec(1, "", "", "e2"), RegKeyEntry{1, L"", L"", L"e2"}},
      {LinkRec("", "B", ""), LinkEntry{L"", L"B", L""}},
  };
  std::string bytes = kHeader;
  std::vector<std::size_t> starts;
  for (const auto& record : records) {
    starts.push_back(bytes.size());
    bytes += record.first;
  }
  for (std::size_t length = 0; length <= bytes.size(); ++length) {
    InstallLog expected = MakeInstallLog(PreviousLog().AppInfo, {}, {}, {});
    std::size_t complete = 0;
    for (; complete < records.size() && starts[complete] + records[complete].first.size() <= length;
         ++complete) {
      const auto& entry = records[complete].second;
      if (const auto* app = std::get_if<AppInfo>(&entry)) expected.AppInfo = *app;
      if (const auto* file = std::get_if<FileEntry>(&entry)) expected.Files.push_back(*file);
      if (const auto* key = std::get_if<RegKeyEntry>(&entry)) expected.RegKeys.push_back(*key);
      if (const auto* link = std::get_if<LinkEntry>(&entry)) expected.Links.push_back(*link);
    }
    std::string want =
        Show(MakeInstallLog(expected.AppInfo, expected.Files, expected.RegKeys, expected.Links));
    if (length < kMagic.size()) want += " [no magic]";
    if (complete < records.size() && starts[complete] < length) {
      want += " [cut " + std::string(RecordName(records[complete].first[0])) + " at " +
              std::to_string(starts[complete]) + "]";
    }
    EXPECT_EQ(Parse(std::string_view{bytes}.substr(0, length)), want) << "cut at " << length;
  }
}

// --- More entries than a count can hold -----------------------------------

TEST(ParseInstallFile, TakesUpTo32767EntriesOfAKindAndRefusesTheLogBeyond) {
  struct Case {
    std::string record;
    std::int16_t InstallLog::*count;
    const char* what;
  };
  for (const Case& c : {Case{FileRec("", "C:\\f", 0), &InstallLog::FileCount, "files"},
                        Case{KeyRec(kHklm, "K", "", ""), &InstallLog::RegKeyCount, "registry keys"},
                        Case{LinkRec("", "L", ""), &InstallLog::LinkCount, "shell links"}}) {
    SCOPED_TRACE(c.what);
    InstallLog log;
    static_cast<void>(
        ParseInstallFile(kHeader + log_builder::Repeat(c.record, kMaxEntries), L"x", log));
    EXPECT_EQ(log.*c.count, kMaxEntries);
    EXPECT_EQ(log, MakeInstallLog({}, log.Files, log.RegKeys, log.Links));  // counts = sizes
    EXPECT_EQ(Parse(kHeader + log_builder::Repeat(c.record, kMaxEntries + 1)),
              "error 0: The install log 'C:\\App\\Uninstall.dat' lists more than 32767 "s + c.what +
                  "; it cannot be used to uninstall.");
  }
}

// --- Reading from a file ----------------------------------------------------

class InstallFileReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.AddFile(kLogPath, kHeader + AppRec("", "New", "", "") + FileRec("s", "t", -1));
    env_.AddFile(L"C:\\App\\hidden.dat", kHeader, attr::kHidden);
    env_.AddFile(L"C:\\App\\system.dat", kHeader, attr::kSystem);
    env_.AddDir(L"C:\\App\\Dir");
  }
  // Outcome of reading `path`, then the boxes shown.
  std::string Read(std::wstring_view path) {
    env_.ClearEvents();
    const std::string read =
        Outcome([&](InstallLog& log) { return InstallFile_Read(env_, path, log); });
    return read + log_builder::ShowBoxes(env_.messages());
  }
  FakeEnv env_;
};

TEST_F(InstallFileReadTest, FillsTheLogWithoutAMessage) {
  env_.SetAttrs(kLogPath, attr::kReadOnly | attr::kArchive);
  EXPECT_EQ(Read(kLogPath), "app: |New||; files: s|t|-1");
}

TEST_F(InstallFileReadTest, UnusablePathsShowNotFoundAndChangeNothing) {
  // Reading any of them would be fatal: an unusable path is never opened.
  env_.InjectFault(FakeOp::kReadWholeFile, L"*", kErrorAccessDenied);
  for (const std::wstring path :
       {L"", L"C:\\App\\missing.dat", L"C:\\Nowhere\\Uninstall.dat", L"C:\\App\\hidden.dat",
        L"C:\\App\\system.dat", L"C:\\App\\Dir", L"C:\\App\\Dir\\", L"C:\\App\\*.dat"}) {
    EXPECT_EQ(Read(path),
              "unchanged [no magic] | box 48: internal error in InstallFile_Read(): "
              "file '" +
                  Show(path) + "' not found !");
  }
}

TEST_F(InstallFileReadTest, WrongMagicEmptiesTheListsAndKeepsAppInfo) {
  env_.AddFile(kLogPath, "installFile\r\n" + AppRec("", "New", "", ""));
  EXPECT_EQ(Read(kLogPath), kOldApp +
                                " [no magic] | box 48: Error: the file "
                                "'C:\\App\\Uninstall.dat' is no valid InstallFile !");
}

TEST_F(InstallFileReadTest, FailuresOfThePlatformAreFatal) {
  env_.SetLocked(kLogPath, true);
  EXPECT_EQ(Read(kLogPath),
            "error 32: The install log 'C:\\App\\Uninstall.dat' could not be read.");
  env_.SetLocked(kLogPath, false);
  env_.InjectFault(FakeOp::kReadWholeFile, kLogPath, kErrorAccessDenied);
  EXPECT_EQ(Read(kLogPath), "error 5: The install log 'C:\\App\\Uninstall.dat' could not be read.");
  env_.InjectFault(FakeOp::kGetFileAttrs, kLogPath, kErrorAccessDenied);
  EXPECT_EQ(Read(kLogPath),
            "error 0: The install log 'C:\\App\\Uninstall.dat' could not be "
            "looked for: the directory search failed.");
}

}  // namespace
}  // namespace uninstall
