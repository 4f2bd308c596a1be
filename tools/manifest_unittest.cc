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

// manifest -> log -> bytes -> log as read -> manifest, of the manifest in
// manifest_json_NAME.json: what is read back is that file again.
class ManifestRoundTripTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ManifestRoundTripTest, BytesReadBackGiveTheSameManifest) {
  const std::string golden = "manifest_json_" + std::string(GetParam()) + ".json";
  const InstallLog written = LogFromManifest(Json::parse(Golden(golden)));
  InstallLog read;
  const ParsedInstallFile parsed = ParseInstallFile(Serialize(written), L"m.dat", read);
  ASSERT_TRUE(parsed.magic_ok);
  EXPECT_FALSE(parsed.cut.has_value());
  EXPECT_EQ(read, written);
  ExpectGolden(golden, ManifestFromLog(read).dump(2) + "\n");
}

INSTANTIATE_TEST_SUITE_P(Table, ManifestRoundTripTest,
                         ::testing::Values("Minimal", "Example", "EveryRootAndKeptFiles",
                                           "TextOfTheCodePage"),
                         [](const auto& test) { return std::string(test.param); });

TEST(ManifestTest, MinimalManifestWritesTheFormatsSmallestLog) {
  const InstallLog log = LogFromManifest(Json::parse(Golden("manifest_json_Minimal.json")));
  const std::string expected("InstallFile\r\n\x01\0\0\0\0\x03\0\0\0abc\0\0\0\0\0\0\0\0", 33);
  EXPECT_EQ(Serialize(log), expected);
}

// An AppInfo of empty texts, and a manifest of it with one registry key
// whose RootKey is `root` (JSON).
#define APP R"("AppInfo": {"AppPath": "", "AppName": "", "MainPath": "", "GroupName": ""})"
std::string WithRoot(const std::string& root) {
  return "{" APP R"(, "Files": [], "Links": [], "RegKeys": [{"RootKey": )" + root +
         R"(, "SubKey": "", "Extra1": "", "Extra2": ""}]})";
}

TEST(ManifestTest, RootKeyIntegersAreTakenAsTheir32Bits) {
  const auto root = [](const char* value) {
    return LogFromManifest(Json::parse(WithRoot(value))).RegKeys.at(0).RootKey;
  };
  EXPECT_EQ(root("2147483650"), root("-2147483646"));
  EXPECT_EQ(root("2147483650"), root(R"("HKEY_LOCAL_MACHINE")"));
  EXPECT_EQ(root("4294967295"), -1);
  EXPECT_EQ(root("-2147483648"), static_cast<std::int32_t>(0x80000000u));
}

// Each manifest is refused with a message that names the field, the one of
// manifest_json_refused_NAME.txt.
struct BadManifestCase {
  const char* name;
  std::string manifest;
};
BadManifestCase Bad(const char* name, std::string manifest) { return {name, std::move(manifest)}; }

void PrintTo(const BadManifestCase& c, std::ostream* os) { *os << c.name; }

class BadManifestTest : public ::testing::TestWithParam<BadManifestCase> {};

TEST_P(BadManifestTest, IsRefusedWithItsReason) {
  try {
    static_cast<void>(LogFromManifest(Json::parse(GetParam().manifest)));
    FAIL() << "accepted";
  } catch (const ManifestError& e) {
    ExpectGolden("manifest_json_refused_" + std::string(GetParam().name) + ".txt",
                 std::string(e.what()) + "\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadManifestTest,
    ::testing::Values(
        Bad("NotAnObject", "[]"), Bad("MissingList", "{" APP R"(, "Files": [], "RegKeys": []})"),
        Bad("UnknownTopField", "{" APP R"(, "Files": [], "RegKeys": [], "Links": [], "Extra": 1})"),
        Bad("MissingAppField",
            R"({"AppInfo": {"AppPath": "", "AppName": "", "MainPath": ""},
                            "Files": [], "RegKeys": [], "Links": []})"),
        Bad("MisspeltField", "{" APP R"(, "RegKeys": [], "Links": [], "Files": [
                          {"SourcePath": "", "TargetPath": "", "KeepFile": false},
                          {"SourcePath": "", "TargetPath": "", "KeepFile": false, "Keepfile": true}]})"),
        Bad("KeepFileNumber", "{" APP R"(, "RegKeys": [], "Links": [], "Files": [
                          {"SourcePath": "", "TargetPath": "", "KeepFile": -1}]})"),
        Bad("TextNotString", "{" APP R"(, "RegKeys": [], "Files": [], "Links": [
                          {"FolderName": null, "LinkName": "", "LinkPath": ""}]})"),
        Bad("ListNotArray", "{" APP R"(, "Files": {}, "RegKeys": [], "Links": []})"),
        Bad("UnknownRootName", WithRoot(R"("HKLM")")),
        Bad("RootNameInOtherCase", WithRoot(R"("hkey_users")")),
        Bad("RootTooLarge", WithRoot("4294967296")), Bad("RootTooSmall", WithRoot("-2147483649")),
        Bad("RootFraction", WithRoot("2.5")),
        Bad("TextOutsideTheCodePage",
            R"({"AppInfo": {"AppPath": "", "AppName": "日本", "MainPath": "",
                            "GroupName": ""}, "Files": [], "RegKeys": [], "Links": []})")),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ManifestTest, MoreEntriesThanALogCanCountAreRefused) {
  Json manifest = Json::parse("{" APP R"(, "Files": [], "RegKeys": [], "Links": []})");
  const Json link = {{"FolderName", ""}, {"LinkName", ""}, {"LinkPath", ""}};
  for (int i = 0; i < kMaxEntries; ++i) manifest["Links"].push_back(link);
  EXPECT_EQ(LogFromManifest(manifest).LinkCount, kMaxEntries);
  manifest["Links"].push_back(link);
  EXPECT_THROW(static_cast<void>(LogFromManifest(manifest)), ManifestError);
}

#undef APP

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
