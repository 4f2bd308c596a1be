#include "platform/dir_search.h"

namespace uninstall {

Probe DirSearch(Env& env, std::wstring_view path, std::uint32_t flags) {
  return DirSearchEntry(env, path, flags).probe;
}

bool Searchable(std::wstring_view path) {
  return !path.empty() && path.find_first_of(L"*?") == std::wstring_view::npos;
}

SearchResult DirSearchEntry(Env& env, std::wstring_view path, std::uint32_t flags) {
  if (!Searchable(path)) return {};
  return DirSearchOf(path, env.GetFileAttrs(path), flags);
}

SearchResult DirSearchOf(std::wstring_view path, const Result<std::uint32_t>& attrs,
                         std::uint32_t flags) {
  if (!Searchable(path)) return {};
  if (!attrs.ok()) {
    switch (attrs.code()) {
      // Errors that say nothing can be at this path: no such entry, a name
      // the file system cannot hold, a drive or share that is not there.
      case kErrorFileNotFound:
      case kErrorPathNotFound:
      case kErrorInvalidDrive:
      case kErrorNotReady:
      case kErrorBadNetPath:
      case kErrorBadNetName:
      case kErrorInvalidName:
      case kErrorBadPathName:
        return {};
      default:
        return {Probe::kError, std::nullopt};
    }
  }
  constexpr std::uint32_t kSelective = attr::kHidden | attr::kSystem | attr::kDirectory;
  if ((attrs.value() & kSelective & ~flags) != 0) return {};
  return {Probe::kMatch, attrs.value()};
}

}  // namespace uninstall
