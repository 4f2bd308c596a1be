// Module GFShellRegistration: the folders the operating system knows, as
// paths that end in "\", and the removal of a shell link by the folder
// convention of the install log.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace uninstall {

// The folder name that stands for the user's desktop in a link's folder.
inline constexpr std::wstring_view kDesktopLinkFolder = L"..\\..\\Desktop";

}  // namespace uninstall

namespace uninstall::GFShellRegistration {

// The Windows directory. A query that yields no text gives "\".
[[nodiscard]] std::wstring GetWindowsDir(Env& env);
// The Windows system directory, the same way.
[[nodiscard]] std::wstring GetSystemDir(Env& env);
// A shell special folder by its CSIDL; "" when it cannot be determined
// (any location result but 0, or no file system path for it).
[[nodiscard]] std::wstring GetSpecialFolder(Env& env, std::int32_t folderId);

// The query buffer cut before its first NUL (all of it when it has none),
// with "\" appended when it does not end in one.
[[nodiscard]] std::wstring TrimFolderBuffer(const std::wstring& buffer);

// The folders that link folder names stand for: the current user's
// Start-menu Programs folder and desktop. Each is asked of the system at its
// first use and then kept, so that removing many links costs one query.
class LinkFolders {
 public:
  explicit LinkFolders(Env& env) : env_(env) {}

  // The Programs folder, or "" when it cannot be determined.
  [[nodiscard]] const std::wstring& Programs();
  // The file system folder `folderName` stands for (see RemoveShellLink),
  // or "" when it cannot be determined.
  [[nodiscard]] std::wstring Resolve(std::wstring_view folderName);

 private:
  Env& env_;
  std::optional<std::wstring> programs_;
  std::optional<std::wstring> desktop_;
};

// Removes the link "<linkName>.lnk" from `folderName`, a folder relative to
// the current user's Start-menu Programs folder; kDesktopLinkFolder names the
// user's desktop. Returns kTrue (-1) on success (a link that is already gone
// counts as removed), kFalse (0) otherwise. An empty link name names no link:
// nothing is deleted and the result is kFalse.
std::int16_t RemoveShellLink(Env& env, const std::wstring& folderName,
                             const std::wstring& linkName);
// The same, with the folders of `folders`.
std::int16_t RemoveShellLink(Env& env, LinkFolders& folders, const std::wstring& folderName,
                             const std::wstring& linkName);

}  // namespace uninstall::GFShellRegistration
