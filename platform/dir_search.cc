#include "platform/dir_search.h"

namespace uninstall {

Probe DirSearch(Env& env, std::wstring_view path, std::uint32_t flags) {
  if (path.empty() || path.find_first_of(L"*?") != std::wstring_view::npos) return Probe::kNoMatch;
  const Result<std::uint32_t> attrs = env.GetFileAttrs(path);
  if (!attrs.ok()) {
    const ErrorCode code = attrs.code();
    return (code == kErrorFileNotFound || code == kErrorPathNotFound) ? Probe::kNoMatch
                                                                      : Probe::kError;
  }
  constexpr std::uint32_t kSelective = attr::kHidden | attr::kSystem | attr::kDirectory;
  return (attrs.value() & kSelective & ~flags) == 0 ? Probe::kMatch : Probe::kNoMatch;
}

}  // namespace uninstall
