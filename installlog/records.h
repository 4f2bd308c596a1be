// The install log in memory: what the installer recorded and every removal
// stage reads.
//
// Lists are numbered from 1 in the log's own terms; here entry k of a list is
// element k - 1 of its vector. Each count says how many entries are in use and
// is a 16-bit signed value, so no list holds more than kMaxEntries entries.
// A count of 0 or less means an empty list. Booleans are 16-bit, -1 for true.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace uninstall {

inline constexpr int kMaxEntries = 32767;
inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

// Record kind 1: the application as a whole.
struct AppInfo {
  std::wstring AppPath;    // a path; expanded, otherwise unused
  std::wstring AppName;    // shown in the confirmation; also the desktop link's name
  std::wstring MainPath;   // a path; its directory is the main directory
  std::wstring GroupName;  // program group under the Start menu's Programs folder
  bool operator==(const AppInfo&) const = default;
};

// Record kind 2: one installed file.
struct FileEntry {
  std::wstring SourcePath;
  std::wstring TargetPath;         // the installed file's full path
  std::int16_t KeepFile = kFalse;  // non-zero: leave the file in place
  bool operator==(const FileEntry&) const = default;
};

// Record kind 3: one registry key.
struct RegKeyEntry {
  std::int32_t RootKey = 0;  // handle value of a predefined root, e.g. 0x80000002
  std::wstring SubKey;
  std::wstring Extra1;  // carried, unused
  std::wstring Extra2;  // carried, unused
  bool operator==(const RegKeyEntry&) const = default;
};

// Record kind 4: one shell link.
struct LinkEntry {
  std::wstring FolderName;  // relative to the Start menu's Programs folder
  std::wstring LinkName;
  std::wstring LinkPath;  // a path; expanded, otherwise unused
  bool operator==(const LinkEntry&) const = default;
};

struct InstallLog {
  ::uninstall::AppInfo AppInfo;
  std::int16_t FileCount = 0;
  std::vector<FileEntry> Files;
  std::int16_t RegKeyCount = 0;
  std::vector<RegKeyEntry> RegKeys;
  std::int16_t LinkCount = 0;
  std::vector<LinkEntry> Links;
  bool operator==(const InstallLog&) const = default;
};

// The entries of a list that a count says are in use, entries 1..count:
// none for a count of 0 or less, and never more than the list holds.
template <typename Entry>
[[nodiscard]] std::span<const Entry> EntriesInUse(std::int16_t count,
                                                  const std::vector<Entry>& list) {
  if (count < 1) return {};
  return std::span<const Entry>(list).first(std::min(static_cast<std::size_t>(count), list.size()));
}
template <typename Entry>
[[nodiscard]] std::span<Entry> EntriesInUse(std::int16_t count, std::vector<Entry>& list) {
  if (count < 1) return {};
  return std::span<Entry>(list).first(std::min(static_cast<std::size_t>(count), list.size()));
}

}  // namespace uninstall
