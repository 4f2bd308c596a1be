// The InstallFile format: the install log's bytes on disk.
//
//   offset 0   11 bytes  magic "InstallFile" (49 6E 73 74 61 6C 6C 46 69 6C 65)
//   offset 11   2 bytes  line end 0D 0A (written; read back as two bytes of
//                        no record kind)
//   offset 13  ...       records, back to back, to the end of the file
//
// A record is one kind byte followed by its fields, as the record layouts
// below list them (kind 1 AppInfo, 2 FileEntry, 3 RegKeyEntry, 4 LinkEntry).
// An integer is 4 bytes, signed, least significant first. A string is an
// integer length n followed by n bytes of text in the ANSI code page, with
// no terminator; n counts bytes, not characters. There are no counts, no
// padding and no end marker; any byte that is no record kind (0, 5 to 255)
// is passed over by the reader.
//
// The layouts are the one place that says which fields a record has and in
// what order: the reader, the writer, the dump and the manifest all walk
// them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "installlog/records.h"

namespace uninstall {

inline constexpr std::string_view kInstallFileMagic = "InstallFile";
inline constexpr std::string_view kInstallFileLineEnd = "\r\n";
// Size of an integer field, and of a string field's length.
inline constexpr std::size_t kIntegerFieldSize = 4;

enum RecordKind : std::uint8_t {
  kRecordAppInfo = 1,
  kRecordFileEntry = 2,
  kRecordRegKeyEntry = 3,
  kRecordLinkEntry = 4,
};

// What a field stores: a string (length and text) or an integer.
enum class FieldType : std::uint8_t { kString, kInteger };

// One field of a record of type `Record`: its name (as the dump and the
// manifest show it) and the member that holds it in memory. Exactly one
// member pointer is set; `flag` is an integer field held as a 16-bit
// Boolean: any non-zero stored value reads as kTrue, and the writer widens
// the 16-bit value with its sign.
template <typename Record>
struct FieldLayout {
  std::string_view name;
  std::wstring Record::*text = nullptr;
  std::int32_t Record::*integer = nullptr;
  std::int16_t Record::*flag = nullptr;

