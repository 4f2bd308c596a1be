#include "installlog/writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "installlog/reader.h"
#include "platform/fatal_error.h"
#include "tests/support/fake_env.h"
#include "tests/support/install_logs.h"

namespace uninstall {
namespace {

// Bytes from hexadecimal pairs separated by spaces; other characters are
// taken as they are, for readable text inside a dump: "03 00 00 00 'abc".
std::string Bytes(std::string_view dump) {
  std::string out;
  for (std::size_t i = 0; i < dump.size();) {
    if (dump[i] == ' ') {
      ++i;
    } else if (dump[i] == '\'') {
      for (++i; i < dump.size() && dump[i] != ' '; ++i) out.push_back(dump[i]);
    } else {
      out.push_back(static_cast<char>(std::stoi(std::string(dump.substr(i, 2)), nullptr, 16)));
      i += 2;
    }
  }
  return out;
}

const std::string kHeaderAndEmptyApp = Bytes(
    "49 6E 73 74 61 6C 6C 46 69 6C 65 0D 0A 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");

std::string Serialize(const AppInfo& app, const std::vector<FileEntry>& files,
                      const std::vector<RegKeyEntry>& keys, const std::vector<LinkEntry>& links) {
  return SerializeInstallFile(app, static_cast<std::int16_t>(files.size()), files,
                              static_cast<std::int16_t>(keys.size()), keys,
                              static_cast<std::int16_t>(links.size()), links);
}

TEST(SerializeInstallFile, SmallestLogBothWays) {
  const std::string expected = Bytes(
      "49 6E 73 74 61 6C 6C 46 69 6C 65 0D 0A 01 00 00 00 00 03 00 00 00 61 62 63 00 00 00 00 00 "
      "00 00 00");
  ASSERT_EQ(expected.size(), 33u);
  const AppInfo app{L"", L"abc", L"", L""};
  EXPECT_EQ(Serialize(app, {}, {}, {}), expected);

  InstallLog log;
  log.AppInfo = {L"old", L"old", L"old", L"old"};
  const ParsedInstallFile parsed = ParseInstallFile(expected, L"x", log);
  EXPECT_TRUE(parsed.magic_ok);
  EXPECT_FALSE(parsed.cut.has_value());
  InstallLog only_app;
  only_app.AppInfo = app;
  EXPECT_EQ(log, only_app);
}

struct LayoutCase {
  const char* name;
  std::vector<FileEntry> files;
  std::vector<RegKeyEntry> keys;
  std::vector<LinkEntry> links;
  const char* records;  // what follows the header and the empty AppInfo
};

class RecordLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(RecordLayoutTest, WritesExactlyTheseBytes) {
  const LayoutCase& c = GetParam();
  EXPECT_EQ(Serialize({}, c.files, c.keys, c.links), kHeaderAndEmptyApp + Bytes(c.records))
      << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecordLayoutTest,
    ::testing::Values(
        LayoutCase{"file kept",
                   {{L"a", L"bc", kTrue}},
                   {},
                   {},
                   "02 01 00 00 00 'a 02 00 00 00 'bc FF FF FF FF"},
        LayoutCase{
            "file removed", {{L"", L"", kFalse}}, {}, {}, "02 00 00 00 00 00 00 00 00 00 00 00 00"},
        // Other 16-bit values are widened with their sign.
        LayoutCase{"KeepFile 1", {{L"", L"", 1}}, {}, {}, "02 00 00 00 00 00 00 00 00 01 00 00 00"},
        LayoutCase{
            "KeepFile -2", {{L"", L"", -2}}, {}, {}, "02 00 00 00 00 00 00 00 00 FE FF FF FF"},
        LayoutCase{"KeepFile 32767",
                   {{L"", L"", 32767}},
                   {},
                   {},
                   "02 00 00 00 00 00 00 00 00 FF 7F 00 00"},
        LayoutCase{"KeepFile -32768",
                   {{L"", L"", -32768}},
                   {},
                   {},
                   "02 00 00 00 00 00 00 00 00 00 80 FF FF"},
        LayoutCase{"HKLM key",
                   {},
                   {{static_cast<std::int32_t>(0x80000002u), L"Software\\A", L"", L"z"}},
                   {},
                   "03 02 00 00 80 0A 00 00 00 'Software\\A 00 00 00 00 01 00 00 00 'z"},
        LayoutCase{"link",
                   {},
                   {},
                   {{L"G", L"Ap", L"C:\\a"}},
                   "04 01 00 00 00 'G 02 00 00 00 'Ap 04 00 00 00 'C:\\a"},
        LayoutCase{"ANSI text: one byte per character",
                   {{L"\xE9", L"\x20AC", kFalse}},
                   {},
                   {},
                   "02 01 00 00 00 E9 01 00 00 00 80 00 00 00 00"},
        LayoutCase{"kinds in their fixed order",
                   {{L"", L"", kFalse}},
                   {{0, L"", L"", L""}},
                   {{L"", L"", L""}},
                   "02 00 00 00 00 00 00 00 00 00 00 00 00 "
                   "03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                   "04 00 00 00 00 00 00 00 00 00 00 00 00"}));

class RoundTripTest : public ::testing::TestWithParam<InstallLog> {};

TEST_P(RoundTripTest, ReadingTheOutputGivesTheRecordsBack) {
  const InstallLog& written = GetParam();
  const std::string bytes =
      SerializeInstallFile(written.AppInfo, written.FileCount, written.Files, written.RegKeyCount,
                           written.RegKeys, written.LinkCount, written.Links);
  InstallLog read;
  read.Files = {{L"stale", L"stale", kTrue}};
  read.FileCount = 1;
  const ParsedInstallFile parsed = ParseInstallFile(bytes, L"x", read);
  EXPECT_TRUE(parsed.magic_ok);
  EXPECT_FALSE(parsed.cut.has_value());
  EXPECT_EQ(parsed.skipped_count, 2u);  // the line end
  InstallLog expected = written;
  for (FileEntry& file : expected.Files) file.KeepFile = file.KeepFile != 0 ? kTrue : kFalse;
  EXPECT_EQ(read, expected);
}

InstallLog Log(AppInfo app, std::vector<FileEntry> files, std::vector<RegKeyEntry> keys,
               std::vector<LinkEntry> links) {
  return MakeInstallLog(std::move(app), std::move(files), std::move(keys), std::move(links));
}

INSTANTIATE_TEST_SUITE_P(
    Table, RoundTripTest,
    ::testing::Values(
        Log({}, {}, {}, {}),
        Log({L"%currentdir%", L"My App", L"%currentdir%\\app.exe", L"My Group"},
            {{L"app.exe", L"%currentdir%\\app.exe", kFalse},
             {L"shared.dll", L"%winsysdir%\\shared.dll", kTrue},
             {L"", L"", kFalse}},
            {{static_cast<std::int32_t>(0x80000002u), L"Software\\My App", L"a", L"b"},
             {static_cast<std::int32_t>(0x80000001u), L"Software\\My App\\Settings", L"", L""}},
            {{L"My Group", L"My App", L"%currentdir%\\app.exe"}, {L"", L"", L""}}),
        Log({L"", L"Caf\xE9 \x20AC \x2122", L"", L"Gr\xFC\x9D"},
            {{L"\r\n", L"\x01\x7F\xFF", 1}, {L"", L"x", -2}}, {{-1, L"\x81", L"", L""}}, {}),
        Log({std::wstring(70000, L'x'), L"", L"", L""}, {}, {}, {})));

// --- Writing to a file -------------------------------------------------------

const std::wstring kLogPath = L"C:\\App\\Uninstall.dat";

class InstallFileWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.AddDir(L"C:\\App");
    form_.LinkCount = 1;
    form_.Links = {{L"Group", L"Link", L"C:\\App\\a.exe"}};
    form_.Files = {{L"never", L"written", kFalse}};
    form_.FileCount = 1;
  }
  FakeEnv env_;
  InstallLog form_;
  const AppInfo app_{L"p", L"App", L"m", L"Group"};
  const std::vector<FileEntry> files_{{L"s", L"C:\\App\\a.exe", kTrue}};
  const std::vector<RegKeyEntry> keys_{
      {static_cast<std::int32_t>(0x80000002u), L"Software\\A", L"", L""}};
};

TEST_F(InstallFileWriteTest, WritesTheArgumentsAndTheFormsLinks) {
  env_.AddFile(kLogPath, std::string(1000, 'x'));  // an older, longer log is replaced
  InstallFile_Write(env_, kLogPath, app_, 1, files_, 1, keys_, form_);
  EXPECT_TRUE(env_.messages().empty());

  InstallLog read;
  InstallFile_Read(env_, kLogPath, read);
  EXPECT_TRUE(env_.messages().empty());
  EXPECT_EQ(read.AppInfo, app_);
  EXPECT_EQ(read.Files, files_);
  EXPECT_EQ(read.RegKeys, keys_);
  EXPECT_EQ(read.Links, form_.Links);
  EXPECT_EQ(read.LinkCount, 1);
}

TEST_F(InstallFileWriteTest, EmptyPathShowsTheMessageAndCreatesNothing) {
  InstallFile_Write(env_, L"", app_, 1, files_, 1, keys_, form_);
  ASSERT_EQ(env_.messages().size(), 1u);
  EXPECT_EQ(env_.messages()[0].text, L"internal error in InstallFile_Write(): file ' not found !");
  EXPECT_EQ(env_.messages()[0].style, msgbox::kOkExclamation);
  EXPECT_FALSE(env_.messages()[0].title.has_value());
  for (const std::wstring& event : env_.events()) {
    EXPECT_EQ(event.find(L"WriteWholeFile"), std::wstring::npos)
        << std::string(event.begin(), event.end());
  }
}

TEST_F(InstallFileWriteTest, WriteFailuresAreFatal) {
  struct Case {
    const char* name;
    std::wstring path;
    ErrorCode code;
  };
  env_.AddFile(L"C:\\App\\readonly.dat", "", attr::kReadOnly);
  env_.AddFile(L"C:\\App\\locked.dat");
  env_.SetLocked(L"C:\\App\\locked.dat", true);
  env_.InjectFault(FakeOp::kWriteWholeFile, L"C:\\App\\full.dat", kErrorNotEnoughMemory);
  for (const Case& c : {Case{"read-only", L"C:\\App\\readonly.dat", kErrorAccessDenied},
                        Case{"locked", L"C:\\App\\locked.dat", kErrorSharingViolation},
                        Case{"no such folder", L"C:\\Nowhere\\u.dat", kErrorPathNotFound},
                        Case{"write fails", L"C:\\App\\full.dat", kErrorNotEnoughMemory},
                        Case{"a folder", L"C:\\App", kErrorAccessDenied}}) {
    SCOPED_TRACE(c.name);
    try {
      InstallFile_Write(env_, c.path, app_, 1, files_, 1, keys_, form_);
      ADD_FAILURE() << "no FatalError";
    } catch (const FatalError& error) {
      EXPECT_EQ(error.code(), c.code);
      EXPECT_NE(error.message().find(c.path), std::wstring::npos);
    }
  }
  EXPECT_TRUE(env_.messages().empty());
}

}  // namespace
}  // namespace uninstall
