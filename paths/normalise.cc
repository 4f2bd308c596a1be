#include "paths/normalise.h"

#include <algorithm>
#include <cwctype>

namespace uninstall {
namespace {

constexpr wchar_t kSep = L'\\';

wchar_t Up(wchar_t ch) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch))); }

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::vector<std::wstring_view> SplitParts(std::wstring_view rest) {
  std::vector<std::wstring_view> parts;
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find(kSep, start);
    if (end == std::wstring_view::npos) end = rest.size();
    parts.push_back(rest.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

std::wstring UpperCase(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& ch : out) ch = Up(ch);
  return out;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](wchar_t x, wchar_t y) { return Up(x) == Up(y); });
}

std::wstring NormalPath::Text() const {
  std::wstring text = root;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text.push_back(kSep);
    text += parts[i];
  }
  return text;
}

NormalPath NormalPath::Parent() const {
  NormalPath up = *this;
  if (!up.parts.empty()) up.parts.pop_back();
  return up;
}

NormalPath NormalisePath(std::wstring_view text) {
  std::wstring path(text);
  std::replace(path.begin(), path.end(), L'/', kSep);

  // Device and long-path prefixes name the same folders as plain paths.
  if (StartsWithNoCase(path, L"\\\\?\\UNC\\")) {
    path = L"\\\\" + path.substr(8);
  } else if (StartsWithNoCase(path, L"\\\\?\\") || StartsWithNoCase(path, L"\\\\.\\")) {
    path = path.substr(4);
  }

  NormalPath out;
  std::wstring_view rest = path;
  if (rest.size() >= 2 && rest[1] == L':' && std::iswalpha(static_cast<wint_t>(rest[0])) != 0) {
    out.absolute = rest.size() >= 3 && rest[2] == kSep;
    out.root = std::wstring(rest.substr(0, 2)) + (out.absolute ? L"\\" : L"");
    rest.remove_prefix(out.absolute ? 3 : 2);
  } else if (StartsWithNoCase(rest, L"\\\\")) {
    const std::vector<std::wstring_view> share = SplitParts(rest.substr(2));
    const auto proper = [](std::wstring_view name) {
      return !name.empty() && name != L"." && name != L"..";
    };
    if (share.size() >= 2 && proper(share[0]) && proper(share[1])) {
      out.absolute = true;
      out.root = L"\\\\" + std::wstring(share[0]) + L"\\" + std::wstring(share[1]) + L"\\";
      rest.remove_prefix(std::min(rest.size(), 2 + share[0].size() + 1 + share[1].size() + 1));
    } else {
      out.root = L"\\";
      rest.remove_prefix(2);
    }
  } else if (StartsWithNoCase(rest, L"\\")) {
    out.root = L"\\";
    rest.remove_prefix(1);
  }

  for (std::wstring_view part : SplitParts(rest)) {
    if (part == L"..") {
      // Above the root there is nothing: ".." stops there, as it does on disk.
      if (!out.parts.empty()) out.parts.pop_back();
      continue;
    }
    while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.remove_suffix(1);
    if (!part.empty()) out.parts.emplace_back(part);
  }
  return out;
}

std::wstring ComparablePath(std::wstring_view path) {
  return UpperCase(NormalisePath(path).Text());
}

std::wstring_view ResolvedFolderPrefix(std::wstring_view dir) {
  // Most paths hold no "." or ".." component: they are passed back without
  // a copy, which keeps a plan of tens of thousands of folders cheap.
  bool dots = false;
  for (std::size_t start = 0; start <= dir.size() && !dots;) {
    std::size_t end = dir.find(kSep, start);
    if (end == std::wstring_view::npos) end = dir.size();
    const std::wstring_view part = dir.substr(start, end - start);
    dots = part == L"." || part == L"..";
    start = end + 1;
  }
  if (!dots) return dir;
  const NormalPath path = NormalisePath(dir);
  if (!path.absolute) return dir;
  std::wstring resolved = path.Text();
  if (resolved.back() != kSep) resolved.push_back(kSep);
  return dir.starts_with(resolved) ? dir.substr(0, resolved.size()) : dir;
}

std::wstring JoinPath(std::wstring_view left, std::wstring_view right) {
  while (!left.empty() && left.back() == kSep) left.remove_suffix(1);
  while (!right.empty() && right.front() == kSep) right.remove_prefix(1);
  std::wstring out(left);
  out.push_back(kSep);
  out += right;
  return out;
}

}  // namespace uninstall
