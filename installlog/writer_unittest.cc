#include "installlog/writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "installlog/reader.h"
#include "platform/fatal_error.h"
#include "tests/support/fake_env.h"
#include "tests/support/install_logs.h"
#include "tests/support/log_builder.h"

namespace uninstall {
namespace {

// Bytes from words of hexadecimal pairs; a word after a quote is taken as it
// is, for readable text inside a dump: "03000000 'abc".
std::string Bytes(std::string_view dump) {
  std::string out;
  std::istringstream words{std::string(dump)};
  for (std::string word; words >> word;) {
    if (word[0] == '\'') out += word.substr(1);
    for (std::size_t i = 0; word[0] != '\'' && i < word.size(); i += 2) {
      out += static_cast<char>(std::stoi(word.substr(i, 2), nullptr, 16));
    }
  }
  return out;
}

InstallLog Log(AppInfo app, std::vector<FileEntry> files, std::vector<RegKeyEntry> keys,
               std::vector<LinkEntry> links) {
  return MakeInstallLog(std::move(app), std::move(files), std::move(keys), std::move(links));
}
std::string Serialize(const InstallLog& log) {
  return SerializeInstallFile(log.AppInfo, log.FileCount, log.Files, log.RegKeyCount, log.RegKeys,
                              log.LinkCount, log.Links);
}

constexpr std::int32_t kHklm = static_cast<std::int32_t>(0x80000002u);

TEST(SerializeInstallFile, SmallestLogBothWays) {
  const std::string expected =
      Bytes("49 6E 73 74 61 6C 6C 46 69 6C 65 0D0A 01 00000000 03000000 616263 00000000 00000000");
  ASSERT_EQ(expected.size(), 33u);
  EXPECT_EQ(Serialize(Log({L"", L"abc", L"", L""}, {}, {}, {})), expected);

  InstallLog log = Log({L"old", L"old", L"old", L"old"}, {}, {}, {});
  const ParsedInstallFile parsed = ParseInstallFile(expected, L"x", log);
  EXPECT_TRUE(parsed.magic_ok && !parsed.cut);
  EXPECT_EQ(log_builder::Show(log), "app: |abc||");
}

TEST(SerializeInstallFile, WritesExactlyTheseBytes) {
  const std::string header_and_empty_app =
      Bytes("'InstallFile 0D0A 01 00000000 00000000 00000000 00000000");
  const std::vector<std::pair<InstallLog, const char*>> rows = {
      {Log({}, {{L"a", L"bc", kTrue}}, {}, {}), "02 01000000 'a 02000000 'bc FFFFFFFF"},
      {Log({}, {{L"", L"", kFalse}}, {}, {}), "02 00000000 00000000 00000000"},
      // Other 16-bit values are widened with their sign.
      {Log({}, {{L"", L"", 1}}, {}, {}), "02 00000000 00000000 01000000"},
      {Log({}, {{L"", L"", -2}}, {}, {}), "02 00000000 00000000 FEFFFFFF"},
      {Log({}, {{L"", L"", 32767}}, {}, {}), "02 00000000 00000000 FF7F0000"},
      {Log({}, {{L"", L"", -32768}}, {}, {}), "02 00000000 00000000 0080FFFF"},
      {Log({}, {}, {{kHklm, L"Software\\A", L"", L"z"}}, {}),
       "03 02000080 0A000000 'Software\\A 00000000 01000000 'z"},
      {Log({}, {}, {}, {{L"G", L"Ap", L"C:\\a"}}), "04 01000000 'G 02000000 'Ap 04000000 'C:\\a"},
      // ANSI text: one byte per character.
      {Log({}, {{L"\xE9", L"\x20AC", kFalse}}, {}, {}), "02 01000000 E9 01000000 80 00000000"},
      // The kinds in their fixed order.
      {Log({}, {{L"", L"", kFalse}}, {{0, L"", L"", L""}}, {{L"", L"", L""}}),
       "02 00000000 00000000 00000000 03 00000000 00000000 00000000 00000000 "
       "04 00000000 00000000 00000000"},
  };
  for (const auto& [log, records] : rows) {
    EXPECT_EQ(Serialize(log), header_and_empty_app + Bytes(records)) << records;
  }
}

TEST(SerializeInstallFile, ReadingTheOutputGivesTheRecordsBack) {
  for (const InstallLog& written : {
           Log({}, {}, {}, {}),
           Log({L"%currentdir%", L"My App", L"%currentdir%\\app.exe", L"My Group"},
               {{L"app.exe", L"%currentdir%\\app.exe", kFalse},
                {L"shared.dll", L"%winsysdir%\\shared.dll", kTrue},
                {L"", L"", kFalse}},
               {{kHklm, L"Software\\My App", L"a", L"b"},
                {static_cast<std::int32_t>(0x80000001u), L"Software\\My App\\Settings", L"", L""}},
               {{L"My Group", L"My App", L"%currentdir%\\app.exe"}, {L"", L"", L""}}),
           Log({L"", L"Caf\xE9 \x20AC \x2122", L"", L"Gr\xFC\x9D"},
               {{L"\r\n", L"\x01\x7F\xFF", 1}, {L"", L"x", -2}}, {{-1, L"\x81", L"", L""}}, {}),
           Log({std::wstring(70000, L'x'), L"", L"", L""}, {}, {}, {}),
       }) {
    InstallLog read = Log({}, {{L"stale", L"stale", kTrue}}, {}, {});
    const ParsedInstallFile parsed = ParseInstallFile(Serialize(written), L"x", read);
    EXPECT_TRUE(parsed.magic_ok && !parsed.cut);
    EXPECT_EQ(parsed.skipped_count, 2u);  // the line end
    InstallLog expected = written;
    for (FileEntry& file : expected.Files) file.KeepFile = file.KeepFile != 0 ? kTrue : kFalse;
    EXPECT_EQ(read, expected);
  }
}

// --- Writing to a file -------------------------------------------------------

class InstallFileWriteTest : public ::testing::Test {
 protected:
  void SetUp() override { env_.AddDir(L"C:\\App"); }
  // Writes the log at `path`: "written" or the error it throws as "error
  // <code>: <text>", then the boxes shown.
  std::string Write(const std::wstring& path) {
    std::string out = "written";
    try {
      InstallFile_Write(env_, path, app_, 1, files_, 1, keys_, form_);
    } catch (const FatalError& error) {
      out = "error " + std::to_string(error.code()) + ": " + log_builder::Show(error.message());
    }
    return out + log_builder::ShowBoxes(env_.messages());
  }
  FakeEnv env_;
  const InstallLog form_ =
      Log({}, {{L"never", L"written", kFalse}}, {}, {{L"Group", L"Link", L"C:\\App\\a.exe"}});
  const AppInfo app_{L"p", L"App", L"m", L"Group"};
  const std::vector<FileEntry> files_{{L"s", L"C:\\App\\a.exe", kTrue}};
  const std::vector<RegKeyEntry> keys_{{kHklm, L"Software\\A", L"", L""}};
};

TEST_F(InstallFileWriteTest, WritesTheArgumentsAndTheFormsLinks) {
  env_.AddFile(L"C:\\App\\Uninstall.dat", std::string(1000, 'x'));  // an older, longer log
  EXPECT_EQ(Write(L"C:\\App\\Uninstall.dat"), "written");
  InstallLog read;
  InstallFile_Read(env_, L"C:\\App\\Uninstall.dat", read);
  EXPECT_TRUE(env_.messages().empty());
  EXPECT_EQ(read, Log(app_, files_, keys_, form_.Links));
}

TEST_F(InstallFileWriteTest, EmptyPathShowsTheMessageAndCreatesNothing) {
  EXPECT_EQ(Write(L""),
            "written | box 48: internal error in InstallFile_Write(): file ' not found !");
  for (const std::wstring& event : env_.events()) {
    EXPECT_EQ(event.find(L"WriteWholeFile"), std::wstring::npos) << log_builder::Show(event);
  }
}

TEST_F(InstallFileWriteTest, WriteFailuresAreFatal) {
  env_.AddFile(L"C:\\App\\readonly.dat", "", attr::kReadOnly);
  env_.AddFile(L"C:\\App\\locked.dat");
  env_.SetLocked(L"C:\\App\\locked.dat", true);
  env_.InjectFault(FakeOp::kWriteWholeFile, L"C:\\App\\full.dat", kErrorNotEnoughMemory);
  const auto fails = [](const std::wstring& path, ErrorCode code) {
    const std::string number = std::to_string(code);
    return "error " + number + ": The install log '" + log_builder::Show(path) +
           "' could not be written (error " + number + ").";
  };
  for (const auto& [path, code] : std::vector<std::pair<std::wstring, ErrorCode>>{
           {L"C:\\App\\readonly.dat", kErrorAccessDenied},
           {L"C:\\App\\locked.dat", kErrorSharingViolation},
           {L"C:\\Nowhere\\u.dat", kErrorPathNotFound},
           {L"C:\\App\\full.dat", kErrorNotEnoughMemory},
           {L"C:\\App", kErrorAccessDenied}}) {
    EXPECT_EQ(Write(path), fails(path, code));
  }
}

}  // namespace
}  // namespace uninstall
