#include "tools/staged_manifest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/install_logs.h"
#include "tools/manifest.h"
#include "tools/utf8.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace uninstall::tools {

// The golden files of installlog_cli_unittest.cc.
std::string Golden(const std::string& name);
void ExpectGolden(const std::string& name, const std::string& text);

namespace {

namespace fs = std::filesystem;
using Adjust = std::function<void(StagedOptions&)>;

constexpr std::int32_t kHkcr = *RootKeyByName("HKEY_CLASSES_ROOT");
constexpr std::int32_t kHklm = *RootKeyByName("HKEY_LOCAL_MACHINE");

// A tree of the given files, each "a/b/c" (UTF-8 in the source).
StagedTree Tree(std::initializer_list<std::wstring_view> files) {
  StagedTree tree;
  for (const std::wstring_view file : files) tree.Files.push_back(SplitStagedPath(file));
  return tree;
}

// The application "Tool" in the group "Tool", its main file `main`; then
// `adjust` changes what a case needs.
StagedOptions Options(std::wstring_view main = L"app.exe", const Adjust& adjust = nullptr) {
  StagedOptions options;
  options.AppName = L"Tool";
  options.MainFile = SplitStagedPath(main);
  options.GroupName = L"Tool";
  if (adjust) adjust(options);
  return options;
}

// Trees and options that make a log: the files it lists, in order, as
// "SourcePath -> TargetPath" (with " (kept)").
struct PlacementCase {
  const char* name;
  StagedTree tree;
  std::vector<std::wstring> files;
  Adjust adjust;
};
PlacementCase Placed(const char* name, StagedTree tree, std::vector<std::wstring> files,
                     Adjust adjust = nullptr) {
  return {name, std::move(tree), std::move(files), std::move(adjust)};
}
void PrintTo(const PlacementCase& c, std::ostream* os) { *os << c.name; }

class StagedPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(StagedPlacementTest, ListsEachFileWithItsTarget) {
  const StagedLog staged =
      LogFromStagedTree(GetParam().tree, Options(L"app.exe", GetParam().adjust));
  std::vector<std::wstring> lines;
  for (const FileEntry& file : staged.Log.Files) {
    lines.push_back(file.SourcePath + L" -> " + file.TargetPath +
                    (file.KeepFile == kFalse ? L"" : L" (kept)"));
  }
  EXPECT_EQ(lines, GetParam().files);
  std::string text;
  for (const std::wstring& line : lines) text += ToUtf8(line) + "\n";
  ExpectGolden("staged_" + std::string(GetParam().name) + ".txt", text);
  EXPECT_EQ(staged.Log.FileCount, static_cast<std::int16_t>(lines.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, StagedPlacementTest,
    ::testing::Values(
        Placed("CurrentDirByDefaultSortedByName",
               Tree({L"b.txt", L"data/img/logo.png", L"app.exe", L"data/a.dat", L"Z.txt"}),
               {L"Z.txt -> %currentdir%\\Z.txt", L"app.exe -> %currentdir%\\app.exe",
                L"b.txt -> %currentdir%\\b.txt", L"data\\a.dat -> %currentdir%\\data\\a.dat",
                L"data\\img\\logo.png -> %currentdir%\\data\\img\\logo.png"}),
        // Name by name: "a/z" comes before "a b" although "/" sorts after " ".
        Placed("SortedNameByName", Tree({L"a b", L"a/z", L"app.exe", L"\u00e9.txt", L"e.txt"}),
               {L"a\\z -> %currentdir%\\a\\z", L"a b -> %currentdir%\\a b",
                L"app.exe -> %currentdir%\\app.exe", L"e.txt -> %currentdir%\\e.txt",
                L"\u00e9.txt -> %currentdir%\\\u00e9.txt"}),
        Placed("OtherTargetSubfolderKept", Tree({L"app.exe", L"lib/x.dll"}),
               {L"app.exe -> %winsysdir%\\Tool\\app.exe",
                L"lib\\x.dll -> %winsysdir%\\Tool\\lib\\x.dll"},
               [](StagedOptions& o) { o.Target = L"%WinSysDir%/Tool/"; }),
        Placed("MapsDeepestFolderWins",
               Tree({L"app/app.exe", L"sys/x.dll", L"sys/fonts/f.ttf", L"top.txt"}),
               {L"app\\app.exe -> %currentdir%\\app.exe",
                L"sys\\fonts\\f.ttf -> %windir%\\Fonts\\f.ttf", L"sys\\x.dll -> %winsysdir%\\x.dll",
                L"top.txt -> %currentdir%\\top.txt"},
               [](StagedOptions& o) {
                 o.MainFile = SplitStagedPath(L"app/app.exe");
                 o.Maps = {ParseMapOption(L"app=%currentdir%"), ParseMapOption(L"sys=%winsysdir%"),
                           ParseMapOption(L"sys\\fonts=%windir%\\Fonts")};
               }),
        Placed("KeptFiles", Tree({L"app.exe", L"cfg/user.ini", L"cfg/default.ini"}),
               {L"app.exe -> %currentdir%\\app.exe",
                L"cfg\\default.ini -> %currentdir%\\cfg\\default.ini",
                L"cfg\\user.ini -> %currentdir%\\cfg\\user.ini (kept)"},
               [](StagedOptions& o) { o.KeptFiles = {SplitStagedPath(L"cfg\\user.ini")}; }),
        // The uninstaller and its log are no files of the log; elsewhere
        // the same names are ordinary files.
        Placed("OwnFilesLeftOut",
               Tree({L"app.exe", L"UNINSTALL.EXE", L"Uninstall.dat", L"sub/Uninstall.exe"}),
               {L"app.exe -> %currentdir%\\app.exe",
                L"sub\\Uninstall.exe -> %currentdir%\\sub\\Uninstall.exe"}),
        Placed("OwnFilesUnderAnotherTargetKept", Tree({L"app.exe", L"Uninstall.exe"}),
               {L"Uninstall.exe -> %windir%\\Uninstall.exe", L"app.exe -> %windir%\\app.exe"},
               [](StagedOptions& o) { o.Target = L"%windir%"; })),
    [](const auto& test) { return std::string(test.param.name); });

TEST(StagedManifestTest, AppInfoRegistryKeysAndLinks) {
  StagedOptions options = Options(L"bin/app.exe");
  // Keys given without their trailing "\" get one.
  options.RegKeys = {{kHkcr, L".tool", L"", L""},
                     ParseRegKeyOption(L"HKLM\\Software\\Vendor\\Tool")};
  options.Links = {{L"%userfolder%", L"From JSON", L""}};
  options.GroupLinks = {ParseLinkOption(L"Tool=bin/app.exe"),
                        ParseLinkOption(L"Extras\\Read me=readme.txt")};
  const StagedLog staged = LogFromStagedTree(Tree({L"bin/app.exe", L"readme.txt"}), options);
  EXPECT_EQ(
      staged.Log,
      MakeInstallLog(
          {L"%currentdir%", L"Tool", L"%currentdir%\\bin\\app.exe", L"Tool"}, staged.Log.Files,
          {{kHkcr, L".tool\\", L"", L""}, {kHklm, L"Software\\Vendor\\Tool\\", L"", L""}},
          {{L"%userfolder%", L"From JSON", L""},
           {L"%userfolder%", L"Tool", L"%currentdir%\\bin\\app.exe"},
           {L"%userfolder%\\Extras", L"Read me", L"%currentdir%\\readme.txt"}}));
  ExpectGolden("staged_AppInfoRegistryKeysAndLinks.json",
               ManifestFromLog(staged.Log).dump(2) + "\n");
  EXPECT_TRUE(staged.Notes.empty());
  // What `write` makes of the printed manifest is this log.
  EXPECT_EQ(LogFromManifest(ManifestFromLog(staged.Log)), staged.Log);
}

TEST(StagedManifestTest, TheSameFolderGivesTheSameLogInAnyWalkOrder) {
  StagedTree tree = Tree({L"app.exe", L"a/b/c.txt", L"a/b.txt", L"A.txt", L"a/c/d/e.f", L"z"});
  const InstallLog first = LogFromStagedTree(tree, Options()).Log;
  std::mt19937 rng(7);
  for (int round = 0; round < 10; ++round) {
    std::shuffle(tree.Files.begin(), tree.Files.end(), rng);
    EXPECT_EQ(LogFromStagedTree(tree, Options()).Log, first);
  }
}

TEST(StagedManifestTest, NotesForOwnFilesAndEmptyFolders) {
  StagedTree tree = Tree({L"app.exe", L"Uninstall.exe"});
  tree.EmptyDirs = {SplitStagedPath(L"logs")};
  const StagedLog staged = LogFromStagedTree(tree, Options());
  ASSERT_EQ(staged.Notes.size(), 2u);
  ExpectGolden("staged_notes.txt", staged.Notes[0] + "\n" + staged.Notes[1] + "\n");
  EXPECT_NE(staged.Notes[0].find("\"Uninstall.exe\" is left out of the log"), std::string::npos);
  EXPECT_NE(staged.Notes[1].find("\"logs\" is an empty folder"), std::string::npos);
}

// Trees and options that are refused: each message line that must appear.
struct RefusedCase {
  const char* name;
  StagedTree tree;
  std::vector<std::string> messages;
  Adjust adjust;
};
RefusedCase Refused(const char* name, StagedTree tree, std::vector<std::string> messages,
                    Adjust adjust = nullptr) {
  return {name, std::move(tree), std::move(messages), std::move(adjust)};
}
void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class StagedRefusedTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(StagedRefusedTest, IsRefusedWithEveryReason) {
  const RefusedCase& c = GetParam();
  try {
    static_cast<void>(LogFromStagedTree(c.tree, Options(L"app.exe", c.adjust)));
    FAIL() << "accepted";
  } catch (const ManifestError& e) {
    const std::string what = e.what();
    ExpectGolden("staged_refused_" + std::string(c.name) + ".txt", what + "\n");
    for (const std::string& message : c.messages) {
      EXPECT_NE(what.find(message), std::string::npos)
          << "missing: " << message << "\nin: " << what;
    }
    EXPECT_EQ(static_cast<std::size_t>(std::count(what.begin(), what.end(), '\n')) + 1,
              c.messages.size())
        << what;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, StagedRefusedTest,
    ::testing::Values(
        Refused("NamesWindowsCannotHold",
                Tree({L"app.exe", L"a:b", L"what?.txt", L"dir\\in\\name", L"tab\there", L"dot.",
                      L"space ", L"con", L"Lpt1.txt", L"x/aux.h"}),
                {"\"a:b\": the name has \":\", which Windows does not allow",
                 "\"what?.txt\": the name has \"?\"",
                 "\"tab\\u0009here\": the name has a control character",
                 "\"dot.\": the name ends in a dot or a space",
                 "\"space \": the name ends in a dot or a space",
                 "\"con\": the name is a device name on Windows", "\"Lpt1.txt\": the name is a",
                 "\"x/aux.h\": the name is a device name"}),
        Refused("NamesOutsideTheCodePage",
                Tree({L"app.exe", L"docs/\u65e5\u672c.txt", L"\u0416/a.txt"}),
                {"\"docs/\u65e5\u672c.txt\": the name has characters that the ANSI code page "
                 "(Windows-1252) cannot hold",
                 "\"\u0416/a.txt\": the name has characters that"}),
        Refused("NamesThatAreOneOnWindows",
                Tree({L"app.exe", L"Read.me", L"READ.ME", L"Data/a", L"data/b", L"\u00c9t\u00e9",
                      L"\u00e9T\u00c9/x"}),
                {"\"READ.ME\" and \"Read.me\" land on \"%currentdir%\\READ.ME\" and "
                 "\"%currentdir%\\Read.me\", which Windows takes for one",
                 "\"Data/a\" and \"data/b\" land on",
                 "\"\u00c9t\u00e9\" and \"\u00e9T\u00c9/x\" land on"}),
        Refused("TwoMapsOntoOneFile", Tree({L"app.exe", L"a/x.dll", L"b/x.dll"}),
                {"\"a/x.dll\" and \"b/x.dll\" both land on \"%winsysdir%\\x.dll\""},
                [](StagedOptions& o) {
                  o.Maps = {ParseMapOption(L"a=%winsysdir%"), ParseMapOption(L"b=%winsysdir%")};
                }),
        Refused("OptionsNamingNoStagedFile", Tree({L"app.exe", L"lib/x.dll"}),
                {"--map \"system\": no staged file is in that folder",
                 "--map \"lib\": the folder is mapped twice",
                 "--main \"bin/app.exe\": no such file in the staged folder",
                 "--keep \"lib\": no such file", "--link \"tool.exe\": no such file"},
                [](StagedOptions& o) {
                  o.MainFile = SplitStagedPath(L"bin/app.exe");
                  o.KeptFiles = {SplitStagedPath(L"lib")};
                  o.GroupLinks = {ParseLinkOption(L"Tool=tool.exe")};
                  o.Maps = {ParseMapOption(L"system=%winsysdir%"), ParseMapOption(L"lib=%windir%"),
                            ParseMapOption(L"lib=%windir%")};
                }),
        Refused("NamesOfTheApplication", Tree({L"app.exe"}),
                {"--name \"Tool: Pro\": the name has \":\"", "--group \"Vendor\\Tool*\"",
                 "--link \"Help\u20ac\\\u65e5\": the name has characters"},
                [](StagedOptions& o) {
                  o.AppName = L"Tool: Pro";
                  o.GroupName = L"Vendor\\Tool*";
                  o.GroupLinks = {ParseLinkOption(L"Help\u20ac\\\u65e5=app.exe")};
                }),
        Refused("NoName", Tree({L"app.exe"}), {"--name: the application needs a name"},
                [](StagedOptions& o) { o.AppName.clear(); }),
        Refused("LinksWithoutGroup", Tree({L"app.exe"}), {"--link needs --group"},
                [](StagedOptions& o) {
                  o.GroupName.clear();
                  o.GroupLinks = {ParseLinkOption(L"Tool=app.exe")};
                }),
        Refused("ProblemsOfTheWalkFirst",
                [] {
                  StagedTree tree = Tree({L"app.exe", L"bad?"});
                  tree.Problems = {"\"dir\": cannot be read: Permission denied"};
                  return tree;
                }(),
                {"\"dir\": cannot be read: Permission denied", "\"bad?\": the name has"})),
    [](const auto& test) { return std::string(test.param.name); });

TEST(StagedManifestTest, MoreFilesThanALogCanCountAreAnErrorNotCutShort) {
  StagedTree tree;
  for (int i = 0; i <= kMaxEntries; ++i) tree.Files.push_back({L"f" + std::to_wstring(i)});
  try {
    static_cast<void>(LogFromStagedTree(tree, Options(L"f0")));
    FAIL() << "accepted";
  } catch (const ManifestError& e) {
    EXPECT_EQ(std::string(e.what()),
              "the staged folder holds 32768 files; a log holds at most 32767");
  }
  // The uninstaller itself is left out, so with it the folder fits again.
  tree.Files.back() = {L"Uninstall.exe"};
  EXPECT_EQ(LogFromStagedTree(tree, Options(L"f0")).Log.FileCount, kMaxEntries);
}

// The option texts: what each is read as, or why it is refused.
TEST(StagedOptionTextTest, ReadOrRefused) {
  EXPECT_EQ(SplitStagedPath(L"./a//b\\c/"), (StagedPath{L"a", L"b", L"c"}));
  EXPECT_EQ(SplitStagedPath(L"a/../b"), StagedPath{});

  EXPECT_EQ(ParseMapOption(L"sys/x=%WINDIR%\\Fonts\\").Target, L"%windir%\\Fonts");
  EXPECT_EQ(ParseMapOption(L"sys/x=%windir%").Folder, (StagedPath{L"sys", L"x"}));
  EXPECT_EQ(ParseLinkOption(L"Tools/Settings=bin\\s.exe").Name, L"Tools\\Settings");
  EXPECT_EQ(ParseRegKeyOption(L"HKEY_CURRENT_USER\\Software\\X").RootKey,
            static_cast<std::int32_t>(0x80000001u));
  EXPECT_EQ(ParseRegKeyOption(L"HKCC\\System\\X").RootKey, static_cast<std::int32_t>(0x80000005u));
  EXPECT_EQ(ParseRegKeyOption(L"HKU\\.DEFAULT\\X\\").SubKey, L".DEFAULT\\X\\");

  using Parse = void (*)(std::wstring_view);
  const Parse map = [](std::wstring_view text) { static_cast<void>(ParseMapOption(text)); };
  const Parse link = [](std::wstring_view text) { static_cast<void>(ParseLinkOption(text)); };
  const Parse key = [](std::wstring_view text) { static_cast<void>(ParseRegKeyOption(text)); };
  const std::vector<std::tuple<Parse, std::wstring_view, std::string>> refused = {
      {map, L"sys", "--map \"sys\": expected FOLDER=TARGET"},
      {map, L"=%windir%", "expected FOLDER=TARGET"},
      {map, L".=%windir%", "--map \".\": expected a path inside the staged folder"},
      {map, L"../x=%windir%", "expected a path inside"},
      {map, L"s=C:\\Windows",
       "--map \"C:\\Windows\": a target opens with one of %currentdir%, %windir%"},
      {map, L"s=%windir%x", "a target opens with one of"},
      {map, L"s=%userfolder%", "a target opens with one of"},
      {map, L"s=%windir%\\a|b", "--map \"%windir%\\a|b\": the name has \"|\""},
      {link, L"Tool", "--link \"Tool\": expected NAME=FILE"},
      {link, L"/=a.exe", "the link has no name"},
      {key, L"HKEY_LOCAL\\Software", "--reg-key \"HKEY_LOCAL\\Software\": expected ROOT\\SUBKEY"},
      {key, L"hklm\\Software", "expected ROOT\\SUBKEY"},
      {key, L"HKLM", "names a root, not a key"},
      {key, L"HKLM\\\\", "names a root, not a key"},
      {key, L"HKLM\\Software\\\u65e5", "has characters that"},
  };
  std::string results;
  for (const auto& [parse, text, message] : refused) {
    results += ToUtf8(text) + " -> ";
    try {
      parse(text);
      results += "accepted\n";
      ADD_FAILURE() << "accepted, expected: " << message;
    } catch (const ManifestError& e) {
      results += std::string(e.what()) + "\n";
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos)
          << e.what() << "\nexpected: " << message;
    }
  }
  ExpectGolden("staged_option_texts_refused.txt", results);
}

// The walk over a real folder, made in a scratch folder of the test's own.
class StagedWalkTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(root_); }
  void TearDown() override { fs::remove_all(root_, ec_); }
  void Put(const fs::path& relative) const {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative) << "x";
  }
  static std::vector<StagedPath> Sorted(std::vector<StagedPath> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  fs::path root_ =
      fs::temp_directory_path() / ("staged_walk_" + std::to_string(std::random_device()()));
  std::error_code ec_;
};

TEST_F(StagedWalkTest, FindsFilesAndEmptyFolders) {
  Put("app.exe");
  Put("data/img/logo.png");
  Put(fs::path(u8"Caf\u00e9/menu.txt"));
  fs::create_directories(root_ / "logs/old");
  const StagedTree tree = WalkStagedFolder(root_);
  EXPECT_EQ(Sorted(tree.Files),
            Sorted({{L"app.exe"}, {L"data", L"img", L"logo.png"}, {L"Caf\u00e9", L"menu.txt"}}));
  EXPECT_EQ(tree.EmptyDirs, (std::vector<StagedPath>{{L"logs", L"old"}}));
  EXPECT_TRUE(tree.Problems.empty());
}

TEST_F(StagedWalkTest, NotAFolderIsAnError) {
  Put("file");
  EXPECT_THROW(static_cast<void>(WalkStagedFolder(root_ / "file")), ManifestError);
  EXPECT_THROW(static_cast<void>(WalkStagedFolder(root_ / "missing")), ManifestError);
}

#ifndef _WIN32
TEST_F(StagedWalkTest, LinksToFilesAreFilesOtherSpecialEntriesAreRefused) {
  Put("real/app.exe");
  fs::create_symlink("real/app.exe", root_ / "linked.exe");
  fs::create_directory_symlink("real", root_ / "linked_dir");
  fs::create_symlink("nowhere", root_ / "dangling");
  ASSERT_EQ(mkfifo((root_ / "pipe").c_str(), 0600), 0);
  std::ofstream(root_ / "bad\xff.txt") << "x";
  const StagedTree tree = WalkStagedFolder(root_);
  EXPECT_EQ(Sorted(tree.Files), Sorted({{L"real", L"app.exe"}, {L"linked.exe"}}));
  std::vector<std::string> problems = tree.Problems;
  std::sort(problems.begin(), problems.end());
  std::string text;
  for (const std::string& problem : problems) text += problem + "\n";
  ExpectGolden("staged_walk_problems.txt", text);
  EXPECT_EQ(problems, (std::vector<std::string>{
                          "\"bad\xEF\xBF\xBD.txt\": the name is not valid UTF-8",
                          "\"dangling\": is a link to nothing",
                          "\"linked_dir\": is a link to a folder, which is not followed (stage "
                          "the folder itself)",
                          "\"pipe\": is not a regular file or a folder"}));
}
#endif

}  // namespace
}  // namespace uninstall::tools
