#include "tools/manifest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installlog/reader.h"
#include "installlog/writer.h"
#include "tools/utf8.h"

namespace uninstall::tools {

// The golden files of installlog_cli_unittest.cc.
std::string Golden(const std::string& name);
void ExpectGolden(const std::string& name, const std::string& text);

namespace {

std::string Serialize(const InstallLog& log) {
  return SerializeInstallFile(log.AppInfo, log.FileCount, log.Files, log.RegKeyCount, log.RegKeys,
                              log.LinkCount, log.Links);
}

// manifest -> log -> bytes -> log as read -> manifest.
struct RoundTripCase {
  const char* name;
  const char* manifest;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

class ManifestRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(ManifestRoundTripTest, BytesReadBackGiveTheSameManifest) {
  const Json manifest = Json::parse(GetParam().manifest);
  const InstallLog written = LogFromManifest(manifest);
  InstallLog read;
  const ParsedInstallFile parsed = ParseInstallFile(Serialize(written), L"m.dat", read);
  ASSERT_TRUE(parsed.magic_ok);
  EXPECT_FALSE(parsed.cut.has_value());
  EXPECT_EQ(read, written);
  EXPECT_EQ(ManifestFromLog(read), manifest) << ManifestFromLog(read).dump();
  ExpectGolden("manifest_json_" + std::string(GetParam().name) + ".json",
               ManifestFromLog(read).dump(2) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ManifestRoundTripTest,
    ::testing::Values(
        RoundTripCase{"Minimal", R"({"AppInfo": {"AppPath": "", "AppName": "abc", "MainPath": "",
                                     "GroupName": ""}, "Files": [], "RegKeys": [], "Links": []})"},
        RoundTripCase{"Example",
                      R"({"AppInfo": {"AppPath": "%currentdir%", "AppName": "Tool",
                            "MainPath": "%currentdir%\\tool.exe", "GroupName": "Tool"},
                          "Files": [{"SourcePath": "tool.exe", "TargetPath": "%currentdir%\\tool.exe",
                                     "KeepFile": false}],
                          "RegKeys": [{"RootKey": "HKEY_LOCAL_MACHINE", "SubKey": "Software\\Tool\\",
                                       "Extra1": "", "Extra2": ""}],
                          "Links": [{"FolderName": "%userfolder%", "LinkName": "Tool",
                                     "LinkPath": "%currentdir%\\tool.exe"}]})"},
        RoundTripCase{
            "EveryRootAndKeptFiles",
            R"({"AppInfo": {"AppPath": "a", "AppName": "b", "MainPath": "c", "GroupName": "d"},
                          "Files": [{"SourcePath": "1", "TargetPath": "C:\\x\\1", "KeepFile": true},
                                    {"SourcePath": "2", "TargetPath": "C:\\x\\2", "KeepFile": false},
                                    {"SourcePath": "", "TargetPath": "", "KeepFile": true}],
                          "RegKeys": [
                            {"RootKey": "HKEY_CLASSES_ROOT", "SubKey": "a", "Extra1": "x", "Extra2": "y"},
                            {"RootKey": "HKEY_CURRENT_USER", "SubKey": "b", "Extra1": "", "Extra2": ""},
                            {"RootKey": "HKEY_USERS", "SubKey": "c", "Extra1": "", "Extra2": ""},
                            {"RootKey": "HKEY_CURRENT_CONFIG", "SubKey": "d", "Extra1": "", "Extra2": ""},
                            {"RootKey": -2147483644, "SubKey": "perf", "Extra1": "", "Extra2": ""},
                            {"RootKey": 0, "SubKey": "zero", "Extra1": "", "Extra2": ""},
                            {"RootKey": 2147483647, "SubKey": "max", "Extra1": "", "Extra2": ""}],
                          "Links": []})"},
        RoundTripCase{"TextOfTheCodePage",
                      R"({"AppInfo": {"AppPath": "C:\\Programme\\Café", "AppName": "Größe € ™ ÿ",
                            "MainPath": "tab\there\u0001", "GroupName": "quote \" end"},
                          "Files": [], "RegKeys": [],
                          "Links": [{"FolderName": "Ünïcödé", "LinkName": "", "LinkPath": "\u0000"}]})"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ManifestTest, MinimalManifestWritesTheFormatsSmallestLog) {
  const InstallLog log = LogFromManifest(Json::parse(
      R"({"AppInfo": {"AppPath": "", "AppName": "abc", "MainPath": "", "GroupName": ""},
          "Files": [], "RegKeys": [], "Links": []})"));
  const std::string expected("InstallFile\r\n\x01\0\0\0\0\x03\0\0\0abc\0\0\0\0\0\0\0\0", 33);
  EXPECT_EQ(Serialize(log), expected);
}

