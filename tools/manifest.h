// The manifest: an install log as JSON (UTF-8), with the field names of the
// records.
//
//   {"AppInfo": {"AppPath": "...", "AppName": "...", "MainPath": "...", "GroupName": "..."},
//    "Files":   [{"SourcePath": "...", "TargetPath": "...", "KeepFile": false}, ...],
//    "RegKeys": [{"RootKey": "HKEY_LOCAL_MACHINE", "SubKey": "...", "Extra1": "", "Extra2": ""}],
//    "Links":   [{"FolderName": "...", "LinkName": "...", "LinkPath": "..."}, ...]}
//
// Every field is required and no other is allowed, so that a misspelt name
// is an error rather than a field silently left empty. RootKey is one of the
// names in kRootKeyNames or an integer, taken as the 32 bits of a signed or
// an unsigned value (-2147483646 and 2147483650 both stand for
// HKEY_LOCAL_MACHINE).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "installlog/records.h"

namespace uninstall::tools {

// Objects keep their keys in the order they were written.
using Json = nlohmann::ordered_json;

// A manifest that cannot be turned into a log; what() names the field, e.g.
// "Files[2].KeepFile: expected true or false, found a number".
class ManifestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct RootKeyName {
  std::string_view name;
  std::int32_t value;
};

// The predefined roots a manifest may name.
inline constexpr std::array<RootKeyName, 5> kRootKeyNames = {{
    {"HKEY_CLASSES_ROOT", static_cast<std::int32_t>(0x80000000u)},
    {"HKEY_CURRENT_USER", static_cast<std::int32_t>(0x80000001u)},
    {"HKEY_LOCAL_MACHINE", static_cast<std::int32_t>(0x80000002u)},
    {"HKEY_USERS", static_cast<std::int32_t>(0x80000003u)},
    {"HKEY_CURRENT_CONFIG", static_cast<std::int32_t>(0x80000005u)},
}};

#ifdef _WIN32
inline constexpr std::string_view kCodePageName = "the system's ANSI code page";
#else
inline constexpr std::string_view kCodePageName = "the ANSI code page (Windows-1252)";
#endif

// Whether the ANSI code page holds every character of `text`: a text that
// it cannot hold would be written with '?' in its place.
[[nodiscard]] bool FitsCodePage(std::wstring_view text);

// The value of a root's name (exact spelling), or nothing.
[[nodiscard]] std::optional<std::int32_t> RootKeyByName(std::string_view name);
// The name of a root's value, or nothing for a value that has none.
[[nodiscard]] std::optional<std::string_view> NameOfRootKey(std::int32_t value);

// The log a manifest describes; each count is the size of its list.
// Throws ManifestError for a missing, unknown or mistyped field, an unknown
// root name, an integer RootKey outside 32 bits, a list of more than
// kMaxEntries entries, and text that the ANSI code page cannot hold (it
// would be written as '?', and the log would name other files).
[[nodiscard]] InstallLog LogFromManifest(const Json& manifest);

// Registry keys and links to add to a log, as a manifest holds them.
struct ManifestExtras {
  std::vector<RegKeyEntry> RegKeys;
  std::vector<LinkEntry> Links;
};

// The lists of `extras`, an object with "RegKeys" and "Links" (either may be
// left out, nothing else may be there), each entry checked as
// LogFromManifest checks it; "extras" or "RegKeys[i]..." in the message.
[[nodiscard]] ManifestExtras ExtrasFromJson(const Json& extras);

// The manifest of the entries 1..count of each list of `log`: RootKey by
// name where the root has one, else as a signed integer; KeepFile true for
// any non-zero value. LogFromManifest gives the log back.
[[nodiscard]] Json ManifestFromLog(const InstallLog& log);

}  // namespace uninstall::tools
