#include "paths/system_folders.h"

namespace uninstall::GFShellRegistration {

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

}  // namespace uninstall::GFShellRegistration
