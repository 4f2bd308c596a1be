// The path helpers on arbitrary strings.
//
// The input is read as up to six wide strings (see WideStringsFromInput): a
// path, then WinDir, WinSysDir, AppDir, LogPath and the group name. Built
// for the repeated form, the path is repeated to more than 32767 characters
// ("\" when it is empty), to reach the limit of the root scan. Checked:
// - GetDirectory(p) + GetFileName(p) == p when p holds a "\", both "" when
//   not; the directory ends in "\", the file name holds none; taking the
//   directory again changes nothing;
// - GetRootDir(p) is the first three characters of a path that does not open
//   with "\\"; for one that does, it is "" or "\\server\share\" (exactly four
//   "\", the last one at its end), a prefix of p's first 32767 characters
//   with a "\" appended; "" only when no "\" follows the leading two; taking
//   the root again changes nothing;
// - ExpandPathVariables: a path that opens with a variable becomes the
//   variable's value followed by the rest of the path (one "\" at the seam
//   taken with the folder variables), unless that result opens with "%"
//   again (then later variables may match as well, and only the absence of
//   a crash is checked); any other path is left as it is.

#include "fuzz_input.h"
#include "paths/split.h"
#include "paths/variables.h"

namespace uninstall::fuzz {
namespace {

constexpr std::size_t kRootScanChars = 32767;
constexpr wchar_t kSep = L'\\';

void CheckSplit(const std::wstring& p) {
  const std::wstring dir = GetDirectory(p);
  const std::wstring name = GetFileName(p);
  if (p.find(kSep) == std::wstring::npos) {
    FUZZ_CHECK(dir.empty() && name.empty());
    return;
  }
  FUZZ_CHECK(dir + name == p);
  FUZZ_CHECK(!dir.empty() && dir.back() == kSep);
  FUZZ_CHECK(name.find(kSep) == std::wstring::npos);
  FUZZ_CHECK(GetDirectory(dir) == dir && GetFileName(dir).empty());
}

void CheckRoot(const std::wstring& p) {
  const std::wstring root = GetRootDir(p);
  FUZZ_CHECK(GetRootDir(root) == root);
  const std::wstring_view scanned = std::wstring_view{p}.substr(0, kRootScanChars);
  if (!scanned.starts_with(L"\\\\")) {
    FUZZ_CHECK(root == scanned.substr(0, 3));
  } else if (root.empty()) {
    FUZZ_CHECK(scanned.find(kSep, 2) == std::wstring_view::npos);
  } else {
    FUZZ_CHECK(std::count(root.begin(), root.end(), kSep) == 4);
    FUZZ_CHECK(root.starts_with(L"\\\\") && root.back() == kSep);
    FUZZ_CHECK((std::wstring{scanned} + kSep).starts_with(root));
  }
}

void CheckExpansion(const std::wstring& path, const PathFields& f, const std::wstring& group) {
  std::wstring expanded = path;
  ExpandPathVariables(f, group, expanded);
  const std::optional<std::wstring> once = ExpandedOnce(
      path,
      {f.WinDir, f.WinSysDir, f.AppDir, GetRootDir(f.AppDir), GetDirectory(f.LogPath), group});
  // A result that opens with "%" again may meet a later variable: the
  // replacements chain, and only the absence of a crash is checked.
  if (once && once->starts_with(L'%')) return;
  FUZZ_CHECK(expanded == once.value_or(path));
}

void FuzzOne(const std::uint8_t* data, std::size_t size) {
  std::vector<std::wstring> s = WideStringsFromInput(data, size, 6);
  s.resize(6);
  const std::wstring unit = s[0].empty() ? std::wstring(L"\\") : s[0];
  std::wstring path = kRepeatedForm ? std::wstring() : s[0];
  while (kRepeatedForm && path.size() <= kRootScanChars + 2) path += unit;
  CheckSplit(path);
  CheckRoot(path);
  CheckExpansion(path, {s[1], s[2], s[3], s[4]}, s[5]);
}

}  // namespace
}  // namespace uninstall::fuzz

FUZZ_TARGET