TEST(ManifestTest, RootKeyIntegersAreTakenAsTheir32Bits) {
  const auto root = [](const char* value) {
    const std::string text =
        std::string(R"({"AppInfo": {"AppPath": "", "AppName": "", "MainPath": "", "GroupName": ""},
                        "Files": [], "Links": [], "RegKeys": [{"RootKey": )") +
        value + R"(, "SubKey": "", "Extra1": "", "Extra2": ""}]})";
    return LogFromManifest(Json::parse(text)).RegKeys.at(0).RootKey;
  };
  EXPECT_EQ(root("2147483650"), root("-2147483646"));
  EXPECT_EQ(root("2147483650"), root(R"("HKEY_LOCAL_MACHINE")"));
  EXPECT_EQ(root("4294967295"), -1);
  EXPECT_EQ(root("-2147483648"), static_cast<std::int32_t>(0x80000000u));
}

// Each manifest is refused with a message that names the field.
struct BadManifestCase {
  const char* name;
  const char* manifest;
  const char* message;
};

void PrintTo(const BadManifestCase& c, std::ostream* os) { *os << c.name; }

class BadManifestTest : public ::testing::TestWithParam<BadManifestCase> {};

TEST_P(BadManifestTest, IsRefusedWithItsReason) {
  try {
    static_cast<void>(LogFromManifest(Json::parse(GetParam().manifest)));
    FAIL() << "accepted";
  } catch (const ManifestError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().message);
    ExpectGolden("manifest_json_refused_" + std::string(GetParam().name) + ".txt",
                 std::string(e.what()) + "\n");
  }
}

#define APP R"("AppInfo": {"AppPath": "", "AppName": "", "MainPath": "", "GroupName": ""})"
#define KEY(root) \
  R"("RegKeys": [{"RootKey": )" root R"(, "SubKey": "", "Extra1": "", "Extra2": ""}])"

INSTANTIATE_TEST_SUITE_P(
    Table, BadManifestTest,
    ::testing::Values(
        BadManifestCase{"NotAnObject", "[]", "manifest: expected an object, found an array"},
        BadManifestCase{"MissingList", "{" APP R"(, "Files": [], "RegKeys": []})",
                        "manifest: missing field \"Links\""},
        BadManifestCase{"UnknownTopField",
                        "{" APP R"(, "Files": [], "RegKeys": [], "Links": [], "Extra": 1})",
                        "manifest: unknown field \"Extra\""},
        BadManifestCase{"MissingAppField",
                        R"({"AppInfo": {"AppPath": "", "AppName": "", "MainPath": ""},
                            "Files": [], "RegKeys": [], "Links": []})",
                        "AppInfo: missing field \"GroupName\""},
        BadManifestCase{"MisspeltField", "{" APP R"(, "RegKeys": [], "Links": [], "Files": [
                          {"SourcePath": "", "TargetPath": "", "KeepFile": false},
                          {"SourcePath": "", "TargetPath": "", "KeepFile": false, "Keepfile": true}]})",
                        "Files[1]: unknown field \"Keepfile\""},
        BadManifestCase{"KeepFileNumber", "{" APP R"(, "RegKeys": [], "Links": [], "Files": [
                          {"SourcePath": "", "TargetPath": "", "KeepFile": -1}]})",
                        "Files[0].KeepFile: expected true or false, found a number"},
        BadManifestCase{"TextNotString", "{" APP R"(, "RegKeys": [], "Files": [], "Links": [
                          {"FolderName": null, "LinkName": "", "LinkPath": ""}]})",
                        "Links[0].FolderName: expected a string, found null"},
        BadManifestCase{"ListNotArray", "{" APP R"(, "Files": {}, "RegKeys": [], "Links": []})",
                        "Files: expected an array, found an object"},
        BadManifestCase{"UnknownRootName",
                        "{" APP R"(, "Files": [], "Links": [], )" KEY(R"("HKLM")") "}",
                        "RegKeys[0].RootKey: unknown root key name \"HKLM\" (expected one of "
                        "HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, "
                        "HKEY_CURRENT_CONFIG, or a 32-bit integer)"},
        BadManifestCase{"RootNameInOtherCase",
                        "{" APP R"(, "Files": [], "Links": [], )" KEY(R"("hkey_users")") "}",
                        "RegKeys[0].RootKey: unknown root key name \"hkey_users\" (expected one of "
                        "HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, "
                        "HKEY_CURRENT_CONFIG, or a 32-bit integer)"},
        BadManifestCase{"RootTooLarge",
                        "{" APP R"(, "Files": [], "Links": [], )" KEY("4294967296") "}",
                        "RegKeys[0].RootKey: the integer 4294967296 does not fit in 32 bits"},
        BadManifestCase{"RootTooSmall",
                        "{" APP R"(, "Files": [], "Links": [], )" KEY("-2147483649") "}",
                        "RegKeys[0].RootKey: the integer -2147483649 does not fit in 32 bits"},
        BadManifestCase{"RootFraction", "{" APP R"(, "Files": [], "Links": [], )" KEY("2.5") "}",
                        "RegKeys[0].RootKey: expected a root key name or an integer, found a "
                        "number"},
        BadManifestCase{"TextOutsideTheCodePage",
                        R"({"AppInfo": {"AppPath": "", "AppName": "日本", "MainPath": "",
                            "GroupName": ""}, "Files": [], "RegKeys": [], "Links": []})",
                        "AppInfo.AppName: the text \"日本\" has characters that the ANSI code "
                        "page (Windows-1252) cannot hold"}),
    [](const auto& test) { return std::string(test.param.name); });

