#include "tools/staged_manifest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tools/manifest.h"
#include "tools/utf8.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace uninstall::tools {

// The golden files of installlog_cli_unittest.cc.
void ExpectGolden(const std::string& name, const std::string& text);

namespace {

namespace fs = std::filesystem;
using Adjust = std::function<void(StagedOptions&)>;

// A tree of the given files, each "a/b/c" (UTF-8 in the source).
StagedTree Tree(std::initializer_list<std::wstring_view> files) {
  StagedTree tree;
  for (const std::wstring_view file : files) tree.Files.push_back(SplitStagedPath(file));
  return tree;
}

// `tree` with the given empty folders.
StagedTree WithEmpty(StagedTree tree, std::initializer_list<std::wstring_view> folders) {
  for (const std::wstring_view folder : folders) tree.EmptyDirs.push_back(SplitStagedPath(folder));
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

// A tree and the options it is given.
struct TreeCase {
  const char* name;
  StagedTree tree;
  Adjust adjust;
};
TreeCase Case(const char* name, StagedTree tree, Adjust adjust = nullptr) {
  return {name, std::move(tree), std::move(adjust)};
}
void PrintTo(const TreeCase& c, std::ostream* os) { *os << c.name; }

// Trees and options that make a log: the files it lists, in order, as
// "SourcePath -> TargetPath" (with " (kept)"), in staged_NAME.txt.
class StagedPlacementTest : public ::testing::TestWithParam<TreeCase> {};

TEST_P(StagedPlacementTest, ListsEachFileWithItsTarget) {
  const StagedLog staged =
      LogFromStagedTree(GetParam().tree, Options(L"app.exe", GetParam().adjust));
  std::string lines;
  for (const FileEntry& file : staged.Log.Files) {
    lines += ToUtf8(file.SourcePath + L" -> " + file.TargetPath +
                    (file.KeepFile == kFalse ? L"" : L" (kept)")) +
             "\n";
  }
  ExpectGolden("staged_" + std::string(GetParam().name) + ".txt", lines);
  EXPECT_EQ(staged.Log.FileCount, static_cast<std::int16_t>(staged.Log.Files.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, StagedPlacementTest,
    ::testing::Values(
        Case("CurrentDirByDefaultSortedByName",
             Tree({L"b.txt", L"data/img/logo.png", L"app.exe", L"data/a.dat", L"Z.txt"})),
        // Name by name: "a/z" comes before "a b" although "/" sorts after " ".
        Case("SortedNameByName", Tree({L"a b", L"a/z", L"app.exe", L"\u00e9.txt", L"e.txt"})),
        Case("OtherTargetSubfolderKept", Tree({L"app.exe", L"lib/x.dll"}),
             [](StagedOptions& o) { o.Target = L"%WinSysDir%/Tool/"; }),
        Case("MapsDeepestFolderWins",
             Tree({L"app/app.exe", L"sys/x.dll", L"sys/fonts/f.ttf", L"top.txt"}),
             [](StagedOptions& o) {
               o.MainFile = SplitStagedPath(L"app/app.exe");
               o.Maps = {ParseMapOption(L"app=%currentdir%"), ParseMapOption(L"sys=%winsysdir%"),
                         ParseMapOption(L"sys\\fonts=%windir%\\Fonts")};
             }),
        Case("KeptFiles", Tree({L"app.exe", L"cfg/user.ini", L"cfg/default.ini"}),
             [](StagedOptions& o) { o.KeptFiles = {SplitStagedPath(L"cfg\\user.ini")}; }),
        // The uninstaller and its log are no files of the log; elsewhere
        // the same names are ordinary files.
        Case("OwnFilesLeftOut",
             Tree({L"app.exe", L"UNINSTALL.EXE", L"Uninstall.dat", L"sub/Uninstall.exe"})),
        Case("OwnFilesUnderAnotherTargetKept", Tree({L"app.exe", L"Uninstall.exe"}),
             [](StagedOptions& o) { o.Target = L"%windir%"; }),
        // An empty folder is an entry that ends in "\", among the files.
        Case("EmptyFoldersAmongTheFiles",
             WithEmpty(Tree({L"app.exe", L"data/a.dat", L"sys/x.dll", L"z.txt"}),
                       {L"logs", L"data/empty", L"sys/cache/old", L"Uninstall.exe"}),
             [](StagedOptions& o) { o.Maps = {ParseMapOption(L"sys=%winsysdir%\\Tool")}; })),
    [](const auto& test) { return std::string(test.param.name); });

TEST(StagedManifestTest, AppInfoRegistryKeysAndLinks) {
  StagedOptions options = Options(L"bin/app.exe");
  // Keys given without their trailing "\" get one.
  options.RegKeys = {{*RootKeyByName("HKEY_CLASSES_ROOT"), L".tool", L"", L""},
                     ParseRegKeyOption(L"HKLM\\Software\\Vendor\\Tool")};
  options.Links = {{L"%userfolder%", L"From JSON", L""}};
  options.GroupLinks = {ParseLinkOption(L"Tool=bin/app.exe"),
                        ParseLinkOption(L"Extras\\Read me=readme.txt")};
  const StagedLog staged = LogFromStagedTree(Tree({L"bin/app.exe", L"readme.txt"}), options);
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

// The log names an empty folder, so there is nothing to note about it.
TEST(StagedManifestTest, NoteForOwnFilesNoneForEmptyFolders) {
  StagedTree tree = Tree({L"app.exe", L"Uninstall.exe"});
  tree.EmptyDirs = {SplitStagedPath(L"logs")};
  const StagedLog staged = LogFromStagedTree(tree, Options());
  ASSERT_EQ(staged.Notes.size(), 1u);
  ExpectGolden("staged_notes.txt", staged.Notes[0] + "\n");
}

// Trees and options that are refused, with every reason: staged_refused_NAME.txt.
class StagedRefusedTest : public ::testing::TestWithParam<TreeCase> {};

TEST_P(StagedRefusedTest, IsRefusedWithEveryReason) {
  try {
    static_cast<void>(LogFromStagedTree(GetParam().tree, Options(L"app.exe", GetParam().adjust)));
    FAIL() << "accepted";
  } catch (const ManifestError& e) {
    ExpectGolden("staged_refused_" + std::string(GetParam().name) + ".txt",
                 std::string(e.what()) + "\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, StagedRefusedTest,
    ::testing::Values(
        Case("NamesWindowsCannotHold",
             Tree({L"app.exe", L"a:b", L"what?.txt", L"dir\\in\\name", L"tab\there", L"dot.",
                   L"space ", L"con", L"Lpt1.txt", L"x/aux.h"})),
        Case("NamesOutsideTheCodePage",
             Tree({L"app.exe", L"docs/\u65e5\u672c.txt", L"\u0416/a.txt"})),
        Case("NamesThatAreOneOnWindows", Tree({L"app.exe", L"Read.me", L"READ.ME", L"Data/a",
                                               L"data/b", L"\u00c9t\u00e9", L"\u00e9T\u00c9/x"})),
        Case("TwoMapsOntoOneFile", Tree({L"app.exe", L"a/x.dll", L"b/x.dll"}),
             [](StagedOptions& o) {
               o.Maps = {ParseMapOption(L"a=%winsysdir%"), ParseMapOption(L"b=%winsysdir%")};
             }),
        Case("OptionsNamingNoStagedFile", Tree({L"app.exe", L"lib/x.dll"}),
             [](StagedOptions& o) {
               o.MainFile = SplitStagedPath(L"bin/app.exe");
               o.KeptFiles = {SplitStagedPath(L"lib")};
               o.GroupLinks = {ParseLinkOption(L"Tool=tool.exe")};
               o.Maps = {ParseMapOption(L"system=%winsysdir%"), ParseMapOption(L"lib=%windir%"),
                         ParseMapOption(L"lib=%windir%")};
             }),
        Case("NamesOfTheApplication", Tree({L"app.exe"}),
             [](StagedOptions& o) {
               o.AppName = L"Tool: Pro";
               o.GroupName = L"Vendor\\Tool*";
               o.GroupLinks = {ParseLinkOption(L"Help\u20ac\\\u65e5=app.exe")};
             }),
        Case("NoName", Tree({L"app.exe"}), [](StagedOptions& o) { o.AppName.clear(); }),
        Case("LinksWithoutGroup", Tree({L"app.exe"}),
             [](StagedOptions& o) {
               o.GroupName.clear();
               o.GroupLinks = {ParseLinkOption(L"Tool=app.exe")};
             }),
        Case("EmptyFolderNamesAndClashes",
             WithEmpty(Tree({L"app.exe", L"Logs", L"Data/a"}), {L"logs", L"data", L"cache."})),
        Case("OptionsNamingAnEmptyFolder", WithEmpty(Tree({L"app.exe"}), {L"logs"}),
             [](StagedOptions& o) {
               o.MainFile = SplitStagedPath(L"logs");
               o.KeptFiles = {SplitStagedPath(L"logs")};
             }),
        Case("ProblemsOfTheWalkFirst",
             [] {
               StagedTree tree = Tree({L"app.exe", L"bad?"});
               tree.Problems = {"\"dir\": cannot be read: Permission denied"};
               return tree;
             }())),
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
  // An empty folder takes an entry as a file does.
  tree.EmptyDirs = {{L"empty"}};
  try {
    static_cast<void>(LogFromStagedTree(tree, Options(L"f0")));
    FAIL() << "accepted";
  } catch (const ManifestError& e) {
    EXPECT_EQ(std::string(e.what()),
              "the staged folder holds 32768 files and empty folders; a log holds at most 32767");
  }
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

  std::string results;
  const auto refused = [&results](auto parse, std::initializer_list<std::wstring_view> texts) {
    for (const std::wstring_view text : texts) {
      results += ToUtf8(text) + " -> ";
      try {
        static_cast<void>(parse(text));
        results += "accepted\n";
      } catch (const ManifestError& e) {
        results += std::string(e.what()) + "\n";
      }
    }
  };
  refused(ParseMapOption, {L"sys", L"=%windir%", L".=%windir%", L"../x=%windir%", L"s=C:\\Windows",
                           L"s=%windir%x", L"s=%userfolder%", L"s=%windir%\\a|b"});
  refused(ParseLinkOption, {L"Tool", L"/=a.exe"});
  refused(ParseRegKeyOption, {L"HKEY_LOCAL\\Software", L"hklm\\Software", L"HKLM", L"HKLM\\\\",
                              L"HKLM\\Software\\\u65e5"});
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
}
#endif

}  // namespace
}  // namespace uninstall::tools
