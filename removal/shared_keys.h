// Registry keys that the system and every application share, and the
// application's uninstall entry.
//
// A key is judged by what it is, not by how a log spells it: key names are
// compared one by one, letter case ignored as the registry ignores it, empty
// names (a doubled, leading or trailing "\") dropped. The spellings of one
// key that a 32-bit program meets on 64-bit Windows count as that key:
// Software\Wow6432Node\X stands for Software\X, and HKEY_CLASSES_ROOT,
// Software\Classes of HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER (with their
// Wow6432Node), and a user's Classes hive under HKEY_USERS all hold the same
// class keys.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "installlog/format.h"

namespace uninstall {

// Whether no uninstall may delete the key `path` under `root`, whatever a
// log says: a root or hive itself, or a key of the table in shared_keys.cc.
[[nodiscard]] bool IsSharedRegistryKey(std::int32_t root, std::wstring_view path);

// Whether the key is an application's entry in "Add or remove programs",
// or a key below one: strictly inside
// Software\Microsoft\Windows\CurrentVersion\Uninstall of the machine or of a
// user, in either view.
[[nodiscard]] bool IsUninstallEntryKey(std::int32_t root, std::wstring_view path);

// The key names of `path`, upper case, joined by one "\", without empty
// names: equal for two spellings of one key under one root.
[[nodiscard]] std::wstring ComparableKeyPath(std::wstring_view path);
// The same, written into `out` (whose buffer is reused).
void ComparableKeyPath(std::wstring_view path, std::wstring& out);
// One character of a key name as ComparableKeyPath writes it: in upper case.
[[nodiscard]] wchar_t FoldKeyNameChar(wchar_t c);

// The characters of ComparableKeyPath(path), one by one, to `emit`, for
// callers that hash or compare a key without a copy of it.
template <typename Emit>
void ForEachComparableChar(std::wstring_view path, Emit emit) {
  bool any = false;        // a name was emitted
  bool separator = false;  // a "" is due before the next name's character
  for (const wchar_t c : path) {
    if (c == L'\\') {
      separator = any;
      continue;
    }
    if (separator) emit(L'\\');
    separator = false;
    any = true;
    emit(FoldKeyNameChar(c));
  }
}

// The two tests on a path ComparableKeyPath already gave, for callers that
// judge many keys.
[[nodiscard]] bool IsSharedComparableKey(std::int32_t root, std::wstring_view comparable);
[[nodiscard]] bool IsUninstallEntryComparableKey(std::int32_t root, std::wstring_view comparable);

}  // namespace uninstall
