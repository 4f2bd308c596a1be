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
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/mfrm.h"
#include "fuzz_input.h"
#include "installlog/reader.h"
#include "paths/normalise.h"
#include "paths/split.h"
#include "paths/variables.h"
#include "platform/fatal_error.h"
#include "removal/removal_plan.h"
#include "tests/support/fake_env.h"

namespace uninstall::fuzz {
namespace {

constexpr std::int32_t kHkcu = static_cast<std::int32_t>(0x80000001u);
constexpr std::int32_t kHklm = static_cast<std::int32_t>(0x80000002u);

constexpr wchar_t kAppDir[] = L"C:\\Program Files\\Tool\\";
constexpr wchar_t kLogPath[] = L"C:\\Program Files\\Tool\\Uninstall.dat";
constexpr wchar_t kReadOnlyFile[] = L"C:\\Program Files\\Tool\\data\\ro.dat";
constexpr wchar_t kPrograms[] = L"C:\\Users\\me\\Start Menu\\Programs";

const std::vector<std::wstring>& Files() {
  static const std::vector<std::wstring> files = {
      L"C:\\boot.ini",
      L"C:\\WINDOWS\\win.ini",
      L"C:\\WINDOWS\\SYSTEM32\\kernel32.dll",
      L"C:\\WINDOWS\\SYSTEM32\\shared.dll",
      L"C:\\Program Files\\Tool\\Uninstall.exe",
      L"C:\\Program Files\\Tool\\Uninstall.dat",
      L"C:\\Program Files\\Tool\\tool.exe",
      L"C:\\Program Files\\Tool\\readme.txt",
      L"C:\\Program Files\\Tool\\user.cfg",
      L"C:\\Program Files\\Tool\\hidden.dat",
      L"C:\\Program Files\\Tool\\data\\a.dat",
      L"C:\\Program Files\\Tool\\data\\b.dat",
      L"C:\\Program Files\\Tool\\data\\ro.dat",
      L"C:\\Program Files\\Tool\\sub\\deep\\c.dat",
      L"C:\\Program Files\\Other\\other.exe",
      L"C:\\Users\\me\\Desktop\\Tool.lnk",
      L"C:\\Users\\me\\Desktop\\Other.lnk",
      L"C:\\Users\\me\\Start Menu\\Programs\\Tool\\Tool.lnk",
      L"C:\\Users\\me\\Start Menu\\Programs\\Tool\\Help.lnk",
      L"C:\\Users\\me\\Start Menu\\Programs\\Other\\Other.lnk",
      L"C:\\Users\\me\\Documents\\doc.txt",
  };
  return files;
}

// Folders the system or the user owns: they must all survive.
const std::vector<std::wstring>& GuardedDirs() {
  static const std::vector<std::wstring> dirs = {
      L"C:\\WINDOWS",
      L"C:\\WINDOWS\\SYSTEM32",
      L"C:\\Program Files",
      L"C:\\Users\\me",
      L"C:\\Users\\me\\Desktop",
      L"C:\\Users\\me\\Documents",
      L"C:\\Users\\me\\Start Menu",
      L"C:\\Users\\me\\Start Menu\\Programs",
      L"C:\\Users\\me\\AppData\\Roaming",
  };
  return dirs;
}

const std::vector<std::wstring>& OtherDirs() {
  static const std::vector<std::wstring> dirs = {
      L"C:\\Program Files\\Tool",
      L"C:\\Program Files\\Tool\\data",
      L"C:\\Program Files\\Tool\\sub",
      L"C:\\Program Files\\Tool\\sub\\deep",
      L"C:\\Program Files\\Tool\\empty",
      L"C:\\Program Files\\Other",
      L"C:\\Users",
      L"C:\\Users\\me\\AppData",
      L"C:\\Users\\me\\Start Menu\\Programs\\Tool",
      L"C:\\Users\\me\\Start Menu\\Programs\\Other",
      L"C:\\Temp",
  };
  return dirs;
}

const std::vector<std::pair<std::int32_t, std::wstring>>& Keys() {
  static const std::vector<std::pair<std::int32_t, std::wstring>> keys = {
      {kHklm, L"Software"},
      {kHklm, L"Software\\Tool"},
      {kHklm, L"Software\\Tool\\Settings"},
      {kHklm, L"Software\\Tool\\Sub"},
      {kHklm, L"Software\\Tool\\Sub\\Deep"},
      {kHklm, L"Software\\Other"},
      {kHkcu, L"Software"},
      {kHkcu, L"Software\\Tool"},
      {kHkcu, L"Software\\Other"},
      {kHkcu, L"Software\\Other\\Child"},
  };
  return keys;
}

void BuildMachine(FakeEnv& env) {
  env.set_executable_path(std::wstring(kAppDir) + L"Uninstall.exe");
  env.SetSpecialFolder(csidl::kPrograms, kPrograms);
  env.SetSpecialFolder(csidl::kStartMenu, L"C:\\Users\\me\\Start Menu");
  env.SetSpecialFolder(csidl::kDesktopDirectory, L"C:\\Users\\me\\Desktop");
  env.SetSpecialFolder(csidl::kProgramFiles, L"C:\\Program Files");
  env.SetSpecialFolder(csidl::kProfile, L"C:\\Users\\me");
  env.SetSpecialFolder(csidl::kPersonal, L"C:\\Users\\me\\Documents");
  env.SetSpecialFolder(csidl::kAppData, L"C:\\Users\\me\\AppData\\Roaming");
  for (const std::wstring& dir : GuardedDirs()) env.AddDir(dir);
  for (const std::wstring& dir : OtherDirs()) env.AddDir(dir);
  for (const std::wstring& file : Files()) env.AddFile(file);
  env.SetAttrs(kReadOnlyFile, attr::kArchive | attr::kReadOnly);
  env.SetAttrs(L"C:\\Program Files\\Tool\\hidden.dat", attr::kArchive | attr::kHidden);
  for (const auto& [root, key] : Keys()) env.AddRegKey(root, key);
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
  for (const std::wstring_view file : plan.files) {
    if (Key(file) == Key(kReadOnlyFile)) a.read_only_named = true;
  }
  for (const FileEntry& f : log.Files) {
    if (f.KeepFile == kFalse) {
      a.files.insert(Key(f.TargetPath));
    } else {
      a.kept.insert(Key(f.TargetPath));
    }
  }
  const std::wstring main_dir = Key(GetDirectory(log.AppInfo.MainPath));
  bool guarded = main_dir.size() <= 2;  // "" or a drive
  for (const std::wstring& dir : GuardedDirs()) guarded = guarded || Key(dir) == main_dir;
  // Leftovers go only in the uninstaller's own folder and below it.
  const std::wstring app = Key(kAppDir);
  const bool in_app = main_dir == app || main_dir.starts_with(app + L"\\");
  if (!guarded && in_app) a.leftovers_dir = main_dir;

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
    for (const auto& [root, key] : Keys()) {
      const std::wstring candidate = Key(key);
      if (root == k.RootKey && candidate != L"SOFTWARE" && listed != L"SOFTWARE" &&
          (candidate == listed || candidate.starts_with(listed + L"\\"))) {
        a.keys.insert({root, candidate});
      }
    }
  }
  a.own_files_go = log_whole && !a.read_only_named;
  if (a.own_files_go) {
    a.files.insert(Key(std::wstring(kAppDir) + L"Uninstall.exe"));
    a.files.insert(Key(kLogPath));
    a.dirs.insert(Key(kAppDir));
  }
  return a;
}

bool IsLinkNamed(const std::wstring& file, const Allowed& a) {
  const std::wstring name = Key(GetFileName(file));
  return name.size() >= 4 && name.ends_with(L".LNK") &&
         a.link_names.contains(name.substr(0, name.size() - 4));
}

void CheckNothingGone(const FakeEnv& env) {
  for (const std::wstring& file : Files()) FUZZ_CHECK(env.Exists(file));
  for (const std::wstring& dir : GuardedDirs()) FUZZ_CHECK(env.Exists(dir));
  for (const std::wstring& dir : OtherDirs()) FUZZ_CHECK(env.Exists(dir));
  for (const auto& [root, key] : Keys()) FUZZ_CHECK(env.RegKeyExists(root, key));
}

void CheckOnlyNamedGone(const FakeEnv& env, const Allowed& a) {
  for (const std::wstring& file : Files()) {
    if (env.Exists(file)) continue;
    const std::wstring key = Key(file);
    const bool named = a.files.contains(key) || IsLinkNamed(file, a);
    const bool leftover = !a.leftovers_dir.empty() && Key(GetDirectory(file)) == a.leftovers_dir;
    FUZZ_CHECK(named || leftover);
    if (a.kept.contains(key)) FUZZ_CHECK(named);
  }
  // The uninstaller and its log stay exactly when the run does not end
  // with a removal of everything.
  FUZZ_CHECK(env.Exists(std::wstring(kAppDir) + L"Uninstall.exe") != a.own_files_go);
  FUZZ_CHECK(env.Exists(kLogPath) != a.own_files_go);
  for (const std::wstring& dir : GuardedDirs()) FUZZ_CHECK(env.Exists(dir));
  for (const std::wstring& dir : OtherDirs()) {
    if (!env.Exists(dir)) FUZZ_CHECK(a.dirs.contains(Key(dir)));
  }
  for (const auto& [root, key] : Keys()) {
    if (!env.RegKeyExists(root, key)) FUZZ_CHECK(a.keys.contains({root, Key(key)}));
  }
}

int FuzzOne(const std::uint8_t* data, std::size_t size) {
  const std::string bytes = LogBytesFromInput(data, size);
  // The machine is built once and copied for each input, with the log put in.
  static const FakeEnv machine = [] {
    FakeEnv built;
    BuildMachine(built);
    return built;
  }();
  FakeEnv env = machine;
  env.AddFile(kLogPath, bytes);

  bool refused = false;
  try {
    Mfrm form(env);
    form.Form_Load();
  } catch (const FatalError&) {
    refused = true;
  }

  InstallLog log;
  bool parsed = true;
  bool whole = false;
  try {
    const ParsedInstallFile result = ParseInstallFile(bytes, kLogPath, log);
    whole = result.magic_ok && !result.cut.has_value();
  } catch (const FatalError&) {
    parsed = false;
  }
  FUZZ_CHECK(refused == !parsed);
  if (refused) {
    CheckNothingGone(env);
    return 0;
  }

  const Allowed allowed = AllowedBy(log, whole);
  CheckOnlyNamedGone(env, allowed);
  FUZZ_CHECK(!env.messages().empty());
  const MessageCall& report = env.messages().back();
  FUZZ_CHECK(report.style == msgbox::kOkInformation);
  FUZZ_CHECK(report.text == (allowed.read_only_named
                                 ? L"Uninstalling finished, not all files have been removed."
                                 : L"Application has been removed successfully."));
  return 0;
}

}  // namespace
}  // namespace uninstall::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return uninstall::fuzz::FuzzOne(data, size);
}
