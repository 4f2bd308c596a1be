#include "tools/installlog_cli.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "installlog/writer.h"
#include "tests/support/install_logs.h"
#include "tests/support/log_builder.h"
#include "tools/manifest.h"
#include "uninstall_version.h"

namespace uninstall::tools {

// Expected output is kept in files under tests/golden/installlog/, each
// compared byte for byte; run the tests with UPDATE_GOLDEN=1 to rewrite them
// from what the code gives now, then review the difference. The tests of
// the manifests use these too.
std::string Golden(const std::string& name);
void ExpectGolden(const std::string& name, const std::string& text);

std::string Golden(const std::string& name) {
  std::ifstream in(UNINSTALL_GOLDEN_DIR "/installlog/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ExpectGolden(const std::string& name, const std::string& text) {
  if (std::getenv("UPDATE_GOLDEN") != nullptr) {
    std::ofstream(UNINSTALL_GOLDEN_DIR "/installlog/" + name, std::ios::binary) << text;
  }
  EXPECT_EQ(Golden(name), text) << "golden file " << name;
}

namespace {

namespace fs = std::filesystem;
namespace lb = log_builder;

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

// The tool run in a scratch directory of the test's own, removed after it;
// "$DIR" stands for that directory in what the tool prints.
class InstalllogTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override { fs::remove_all(dir_, ec_); }

  [[nodiscard]] std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  [[nodiscard]] std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string Put(const std::string& name, const std::string& bytes) {
    fs::create_directories((dir_ / name).parent_path());
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return Path(name);
  }
  [[nodiscard]] Outcome Run(std::vector<std::string> args) const {
    args.insert(args.begin(), "installlog");
    std::ostringstream out;
    std::ostringstream err;
    const int code = RunInstalllog(args, out, err, [](const fs::path&) { return FixedFolders(); });
    return {code, Scrub(out.str()), Scrub(err.str())};
  }

 private:
  [[nodiscard]] std::string Scrub(std::string text) const {
    const std::string dir = dir_.string();
    for (std::size_t at = text.find(dir); at != std::string::npos; at = text.find(dir, at)) {
      text.replace(at, dir.size(), "$DIR");
    }
    return text;
  }

  fs::path dir_ =
      fs::temp_directory_path() / ("installlog_test_" + std::to_string(std::random_device()()));
  std::error_code ec_;
};

std::string Bytes(const InstallLog& log) {
  return SerializeInstallFile(log.AppInfo, log.FileCount, log.Files, log.RegKeyCount, log.RegKeys,
                              log.LinkCount, log.Links);
}

const AppInfo kApp{L"%currentdir%", L"Tool", L"%currentdir%\\tool.exe", L"Tool"};
constexpr std::int32_t kHklm = *RootKeyByName("HKEY_LOCAL_MACHINE");
constexpr std::int32_t kHkcu = *RootKeyByName("HKEY_CURRENT_USER");

// Logs of kApp with only files or only keys, and of a group with only links.
FileEntry File(const wchar_t* target, std::int16_t keep = kFalse) { return {L"src", target, keep}; }
RegKeyEntry Key(std::int32_t root, const wchar_t* sub) { return {root, sub, L"", L""}; }
InstallLog Files(std::vector<FileEntry> f) { return MakeInstallLog(kApp, std::move(f), {}, {}); }
InstallLog Keys(std::vector<RegKeyEntry> k) { return MakeInstallLog(kApp, {}, std::move(k), {}); }
InstallLog Group(const wchar_t* group, std::vector<LinkEntry> links = {}) {
  return MakeInstallLog({L"", L"", L"", group}, {}, {}, std::move(links));
}

// example.json written and dumped is example.json again.
TEST_F(InstalllogTest, WriteThenDumpJsonGivesTheManifestBack) {
  const Outcome written = Run({"write", Put("m.json", Golden("example.json")), Path("out.dat")});
  ASSERT_EQ(written.code, kExitOk) << written.err;
  EXPECT_EQ(written.out, "");

  const Outcome dumped = Run({"dump", Path("out.dat"), "--json"});
  ASSERT_EQ(dumped.code, kExitOk) << dumped.err;
  EXPECT_EQ(dumped.err, "");  // a log the writer made has nothing to note
  ExpectGolden("example.json", dumped.out);

  // And the dump written back is the same log, byte for byte.
  ASSERT_EQ(Run({"write", Put("again.json", dumped.out), Path("again.dat")}).code, kExitOk);
  EXPECT_EQ(Read("again.dat"), Read("out.dat"));
}

// The writer warns of a key without its trailing "\" and of a shared key,
// and writes each as the manifest gives it.
TEST_F(InstalllogTest, WriteWarnsOfKeysWithoutBackslashAndOfSharedKeys) {
  const std::string manifest = Put("m.json", R"({
    "AppInfo": {"AppPath": "", "AppName": "Tool", "MainPath": "", "GroupName": ""}, "Files": [],
    "RegKeys": [{"RootKey": "HKEY_CURRENT_USER", "SubKey": "Software\\Tool", "Extra1": "", "Extra2": ""},
                {"RootKey": "HKEY_CURRENT_USER", "SubKey": "Software\\Tool\\", "Extra1": "", "Extra2": ""},
                {"RootKey": "HKEY_LOCAL_MACHINE", "SubKey": "Software\\Wow6432Node\\Microsoft\\",
                 "Extra1": "", "Extra2": ""}],
    "Links": []})");
  const Outcome written = Run({"write", manifest, Path("out.dat")});
  ASSERT_EQ(written.code, kExitOk);
  ExpectGolden("write_warnings.err", written.err);
  const Outcome dumped = Run({"dump", Path("out.dat"), "--json"});
  EXPECT_EQ(Json::parse(dumped.out)["RegKeys"][0]["SubKey"], "Software\\Tool");
}

TEST_F(InstalllogTest, MinimalManifestGivesTheSmallestLog) {
  const std::string manifest = Put("m.json", Golden("manifest_json_Minimal.json"));
  ASSERT_EQ(Run({"write", manifest, Path("out.dat")}).code, kExitOk);
  EXPECT_EQ(Read("out.dat"),
            std::string("InstallFile\r\n\x01\0\0\0\0\x03\0\0\0abc\0\0\0\0\0\0\0\0", 33));
}

// `plan --json` of logs whose plans are known, each in plan_NAME.json.
struct PlanCase {
  const char* name;
  InstallLog log;
  std::vector<std::string> options;
};
PlanCase Plan(const char* name, InstallLog log, std::vector<std::string> options = {}) {
  return {name, std::move(log), std::move(options)};
}
void PrintTo(const PlanCase& c, std::ostream* os) { *os << c.name; }

class InstalllogPlanTest : public InstalllogTest, public ::testing::WithParamInterface<PlanCase> {};

TEST_P(InstalllogPlanTest, ShowsWhatTheStagesWouldDo) {
  const PlanCase& c = GetParam();
  std::vector<std::string> args = {"plan", Put("Uninstall.dat", Bytes(c.log)), "--json"};
  args.insert(args.end(), c.options.begin(), c.options.end());
  const Outcome outcome = Run(args);
  ASSERT_EQ(outcome.code, kExitOk) << outcome.err;
  ExpectGolden("plan_" + std::string(c.name) + ".json", outcome.out);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InstalllogPlanTest,
    ::testing::Values(
        Plan("RegistryCompletedWithTheMissingKey",
             Keys({Key(kHklm, L"Software\\X\\App\\"),
                   Key(kHklm, L"Software\\X\\App\\Sub\\Deep\\")})),
        Plan("RegistryRootsKeptApart", Keys({Key(kHklm, L"Software\\X\\App\\"),
                                             Key(kHkcu, L"Software\\X\\App\\Sub\\Deep\\")})),
        Plan("RegistryKeysWithoutTrailingBackslash",
             Keys({Key(kHklm, L"Software\\X\\App"), Key(kHklm, L"Software\\X\\App\\Sub")})),
        // The keys of "registry" stay as they were; "registryActions" says
        // which of them the stages delete.
        Plan("RegistryActionsBesideTheKeys",
             Keys({Key(kHklm, L"Software\\X\\App"), Key(kHklm, L"Software\\X\\App\\Sub"),
                   Key(kHklm, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\X")})),
        Plan("RegistryEqualLengthsNotStable", Keys({Key(1, L"A\\"), Key(1, L"BB\\"), Key(1, L"C\\"),
                                                    Key(1, L"DD\\"), Key(1, L"E\\")})),
        Plan("DirectoriesCompletedDeepestFirstDuplicatesKept",
             Files({File(L"C:\\Apps\\Tool\\a.exe"), File(L"C:\\Apps\\Tool\\data\\img\\b.png"),
                    File(L"C:\\Apps\\Tool\\c.dll")})),
        Plan("DirectoriesAncestorTestIsCaseSensitive",
             Files({File(L"C:\\Apps\\tool\\a"), File(L"C:\\Apps\\Tool\\data\\b")})),
        Plan("DirectoriesSkipKeptAndUnexpanded",
             Files({File(L"%temp%\\x\\a"), File(L"%currentdir%\\kept\\b", kTrue),
                    File(L"%currentdir%\\c")}),
             {"--appdir", "D:\\Apps\\Tool"}),
        Plan("FilesTakenByTheFileStage",
             Files({File(L"%temp%\\x\\a"), File(L"%currentdir%\\kept", kTrue), File(L""),
                    File(L"%windir%\\dir\\"), File(L"%winsysdir%\\x.dll"),
                    File(L"%rootdir%\\Data\\d")}),
             {"--windir", "E:\\Win", "--winsysdir", "E:\\Win\\Sys\\", "--appdir",
              "D:\\Apps\\Tool\\"}),
        Plan("AppPathsExpanded", Files({}), {"--appdir", "D:\\Apps\\Tool\\"}),
        Plan("MainDirectoryWithDefaultFolders", Files({})),
        Plan("LinksDesktopFirstFoldersExpanded",
             Group(L"My Group",
                   {{L"%userfolder%", L"Tool", L"x"}, {L"%userfolder%\\Extras", L"Help", L""}})),
        Plan("Group", Group(L"Vendor\\Tool"))),
    [](const auto& test) { return std::string(test.param.name); });

// Input that is refused: the exit code, nothing on the output, and the
// error stream of refused_NAME.err. The file is written as "in" in the
// scratch directory ("" writes none); an argument that opens with "@" opens
// with the path of "in".
struct BadInputCase {
  const char* name;
  std::string file;
  std::vector<std::string> args;
  int code;
};
BadInputCase Refused(const char* name, std::string file, std::vector<std::string> args,
                     int code = kExitUsage) {
  return {name, std::move(file), std::move(args), code};
}
void PrintTo(const BadInputCase& c, std::ostream* os) { *os << c.name; }

class InstalllogBadInputTest : public InstalllogTest,
                               public ::testing::WithParamInterface<BadInputCase> {};

TEST_P(InstalllogBadInputTest, FailsWithItsCodeAndMessage) {
  const BadInputCase& c = GetParam();
  const std::string in = c.file.empty() ? Path("in") : Put("in", c.file);
  std::vector<std::string> args = c.args;
  for (std::string& arg : args) {
    if (arg.starts_with('@')) arg.replace(0, 1, in);
  }
  const Outcome outcome = Run(args);
  EXPECT_EQ(outcome.code, c.code);
  EXPECT_EQ(outcome.out, "");
  ExpectGolden("refused_" + std::string(c.name) + ".err", outcome.err);
}

const std::string kValidLog = lb::Header() + lb::AppRec("", "abc", "", "");

INSTANTIATE_TEST_SUITE_P(
    Table, InstalllogBadInputTest,
    ::testing::Values(
        Refused("NotALog", "PK\x03\x04 not a log", {"dump", "@"}, kExitInvalidLog),
        Refused("NegativeLength",
                std::string(kInstallFileMagic) + lb::Kind(kRecordFileEntry) + lb::Int(-1),
                {"dump", "@", "--json"}, kExitInvalidLog),
        Refused("MissingLog", "", {"dump", "@"}), Refused("LogIsADirectory", "", {"plan", "."}),
        Refused("MalformedJson", "{\"AppInfo\": ", {"write", "@", "@.dat"}),
        Refused("JsonWithBadUtf8", "{\"AppInfo\": \"\xFF\"}", {"write", "@", "@.dat"}),
        Refused("UnknownRootName",
                R"({"AppInfo": {"AppPath": "", "AppName": "", "MainPath": "", "GroupName": ""},
                         "Files": [], "Links": [],
                         "RegKeys": [{"RootKey": "HKEY_LOCAL", "SubKey": "", "Extra1": "", "Extra2": ""}]})",
                {"write", "@", "@.dat"}),
        Refused("EmptyManifest", "{}", {"write", "@", "@.dat"}),
        Refused("OutputThatCannotBeCreated", Golden("example.json"),
                {"write", "@", "@.d/no/such/dir/out.dat"}),
        Refused("ManifestOfAFile", "x", {"manifest", "@", "--name", "Tool", "--main", "x"}),
        Refused("ManifestWithoutMain", "", {"manifest", ".", "--name", "Tool"}),
        Refused("ManifestExtrasWithUnknownField", R"({"Files": []})",
                {"manifest", ".", "--name", "Tool", "--main", "x", "--extras", "@"}),
        Refused("ManifestBadMap", "",
                {"manifest", ".", "--name", "Tool", "--main", "x", "--map", "a=C:\\x"}),
        Refused("NoCommand", "", {}), Refused("UnknownCommand", "", {"erase", "@"}),
        Refused("MissingOperand", "", {"write", "@"}),
        Refused("UnknownOption", kValidLog, {"dump", "@", "--xml"}),
        Refused("EmptyFolder", kValidLog, {"plan", "@", "--appdir", ""})),
    [](const auto& test) { return std::string(test.param.name); });

// A staged folder through `manifest`, `write` and `dump --json`: the log
// holds what the manifest printed, and the notes go to the error stream.
TEST_F(InstalllogTest, StagedFolderGivesTheManifestThatWriteTakes) {
  for (const char* file : {"stage/app/tool.exe", "stage/app/data/t\xc3\xa9.txt",
                           "stage/app/Uninstall.exe", "stage/sys/tool.dll"}) {
    Put(file, "x");
  }
  fs::create_directories(Path("stage/app/logs"));
  const std::string extras =
      Put("extras.json", R"({"RegKeys": [{"RootKey": "HKEY_CLASSES_ROOT", "SubKey": ".tool\\",
                                 "Extra1": "", "Extra2": ""}]})");
  const Outcome manifest =
      Run({"manifest", Path("stage"), "--name", "Tool", "--main", "app/tool.exe", "--group",
           "Vendor\\Tool", "--map", "app=%currentdir%", "--map", "sys=%winsysdir%", "--extras",
           extras, "--reg-key", "HKLM\\Software\\Vendor\\Tool\\", "--link", "Tool=app/tool.exe"});
  ASSERT_EQ(manifest.code, kExitOk) << manifest.err;
  ExpectGolden("manifest_staged.json", manifest.out);
  ExpectGolden("manifest_staged.err", manifest.err);

