#include "paths/shell_registration.h"

#include "installlog/records.h"
#include "paths/normalise.h"

namespace uninstall::GFShellRegistration {
namespace {

constexpr std::wstring_view kLinkExtension = L".lnk";

}  // namespace

std::wstring TrimFolderBuffer(const std::wstring& buffer) {
  // The system writes its text at the front of a NUL-filled buffer; a text
  // that fills the whole buffer has no NUL after it and is kept whole.
  std::wstring text = buffer.substr(0, buffer.find(L'\0'));
  if (text.empty() || text.back() != L'\\') text.push_back(L'\\');
  return text;
}

std::wstring GetWindowsDir(Env& env) { return TrimFolderBuffer(env.WindowsDirectoryBuffer()); }

std::wstring GetSystemDir(Env& env) { return TrimFolderBuffer(env.SystemDirectoryBuffer()); }

std::wstring GetSpecialFolder(Env& env, std::int32_t folderId) {
  const ShellFolderQuery query = env.QuerySpecialFolder(folderId);
  // Only 0 counts as found: S_FALSE and other success codes hand out no
  // usable folder.
  if (query.location_result != 0 || !query.path_ok) return std::wstring();
  return TrimFolderBuffer(query.buffer);
}

const std::wstring& LinkFolders::Programs() {
  if (!programs_) programs_ = GetSpecialFolder(env_, csidl::kPrograms);
  return *programs_;
}

std::wstring LinkFolders::Resolve(std::wstring_view folderName) {
  // The desktop is asked for by name: it is no longer two levels above the
  // Start menu's Programs folder.
  if (EqualsNoCase(folderName, kDesktopLinkFolder)) {
    if (!desktop_) desktop_ = GetSpecialFolder(env_, csidl::kDesktopDirectory);
    return *desktop_;
  }
  const std::wstring& programs = Programs();
  if (programs.empty() || folderName.empty()) return programs;
  return JoinPath(programs, folderName);
}

std::int16_t RemoveShellLink(Env& env, const std::wstring& folderName,
                             const std::wstring& linkName) {
  LinkFolders folders(env);
  return RemoveShellLink(env, folders, folderName, linkName);
}

std::int16_t RemoveShellLink(Env& env, LinkFolders& folders, const std::wstring& folderName,
                             const std::wstring& linkName) {
  // An empty name names no link: deleting "<folder>\.lnk" would remove a
  // file nobody logged (an unnamed application still asks for its desktop
  // link).
  if (linkName.empty()) return kFalse;
  const std::wstring folder = folders.Resolve(folderName);
  if (folder.empty()) return kFalse;
  const Status removed = env.RemoveFile(JoinPath(folder, linkName + std::wstring(kLinkExtension)));
  if (removed.ok()) return kTrue;
  // The caller wants the link gone: one that is not there (or whose folder
  // is not there) already is.
  const ErrorCode code = removed.code();
  return (code == kErrorFileNotFound || code == kErrorPathNotFound) ? kTrue : kFalse;
}

}  // namespace uninstall::GFShellRegistration
