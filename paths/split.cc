#include "paths/split.h"

#include <algorithm>
#include <cstddef>

namespace uninstall {
namespace {

// Positions in a path are 16-bit signed values; the root is looked for only
// within this many leading characters.
constexpr std::size_t kMaxRootScanChars = 32767;

constexpr wchar_t kSep = L'\\';

}  // namespace

std::wstring GetRootDir(std::wstring_view path) {
  path = path.substr(0, std::min(path.size(), kMaxRootScanChars));

  // Drive case: anything that does not open with "\\" has its first three
  // characters as its root, whatever they are.
  if (path.size() < 2 || path[0] != kSep || path[1] != kSep) {
    return std::wstring(path.substr(0, 3));
  }

  // Share case: "\\server\share\". The path is read as if it ended in one
  // more "\", so "\\server\share" gives the same root as "\\server\share\".
  // The leading "\\" is skipped; the first "\" after it ends the server name,
  // the second one ends the share name and the root.
  bool in_share_name = false;
  for (std::size_t i = 2; i < path.size(); ++i) {
    if (path[i] != kSep) continue;
    if (in_share_name) return std::wstring(path.substr(0, i + 1));
    in_share_name = true;
  }
  // The appended "\" is the only one left to find.
  if (in_share_name) {
    std::wstring root(path);
    root.push_back(kSep);
    return root;
  }
  return std::wstring();
}

std::wstring GetDirectory(std::wstring_view path) {
  const std::size_t last = path.rfind(kSep);
  if (last == std::wstring_view::npos) return std::wstring();
  return std::wstring(path.substr(0, last + 1));
}

std::wstring GetFileName(std::wstring_view path) {
  const std::size_t last = path.rfind(kSep);
  if (last == std::wstring_view::npos) return std::wstring();
  return std::wstring(path.substr(last + 1));
}

}  // namespace uninstall
