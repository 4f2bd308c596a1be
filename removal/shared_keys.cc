#include "removal/shared_keys.h"

#include <algorithm>
#include <array>
#include <cwctype>

namespace uninstall {
namespace {

// Where a key lies once its view and hive are set aside: the same key of
// Software reached through HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, a user's
// hive or Wow6432Node lies in kSoftware, and so on.
enum class Scope {
  kMachine,   // HKEY_LOCAL_MACHINE, but its Software and SYSTEM
  kUser,      // a user's hive (HKEY_CURRENT_USER, HKEY_USERS\<user>), but its Software
  kSoftware,  // Software of the machine or of a user, either view, but Classes
  kClasses,   // the class keys, through any of their names
  kSystem,    // HKEY_LOCAL_MACHINE\SYSTEM
  kConfig,    // HKEY_CURRENT_CONFIG
  kOther,     // the performance and dynamic data roots
};

// A shared key and the shared keys directly below it.
struct SharedKeys {
  Scope scope;
  std::wstring_view key;  // below the scope's own key, names joined by "\"; "" the scope's own
  std::array<std::wstring_view, 16> below = {};  // names of shared keys directly below `key`
};

// The keys that the system and every application share, in any letter case.
// An application's own key lies below one of them; a log that names one of
// these names something no uninstall may delete, even when it has no
// subkeys left (a key with values and no subkeys is deleted like any other,
// and its values with it).
constexpr std::array kSharedKeys = {
    // The roots and hives; the direct children of some are shared as a
    // whole (kChildrenOfShared below). What Windows makes in every user's
    // hive beside Software.
    SharedKeys{Scope::kMachine, L""},
    SharedKeys{Scope::kConfig, L""},
    SharedKeys{Scope::kOther, L""},
    SharedKeys{Scope::kUser,
               L"",
               {L"AppEvents", L"Console", L"Control Panel", L"Environment", L"EUDC", L"Identities",
                L"Keyboard Layout", L"Network", L"Printers", L"System", L"Volatile Environment"}},
    SharedKeys{Scope::kUser, L"Control Panel", {L"Desktop"}},
    // Software and the vendor keys of the system, in which every
    // application's own keys lie.
    SharedKeys{
        Scope::kSoftware, L"", {L"Microsoft", L"Policies", L"Clients", L"RegisteredApplications"}},
    SharedKeys{Scope::kSoftware, L"Microsoft", {L"Windows", L"Windows NT"}},
    SharedKeys{Scope::kSoftware, L"Microsoft\\Windows NT", {L"CurrentVersion"}},
    SharedKeys{Scope::kSoftware,
               L"Microsoft\\Windows NT\\CurrentVersion",
               {L"Winlogon", L"Fonts", L"Image File Execution Options"}},
    SharedKeys{Scope::kSoftware, L"Policies", {L"Microsoft"}},
    // CurrentVersion and the keys below it where applications register
    // themselves beside each other: one key (or one value) each.
    SharedKeys{Scope::kSoftware, L"Microsoft\\Windows", {L"CurrentVersion"}},
    SharedKeys{Scope::kSoftware,
               L"Microsoft\\Windows\\CurrentVersion",
               {L"Uninstall", L"Run", L"RunOnce", L"RunOnceEx", L"RunServices", L"RunServicesOnce",
                L"App Paths", L"Explorer", L"Policies", L"Shell Extensions", L"SharedDLLs",
                L"Installer", L"Internet Settings"}},
    SharedKeys{Scope::kSoftware,
               L"Microsoft\\Windows\\CurrentVersion\\Explorer",
               {L"Shell Folders", L"User Shell Folders", L"FileExts",
                L"ShellIconOverlayIdentifiers", L"Browser Helper Objects"}},
    SharedKeys{
        Scope::kSoftware, L"Microsoft\\Windows\\CurrentVersion\\Shell Extensions", {L"Approved"}},
    // The class keys every application's types, servers and shell
    // extensions are registered below.
    SharedKeys{Scope::kClasses,
               L"",
               {L"CLSID", L"Interface", L"TypeLib", L"AppID", L"*", L"Directory", L"Folder",
                L"Drive", L"AllFilesystemObjects", L"SystemFileAssociations", L"MIME",
                L"Applications", L"PROTOCOLS", L"Component Categories", L"Local Settings"}},
    SharedKeys{Scope::kClasses, L"*", {L"shell", L"shellex"}},
    SharedKeys{Scope::kClasses, L"*\\shellex", {L"ContextMenuHandlers"}},
    SharedKeys{Scope::kClasses, L"Directory", {L"shell", L"shellex", L"Background"}},
    SharedKeys{Scope::kClasses, L"Directory\\shellex", {L"ContextMenuHandlers"}},
    SharedKeys{Scope::kClasses, L"Directory\\Background", {L"shell", L"shellex"}},
    SharedKeys{Scope::kClasses, L"Folder", {L"shell", L"shellex"}},
    SharedKeys{Scope::kClasses, L"Drive", {L"shell", L"shellex"}},
    SharedKeys{Scope::kClasses, L"MIME", {L"Database"}},
    SharedKeys{Scope::kClasses, L"MIME\\Database", {L"Content Type"}},
    // The system's configuration: services and drivers are registered below
    // Services, one key each; the environment of every process is in
    // Session Manager\Environment. ControlSet001 and the others count as
    // CurrentControlSet (IsSharedComparableKey).
    SharedKeys{Scope::kSystem, L""},
    SharedKeys{Scope::kSystem, L"CurrentControlSet", {L"Services", L"Control"}},
    SharedKeys{Scope::kSystem, L"CurrentControlSet\\Services", {L"EventLog"}},
    SharedKeys{Scope::kSystem, L"CurrentControlSet\\Services\\EventLog", {L"Application"}},
    SharedKeys{Scope::kSystem, L"CurrentControlSet\\Control", {L"Session Manager"}},
    SharedKeys{Scope::kSystem, L"CurrentControlSet\\Control\\Session Manager", {L"Environment"}},
};

// Scopes whose every direct child is shared as well: the hives of the
// machine, the control sets and other top keys of SYSTEM, and Software and
// System of the hardware profile.
constexpr std::array kChildrenOfShared = {Scope::kMachine, Scope::kSystem, Scope::kConfig};

// The next name of a comparable key path from `at` on, and `at` moved past
// it and its "\".
std::wstring_view NextName(std::wstring_view path, std::size_t& at) {
  const std::size_t start = at;
  std::size_t end = path.find(L'\\', start);
  if (end == std::wstring_view::npos) end = path.size();
  at = end < path.size() ? end + 1 : end;
  return path.substr(start, end - start);
}

// "CONTROLSET" followed by three digits: a control set that CurrentControlSet
// stands for.
bool IsControlSet(std::wstring_view name) {
  constexpr std::wstring_view kPrefix = L"CONTROLSET";
  return name.size() == kPrefix.size() + 3 && name.starts_with(kPrefix) &&
         std::all_of(name.begin() + static_cast<std::ptrdiff_t>(kPrefix.size()), name.end(),
                     [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// A comparable key path seen from its scope: the scope and the names below
// the scope's own key (a suffix of the path, "" for the scope's own key).
struct Canonical {
  Scope scope = Scope::kOther;
  std::wstring_view rest;
};

// Skips `name` when it is the next name at `at`.
bool Skip(std::wstring_view path, std::size_t& at, std::wstring_view name) {
  std::size_t next = at;
  if (NextName(path, next) != name) return false;
  at = next;
  return true;
}

Canonical Classes(std::wstring_view path, std::size_t at) {
  Skip(path, at, L"WOW6432NODE");
  return {Scope::kClasses, path.substr(at)};
}

Canonical Software(std::wstring_view path, std::size_t at) {
  Skip(path, at, L"WOW6432NODE");
  if (Skip(path, at, L"CLASSES")) return Classes(path, at);
  return {Scope::kSoftware, path.substr(at)};
}

Canonical User(std::wstring_view path, std::size_t at) {
  if (Skip(path, at, L"SOFTWARE")) return Software(path, at);
  return {Scope::kUser, path.substr(at)};
}

// The scope of a comparable key path. HKEY_USERS itself and its hives are
// the kUser scope's own key (shared); a hive ending in "_CLASSES" holds a
// user's class keys.
Canonical CanonicalKey(std::int32_t root, std::wstring_view path) {
  std::size_t at = 0;
  switch (root) {
    case regroot::kClassesRoot:
      return Classes(path, at);
    case regroot::kCurrentUser:
      return User(path, at);
    case regroot::kLocalMachine:
      if (Skip(path, at, L"SOFTWARE")) return Software(path, at);
      if (Skip(path, at, L"SYSTEM")) return {Scope::kSystem, path.substr(at)};
      return {Scope::kMachine, path};
    case regroot::kUsers: {
      if (path.empty()) return {Scope::kUser, path};
      const std::wstring_view hive = NextName(path, at);
      if (hive.ends_with(L"_CLASSES")) return Classes(path, at);
      return User(path, at);
    }
    case regroot::kCurrentConfig:
      return {Scope::kConfig, path};
    default:
      return {Scope::kOther, path};
  }
}

// Whether `comparable` (upper case) is `name` in any letter case.
bool IsNamed(std::wstring_view comparable, std::wstring_view name) {
  return comparable.size() == name.size() &&
         std::equal(name.begin(), name.end(), comparable.begin(),
                    [](wchar_t n, wchar_t c) { return FoldKeyNameChar(n) == c; });
}

bool InTable(Scope scope, std::wstring_view rest) {
  return std::any_of(kSharedKeys.begin(), kSharedKeys.end(), [&](const SharedKeys& shared) {
    if (shared.scope != scope) return false;
    if (IsNamed(rest, shared.key)) return true;
    // A name directly below the key: "KEY\NAME", or "NAME" below the
    // scope's own key.
    const std::size_t at = shared.key.empty() ? 0 : shared.key.size() + 1;
    if (rest.size() <= at ||
        (at > 0 && (!IsNamed(rest.substr(0, at - 1), shared.key) || rest[at - 1] != L'\\'))) {
      return false;
    }
    const std::wstring_view name = rest.substr(at);
    return std::any_of(shared.below.begin(), shared.below.end(), [&](std::wstring_view below) {
      return !below.empty() && IsNamed(name, below);
    });
  });
}

}  // namespace

bool IsSharedRegistryKey(std::int32_t root, std::wstring_view path) {
  return IsSharedComparableKey(root, ComparableKeyPath(path));
}

bool IsSharedComparableKey(std::int32_t root, std::wstring_view comparable) {
  const Canonical key = CanonicalKey(root, comparable);
  if (key.rest.find(L'\\') == std::wstring_view::npos &&
      std::find(kChildrenOfShared.begin(), kChildrenOfShared.end(), key.scope) !=
          kChildrenOfShared.end()) {
    return true;
  }
  if (InTable(key.scope, key.rest)) return true;
  // ControlSet001 and the others are what CurrentControlSet stands for.
  if (key.scope == Scope::kSystem) {
    std::size_t at = 0;
    if (IsControlSet(NextName(key.rest, at))) {
      std::wstring current = L"CURRENTCONTROLSET";
      if (at < key.rest.size()) current.append(L"\\").append(key.rest.substr(at));
      return InTable(key.scope, current);
    }
  }
  return false;
}

bool IsUninstallEntryKey(std::int32_t root, std::wstring_view path) {
  return IsUninstallEntryComparableKey(root, ComparableKeyPath(path));
}

bool IsUninstallEntryComparableKey(std::int32_t root, std::wstring_view comparable) {
  static constexpr std::wstring_view kUninstall =
      L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\";
  const Canonical key = CanonicalKey(root, comparable);
  return key.scope == Scope::kSoftware && key.rest.size() > kUninstall.size() &&
         key.rest.starts_with(kUninstall);
}

std::wstring ComparableKeyPath(std::wstring_view path) {
  std::wstring names;
  ComparableKeyPath(path, names);
  return names;
}

void ComparableKeyPath(std::wstring_view path, std::wstring& out) {
  out.clear();
  ForEachComparableChar(path, [&](wchar_t c) { out.push_back(c); });
}

wchar_t FoldKeyNameChar(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
  if (c < 0x80) return c;
  return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
}

}  // namespace uninstall
