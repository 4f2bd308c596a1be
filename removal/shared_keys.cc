#include "removal/shared_keys.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <span>
#include <vector>

#include "paths/normalise.h"

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

struct Canonical {
  Scope scope = Scope::kOther;
  std::vector<std::wstring> names;  // below the scope's own key, upper case
};

std::vector<std::wstring> Names(std::wstring_view path) {
  std::vector<std::wstring> names;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring_view::npos) end = path.size();
    if (end > start) names.push_back(UpperCase(path.substr(start, end - start)));
    start = end + 1;
  }
  return names;
}

bool Is(const std::vector<std::wstring>& names, std::size_t i, std::wstring_view name) {
  return i < names.size() && names[i] == name;
}

// "CONTROLSET" followed by three digits: a control set that CurrentControlSet
// stands for.
bool IsControlSet(std::wstring_view name) {
  constexpr std::wstring_view kPrefix = L"CONTROLSET";
  return name.size() == kPrefix.size() + 3 && name.starts_with(kPrefix) &&
         std::all_of(name.begin() + kPrefix.size(), name.end(),
                     [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

Canonical Classes(std::vector<std::wstring> names, std::size_t from) {
  if (Is(names, from, L"WOW6432NODE")) ++from;
  names.erase(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(from));
  return {Scope::kClasses, std::move(names)};
}

Canonical Software(std::vector<std::wstring> names, std::size_t from) {
  if (Is(names, from, L"WOW6432NODE")) ++from;
  if (Is(names, from, L"CLASSES")) return Classes(std::move(names), from + 1);
  names.erase(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(from));
  return {Scope::kSoftware, std::move(names)};
}

Canonical User(std::vector<std::wstring> names, std::size_t from) {
  if (Is(names, from, L"SOFTWARE")) return Software(std::move(names), from + 1);
  names.erase(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(from));
  return {Scope::kUser, std::move(names)};
}

// The scope of a key and its names below it. HKEY_USERS itself and its
// hives are the kUser scope's own key (shared); a hive ending in "_Classes"
// holds a user's class keys.
Canonical CanonicalKey(std::int32_t root, std::wstring_view path) {
  std::vector<std::wstring> names = Names(path);
  switch (root) {
    case regroot::kClassesRoot:
      return Classes(std::move(names), 0);
    case regroot::kCurrentUser:
      return User(std::move(names), 0);
    case regroot::kLocalMachine:
      if (Is(names, 0, L"SOFTWARE")) return Software(std::move(names), 1);
      if (Is(names, 0, L"SYSTEM")) {
        if (names.size() > 1 && IsControlSet(names[1])) names[1] = L"CURRENTCONTROLSET";
        names.erase(names.begin());
        return {Scope::kSystem, std::move(names)};
      }
      return {Scope::kMachine, std::move(names)};
    case regroot::kUsers:
      if (names.empty()) return {Scope::kUser, {}};
      if (names[0].ends_with(L"_CLASSES")) return Classes(std::move(names), 1);
      return User(std::move(names), 1);
    case regroot::kCurrentConfig:
      return {Scope::kConfig, std::move(names)};
    default:
      return {Scope::kOther, std::move(names)};
  }
}

std::wstring Joined(std::span<const std::wstring> names) {
  std::wstring text;
  for (const std::wstring& name : names) {
    if (!text.empty()) text.push_back(L'\\');
    text += name;
  }
  return text;
}

}  // namespace

bool IsSharedRegistryKey(std::int32_t root, std::wstring_view path) {
  const Canonical key = CanonicalKey(root, path);
  if (key.names.size() <= 1 && std::find(kChildrenOfShared.begin(), kChildrenOfShared.end(),
                                         key.scope) != kChildrenOfShared.end()) {
    return true;
  }
  const std::wstring joined = Joined(key.names);
  return std::any_of(kSharedKeys.begin(), kSharedKeys.end(), [&](const SharedKey& shared) {
    return shared.scope == key.scope && shared.path == joined;
  });
}

bool IsUninstallEntryKey(std::int32_t root, std::wstring_view path) {
  static constexpr std::array<std::wstring_view, 4> kUninstall = {L"MICROSOFT", L"WINDOWS",
                                                                  L"CURRENTVERSION", L"UNINSTALL"};
  const Canonical key = CanonicalKey(root, path);
  return key.scope == Scope::kSoftware && key.names.size() > kUninstall.size() &&
         std::equal(kUninstall.begin(), kUninstall.end(), key.names.begin());
}

std::wstring ComparableKeyPath(std::wstring_view path) { return Joined(Names(path)); }

}  // namespace uninstall
