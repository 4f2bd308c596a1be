#include "platform/win32/win32_env.h"

#include <shlobj.h>

#include <climits>

#include "platform/win32/handles.h"

namespace uninstall::win32 {
namespace {

Status LastError() {
  const DWORD code = GetLastError();
  return Status(code == ERROR_SUCCESS ? ERROR_GEN_FAILURE : code);
}

// Win32 wants NUL-terminated strings.
std::wstring Z(std::wstring_view text) { return std::wstring(text); }

// The predefined root handles are the 32-bit values sign-extended to the
// pointer size (HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002 in 64-bit builds).
HKEY RootHandle(std::int32_t root) { return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root)); }

}  // namespace

Result<std::uint32_t> Win32Env::GetFileAttrs(std::wstring_view path) {
  const DWORD attrs = GetFileAttributesW(Z(path).c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return LastError();
  return static_cast<std::uint32_t>(attrs);
}

Status Win32Env::RemoveFile(std::wstring_view path) {
  return DeleteFileW(Z(path).c_str()) != FALSE ? Status::Ok() : LastError();
}

Status Win32Env::RemoveDir(std::wstring_view path) {
  return RemoveDirectoryW(Z(path).c_str()) != FALSE ? Status::Ok() : LastError();
}

Result<std::vector<std::wstring>> Win32Env::ListFiles(std::wstring_view dir) {
  std::wstring pattern(dir);
  if (pattern.empty()) return Status(ERROR_PATH_NOT_FOUND);
  if (pattern.back() != L'\\') pattern.push_back(L'\\');
  pattern.push_back(L'*');
  WIN32_FIND_DATAW data{};
  UniqueFind find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH));
  std::vector<std::wstring> names;
  if (find.get() == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    // A drive root with nothing in it has no "." entry to find.
    if (code == ERROR_FILE_NOT_FOUND) return names;
    return Status(code);
  }
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.emplace_back(data.cFileName);
  } while (FindNextFileW(find.get(), &data) != FALSE);
  if (GetLastError() != ERROR_NO_MORE_FILES) return LastError();
  return names;
}

Result<std::string> Win32Env::ReadWholeFile(std::wstring_view path) {
  UniqueHandle file(CreateFileW(Z(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                                nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return LastError();
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file.get(), &size) == FALSE) return LastError();
  if (size.QuadPart > INT_MAX) return Status(ERROR_NOT_ENOUGH_MEMORY);
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const auto want = static_cast<DWORD>(bytes.size() - done);
    if (ReadFile(file.get(), bytes.data() + done, want, &got, nullptr) == FALSE) return LastError();
    if (got == 0) break;  // the file shrank while we read it
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

Status Win32Env::WriteWholeFile(std::wstring_view path, std::string_view bytes) {
  UniqueHandle file(CreateFileW(Z(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return LastError();
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD wrote = 0;
    const std::size_t left = bytes.size() - done;
    const auto want = static_cast<DWORD>(left > 0x40000000u ? 0x40000000u : left);
    if (WriteFile(file.get(), bytes.data() + done, want, &wrote, nullptr) == FALSE) {
      return LastError();
    }
    done += wrote;
  }
  return Status::Ok();
}

Result<std::wstring> Win32Env::ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return LastError();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return Status(ERROR_INSUFFICIENT_BUFFER);
    path.resize(path.size() * 2);
  }
}

Status Win32Env::DeleteRegKey(std::int32_t root, std::wstring_view key_path) {
  const LSTATUS status = RegDeleteKeyW(RootHandle(root), Z(key_path).c_str());
  return Status(static_cast<ErrorCode>(status));
}

std::wstring Win32Env::WindowsDirectoryBuffer() {
  std::wstring buffer(kQueryBufferChars, L'\0');
  GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
  return buffer;
}

std::wstring Win32Env::SystemDirectoryBuffer() {
  std::wstring buffer(kQueryBufferChars, L'\0');
  GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
  return buffer;
}

ShellFolderQuery Win32Env::QuerySpecialFolder(std::int32_t folder_id) {
  ShellFolderQuery query;
  query.buffer.assign(kQueryBufferChars, L'\0');
  LPITEMIDLIST raw_list = nullptr;
  query.location_result =
      static_cast<std::int32_t>(SHGetSpecialFolderLocation(nullptr, folder_id, &raw_list));
  const UniqueItemList list(raw_list);  // released on every path, null or not
  if (query.location_result != 0) return query;
  query.path_ok = SHGetPathFromIDListW(raw_list, query.buffer.data()) != FALSE;
  return query;
}

std::wstring Win32Env::DefaultTitle() {
  const Result<std::wstring> exe = ExecutablePath();
  if (!exe.ok()) return L"Uninstall";
  std::wstring name = exe.value();
  const std::size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return name.empty() ? L"Uninstall" : name;
}

Result<int> Win32Env::ShowMessage(std::wstring_view text, std::optional<std::wstring_view> title,
                                  int style) {
  const std::wstring caption = title ? std::wstring(*title) : DefaultTitle();
  HWND owner = (window_ != nullptr && window_->shown()) ? window_->handle() : nullptr;
  SetLastError(ERROR_SUCCESS);
  const int answer = MessageBoxW(owner, Z(text).c_str(), caption.c_str(), static_cast<UINT>(style));
  ServeWindow();
  // 0 on failure; Wine without a display answers -1.
  if (answer <= 0) {
    const Status failure = LastError();
    if (unshown_message_error_ == ERROR_SUCCESS) unshown_message_error_ = failure.code();
    return failure;
  }
  return answer;
}

void Win32Env::SetWindowShown(bool shown) {
  if (window_ != nullptr) window_->SetShown(shown);
}

void Win32Env::ServeWindow() {
  if (window_ == nullptr || !window_->created()) return;
  MSG message;
  while (PeekMessageW(&message, window_->handle(), 0, 0, PM_REMOVE) != FALSE) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (window_->shown())
    RedrawWindow(window_->handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Win32Env::SleepMs(std::uint32_t milliseconds) {
  // The pause keeps the window painted and answering: it waits for the
  // deadline or for a message to the window, whichever comes first.
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    ServeWindow();
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
  }
}

}  // namespace uninstall::win32
