#include "installlog/reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
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
using log_builder::Str;
const std::string kMagic(kInstallFileMagic);
const std::string kHeader = log_builder::Header();

constexpr std::int32_t kHklm = *RootKeyByName("HKEY_LOCAL_MACHINE");

// A log as a previous read may have left it: every case starts from this.
InstallLog PreviousLog() {
  InstallLog log;
  log.AppInfo = {L"old path", L"Old", L"old main", L"Old Group"};
  log.Files = {{L"s", L"C:\\old.txt", kFalse}};
  log.FileCount = 1;
  log.RegKeys = {{kHklm, L"Software\\Old", L"", L""}};
  log.RegKeyCount = 1;
  log.Links = {{L"Old Group", L"Old", L"C:\\old.exe"}};
  log.LinkCount = 1;
  return log;
}

InstallLog Expect(AppInfo app, std::vector<FileEntry> files, std::vector<RegKeyEntry> keys,
                  std::vector<LinkEntry> links) {
  return MakeInstallLog(std::move(app), std::move(files), std::move(keys), std::move(links));
}
InstallLog OldAppOnly() { return Expect(PreviousLog().AppInfo, {}, {}, {}); }

// --- Lenient reading ------------------------------------------------------

struct ParseCase {
  const char* name;
  std::string bytes;
  bool magic_ok;
  InstallLog expected;
};

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, ReadsWhatTheBytesHold) {
  const ParseCase& c = GetParam();
  SCOPED_TRACE(c.name);
  InstallLog log = PreviousLog();
  const ParsedInstallFile parsed = ParseInstallFile(c.bytes, L"C:\\App\\Uninstall.dat", log);
  EXPECT_EQ(parsed.magic_ok, c.magic_ok);
  EXPECT_FALSE(parsed.cut.has_value());
  EXPECT_EQ(log, c.expected);
}

std::vector<ParseCase> ParseCases() {
  const AppInfo app{L"%currentdir%", L"My App", L"%currentdir%\\app.exe", L"My Group"};
  const std::string app_rec = AppRec("%currentdir%", "My App", "%currentdir%\\app.exe", "My Group");
  const FileEntry file1{L"a.dll", L"%windir%\\a.dll", kFalse};
  const FileEntry file2{L"b.exe", L"%currentdir%\\b.exe", kTrue};
  const RegKeyEntry key{kHklm, L"Software\\My App", L"x", L"y"};
  const LinkEntry link{L"My Group", L"My App", L"%currentdir%\\app.exe"};
  const std::string body = app_rec + FileRec("a.dll", "%windir%\\a.dll", 0) +
                           FileRec("b.exe", "%currentdir%\\b.exe", -1) +
                           KeyRec(kHklm, "Software\\My App", "x", "y") +
                           LinkRec("My Group", "My App", "%currentdir%\\app.exe");
  const InstallLog full = Expect(app, {file1, file2}, {key}, {link});

  std::vector<ParseCase> cases;
  for (std::size_t n = 0; n <= 10; ++n) {
    cases.push_back({"short", kMagic.substr(0, n), false, OldAppOnly()});
  }
  cases.push_back({"lower case magic", "installfile\r\n" + body, false, OldAppOnly()});
  cases.push_back({"upper case magic", "INSTALLFILE\r\n" + body, false, OldAppOnly()});
  cases.push_back({"junk before magic", "\r\nInstallFile\r\n" + body, false, OldAppOnly()});
  cases.push_back({"magic only", kMagic, true, OldAppOnly()});
  cases.push_back({"magic and line end", kHeader, true, OldAppOnly()});
  cases.push_back({"as written", kHeader + body, true, full});
  cases.push_back({"no line end", kMagic + body, true, full});
  cases.push_back({"junk between records",
                   kMagic + "\r\n\r\n\x00"s + app_rec + "\xFF\x05" +
                       FileRec("a.dll", "%windir%\\a.dll", 0) + "\x80" +
                       FileRec("b.exe", "%currentdir%\\b.exe", -1) + "\x7F" +
                       KeyRec(kHklm, "Software\\My App", "x", "y") + "\x00"s +
                       LinkRec("My Group", "My App", "%currentdir%\\app.exe") + "\r\n",
                   true, full});
  cases.push_back({"two app records: the later stands",
                   kHeader + AppRec("p1", "First", "m1", "g1") + body, true, full});
  cases.push_back({"app record last",
                   kHeader + AppRec("p1", "First", "m1", "g1") +
                       LinkRec("My Group", "My App", "%currentdir%\\app.exe") +
                       KeyRec(kHklm, "Software\\My App", "x", "y") +
                       FileRec("a.dll", "%windir%\\a.dll", 0) +
                       FileRec("b.exe", "%currentdir%\\b.exe", -1) + app_rec,
                   true, full});
  cases.push_back(
      {"no app record keeps the old one", kHeader + LinkRec("G", "L", "P") + FileRec("S", "T", 0),
       true, Expect(PreviousLog().AppInfo, {{L"S", L"T", kFalse}}, {}, {{L"G", L"L", L"P"}})});
  cases.push_back({"any non-zero KeepFile is true",
                   kHeader + FileRec("", "1", 1) + FileRec("", "2", -1) +
                       FileRec("", "3", INT32_MIN) + FileRec("", "4", 0) + FileRec("", "5", 2),
                   true,
                   Expect(PreviousLog().AppInfo,
                          {{L"", L"1", kTrue},
                           {L"", L"2", kTrue},
                           {L"", L"3", kTrue},
                           {L"", L"4", kFalse},
                           {L"", L"5", kTrue}},
                          {}, {})});
  cases.push_back({"empty strings", kHeader + AppRec("", "", "", "") + KeyRec(0, "", "", "k"), true,
                   Expect({}, {}, {{0, L"", L"", L"k"}}, {})});
  // The 33 bytes that a log holding only the name "abc" consists of.
  cases.push_back(
      {"smallest written log",
       "InstallFile\r\n\x01"s + std::string(4, '\0') + "\x03\0\0\0abc"s + std::string(12, '\0'),
       true, Expect({L"", L"abc", L"", L""}, {}, {}, {})});
  cases.push_back(
      {"text in the ANSI code page",
       kHeader + AppRec("", "Caf\xE9 \x80", "", "") + FileRec("\r\n", "x\x01y", 0), true,
       Expect({L"", L"Caf\xE9 \x20AC", L"", L""}, {{L"\r\n", L"x\x01y", kFalse}}, {}, {})});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Leniency, ParseTest, ::testing::ValuesIn(ParseCases()));