  ASSERT_EQ(Run({"write", Put("m.json", manifest.out), Path("Uninstall.dat")}).code, kExitOk);
  const Outcome dumped = Run({"dump", Path("Uninstall.dat"), "--json"});
  ASSERT_EQ(dumped.code, kExitOk);
  EXPECT_EQ(Json::parse(dumped.out), Json::parse(manifest.out));
}

TEST_F(InstalllogTest, ManifestReportsEveryRefusedNameOnItsOwnLine) {
  for (const std::string file : {"tool.exe", "a?b", "nul.txt", "x.", "X."})
    Put("stage/" + file, "x");
  const Outcome outcome = Run({"manifest", Path("stage"), "--name", "Tool", "--main", "tool.exe"});
  EXPECT_EQ(outcome.code, kExitUsage);
  EXPECT_EQ(outcome.out, "");
  ExpectGolden("manifest_refused_names.err", outcome.err);
}

TEST_F(InstalllogTest, VersionIsTheProjectsVersion) {
  const Outcome outcome = Run({"--version"});
  EXPECT_EQ(outcome.code, kExitOk);
  EXPECT_EQ(outcome.out, std::string("installlog ") + UNINSTALL_VERSION + "\n");
}

// The help of the program and of each command, in help_COMMAND.txt.
TEST_F(InstalllogTest, EachCommandHasHelp) {
  for (const std::string command :
       {"installlog", "write", "manifest", "dump", "plan", "capture", "verify"}) {
    const Outcome outcome =
        Run(command == "installlog" ? std::vector<std::string>{"--help"}
                                    : std::vector<std::string>{command, "--help"});
    EXPECT_EQ(outcome.code, kExitOk) << command;
    ExpectGolden("help_" + command + ".txt", outcome.out);
  }
}

