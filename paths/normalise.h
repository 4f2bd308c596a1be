// Path text brought into one comparable form, and comparisons on it.
//
// Windows resolves a path's text before it reaches the file system: letter
// case does not matter, "/" is a separator too, repeated separators count
// once, "." and ".." components are resolved lexically, and trailing dots
// and spaces of a component are dropped. These helpers do the same on the
// text alone, so that two spellings of one path compare equal. They never
// touch the file system: other names for one folder (8.3 short names, a
// SUBST drive, a share, a link) are told apart only by the file system's
// identity of the folder (paths/folder_guard.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace uninstall {

// `text` in upper case, character by character.
[[nodiscard]] std::wstring UpperCase(std::wstring_view text);
// Whether `a` and `b` are equal without regard to letter case.
[[nodiscard]] bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// A path resolved as Windows resolves its text: "\" only, no empty, "." or
// ".." components, no trailing dots or spaces on a component, letter case
// kept. "\\?\" and "\\.\" prefixes are dropped ("\\?\UNC\srv\share" is
// "\\srv\share"). ".." above the root stays at the root, as it does on disk.
struct NormalPath {
  // "X:\" or "\\server\share\" for an absolute path; "\" (the root of the
  // current drive, or a "\\" path that names no share), "X:" (the current
  // directory of a drive) or "" (the current directory) for the others.
  std::wstring root;
  bool absolute = false;
  std::vector<std::wstring> parts;

  // The root followed by the parts joined by "\", without a trailing "\"
  // (but the root's own): "C:\Apps\Tool", "C:\", "\\srv\share\".
  [[nodiscard]] std::wstring Text() const;
  // The path one level up; a root is its own parent. Parent() of "C:\APPS"
  // is "C:\".
  [[nodiscard]] NormalPath Parent() const;
  [[nodiscard]] bool IsRoot() const { return parts.empty(); }
};

[[nodiscard]] NormalPath NormalisePath(std::wstring_view text);

// NormalisePath(path).Text() in upper case: the key under which two
// spellings of one path are equal.
[[nodiscard]] std::wstring ComparablePath(std::wstring_view path);

// The folder `dir` names once its "." and ".." components are resolved, as
// Windows resolves them before the file system sees the path, when that
// folder's path is the start of `dir`'s own text: then that start, with its
// "\" ("C:\A\B\..\" gives "C:\A\", "C:\A\.\" gives "C:\A\"). Otherwise
// `dir` itself: a path with no such component, a relative one (resolved
// against a current directory), or one whose resolved path is not spelled
// at its start ("C:\A\..\B\", or "\\?\C:\A\..\", which Windows takes as
// it stands).
[[nodiscard]] std::wstring_view ResolvedFolderPrefix(std::wstring_view dir);

// `left` and `right` joined by exactly one "\".
[[nodiscard]] std::wstring JoinPath(std::wstring_view left, std::wstring_view right);

}  // namespace uninstall