TEST(ParseInstallFile, ListsTheBytesThatAreNoRecordKind) {
  InstallLog log;
  const std::string bytes = kHeader + "\x00"s + LinkRec("", "", "") + "\x05\xFF";
  const ParsedInstallFile parsed = ParseInstallFile(bytes, L"x", log);
  ASSERT_EQ(parsed.skipped.size(), 5u);
  EXPECT_EQ(parsed.skipped_count, 5u);
  const std::vector<std::pair<std::size_t, std::uint8_t>> expected = {
      {11, 13}, {12, 10}, {13, 0}, {bytes.size() - 2, 5}, {bytes.size() - 1, 255}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(parsed.skipped[i].offset, expected[i].first) << i;
    EXPECT_EQ(parsed.skipped[i].value, expected[i].second) << i;
  }
  EXPECT_EQ(log.LinkCount, 1);
}

TEST(ParseInstallFile, ListsOnlyTheFirstSkippedBytesButCountsThemAll) {
  InstallLog log;
  const std::string bytes = kMagic + std::string(kMaxSkippedListed + 10, '\xAA');
  const ParsedInstallFile parsed = ParseInstallFile(bytes, L"x", log);
  EXPECT_EQ(parsed.skipped.size(), kMaxSkippedListed);
  EXPECT_EQ(parsed.skipped_count, kMaxSkippedListed + 10);
}

// --- Records cut short ----------------------------------------------------

// A log with every kind, some strings empty, an AppInfo replaced midway, and
// the offsets at which each record ends.
struct SpannedLog {
  std::string bytes;
  std::vector<std::size_t> ends;  // end offset of each record, in file order
  std::vector<std::uint8_t> kinds;
  std::vector<std::size_t> starts;
};