#undef APP
#undef KEY

TEST(ManifestTest, MoreEntriesThanALogCanCountAreRefused) {
  Json manifest = Json::parse(
      R"({"AppInfo": {"AppPath": "", "AppName": "", "MainPath": "", "GroupName": ""},
          "Files": [], "RegKeys": [], "Links": []})");
  const Json link = {{"FolderName", ""}, {"LinkName", ""}, {"LinkPath", ""}};
  for (int i = 0; i < kMaxEntries; ++i) manifest["Links"].push_back(link);
  EXPECT_EQ(LogFromManifest(manifest).LinkCount, kMaxEntries);
  manifest["Links"].push_back(link);
  EXPECT_THROW(static_cast<void>(LogFromManifest(manifest)), ManifestError);
}

// UTF-8 in and out, with wchar_t of either width.
struct Utf8Case {
  const char* name;
  std::string utf8;
  std::wstring wide;
};

void PrintTo(const Utf8Case& c, std::ostream* os) { *os << c.name; }

class Utf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, ConvertsBothWays) {
  EXPECT_EQ(FromUtf8(GetParam().utf8), GetParam().wide);
  EXPECT_EQ(FromUtf8(ToUtf8(GetParam().wide)), GetParam().wide);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8Test,
    ::testing::Values(Utf8Case{"Ascii", "C:\\x", L"C:\\x"},
                      Utf8Case{"TwoAndThreeBytes", "\xC3\xA9\xE2\x82\xAC", L"\u00E9\u20AC"},
                      Utf8Case{"FourBytes", "\xF0\x9F\x98\x80", L"\U0001F600"},
                      Utf8Case{"Nul", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
                      Utf8Case{"StrayContinuation", "a\x80z", L"a\uFFFDz"},
                      Utf8Case{"CutShort", "a\xE2\x82", L"a\uFFFD\uFFFD"},
                      Utf8Case{"Overlong", "\xC0\xAF", L"\uFFFD\uFFFD"},
                      Utf8Case{"Surrogate", "\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"AboveUnicode", "\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"CutShortThenWellFormed", "\xE2\x82\xE2\x82\xAC",
                               L"\uFFFD\uFFFD\u20AC"}),
    [](const auto& test) { return std::string(test.param.name); });

// Lone surrogates in a wide string become U+FFFD in UTF-8.
class LoneSurrogateTest : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(LoneSurrogateTest, BecomesReplacement) {
  EXPECT_EQ(ToUtf8(GetParam().wide), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(Table, LoneSurrogateTest,
                         ::testing::Values(Utf8Case{"High", "a\xEF\xBF\xBD!", L"a\xD800!"},
                                           Utf8Case{"HighAtEnd", "a\xEF\xBF\xBD", L"a\xD83D"},
                                           Utf8Case{"Low", "\xEF\xBF\xBD\xEF\xBF\xBD",
                                                    L"\xDC00\xD800"}),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace uninstall::tools