  [[nodiscard]] constexpr FieldType type() const {
    return text != nullptr ? FieldType::kString : FieldType::kInteger;
  }
};

// A record kind, its name and its fields in the order they are stored.
template <typename Record>
struct RecordLayout {
  RecordKind kind{};
  std::string_view name;
  std::span<const FieldLayout<Record>> fields;
};

inline constexpr std::array<FieldLayout<AppInfo>, 4> kAppInfoFields = {{
    {.name = "AppPath", .text = &AppInfo::AppPath},
    {.name = "AppName", .text = &AppInfo::AppName},
    {.name = "MainPath", .text = &AppInfo::MainPath},
    {.name = "GroupName", .text = &AppInfo::GroupName},
}};
inline constexpr std::array<FieldLayout<FileEntry>, 3> kFileEntryFields = {{
    {.name = "SourcePath", .text = &FileEntry::SourcePath},
    {.name = "TargetPath", .text = &FileEntry::TargetPath},
    {.name = "KeepFile", .flag = &FileEntry::KeepFile},
}};
inline constexpr std::array<FieldLayout<RegKeyEntry>, 4> kRegKeyEntryFields = {{
    {.name = "RootKey", .integer = &RegKeyEntry::RootKey},
    {.name = "SubKey", .text = &RegKeyEntry::SubKey},
    {.name = "Extra1", .text = &RegKeyEntry::Extra1},
    {.name = "Extra2", .text = &RegKeyEntry::Extra2},
}};
inline constexpr std::array<FieldLayout<LinkEntry>, 3> kLinkEntryFields = {{
    {.name = "FolderName", .text = &LinkEntry::FolderName},
    {.name = "LinkName", .text = &LinkEntry::LinkName},
    {.name = "LinkPath", .text = &LinkEntry::LinkPath},
}};

inline constexpr RecordLayout<AppInfo> kAppInfoLayout{kRecordAppInfo, "AppInfo", kAppInfoFields};
inline constexpr RecordLayout<FileEntry> kFileEntryLayout{kRecordFileEntry, "FileEntry",
                                                          kFileEntryFields};
inline constexpr RecordLayout<RegKeyEntry> kRegKeyEntryLayout{kRecordRegKeyEntry, "RegKeyEntry",
                                                              kRegKeyEntryFields};
inline constexpr RecordLayout<LinkEntry> kLinkEntryLayout{kRecordLinkEntry, "LinkEntry",
                                                          kLinkEntryFields};

// Whether `kind` is the kind byte of a record (1 to 4).
[[nodiscard]] constexpr bool IsRecordKind(std::uint8_t kind) {
  return kind >= kRecordAppInfo && kind <= kRecordLinkEntry;
}

// Calls visit(layout) with the layout of record kind `kind` and returns its
// result; `kind` must be a record kind.
template <typename Visit>
decltype(auto) VisitRecordLayout(std::uint8_t kind, Visit&& visit) {
  switch (kind) {
    case kRecordAppInfo:
      return visit(kAppInfoLayout);
    case kRecordFileEntry:
      return visit(kFileEntryLayout);
    case kRecordRegKeyEntry:
      return visit(kRegKeyEntryLayout);
    default:
      return visit(kLinkEntryLayout);
  }
}

// The name of record kind `kind` ("AppInfo" ...); `kind` must be a record kind.
[[nodiscard]] inline std::string_view RecordName(std::uint8_t kind) {
  return VisitRecordLayout(kind, [](const auto& layout) { return layout.name; });
}

// The predefined registry roots that a log's RootKey names: their handle
// values, and the table of their names and the abbreviations that are
// commonly used for them.
namespace regroot {
inline constexpr std::int32_t kClassesRoot = static_cast<std::int32_t>(0x80000000u);
inline constexpr std::int32_t kCurrentUser = static_cast<std::int32_t>(0x80000001u);
inline constexpr std::int32_t kLocalMachine = static_cast<std::int32_t>(0x80000002u);
inline constexpr std::int32_t kUsers = static_cast<std::int32_t>(0x80000003u);
inline constexpr std::int32_t kCurrentConfig = static_cast<std::int32_t>(0x80000005u);
}  // namespace regroot

struct RegistryRoot {
  std::string_view name;
  std::string_view abbreviation;
  std::int32_t value;
};
inline constexpr std::array<RegistryRoot, 5> kRegistryRoots = {{
    {"HKEY_CLASSES_ROOT", "HKCR", regroot::kClassesRoot},
    {"HKEY_CURRENT_USER", "HKCU", regroot::kCurrentUser},
    {"HKEY_LOCAL_MACHINE", "HKLM", regroot::kLocalMachine},
    {"HKEY_USERS", "HKU", regroot::kUsers},
    {"HKEY_CURRENT_CONFIG", "HKCC", regroot::kCurrentConfig},
}};

// The root of the table with handle value `value`, or null.
[[nodiscard]] constexpr const RegistryRoot* FindRegistryRoot(std::int32_t value) {
  for (const RegistryRoot& root : kRegistryRoots) {
    if (root.value == value) return &root;
  }
  return nullptr;
}

// The value of a root's name (exact spelling), or nothing.
[[nodiscard]] constexpr std::optional<std::int32_t> RootKeyByName(std::string_view name) {
  for (const RegistryRoot& root : kRegistryRoots) {
    if (root.name == name) return root.value;
  }
  return std::nullopt;
}
// The value of a root's abbreviation (exact spelling, e.g. "HKLM"), or nothing.
[[nodiscard]] constexpr std::optional<std::int32_t> RootKeyByAbbreviation(
    std::string_view abbreviation) {
  for (const RegistryRoot& root : kRegistryRoots) {
    if (root.abbreviation == abbreviation) return root.value;
  }
  return std::nullopt;
}
// The name of a root's value, or nothing for a value that has none.
[[nodiscard]] constexpr std::optional<std::string_view> NameOfRootKey(std::int32_t value) {
  if (const RegistryRoot* root = FindRegistryRoot(value)) return root->name;
  return std::nullopt;
}

// The 4 stored bytes of `value`, least significant first.
[[nodiscard]] std::string EncodeLong(std::int32_t value);
// The integer stored in the first 4 bytes of `bytes`, least significant
// first; bytes missing at the end count as 0.
[[nodiscard]] std::int32_t DecodeLong(std::string_view bytes);

}  // namespace uninstall
