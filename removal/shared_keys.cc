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

struct SharedKey {
  Scope scope;
  std::wstring_view path;  // key names in upper case, joined by "\"; "" the scope's own key
};

// The keys that the system and every application share. An application's
// own key lies below one of them; a log that names one of these names
// something no uninstall may delete, even when it has no subkeys left (a key
// with values and no subkeys is deleted like any other, and its values with
// it).
constexpr std::array kSharedKeys = {
    // The hives of the machine and of the users; their direct children are
    // listed with kChildrenOfShared below.
    SharedKey{Scope::kMachine, L""},
    SharedKey{Scope::kUser, L""},
    SharedKey{Scope::kConfig, L""},
    SharedKey{Scope::kOther, L""},
    // What Windows makes in every user's hive beside Software.
    SharedKey{Scope::kUser, L"APPEVENTS"},
    SharedKey{Scope::kUser, L"CONSOLE"},
    SharedKey{Scope::kUser, L"CONTROL PANEL"},
    SharedKey{Scope::kUser, L"CONTROL PANEL\\DESKTOP"},
    SharedKey{Scope::kUser, L"ENVIRONMENT"},
    SharedKey{Scope::kUser, L"EUDC"},
    SharedKey{Scope::kUser, L"IDENTITIES"},
    SharedKey{Scope::kUser, L"KEYBOARD LAYOUT"},
    SharedKey{Scope::kUser, L"NETWORK"},
    SharedKey{Scope::kUser, L"PRINTERS"},
    SharedKey{Scope::kUser, L"SYSTEM"},
    SharedKey{Scope::kUser, L"VOLATILE ENVIRONMENT"},
    // Software and the vendor keys of the system, in which every
    // application's own keys lie.
    SharedKey{Scope::kSoftware, L""},
    SharedKey{Scope::kSoftware, L"MICROSOFT"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS NT"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\FONTS"},
    SharedKey{Scope::kSoftware,
              L"MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\IMAGE FILE EXECUTION OPTIONS"},
    SharedKey{Scope::kSoftware, L"POLICIES"},
    SharedKey{Scope::kSoftware, L"POLICIES\\MICROSOFT"},
    SharedKey{Scope::kSoftware, L"CLIENTS"},
    SharedKey{Scope::kSoftware, L"REGISTEREDAPPLICATIONS"},
    // CurrentVersion and the keys below it where applications register
    // themselves beside each other: one key (or one value) each.
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCEEX"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNSERVICES"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNSERVICESONCE"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELL FOLDERS"},
    SharedKey{Scope::kSoftware,
              L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\USER SHELL FOLDERS"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\FILEEXTS"},
    SharedKey{Scope::kSoftware,
              L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELLICONOVERLAYIDENTIFIERS"},
    SharedKey{Scope::kSoftware,
              L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\BROWSER HELPER OBJECTS"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHELL EXTENSIONS"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHELL EXTENSIONS\\APPROVED"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHAREDDLLS"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\INSTALLER"},
    SharedKey{Scope::kSoftware, L"MICROSOFT\\WINDOWS\\CURRENTVERSION\\INTERNET SETTINGS"},
    // The class keys every application's types, servers and shell
    // extensions are registered below.
    SharedKey{Scope::kClasses, L""},
    SharedKey{Scope::kClasses, L"CLSID"},
    SharedKey{Scope::kClasses, L"INTERFACE"},
    SharedKey{Scope::kClasses, L"TYPELIB"},
    SharedKey{Scope::kClasses, L"APPID"},
    SharedKey{Scope::kClasses, L"*"},
    SharedKey{Scope::kClasses, L"*\\SHELL"},
    SharedKey{Scope::kClasses, L"*\\SHELLEX"},
    SharedKey{Scope::kClasses, L"*\\SHELLEX\\CONTEXTMENUHANDLERS"},
    SharedKey{Scope::kClasses, L"DIRECTORY"},
    SharedKey{Scope::kClasses, L"DIRECTORY\\SHELL"},
    SharedKey{Scope::kClasses, L"DIRECTORY\\SHELLEX"},
    SharedKey{Scope::kClasses, L"DIRECTORY\\SHELLEX\\CONTEXTMENUHANDLERS"},
    SharedKey{Scope::kClasses, L"DIRECTORY\\BACKGROUND"},
    SharedKey{Scope::kClasses, L"DIRECTORY\\BACKGROUND\\SHELL"},
    SharedKey{Scope::kClasses, L"DIRECTORY\\BACKGROUND\\SHELLEX"},
    SharedKey{Scope::kClasses, L"FOLDER"},
    SharedKey{Scope::kClasses, L"FOLDER\\SHELL"},
    SharedKey{Scope::kClasses, L"FOLDER\\SHELLEX"},
    SharedKey{Scope::kClasses, L"DRIVE"},
    SharedKey{Scope::kClasses, L"DRIVE\\SHELL"},
    SharedKey{Scope::kClasses, L"DRIVE\\SHELLEX"},
    SharedKey{Scope::kClasses, L"ALLFILESYSTEMOBJECTS"},
    SharedKey{Scope::kClasses, L"SYSTEMFILEASSOCIATIONS"},
    SharedKey{Scope::kClasses, L"MIME"},
    SharedKey{Scope::kClasses, L"MIME\\DATABASE"},
    SharedKey{Scope::kClasses, L"MIME\\DATABASE\\CONTENT TYPE"},
    SharedKey{Scope::kClasses, L"APPLICATIONS"},
    SharedKey{Scope::kClasses, L"PROTOCOLS"},
    SharedKey{Scope::kClasses, L"COMPONENT CATEGORIES"},
    SharedKey{Scope::kClasses, L"LOCAL SETTINGS"},
    // The system's configuration: services and drivers are registered below
    // Services, one key each; the environment of every process is in
    // Session Manager\Environment. ControlSet001 and the others are spelled
    // CURRENTCONTROLSET here (see Canonical).
    SharedKey{Scope::kSystem, L""},
    SharedKey{Scope::kSystem, L"CURRENTCONTROLSET\\SERVICES"},
    SharedKey{Scope::kSystem, L"CURRENTCONTROLSET\\SERVICES\\EVENTLOG"},
    SharedKey{Scope::kSystem, L"CURRENTCONTROLSET\\SERVICES\\EVENTLOG\\APPLICATION"},
    SharedKey{Scope::kSystem, L"CURRENTCONTROLSET\\CONTROL"},
    SharedKey{Scope::kSystem, L"CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER"},
    SharedKey{Scope::kSystem, L"CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER\\ENVIRONMENT"},
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

bool InTable(Scope scope, std::wstring_view rest) {
  return std::any_of(kSharedKeys.begin(), kSharedKeys.end(), [&](const SharedKey& shared) {
    return shared.scope == scope && shared.path == rest;
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
  out.resize(path.size());
  std::size_t n = 0;
  for (const wchar_t c : path) {
    if (c != L'\\') {
      out[n++] = FoldKeyNameChar(c);
    } else if (n > 0 && out[n - 1] != L'\\') {
      out[n++] = L'\\';
    }
  }
  if (n > 0 && out[n - 1] == L'\\') --n;
  out.resize(n);
}

wchar_t FoldKeyNameChar(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
  if (c < 0x80) return c;
  return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
}

}  // namespace uninstall
