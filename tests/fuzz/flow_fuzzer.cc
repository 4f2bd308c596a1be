// The whole uninstall, Mfrm::Form_Load answered Yes, with arbitrary bytes as
// Uninstall.dat on a fake machine that holds the application, other
// applications, the Windows folders and the user's shell folders.
//
// Whatever the log says, afterwards:
// - a refused log (FatalError) has removed nothing;
// - a file is gone only if a sound reading of the log names it: a logged
//   file that is not kept, a file directly in the main directory (the
//   directory of MainPath) when that is not a guarded folder, or a link
//   named like a logged link or the application;
// - a file the log keeps is still there, unless another entry names it for
//   removal or as a link;
// - a directory is gone only if it is on the stage's visit list or is the
//   program group, and no guarded folder is ever gone;
// - a registry key is gone only if it is on the stage's deletion list;
// - the uninstaller's own executable and log are gone only after a whole log
//   (the magic, nothing cut short) was removed to the last file, and then
//   they are gone, with the application's folder if nothing else is in it;
// - the final message is true: "not all files" exactly when a logged file
//   that is not kept could not be deleted (the read-only one).
#include <set>
#include <utility>

#include "app/mfrm.h"
#include "fuzz_input.h"
#include "installlog/reader.h"
#include "paths/normalise.h"
#include "paths/split.h"
#include "paths/variables.h"
#include "removal/removal_plan.h"
#include "tests/support/fake_env.h"