// What `dump` shows of a log that the writer would not have written: records
// out of order, stray bytes, two AppInfo records and a record cut short.
TEST_F(InstalllogTest, DumpShowsRecordsInFileOrderWithWhatWasPassedOver) {
  using namespace std::string_literals;
  const std::string log =
      Put("x.dat", std::string(kInstallFileMagic) + lb::AppRec("", "A", "", "") +
                       lb::LinkRec("F", "L", "") + "\x00\xFF"s + lb::FileRec("", "T", 1) +
                       lb::AppRec("", "B", "", "") +
                       lb::KeyRec(static_cast<std::int32_t>(0x80000004u), "K", "", "") +
                       lb::CutRecord(kRecordFileEntry, {"12345", "T", 0}, 0, 3));

  const Outcome text = Run({"dump", log});
  ASSERT_EQ(text.code, kExitOk) << text.err;
  ExpectGolden("dump_odd_records.txt", text.out);

  const Outcome json = Run({"dump", log, "--json"});
  ASSERT_EQ(json.code, kExitOk);
  ExpectGolden("dump_odd_records.json", json.out);
  ExpectGolden("dump_odd_records.err", json.err);
}

TEST_F(InstalllogTest, DumpShowsLongRunsOfJunkShort) {
  const Outcome outcome = Run({"dump", Put("x.dat", "InstallFile" + std::string(100000, '\x7F'))});
  ASSERT_EQ(outcome.code, kExitOk);
  ExpectGolden("dump_long_junk.txt", outcome.out);
}

}  // namespace
}  // namespace uninstall::tools
