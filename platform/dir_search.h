// The existence test that every stage uses: a directory search for exactly
// one path, with attribute flags saying which kinds of entry may match.
//
// An entry matches when it has no hidden, system or directory bit that the
// flags do not also name: with no flags, read-only, archive and normal files
// match; kDirectory lets directories match as well as ordinary files. The
// name is taken literally: "*" and "?" never act as patterns, so a path that
// holds them matches nothing (no file can carry such a name), and neither
// does the empty path. A name that cannot exist (invalid characters, a file
// path with a trailing "\", a missing drive or share) matches nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/env.h"

namespace uninstall {

enum class Probe {
  kMatch,    // an entry of an allowed kind exists at exactly this path
  kNoMatch,  // nothing, or only an entry of a kind the flags exclude
  kError,    // the search itself failed (e.g. access denied); callers decide
             // what that means
};

[[nodiscard]] Probe DirSearch(Env& env, std::wstring_view path, std::uint32_t flags);

// DirSearch, with the attributes it read when the entry matched; none when
// it did not match or the search failed. Callers that need both ask the
// file system once.
struct SearchResult {
  Probe probe = Probe::kNoMatch;
  std::optional<std::uint32_t> attributes;
};
[[nodiscard]] SearchResult DirSearchEntry(Env& env, std::wstring_view path, std::uint32_t flags);
// The same search on attributes read already: `attrs` as Env::GetFileAttrs
// gave them for `path`.
[[nodiscard]] SearchResult DirSearchOf(std::wstring_view path, const Result<std::uint32_t>& attrs,
                                       std::uint32_t flags);
// Whether a search for `path` asks the file system at all: an empty path
// or one with "*" or "?" matches nothing without a look.
[[nodiscard]] bool Searchable(std::wstring_view path);

// The attribute flags of a search: none, the directory flag, or every file
// (hidden and system ones too) but no directory.
inline constexpr std::uint32_t kSearchNormal = 0;
inline constexpr std::uint32_t kSearchDirectory = attr::kDirectory;
inline constexpr std::uint32_t kSearchAnyFile = attr::kHidden | attr::kSystem;

}  // namespace uninstall
