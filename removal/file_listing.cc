#include "removal/file_listing.h"

#include <utility>

namespace uninstall {

Status FileListing::SetPath(std::wstring_view dir) {
  Result<std::vector<std::wstring>> names = env_->ListFiles(dir);
  // A directory that cannot be read leaves the listing where it was, names
  // and all, as the list control does when its path cannot be set.
  if (!names.ok()) return Status(names.code());
  path_ = std::wstring(dir);
  names_ = std::move(names).value();
  return Status::Ok();
}

Status FileListing::Refresh() {
  if (path_.empty()) return Status(kErrorPathNotFound);
  Result<std::vector<std::wstring>> names = env_->ListFiles(path_);
  if (!names.ok()) return Status(names.code());
  names_ = std::move(names).value();
  return Status::Ok();
}

const std::wstring& FileListing::List(int index) const {
  static const std::wstring kNone;
  if (index < 0 || static_cast<std::size_t>(index) >= names_.size()) return kNone;
  return names_[static_cast<std::size_t>(index)];
}

}  // namespace uninstall