SpannedLog AllKindsLog() {
  SpannedLog log;
  log.bytes = kHeader;
  auto add = [&log](const std::string& record) {
    log.starts.push_back(log.bytes.size());
    log.kinds.push_back(static_cast<std::uint8_t>(record[0]));
    log.bytes += record;
    log.ends.push_back(log.bytes.size());
  };
  add(AppRec("ap", "First", "", "grp"));
  add(FileRec("src", "C:\\App\\a.exe", -1));
  add(KeyRec(kHklm, "Software\\A", "e1", ""));
  add(LinkRec("grp", "A", "C:\\App\\a.exe"));
  add(FileRec("", "C:\\App\\b.dll", 0));
  add(AppRec("", "Second", "main", ""));
  add(KeyRec(1, "", "", "e2"));
  add(LinkRec("", "B", ""));
  return log;
}

// The log after reading the first `complete` records of AllKindsLog().
InstallLog AfterRecords(std::size_t complete) {
  const std::vector<std::function<void(InstallLog&)>> apply = {
      [](InstallLog& l) {
        l.AppInfo = {L"ap", L"First", L"", L"grp"};
      },
      [](InstallLog& l) {
        l.Files.push_back({L"src", L"C:\\App\\a.exe", kTrue});
      },
      [](InstallLog& l) {
        l.RegKeys.push_back({kHklm, L"Software\\A", L"e1", L""});
      },
      [](InstallLog& l) {
        l.Links.push_back({L"grp", L"A", L"C:\\App\\a.exe"});
      },
      [](InstallLog& l) {
        l.Files.push_back({L"", L"C:\\App\\b.dll", kFalse});
      },
      [](InstallLog& l) {
        l.AppInfo = {L"", L"Second", L"main", L""};
      },
      [](InstallLog& l) {
        l.RegKeys.push_back({1, L"", L"", L"e2"});
      },
      [](InstallLog& l) {
        l.Links.push_back({L"", L"B", L""});
      },
  };
  InstallLog log = OldAppOnly();
  for (std::size_t i = 0; i < complete; ++i) apply[i](log);
  log.FileCount = static_cast<std::int16_t>(log.Files.size());
  log.RegKeyCount = static_cast<std::int16_t>(log.RegKeys.size());
  log.LinkCount = static_cast<std::int16_t>(log.Links.size());
  return log;
}

TEST(ParseInstallFile, CutAtEveryOffsetKeepsOnlyWholeRecords) {
  const SpannedLog full = AllKindsLog();
  ASSERT_EQ(full.ends.back(), full.bytes.size());
  for (std::size_t length = 0; length <= full.bytes.size(); ++length) {
    SCOPED_TRACE("cut at " + std::to_string(length));
    InstallLog log = PreviousLog();
    const ParsedInstallFile parsed =
        ParseInstallFile(std::string_view{full.bytes}.substr(0, length), L"x", log);
    EXPECT_EQ(parsed.magic_ok, length >= kMagic.size());
    if (!parsed.magic_ok) {
      EXPECT_EQ(log, OldAppOnly());
      continue;
    }
    std::size_t complete = 0;
    while (complete < full.ends.size() && full.ends[complete] <= length) ++complete;
    EXPECT_EQ(log, AfterRecords(complete));
    const bool inside_record = complete < full.starts.size() && full.starts[complete] < length;
    ASSERT_EQ(parsed.cut.has_value(), inside_record);
    if (inside_record) {
      EXPECT_EQ(parsed.cut->offset, full.starts[complete]);
      EXPECT_EQ(parsed.cut->kind, full.kinds[complete]);
    }
  }
}

struct LengthCase {
  const char* name;
  std::string bytes;
  bool cut;
  InstallLog expected;
};

class StringLengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(StringLengthTest, LengthBeyondTheDataCutsTheRecord) {
  const LengthCase& c = GetParam();
  SCOPED_TRACE(c.name);
  InstallLog log = PreviousLog();
  const ParsedInstallFile parsed = ParseInstallFile(c.bytes, L"x", log);
  EXPECT_EQ(parsed.cut.has_value(), c.cut);
  EXPECT_EQ(log, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StringLengthTest,
    ::testing::Values(
        LengthCase{"exactly what is left",
                   kHeader + Kind(kRecordAppInfo) + Str("") + Str("") + Str("") + BadStr(3, "abc"),
                   false, Expect({L"", L"", L"", L"abc"}, {}, {}, {})},
        LengthCase{"one more than is left",
                   kHeader + Kind(kRecordAppInfo) + Str("") + Str("") + Str("") + BadStr(4, "abc"),
                   true, OldAppOnly()},
        LengthCase{"largest length",
                   kHeader + FileRec("a", "b", 0) + Kind(kRecordFileEntry) +
                       BadStr(INT32_MAX, "C:\\Windows"),
                   true, Expect(PreviousLog().AppInfo, {{L"a", L"b", kFalse}}, {}, {})},
        LengthCase{"swallows the records behind it",
                   kHeader + Kind(kRecordLinkEntry) + Str("g") + BadStr(200, "") +
                       LinkRec("g", "n", "p") + FileRec("s", "t", 0),
                   true, OldAppOnly()}));

struct NegativeCase {
  const char* name;
  std::string bytes;
};

class NegativeLengthTest : public ::testing::TestWithParam<NegativeCase> {};

TEST_P(NegativeLengthTest, IsFatalAndLeavesTheLogAlone) {
  InstallLog log = PreviousLog();
  try {
    static_cast<void>(ParseInstallFile(GetParam().bytes, L"C:\\App\\Uninstall.dat", log));
    ADD_FAILURE() << "no FatalError";
  } catch (const FatalError& error) {
    EXPECT_NE(error.message().find(L"C:\\App\\Uninstall.dat"), std::wstring::npos);
    EXPECT_NE(error.message().find(L"negative"), std::wstring::npos);
  }
  EXPECT_EQ(log, PreviousLog());
}

INSTANTIATE_TEST_SUITE_P(
    Table, NegativeLengthTest,
    ::testing::Values(NegativeCase{"app path", kHeader + Kind(kRecordAppInfo) + BadStr(-1, "xxxx")},
                      NegativeCase{"file target after a good record",
                                   kHeader + FileRec("a", "b", 0) + Kind(kRecordFileEntry) +
                                       Str("s") + BadStr(INT32_MIN, "") + Int(0)},
                      NegativeCase{"key extra2", kHeader + Kind(kRecordRegKeyEntry) + Int(kHklm) +
                                                     Str("k") + Str("") + BadStr(-5, "")},
                      NegativeCase{"link path", kHeader + Kind(kRecordLinkEntry) + Str("f") +
                                                    Str("n") + BadStr(-1, "")}));

// --- More entries than a count can hold -----------------------------------

struct ManyCase {
  const char* name;
  std::string record;
  std::int16_t InstallLog::*count;
  const wchar_t* what;
};

class TooManyTest : public ::testing::TestWithParam<ManyCase> {};

std::string Repeat(const std::string& record, std::size_t times) {
  return kHeader + log_builder::Repeat(record, times);
}

TEST_P(TooManyTest, TakesUpToTheLimit) {
  const ManyCase& c = GetParam();
  InstallLog log;
  static_cast<void>(ParseInstallFile(Repeat(c.record, kMaxEntries), L"x", log));
  EXPECT_EQ(log.*c.count, kMaxEntries);
  EXPECT_EQ(log.Files.size(), static_cast<std::size_t>(log.FileCount));
  EXPECT_EQ(log.RegKeys.size(), static_cast<std::size_t>(log.RegKeyCount));
  EXPECT_EQ(log.Links.size(), static_cast<std::size_t>(log.LinkCount));
}

TEST_P(TooManyTest, RefusesTheLogBeyondIt) {
  const ManyCase& c = GetParam();
  InstallLog log = PreviousLog();
  try {
    static_cast<void>(ParseInstallFile(Repeat(c.record, kMaxEntries + 1), L"C:\\U.dat", log));
    ADD_FAILURE() << "no FatalError";
  } catch (const FatalError& error) {
    EXPECT_NE(error.message().find(std::wstring(L"more than 32767 ") + c.what), std::wstring::npos);
  }
  EXPECT_EQ(log, PreviousLog());
}

INSTANTIATE_TEST_SUITE_P(Table, TooManyTest,
                         ::testing::Values(ManyCase{"files", FileRec("", "C:\\f", 0),
                                                    &InstallLog::FileCount, L"files"},
                                           ManyCase{"keys", KeyRec(kHklm, "K", "", ""),
                                                    &InstallLog::RegKeyCount, L"registry keys"},
                                           ManyCase{"links", LinkRec("", "L", ""),
                                                    &InstallLog::LinkCount, L"shell links"}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// --- Reading from a file ----------------------------------------------------

const std::wstring kLogPath = L"C:\\App\\Uninstall.dat";

class InstallFileReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.AddFile(kLogPath, kHeader + AppRec("", "New", "", "") + FileRec("s", "t", -1));
    env_.AddFile(L"C:\\App\\hidden.dat", kHeader, attr::kHidden);
    env_.AddFile(L"C:\\App\\system.dat", kHeader, attr::kSystem);
    env_.AddDir(L"C:\\App\\Dir");
  }
  FakeEnv env_;
};

TEST_F(InstallFileReadTest, FillsTheLogWithoutAMessage) {
  env_.SetAttrs(kLogPath, attr::kReadOnly | attr::kArchive);
  InstallLog log = PreviousLog();
  InstallFile_Read(env_, kLogPath, log);
  EXPECT_TRUE(env_.messages().empty());
  EXPECT_EQ(log, Expect({L"", L"New", L"", L""}, {{L"s", L"t", kTrue}}, {}, {}));
}

TEST_F(InstallFileReadTest, UnusablePathsShowNotFoundAndChangeNothing) {
  // Reading any of them would be fatal: an unusable path is never opened.
  env_.InjectFault(FakeOp::kReadWholeFile, L"*", kErrorAccessDenied);
  for (const std::wstring& path :
       {std::wstring(), std::wstring(L"C:\\App\\missing.dat"),
        std::wstring(L"C:\\Nowhere\\Uninstall.dat"), std::wstring(L"C:\\App\\hidden.dat"),
        std::wstring(L"C:\\App\\system.dat"), std::wstring(L"C:\\App\\Dir"),
        std::wstring(L"C:\\App\\Dir\\"), std::wstring(L"C:\\App\\*.dat")}) {
    SCOPED_TRACE(std::string(path.begin(), path.end()));
    env_.ClearEvents();
    InstallLog log = PreviousLog();
    InstallFile_Read(env_, path, log);
    EXPECT_EQ(log, PreviousLog());
    ASSERT_EQ(env_.messages().size(), 1u);
    EXPECT_EQ(env_.messages()[0].text,
              L"internal error in InstallFile_Read(): file '" + path + L"' not found !");
    EXPECT_EQ(env_.messages()[0].style, msgbox::kOkExclamation);
    EXPECT_FALSE(env_.messages()[0].title.has_value());
  }
}

TEST_F(InstallFileReadTest, WrongMagicEmptiesTheListsAndKeepsAppInfo) {
  env_.AddFile(kLogPath, "installFile\r\n" + AppRec("", "New", "", ""));
  InstallLog log = PreviousLog();
  InstallFile_Read(env_, kLogPath, log);
  EXPECT_EQ(log, OldAppOnly());
  ASSERT_EQ(env_.messages().size(), 1u);
  EXPECT_EQ(env_.messages()[0].text,
            L"Error: the file 'C:\\App\\Uninstall.dat' is no valid InstallFile !");
  EXPECT_EQ(env_.messages()[0].style, msgbox::kOkExclamation);
  EXPECT_FALSE(env_.messages()[0].title.has_value());
}

TEST_F(InstallFileReadTest, FailuresOfThePlatformAreFatal) {
  struct Case {
    const char* name;
    FakeOp op;
    ErrorCode fault;  // 0: lock the file instead
    ErrorCode expected_code;
  };
  for (const Case& c :
       {Case{"locked", FakeOp::kReadWholeFile, 0, kErrorSharingViolation},
        Case{"read fails", FakeOp::kReadWholeFile, kErrorAccessDenied, kErrorAccessDenied},
        Case{"search fails", FakeOp::kGetFileAttrs, kErrorAccessDenied, 0}}) {
    SCOPED_TRACE(c.name);
    FakeEnv env;
    env.AddFile(kLogPath, kHeader + AppRec("", "New", "", ""));
    if (c.fault == 0) {
      env.SetLocked(kLogPath, true);
    } else {
      env.InjectFault(c.op, kLogPath, c.fault);
    }
    InstallLog log = PreviousLog();
    try {
      InstallFile_Read(env, kLogPath, log);
      ADD_FAILURE() << "no FatalError";
    } catch (const FatalError& error) {
      EXPECT_EQ(error.code(), c.expected_code);
      EXPECT_NE(error.message().find(kLogPath), std::wstring::npos);
    }
    EXPECT_EQ(log, PreviousLog());
    EXPECT_TRUE(env.messages().empty());
  }
}

}  // namespace
}  // namespace uninstall