namespace uninstall::fuzz {
namespace {

constexpr std::int32_t kHkcu = static_cast<std::int32_t>(0x80000001u);
constexpr std::int32_t kHklm = static_cast<std::int32_t>(0x80000002u);

constexpr wchar_t kAppDir[] = L"C:\\Program Files\\Tool\\";
constexpr wchar_t kUninstaller[] = L"C:\\Program Files\\Tool\\Uninstall.exe";
constexpr wchar_t kLogPath[] = L"C:\\Program Files\\Tool\\Uninstall.dat";
constexpr wchar_t kReadOnlyFile[] = L"C:\\Program Files\\Tool\\data\\ro.dat";
constexpr wchar_t kPrograms[] = L"C:\\Users\\me\\Start Menu\\Programs";

// Paths in a folder, then `more`.
std::vector<std::wstring> In(std::wstring_view dir, std::vector<std::wstring> names,
                             const std::vector<std::wstring>& more = {}) {
  for (std::wstring& name : names) name.insert(0, dir);
  names.insert(names.end(), more.begin(), more.end());
  return names;
}

// The machine: the application, another one, Windows and the user's folders.
const std::vector<std::wstring> kFiles =
    In(L"C:\\",
       {L"boot.ini", L"WINDOWS\\win.ini", L"WINDOWS\\SYSTEM32\\kernel32.dll",
        L"WINDOWS\\SYSTEM32\\shared.dll", L"Program Files\\Other\\other.exe",
        L"Users\\me\\Desktop\\Tool.lnk", L"Users\\me\\Desktop\\Other.lnk",
        L"Users\\me\\Start Menu\\Programs\\Tool\\Tool.lnk",
        L"Users\\me\\Start Menu\\Programs\\Tool\\Help.lnk",
        L"Users\\me\\Start Menu\\Programs\\Other\\Other.lnk", L"Users\\me\\Documents\\doc.txt"},
       In(kAppDir,
          {L"Uninstall.exe", L"Uninstall.dat", L"tool.exe", L"readme.txt", L"user.cfg",
           L"hidden.dat", L"data\\a.dat", L"data\\b.dat", L"data\\ro.dat", L"sub\\deep\\c.dat"}));
// Folders the system or the user owns: they must all survive.
const std::vector<std::wstring> kGuardedDirs =
    In(L"C:\\", {L"WINDOWS", L"WINDOWS\\SYSTEM32", L"Program Files", L"Users\\me",
                 L"Users\\me\\Desktop", L"Users\\me\\Documents", L"Users\\me\\Start Menu",
                 L"Users\\me\\Start Menu\\Programs", L"Users\\me\\AppData\\Roaming"});
const std::vector<std::wstring> kOtherDirs =
    In(L"C:\\",
       {L"Program Files\\Tool", L"Program Files\\Tool\\data", L"Program Files\\Tool\\sub",
        L"Program Files\\Tool\\sub\\deep", L"Program Files\\Tool\\empty", L"Program Files\\Other",
        L"Users", L"Users\\me\\AppData", L"Users\\me\\Start Menu\\Programs\\Tool",
        L"Users\\me\\Start Menu\\Programs\\Other", L"Temp"});
const std::vector<std::pair<std::int32_t, std::wstring>> kKeys = {
    {kHklm, L"Software"},
    {kHklm, L"Software\\Tool"},
    {kHklm, L"Software\\Tool\\Settings"},
    {kHklm, L"Software\\Tool\\Sub"},
    {kHklm, L"Software\\Tool\\Sub\\Deep"},
    {kHklm, L"Software\\Other"},
    {kHkcu, L"Software"},
    {kHkcu, L"Software\\Tool"},
    {kHkcu, L"Software\\Other"},
    {kHkcu, L"Software\\Other\\Child"}};

FakeEnv BuildMachine() {
  FakeEnv env;
  env.set_executable_path(kUninstaller);
  env.SetSpecialFolder(csidl::kPrograms, kPrograms);
  env.SetSpecialFolder(csidl::kStartMenu, L"C:\\Users\\me\\Start Menu");
  env.SetSpecialFolder(csidl::kDesktopDirectory, L"C:\\Users\\me\\Desktop");
  env.SetSpecialFolder(csidl::kProgramFiles, L"C:\\Program Files");
  env.SetSpecialFolder(csidl::kProfile, L"C:\\Users\\me");
  env.SetSpecialFolder(csidl::kPersonal, L"C:\\Users\\me\\Documents");
  env.SetSpecialFolder(csidl::kAppData, L"C:\\Users\\me\\AppData\\Roaming");
  for (const std::wstring& dir : kGuardedDirs) env.AddDir(dir);
  for (const std::wstring& dir : kOtherDirs) env.AddDir(dir);
  for (const std::wstring& file : kFiles) env.AddFile(file);
  env.SetAttrs(kReadOnlyFile, attr::kArchive | attr::kReadOnly);
  env.SetAttrs(L"C:\\Program Files\\Tool\\hidden.dat", attr::kArchive | attr::kHidden);
  for (const auto& [root, key] : kKeys) env.AddRegKey(root, key);
  return env;
}

// The fake machine's identity of a path: resolved as Windows resolves it,
// no trailing "\".
std::wstring Key(std::wstring_view path) {
  std::wstring key = ComparablePath(path);
  while (key.size() > 1 && key.back() == L'\\') key.pop_back();
  return key;
}

// What the log, read and expanded as the flow does it, allows to go.
struct Allowed {
  std::set<std::wstring> files;       // keys of files named for removal
  std::set<std::wstring> kept;        // keys of files the log keeps
  std::wstring leftovers_dir;         // key of the main directory, "" if none may be emptied
  std::set<std::wstring> link_names;  // upper-case names of links (without ".lnk")
  std::set<std::wstring> dirs;        // keys of directories
  std::set<std::pair<std::int32_t, std::wstring>> keys;
  bool read_only_named = false;  // a file the stage takes is the read-only one
  bool own_files_go = false;     // the run ends by removing the uninstaller itself
};

Allowed AllowedBy(InstallLog log, bool log_whole) {
  const PathFields fields{L"C:\\WINDOWS\\", L"C:\\WINDOWS\\SYSTEM32\\", kAppDir, kLogPath};
  ExpandAllPaths(fields, log.FileCount, log.Files, log.LinkCount, log.Links, log.AppInfo);
  Allowed a;
  const RemovalPlan plan = PlanRemoval(log);
  a.read_only_named = std::ranges::any_of(
      plan.files, [](std::wstring_view file) { return Key(file) == Key(kReadOnlyFile); });
  for (const FileEntry& f : log.Files)
    (f.KeepFile == kFalse ? a.files : a.kept).insert(Key(f.TargetPath));
  // Leftovers go only in the uninstaller's own folder and below it, and
  // never in a guarded folder, a drive or "".
  const std::wstring main_dir = Key(GetDirectory(log.AppInfo.MainPath));
  const auto is_main = [&main_dir](const std::wstring& dir) { return Key(dir) == main_dir; };
  const bool guarded = main_dir.size() <= 2 || std::ranges::any_of(kGuardedDirs, is_main);
  if (!guarded && (main_dir + L"\\").starts_with(Key(kAppDir) + L"\\")) a.leftovers_dir = main_dir;

  a.link_names.insert(Key(log.AppInfo.AppName));
  for (const LinkEntry& l : log.Links) a.link_names.insert(Key(l.LinkName));
  for (const DirectoryVisit& visit : plan.directories) a.dirs.insert(Key(visit.dir));
  if (!log.AppInfo.GroupName.empty()) {
    a.dirs.insert(Key(std::wstring(kPrograms) + L"\\" + log.AppInfo.GroupName));
  }
  // A key may go when the log lists it, or a key above it, by key names in
  // any letter case; Software, which every application shares, never.
  for (const RegKeyEntry& k : EntriesInUse(log.RegKeyCount, log.RegKeys)) {
    std::wstring names;
    for (const wchar_t c : k.SubKey) {
      if (c != L'\\' || (!names.empty() && names.back() != L'\\')) names.push_back(c);
    }
    if (!names.empty() && names.back() == L'\\') names.pop_back();
    const std::wstring listed = UpperCase(names);
    for (const auto& [root, key] : kKeys) {
      const std::wstring candidate = Key(key);
      if (root == k.RootKey && candidate != L"SOFTWARE" && listed != L"SOFTWARE" &&
          (candidate == listed || candidate.starts_with(listed + L"\\"))) {
        a.keys.insert({root, candidate});
      }
    }
  }
  a.own_files_go = log_whole && !a.read_only_named;
  if (a.own_files_go) {
    a.files.insert({Key(kUninstaller), Key(kLogPath)});
    a.dirs.insert(Key(kAppDir));
  }
  return a;
}

// Only what `a` allows is gone; with nothing allowed (a refused log),
// nothing is gone.
void CheckOnlyAllowedGone(const FakeEnv& env, const Allowed& a) {
  for (const std::wstring& file : kFiles) {
    if (env.Exists(file)) continue;
    const std::wstring key = Key(file);
    const std::wstring name = Key(GetFileName(file));  // a link: "<name>.LNK"
    const bool named =
        a.files.contains(key) ||
        (name.ends_with(L".LNK") && a.link_names.contains(name.substr(0, name.size() - 4)));
    const bool leftover = !a.leftovers_dir.empty() && Key(GetDirectory(file)) == a.leftovers_dir;
    FUZZ_CHECK(named || leftover);
    if (a.kept.contains(key)) FUZZ_CHECK(named);
  }
  // The uninstaller and its log stay exactly when the run does not end
  // with a removal of everything.
  FUZZ_CHECK(env.Exists(kUninstaller) != a.own_files_go && env.Exists(kLogPath) != a.own_files_go);
  for (const std::wstring& dir : kGuardedDirs) FUZZ_CHECK(env.Exists(dir));
  for (const std::wstring& dir : kOtherDirs)
    FUZZ_CHECK(env.Exists(dir) || a.dirs.contains(Key(dir)));
  for (const auto& [root, key] : kKeys) {
    FUZZ_CHECK(env.RegKeyExists(root, key) || a.keys.contains({root, Key(key)}));
  }
}

void FuzzOne(const std::uint8_t* data, std::size_t size) {
  const std::string bytes = LogBytesFromInput(data, size);
  // The machine is built once and copied for each input, with the log put in.
  static const FakeEnv machine = BuildMachine();
  FakeEnv env = machine;
  env.AddFile(kLogPath, bytes);
  const bool refused = Refused([&env] {
    Mfrm form(env);
    form.Form_Load();
  });
  InstallLog log;
  ParsedInstallFile parsed;
  FUZZ_CHECK(refused == Refused([&] { parsed = ParseInstallFile(bytes, kLogPath, log); }));
  if (refused) return CheckOnlyAllowedGone(env, Allowed{});

  const Allowed allowed = AllowedBy(log, parsed.magic_ok && !parsed.cut.has_value());
  CheckOnlyAllowedGone(env, allowed);
  const std::wstring_view report = allowed.read_only_named
                                       ? L"Uninstalling finished, not all files have been removed."
                                       : L"Application has been removed successfully.";
  FUZZ_CHECK(!env.messages().empty() && env.messages().back().text == report &&
             env.messages().back().style == msgbox::kOkInformation);
}

}  // namespace
}  // namespace uninstall::fuzz

FUZZ_TARGET
