// The InstallFile format: the install log's bytes on disk.
//
//   offset 0   11 bytes  magic "InstallFile" (49 6E 73 74 61 6C 6C 46 69 6C 65)
//   offset 11   2 bytes  line end 0D 0A (written; read back as two bytes of
//                        no record kind)
//   offset 13  ...       records, back to back, to the end of the file
//
// A record is one kind byte followed by its fields:
//   1 AppInfo      string AppPath, string AppName, string MainPath, string GroupName
//   2 FileEntry    string SourcePath, string TargetPath, integer KeepFile (0 or -1)
//   3 RegKeyEntry  integer RootKey, string SubKey, string Extra1, string Extra2
//   4 LinkEntry    string FolderName, string LinkName, string LinkPath
// An integer is 4 bytes, signed, least significant first. A string is an
// integer length n followed by n bytes of text in the ANSI code page, with
// no terminator; n counts bytes, not characters. There are no counts, no
// padding and no end marker; any byte that is no record kind (0, 5 to 255)
// is passed over by the reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

// The 4 stored bytes of `value`, least significant first.
[[nodiscard]] std::string EncodeLong(std::int32_t value);
// The integer stored in the first 4 bytes of `bytes`, least significant
// first; bytes missing at the end count as 0.
[[nodiscard]] std::int32_t DecodeLong(std::string_view bytes);

// The 4 characters whose ANSI bytes are `value`, least significant first.
// In a single-byte code page every byte is one character, so writing the
// result as ANSI text gives back exactly the 4 bytes. The reader and the
// writer use EncodeLong/DecodeLong, which hold in any code page.
[[nodiscard]] std::wstring LongToBytes(std::int32_t value);
// The integer whose bytes, least significant first, are the ANSI form of the
// first 4 characters of `text` (missing bytes count as 0).
[[nodiscard]] std::int32_t BytesToLong(std::wstring_view text);

}  // namespace uninstall
