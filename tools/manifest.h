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
// names in kRegistryRoots (installlog/format.h) or an integer, taken as the 32 bits of a signed or
// an unsigned value (-2147483646 and 2147483650 both stand for
// HKEY_LOCAL_MACHINE).
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "installlog/format.h"
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

#ifdef _WIN32
inline constexpr std::string_view kCodePageName = "the system's ANSI code page";
#else
inline constexpr std::string_view kCodePageName = "the ANSI code page (Windows-1252)";
#endif

// Whether the ANSI code page holds every character of `text`: a text that
// it cannot hold would be written with '?' in its place.
[[nodiscard]] bool FitsCodePage(std::wstring_view text);

// The names of kRegistryRoots, or their abbreviations, separated by ", ".
[[nodiscard]] std::string RootKeyNameList(bool abbreviations);

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
