#include "tools/capture.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tools/manifest.h"

namespace uninstall::tools {

void ExpectGolden(const std::string& name, const std::string& text);

namespace {

constexpr std::string_view kMachineHive =
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1\n"
    "\"Other\"=\"x\"\n"
    "[System\\\\CurrentControlSet\\\\Control\\\\Class\\\\"
    "{4D36E968-E325-11CE-BFC1-08002BE10318}\\\\0000] 1\n"
    "\"DriverDateData\"=hex:00\n";

// A prefix as a test builds it: files and folders by path, hive text.
struct Prefix {
  PrefixState state;
  Prefix& Folder(const std::string& path) { return Put(path, true); }
  Prefix& File(const std::string& path, std::int64_t time = 1) {
    Put(path, false).state.files[Comparable(path)].modified = time;
    return *this;
  }
  Prefix& Link(const std::string& path, const std::string& target) {
    File(path).state.files[Comparable(path)].link_target = target;
    return *this;
  }
  Prefix& Hive(Hive hive, std::string_view text) {
    ParseHiveText(text, hive == Hive::kMachine ? state.machine : state.user);
    return *this;
  }
  Prefix& Put(const std::string& path, bool folder) {
    for (std::size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1)) {
      if (!state.files.contains(Comparable(path.substr(0, at)))) Put(path.substr(0, at), true);
    }
    PrefixFile& file = state.files[Comparable(path)];
    file.path = path;
    file.folder = folder;
    return *this;
  }
};

constexpr const char* kPrograms =
    "users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\";

Prefix Before() {
  Prefix p;
  p.Folder("Program Files (x86)").Folder("windows\\syswow64").Folder("windows\\system32");
  p.File("windows\\win.ini").Folder("users\\Public").Folder(std::string(kPrograms) + "Startup");
  p.Folder("users\\root\\Desktop")
      .Folder("ProgramData")
      .Folder("users\\root\\AppData\\Local\\Temp");
  p.Hive(Hive::kMachine, kMachineHive).Hive(Hive::kUser, "[Software] 1\n");
  p.Hive(Hive::kMachine,
         "[Software\\\\Classes] 1\n"
         "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n");
  return p;
}

// A 32-bit installer and uninstaller in a 64-bit prefix, with one of each
// kind of change.
Prefix Installed() {
  Prefix p = Before();
  const std::string app = "Program Files (x86)\\Vendor\\Tool\\";
  p.File(app + "Tool.exe").File(app + "Uninstall.exe").File(app + "Uninstall.dat");
  p.File(app + "data\\notes.txt").Folder(app + "data\\empty");
  p.File("windows\\tool.ini").File("windows\\syswow64\\tool.dll");
  p.File("windows\\system32\\tool64.dll").File("windows\\win.ini", 2);
  p.File("ProgramData\\Vendor\\cache.bin");
  p.File("users\\root\\AppData\\Local\\Temp\\nsu1.tmp\\x.dll");
  p.Link(std::string(kPrograms) + "Vendor\\Tool\\Tool.lnk", "C:\\" + app + "Tool.exe");
  p.Link(std::string(kPrograms) + "Vendor\\Tool\\Help\\Manual.lnk", "C:\\" + app + "m.pdf");
  p.Link("users\\root\\Desktop\\Tool.lnk", "C:\\" + app + "Tool.exe");
  p.Link("users\\root\\Desktop\\Tool Help.lnk", "C:\\elsewhere\\help.chm");
  p.Hive(Hive::kMachine,
         "[Software\\\\Wow6432Node\\\\Vendor\\\\Tool\\\\Sub] 1\n\"Version\"=\"1.0\"\n"
         "[Software\\\\Classes\\\\.tool] 1\n@=\"Tool.Document\"\n"
         "[Software\\\\Classes\\\\Tool.Document\\\\shell\\\\open\\\\command] 1\n"
         "@=\"\\\"C:\\\\Program Files (x86)\\\\Vendor\\\\Tool\\\\Tool.exe\\\" \\\"%1\\\"\"\n"
         "[Software\\\\Native\\\\Key] 1\n"
         "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1\n"
         "\"Tool\"=\"C:\\\\x.exe\"\n"
         "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App "
         "Paths\\\\Tool.exe] 1\n"
         "[System\\\\CurrentControlSet\\\\Control\\\\Class\\\\"
         "{4D36E968-E325-11CE-BFC1-08002BE10318}\\\\0000] 1\n"
         "\"DriverDateData\"=hex:01,\\\n  02\n");
  p.Hive(Hive::kUser, "[Software\\\\Vendor\\\\Tool\\\\M\\xe9mo] 1\n\"A\"=dword:00000001\n");
  return p;
}

TEST(CaptureTest, TheLogOfAnInstallAndWhatItCannotUndo) {
  const CaptureOptions options{"Tool", "Tool.exe", "", ""};
  const Capture capture =
      CaptureInstall(Before().state, Installed().state, options, PrefixView{true});
  std::string text = ManifestFromLog(capture.log).dump(2) + "\n";
  for (const std::string& line : capture.cannot_undo) text += "cannot undo: " + line + "\n";
  ExpectGolden("capture_wow64.txt", text);
}

TEST(CaptureTest, AppFolderAndMainFileMustBeThere) {
  const PrefixState before = Before().state;
  const PrefixState after = Installed().state;
  for (const CaptureOptions& options :
       {CaptureOptions{"Tool", "Missing.exe", "", ""}, CaptureOptions{"Tool", "data", "", ""},
        CaptureOptions{"Tool", "Tool.exe", "", "C:\\Program Files (x86)\\Other"}}) {
    EXPECT_THROW(static_cast<void>(CaptureInstall(before, after, options, {})), CaptureError)
        << options.MainFile << " " << options.AppDir;
  }
  EXPECT_THROW(static_cast<void>(FindAppFolder(before, before, "")), CaptureError);
  EXPECT_EQ(FindAppFolder(before, after, "C:\\Program Files (x86)\\Vendor\\Tool\\"),
            "Program Files (x86)\\Vendor\\Tool");
}

TEST(CaptureTest, VerifyNamesLeftoversAndCollateral) {
  Prefix after = Before();
  after.state.files.erase(Comparable("windows\\win.ini"));
  after.File("Program Files (x86)\\Vendor\\Tool\\a.txt").File("windows\\syswow64\\x.dll", 5);
  after.Hive(Hive::kUser, "[Software\\\\Vendor\\\\Tool] 1\n");
  after.Hive(Hive::kMachine,
             "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1\n\"Tool\"=\"x\"\n");
  after.state.machine.at(Comparable("Software\\Microsoft\\Windows\\CurrentVersion\\Run"))
      .values.erase("OTHER");
  const Difference d = ComparePrefixes(Before().state, after.state);
  EXPECT_EQ(
      d.leftovers,
      (std::vector<std::string>{
          "C:\\Program Files (x86)\\Vendor\\ (holding Tool\\a.txt)", "C:\\windows\\syswow64\\x.dll",
          "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run: values "
          "\"Tool\"",
          "HKEY_CURRENT_USER\\Software\\Vendor\\ (key)"}));
  EXPECT_EQ(d.collateral,
            (std::vector<std::string>{
                "C:\\windows\\win.ini",
                "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run: values "
                "\"Other\""}));
}

TEST(CaptureTest, HiveEscapesAndValuesOverSeveralLines) {
  std::map<std::string, PrefixKey> keys;
  ParseHiveText("[A\\\\t\\tb\\101\\x00e9\\xd83d\\xde00\\\"q\\]] 1\n\"v\"=hex:01,\\\n  02\n", keys);
  const PrefixKey& key = keys.at("A\\T\tBA\xc3\xa9\xf0\x9f\x98\x80\"Q]");
  EXPECT_EQ(key.path, "A\\t\tbA\xc3\xa9\xf0\x9f\x98\x80\"q]");
  EXPECT_EQ(key.values.at("V").data, "hex:01,02");
  EXPECT_FALSE(keys.at("A").listed);
}

TEST(CaptureTest, ShellLinkTargetFromLinkInfo) {
  // Header (flags: HasLinkInfo), then LinkInfo with its local base path.
  std::string link(0x4C, '\0');
  link[0] = 0x4C;
  link[0x14] = 0x2;
  std::string info(0x1C, '\0');
  info += "C:\\App\\Tool.exe";
  info += '\0';
  info[0] = static_cast<char>(info.size());
  info[4] = 0x1C;
  info[8] = 0x1;
  info[0x10] = 0x1C;
  EXPECT_EQ(ShellLinkTarget(link + info), "C:\\App\\Tool.exe");
  EXPECT_EQ(ShellLinkTarget(link), "");
  EXPECT_EQ(ShellLinkTarget("not a link"), "");
}

}  // namespace
}  // namespace uninstall::tools
