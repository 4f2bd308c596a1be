#include "tools/capture.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "installlog/format.h"
#include "paths/shell_registration.h"
#include "removal/shared_keys.h"
#include "tools/utf8.h"

namespace uninstall::tools {
namespace {

constexpr std::string_view kPrograms = "AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
constexpr std::string_view kLocalTemp = "AppData\\Local\\Temp";
constexpr std::uint16_t kMachineX64 = 0x8664;

// Whether the Comparable path `path` lies below the folder `folder` ("" is
// drive C: itself).
bool Below(std::string_view path, std::string_view folder) {
  if (folder.empty()) return !path.empty();
  return path.size() > folder.size() + 1 && path.starts_with(folder) && path[folder.size()] == '\\';
}

// `path` after `folder` and its "\".
std::string Rest(std::string_view path, std::string_view folder) {
  return std::string(folder.empty() ? path : path.substr(folder.size() + 1));
}

std::string ParentOf(std::string_view path) {
  const std::size_t at = path.rfind('\\');
  return std::string(at == std::string_view::npos ? std::string_view{} : path.substr(0, at));
}

std::string NameOf(std::string_view path) {
  const std::size_t at = path.rfind('\\');
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string OnDrive(std::string_view path) { return "C:\\" + std::string(path); }

std::string Join(std::string_view folder, std::string_view name) {
  return folder.empty() ? std::string(name) : std::string(folder) + "\\" + std::string(name);
}

bool Changed(const PrefixFile& before, const PrefixFile& after) {
  return before.folder != after.folder ||
         (!after.folder && (before.size != after.size || before.modified != after.modified));
}

// Whether nothing lies in the folder `key` (Comparable) of `files`.
bool IsEmptyFolder(const std::map<std::string, PrefixFile>& files, const std::string& key) {
  const auto next = files.upper_bound(key);
  return next == files.end() || !Below(next->first, key);
}

// Whether a new entry's parent is new too: a report names only the topmost.
bool ParentIsNew(const PrefixState& before, const PrefixState& after, const std::string& key) {
  const std::string parent = ParentOf(key);
  return !parent.empty() && after.files.contains(parent) && !before.files.contains(parent);
}

// A registry key as the uninstaller names it.
struct LogKey {
  std::int32_t root;
  std::string path;
};

std::string KeyText(std::int32_t root, std::string_view path) {
  return std::string(NameOfRootKey(root).value_or("?")) + "\\" + std::string(path);
}

std::string HiveKeyText(Hive hive, std::string_view path) {
  return KeyText(hive == Hive::kMachine ? regroot::kLocalMachine : regroot::kCurrentUser, path);
}

// Orders keys so that each comes after its subkeys, siblings by name.
bool SubkeysFirst(const LogKey& a, const LogKey& b) {
  if (a.root != b.root) return a.root < b.root;
  const std::string x = Comparable(a.path);
  const std::string y = Comparable(b.path);
  if (Below(x, y)) return true;
  if (Below(y, x)) return false;
  return x < y;
}

}  // namespace

const char* const kWineChurnHelp =
    "Left out as Wine's own (it changes them whatever a program does): its registration of the "
    "display (DriverDateData and SymbolicLinkValue of the display adapter, the monitor's "
    "device-property dates), written anew when a process first uses the display and when the "
    "prefix starts again; the fonts of "
    "the Linux machine in the Fonts keys (data that is a \\??\\unix\\ path), which each process "
    "rewrites by the fonts it loaded; the defaults of the profiles folder and of the 64-bit "
    "common files (\"Users\", \"ProgramFilesCommonX64\" in ...\\Windows\\CurrentVersion), "
    "which Wine writes when a program first asks for every known folder, as Uninstall.exe does.";

bool IsWineChurn(Hive hive, const std::string& key, const PrefixValue& value) {
  const std::string name = Comparable(value.name);
  if (key.ends_with("FONTS") && value.data.starts_with("\"\\\\??\\\\unix\\\\")) return true;
  if (hive != Hive::kMachine) return false;
  for (const std::string_view set : {"SYSTEM\\CURRENTCONTROLSET\\", "SYSTEM\\CONTROLSET001\\"}) {
    if (!key.starts_with(set)) continue;
    const std::string rest = key.substr(set.size());
    if (rest.starts_with("CONTROL\\CLASS\\{4D36E968-E325-11CE-BFC1-08002BE10318}\\") &&
        (name == "DRIVERDATEDATA" || name == "SYMBOLICLINKVALUE")) {
      return true;
    }
    if (rest.starts_with("ENUM\\DISPLAY\\") &&
        (rest.ends_with("\\PROPERTIES\\{233A9EF3-AFC4-4ABD-B564-C32F21F1535B}\\0003") ||
         rest.ends_with("\\PROPERTIES\\{233A9EF3-AFC4-4ABD-B564-C32F21F1535B}\\0004"))) {
      return true;
    }
  }
  return (name == "USERS" || name == "PROGRAMFILESCOMMONX64") &&
         (key == "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION" ||
          key == "SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS\\CURRENTVERSION");
}

namespace {

// The names of the values of `after_key` that are new or changed since
// `before_key`, and of those gone, Wine's own left out.
std::pair<std::vector<std::string>, std::vector<std::string>> ValueChanges(
    Hive hive, const std::string& key, const PrefixKey& before_key, const PrefixKey& after_key) {
  std::pair<std::vector<std::string>, std::vector<std::string>> changes;
  for (const auto& [name, value] : after_key.values) {
    const auto old = before_key.values.find(name);
    if ((old == before_key.values.end() || old->second.data != value.data) &&
        !IsWineChurn(hive, key, value)) {
      changes.first.push_back(value.name.empty() ? "(default)" : "\"" + value.name + "\"");
    }
  }
  for (const auto& [name, value] : before_key.values) {
    if (!after_key.values.contains(name) && !IsWineChurn(hive, key, value)) {
      changes.second.push_back(value.name.empty() ? "(default)" : "\"" + value.name + "\"");
    }
  }
  return changes;
}

std::string List(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// The key of a hive as the uninstaller deletes it: the machine's classes
// are HKEY_CLASSES_ROOT; a 32-bit uninstaller in a 64-bit prefix reaches
// Software\Wow6432Node as Software. Nullopt for a key it cannot reach.
std::optional<LogKey> KeyOfLog(Hive hive, const std::string& path, bool wow64) {
  if (hive == Hive::kUser) return LogKey{regroot::kCurrentUser, path};
  const std::string key = Comparable(path);
  constexpr std::string_view kClasses = "SOFTWARE\\CLASSES";
  constexpr std::string_view kWow = "SOFTWARE\\WOW6432NODE";
  if (Below(key, kClasses)) {
    std::string rest = Rest(path, kClasses);
    if (wow64 && Below(Comparable(rest), "WOW6432NODE")) rest = Rest(rest, "WOW6432NODE");
    return LogKey{regroot::kClassesRoot, rest};
  }
  if (Below(key, kWow)) {
    if (!wow64) return LogKey{regroot::kLocalMachine, path};
    const std::string rest = Rest(path, kWow);
    if (Below(Comparable(rest), "CLASSES"))
      return LogKey{regroot::kClassesRoot, Rest(rest, "CLASSES")};
    return LogKey{regroot::kLocalMachine, "Software\\" + rest};
  }
  if (wow64 && Below(key, "SOFTWARE")) return std::nullopt;
  return LogKey{regroot::kLocalMachine, path};
}

class Capturer {
 public:
  Capturer(const PrefixState& before, const PrefixState& after, const CaptureOptions& options,
           const PrefixView& view)
      : before_(before), after_(after), options_(options), view_(view) {}

  Capture Run() {
    FindApp();
    const auto uninstaller = after_.files.find(Join(app_key_, "UNINSTALL.EXE"));
    wow64_ = view_.prefix64 &&
             (uninstaller == after_.files.end() || uninstaller->second.machine != kMachineX64);
    // The user's profile: the folder in C:\users that is not Public.
    std::string profile = "USERS\\ROOT";
    for (auto it = after_.files.upper_bound("USERS\\"); it != after_.files.end(); ++it) {
      if (!Below(it->first, "USERS")) break;
      if (it->second.folder && ParentOf(it->first) == "USERS" && it->first != "USERS\\PUBLIC") {
        profile = it->first;
        break;
      }
    }
    programs_ = Join(profile, Comparable(kPrograms));
    desktop_ = Join(profile, "DESKTOP");
    temp_ = Join(profile, Comparable(kLocalTemp));
    sysdir_ = wow64_ ? "WINDOWS\\SYSWOW64" : "WINDOWS\\SYSTEM32";

    for (const auto& [key, file] : after_.files) {
      const auto old = before_.files.find(key);
      if (old == before_.files.end()) {
        New(key, file);
      } else if (Changed(old->second, file)) {
        Replaced(key, file);
      }
    }
    for (const auto& [key, file] : before_.files) {
      if (!after_.files.contains(key) && !ParentIsNew(after_, before_, key)) {
        Say(OnDrive(file.path) + (file.folder ? "\\" : "") +
            ": removed by the install; no uninstall can bring it back");
      }
    }
    for (const std::string& target : above_) AddFile(target);
    Links();
    Keys(Hive::kMachine);
    Keys(Hive::kUser);
    std::sort(keys_.begin(), keys_.end(), SubkeysFirst);
    for (const LogKey& key : keys_) {
      result_.log.RegKeys.push_back(
          {key.root, FromUtf8(key.path + "\\"), std::wstring(), std::wstring()});
    }

    InstallLog& log = result_.log;
    log.AppInfo.AppPath = L"%currentdir%";
    log.AppInfo.AppName = FromUtf8(options_.AppName);
    log.AppInfo.MainPath = FromUtf8("%currentdir%\\" + main_);
    log.AppInfo.GroupName = FromUtf8(group_);
    for (const auto& [what, size] : {std::pair{"files", log.Files.size()},
                                     {"registry keys", log.RegKeys.size()},
                                     {"links", log.Links.size()}}) {
      if (size > static_cast<std::size_t>(kMaxEntries)) {
        throw CaptureError("the install made " + std::to_string(size) + " " + what +
                           "; a log holds at most " + std::to_string(kMaxEntries));
      }
    }
    log.FileCount = static_cast<std::int16_t>(log.Files.size());
    log.RegKeyCount = static_cast<std::int16_t>(log.RegKeys.size());
    log.LinkCount = static_cast<std::int16_t>(log.Links.size());
    return std::move(result_);
  }

 private:
  void Say(std::string text) { result_.cannot_undo.push_back(std::move(text)); }

  void FindApp() {
    app_ = FindAppFolder(before_, after_, options_.AppDir);
    app_key_ = Comparable(app_);
    main_ = options_.MainFile;
    std::replace(main_.begin(), main_.end(), '/', '\\');
    const auto main = after_.files.find(Join(app_key_, Comparable(main_)));
    if (main_.empty() || main == after_.files.end() || main->second.folder) {
      throw CaptureError("--main " + options_.MainFile + ": no such file in " + OnDrive(app_));
    }
    main_ = Rest(main->second.path, app_);
  }

  void AddFile(const std::string& target) {
    const std::wstring text = FromUtf8(target);
    result_.log.Files.push_back({text, text, kFalse});
  }

  // The log's path of a file or folder below drive C:, or "" where no
  // variable reaches.
  [[nodiscard]] std::string Variable(const std::string& key, const std::string& path) const {
    if (Below(key, app_key_)) return "%currentdir%\\" + Rest(path, app_);
    if (Below(key, sysdir_)) return "%winsysdir%\\" + Rest(path, sysdir_);
    if (Below(key, "WINDOWS") && !Below(key, "WINDOWS\\TEMP") &&
        !(wow64_ && Below(key, "WINDOWS\\SYSTEM32"))) {
      return "%windir%\\" + Rest(path, "WINDOWS");
    }
    return "";
  }

  void New(const std::string& key, const PrefixFile& file) {
    if (Below(key, programs_) || Below(key, desktop_)) {
      (file.folder ? link_folders_ : links_).push_back(key);
      return;
    }
    if (key == app_key_) return;  // the directory stage removes it once empty
    if (Below(app_key_, key)) {
      // A folder the install made above the application folder, named
      // from it so that it goes after the application folder, once empty.
      std::string target = "%currentdir%";
      for (std::size_t n = std::count(app_key_.begin() + static_cast<std::ptrdiff_t>(key.size()),
                                      app_key_.end(), '\\');
           n > 0; --n) {
        target += "..\\";
      }
      above_.push_back(target);
      return;
    }
    if (IsUninstallersOwn(key)) return;
    const std::string target = Variable(key, file.path);
    if (target.empty()) {
      if (ParentIsNew(before_, after_, key)) return;
      const bool temp = Below(key, temp_) || Below(key, "WINDOWS\\TEMP");
      Say(OnDrive(file.path) + (file.folder ? "\\" : "") +
          (temp ? ": left in a temporary folder, which no log names"
           : wow64_ && Below(key, "WINDOWS\\SYSTEM32")
               ? ": in the 64-bit system folder, which the 32-bit uninstaller does not reach"
               : ": no path variable reaches it"));
      return;
    }
    if (!file.folder) {
      AddFile(target);
    } else if (IsEmptyFolder(after_.files, key)) {
      AddFile(target + "\\");
    }
  }

  // Uninstall.exe and its log in the application folder: they go at the
  // end of every uninstall, and no log names them.
  [[nodiscard]] bool IsUninstallersOwn(const std::string& key) const {
    return key == app_key_ + "\\UNINSTALL.EXE" || key == app_key_ + "\\UNINSTALL.DAT";
  }

  void Replaced(const std::string& key, const PrefixFile& file) {
    if (IsUninstallersOwn(key)) return;
    if (Below(key, app_key_)) {
      AddFile(Variable(key, file.path));
      return;
    }
    Say(OnDrive(file.path) +
        ": replaced by the install; the log cannot give back the file that was there before");
  }

  void Links() {
    // The group: as given, else the folder that holds every new link in the
    // Programs folder.
    std::optional<std::string> common;
    for (const std::string& key : links_) {
      if (!Below(key, programs_)) continue;
      std::string folder = ParentOf(Rest(after_.files.at(key).path, programs_));
      if (!common) {
        common = folder;
      } else {
        while (!common->empty() && Comparable(*common) != Comparable(folder) &&
               !Below(Comparable(folder), Comparable(*common))) {
          *common = ParentOf(*common);
        }
      }
    }
    group_ = options_.GroupName.empty() ? common.value_or("") : options_.GroupName;
    const std::string group_key = Comparable(group_);

    for (const std::string& key : links_) {
      const PrefixFile& file = after_.files.at(key);
      const bool desktop = Below(key, desktop_);
      const std::string rest = Rest(file.path, desktop ? desktop_ : programs_);
      if (!key.ends_with(".LNK")) {
        Say(OnDrive(file.path) + ": a file in the Start menu or on the desktop that is no link");
        continue;
      }
      const std::string folder = ParentOf(rest);
      const std::string name = NameOf(rest).substr(0, NameOf(rest).size() - 4);
      const std::string folder_key = Comparable(folder);
      std::string folder_name = folder;
      if (desktop) {
        if (!folder.empty()) {
          Say(OnDrive(file.path) + ": a link in a folder on the desktop, which no log names");
          continue;
        }
        if (Comparable(name) == Comparable(options_.AppName)) continue;  // the desktop link
        folder_name = ToUtf8(kDesktopLinkFolder);
      } else if (!group_.empty() && folder_key == group_key) {
        folder_name = "%userfolder%";
      } else if (!group_.empty() && Below(folder_key, group_key)) {
        folder_name = "%userfolder%\\" + Rest(folder, group_);
      }
      std::string target = file.link_target;
      if (Comparable(target).starts_with("C:\\")) {
        const std::string below = target.substr(3);
        const std::string variable = Variable(Comparable(below), below);
        if (!variable.empty()) target = variable;
      }
      result_.log.Links.push_back({FromUtf8(folder_name), FromUtf8(name), FromUtf8(target)});
    }
    for (const std::string& key : link_folders_) {
      const PrefixFile& file = after_.files.at(key);
      if (Below(key, desktop_)) {
        Say(OnDrive(file.path) + "\\: a folder on the desktop, which no log names");
        continue;
      }
      const std::string rest = Comparable(Rest(key, programs_));
      if (!group_.empty() && rest == group_key) continue;  // removed as the program group
      const char* what = group_.empty() ? "a folder in the Start menu, and no program group"
                         : Below(group_key, rest) ? "a folder above the program group"
                         : Below(rest, group_key)
                             ? "a folder in the program group, which then stays too"
                             : "a folder in the Start menu that is not the program group";
      Say(OnDrive(file.path) + "\\: " + what +
          "; the uninstall removes the group's links and the " +
          "group once empty, no other folder of the Start menu");
    }
  }

  void Keys(Hive hive) {
    const auto& before = before_.Keys(hive);
    for (const auto& [key, entry] : after_.Keys(hive)) {
      const auto old = before.find(key);
      if (old != before.end()) {
        const auto [added, removed] = ValueChanges(hive, key, old->second, entry);
        if (!added.empty()) {
          Say(HiveKeyText(hive, entry.path) + ": values added or changed in a key that was there " +
              "before, which the log cannot undo (it names keys, not values): " + List(added));
        }
        if (!removed.empty()) {
          Say(HiveKeyText(hive, entry.path) + ": values removed by the install: " + List(removed));
        }
        continue;
      }
      const std::optional<LogKey> log_key = KeyOfLog(hive, entry.path, wow64_);
      if (!log_key) {
        const std::string parent = ParentOf(key);
        if (after_.Keys(hive).contains(parent) && !before.contains(parent)) continue;
        Say(HiveKeyText(hive, entry.path) +
            ": a 64-bit key, which the 32-bit uninstaller does not reach");
      } else if (IsSharedRegistryKey(log_key->root, FromUtf8(log_key->path))) {
        Say(KeyText(log_key->root, log_key->path) +
            ": a key the system and other applications share; no uninstall deletes it");
      } else {
        keys_.push_back(*log_key);
      }
    }
  }

  const PrefixState& before_;
  const PrefixState& after_;
  const CaptureOptions& options_;
  const PrefixView& view_;
  Capture result_;
  bool wow64_ = false;
  std::string app_, app_key_, main_, group_;
  std::string programs_, desktop_, temp_, sysdir_;
  std::vector<std::string> above_, links_, link_folders_;
  std::vector<LogKey> keys_;
};

// The topmost entries of `files` that `other` lacks, each with what lies
// below it: the first few names, so that a short list is seen whole.
std::vector<std::string> Missing(const std::map<std::string, PrefixFile>& files,
                                 const std::map<std::string, PrefixFile>& other) {
  constexpr std::size_t kNamed = 3;
  std::vector<std::string> lines;
  std::string top;
  std::vector<std::string> below;
  const auto flush = [&] {
    if (top.empty() || below.empty()) return;
    std::string names;
    for (std::size_t i = 0; i < below.size() && i < kNamed; ++i) {
      names += (i == 0 ? "" : ", ") + below[i];
    }
    lines.back() +=
        " (holding " +
        (below.size() <= kNamed ? names
                                : std::to_string(below.size()) + " entries: " + names + ", ...") +
        ")";
  };
  for (const auto& [key, file] : files) {
    if (other.contains(key)) continue;
    if (!top.empty() && Below(key, top)) {
      if (!file.folder) below.push_back(file.path.substr(top.size() + 1));
      continue;
    }
    flush();
    top = key;
    below.clear();
    lines.push_back(OnDrive(file.path) + (file.folder ? "\\" : ""));
  }
  flush();
  return lines;
}

void MissingKeys(Hive hive, const std::map<std::string, PrefixKey>& keys,
                 const std::map<std::string, PrefixKey>& other, std::vector<std::string>& lines) {
  std::string top;
  for (const auto& [key, entry] : keys) {
    if (other.contains(key) || (!top.empty() && Below(key, top))) continue;
    top = key;
    lines.push_back(HiveKeyText(hive, entry.path) + "\\ (key)");
  }
}

}  // namespace

std::string FindAppFolder(const PrefixState& before, const PrefixState& after,
                          const std::string& app_dir) {
  if (!app_dir.empty()) {
    std::string dir = app_dir;
    if (Comparable(dir).starts_with("C:\\")) dir = dir.substr(3);
    while (!dir.empty() && dir.back() == '\\') dir.pop_back();
    const auto it = after.files.find(Comparable(dir));
    if (dir.empty() || it == after.files.end() || !it->second.folder) {
      throw CaptureError("--app-dir " + app_dir + ": no such folder after the install");
    }
    return it->second.path;
  }
  std::vector<std::string> found;
  for (const auto& [key, file] : after.files) {
    if (!before.files.contains(key) && NameOf(key) == "UNINSTALL.EXE") {
      found.push_back(ParentOf(file.path));
    }
  }
  if (found.size() != 1) {
    throw CaptureError(std::string(found.empty() ? "the install made no Uninstall.exe"
                                                 : "the install made several Uninstall.exe") +
                       ": name the application folder with --app-dir");
  }
  return found.front();
}

Capture CaptureInstall(const PrefixState& before, const PrefixState& after,
                       const CaptureOptions& options, const PrefixView& view) {
  return Capturer(before, after, options, view).Run();
}

Difference ComparePrefixes(const PrefixState& before, const PrefixState& after) {
  Difference difference;
  difference.leftovers = Missing(after.files, before.files);
  difference.collateral = Missing(before.files, after.files);
  for (const auto& [key, file] : before.files) {
    const auto now = after.files.find(key);
    if (now != after.files.end() && Changed(file, now->second)) {
      difference.collateral.push_back(OnDrive(file.path) + " (changed)");
    }
  }
  for (const Hive hive : {Hive::kMachine, Hive::kUser}) {
    MissingKeys(hive, after.Keys(hive), before.Keys(hive), difference.leftovers);
    MissingKeys(hive, before.Keys(hive), after.Keys(hive), difference.collateral);
    for (const auto& [key, entry] : after.Keys(hive)) {
      const auto old = before.Keys(hive).find(key);
      if (old == before.Keys(hive).end()) continue;
      const auto [added, removed] = ValueChanges(hive, key, old->second, entry);
      if (!added.empty()) {
        difference.leftovers.push_back(HiveKeyText(hive, entry.path) + ": values " + List(added));
      }
      if (!removed.empty()) {
        difference.collateral.push_back(HiveKeyText(hive, entry.path) + ": values " +
                                        List(removed));
      }
    }
  }
  return difference;
}

}  // namespace uninstall::tools
