// File1: the hidden file list control of the window, which lists the plain
// names of the files directly in one directory (hidden and system files
// included, subdirectories not). Its names are read when it is pointed at a
// directory and when it is re-read; they do not follow later changes on disk.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace uninstall {

class FileListing {
 public:
  explicit FileListing(Env& env) : env_(&env) {}

  // Points the listing at `dir` and reads it. On failure the listing keeps
  // its previous directory and names.
  Status SetPath(std::wstring_view dir);
  // Reads the current directory again. On failure, or before the listing
  // was ever pointed at a directory, the names stay.
  Status Refresh();
  [[nodiscard]] const std::wstring& path() const { return path_; }
  [[nodiscard]] int ListCount() const { return static_cast<int>(names_.size()); }
  // The name at `index`, counted from 0; "" outside 0..ListCount() - 1.
  [[nodiscard]] const std::wstring& List(int index) const;

 private:
  Env* env_;
  std::wstring path_;
  std::vector<std::wstring> names_;
};

}  // namespace uninstall
