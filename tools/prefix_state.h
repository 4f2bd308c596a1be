// What a Wine prefix holds, as `installlog capture` and `verify` compare it
// before and after a program ran: the files and folders of drive C: and the
// registry keys and values of its hive files.
//
// Paths are UTF-8 and Windows-style: below drive C: with "\" between names
// ("Program Files\Vendor\App.exe"), registry keys below their hive root
// ("Software\Vendor"). Both are looked up without regard to letter case, as
// Windows does; the maps are keyed by Comparable() of the path and keep the
// path as written in the entry.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace uninstall::tools {

// The hive files of a prefix: system.reg holds HKEY_LOCAL_MACHINE, user.reg
// the user's HKEY_CURRENT_USER.
enum class Hive { kMachine, kUser };

struct PrefixFile {
  std::string path;  // as on disk, "\" between names
  bool folder = false;
  std::uintmax_t size = 0;
  std::int64_t modified = 0;  // the file system's time, in its own units
  std::string link_target;    // of a shell link (*.lnk): the path it points to
  std::uint16_t machine = 0;  // of a program named Uninstall.exe: its PE machine
};

struct PrefixValue {
  std::string name;  // "" for the default value
  std::string data;  // as the hive file writes it, e.g. "\"1.0\"" or "dword:00000001"
};

struct PrefixKey {
  std::string path;
  // Whether the hive file lists the key itself: it leaves out a key that
  // has subkeys and no values, which exists all the same.
  bool listed = false;
  std::map<std::string, PrefixValue> values;  // by Comparable(name)
};

struct PrefixState {
  std::map<std::string, PrefixFile> files;   // by Comparable(path)
  std::map<std::string, PrefixKey> machine;  // by Comparable(path)
  std::map<std::string, PrefixKey> user;

  [[nodiscard]] const std::map<std::string, PrefixKey>& Keys(Hive hive) const {
    return hive == Hive::kMachine ? machine : user;
  }
};

// `text` with ASCII letters in upper case, the form paths are compared in.
[[nodiscard]] std::string Comparable(std::string_view text);

// Adds the keys and values of a hive file's text (Wine's "WINE REGISTRY
// Version 2" format) to `keys`, with every ancestor of a listed key. Text
// escapes (\\, \", \n, \xHHHH, ...) in key and value names are decoded to
// UTF-8; value data stays as written, lines joined where a value goes on.
void ParseHiveText(std::string_view text, std::map<std::string, PrefixKey>& keys);

// The local path a shell link (.lnk) points to, from its link information;
// "" when it has none or the bytes are no shell link.
[[nodiscard]] std::string ShellLinkTarget(std::string_view bytes);

// The machine field of a Windows program's PE header (0x14C for x86, 0x8664
// for x64), or 0 when `bytes` is no such program.
[[nodiscard]] std::uint16_t PeMachine(std::string_view bytes);

// Reads drive_c and the two hive files of the prefix in `prefix`. Folders
// named in `skipped` (Comparable paths below drive C:) are left out with
// all they hold. Throws std::runtime_error when the prefix cannot be read.
[[nodiscard]] PrefixState ReadPrefix(const std::filesystem::path& prefix,
                                     std::string_view skipped = {});

}  // namespace uninstall::tools
