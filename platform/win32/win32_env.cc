#include "platform/win32/win32_env.h"

#include <knownfolders.h>
#include <shlobj.h>
#include <shobjidl.h>

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

Status Win32Env::RenameFile(std::wstring_view from, std::wstring_view to) {
  // No MOVEFILE_COPY_ALLOWED: a running executable can be renamed, but a
  // copy and delete would fail half-way.
  return MoveFileExW(Z(from).c_str(), Z(to).c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE
             ? Status::Ok()
             : LastError();
}

Status Win32Env::DeleteAtRestart(std::wstring_view path) {
  return MoveFileExW(Z(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE ? Status::Ok()
                                                                                     : LastError();
}

Result<std::wstring> Win32Env::CreateTempFile() {
  std::wstring dir(MAX_PATH + 1, L'\0');
  const DWORD length = GetTempPathW(static_cast<DWORD>(dir.size()), dir.data());
  if (length == 0 || length >= dir.size()) return LastError();
  dir.resize(length);
  std::wstring name(MAX_PATH + 1, L'\0');
  if (GetTempFileNameW(dir.c_str(), L"uni", 0, name.data()) == 0) return LastError();
  name.resize(wcsnlen(name.c_str(), name.size()));
  return name;
}

Status Win32Env::SetCurrentDir(std::wstring_view dir) {
  return SetCurrentDirectoryW(Z(dir).c_str()) != FALSE ? Status::Ok() : LastError();
}

namespace {

// Opens `path` for reading its attributes only; backup semantics let a
// directory be opened, and without FILE_FLAG_OPEN_REPARSE_POINT a link or
// junction is followed to what it names.
UniqueHandle OpenForIdentity(std::wstring_view path) {
  return UniqueHandle(CreateFileW(std::wstring(path).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The path of the object itself, on a drive letter where it has one; empty
// when the system gives none.
std::wstring FinalPathOf(HANDLE object) {
  std::wstring final_path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleW(object, final_path.data(), static_cast<DWORD>(final_path.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length > 32768) return std::wstring();
    if (length < final_path.size()) {
      final_path.resize(length);
      return final_path;
    }
    final_path.resize(length + 1);
  }
}

}  // namespace

Result<FileIdentity> Win32Env::GetFileIdentity(std::wstring_view path) {
  const UniqueHandle object = OpenForIdentity(path);
  if (object.get() == INVALID_HANDLE_VALUE) return LastError();
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(object.get(), &info) == FALSE) return LastError();
  FileIdentity identity;
  identity.id.volume = info.dwVolumeSerialNumber;
  identity.id.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  identity.final_path = FinalPathOf(object.get());
  return identity;
}

Result<std::wstring> Win32Env::GetFinalPath(std::wstring_view path) {
  const UniqueHandle object = OpenForIdentity(path);
  if (object.get() == INVALID_HANDLE_VALUE) return LastError();
  std::wstring final_path = FinalPathOf(object.get());
  if (final_path.empty()) return LastError();
  return final_path;
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

namespace {

// Every known folder the shell can name with a file system path. Folders
// that exist only as a shell namespace ("::{...}" paths) are left out.
std::vector<std::wstring> KnownFolderPaths() {
  std::vector<std::wstring> paths;
  IKnownFolderManager* raw_manager = nullptr;
  if (FAILED(CoCreateInstance(CLSID_KnownFolderManager, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IKnownFolderManager, reinterpret_cast<void**>(&raw_manager)))) {
    return paths;
  }
  const UniqueCom<IKnownFolderManager> manager(raw_manager);
  KNOWNFOLDERID* raw_ids = nullptr;
  UINT count = 0;
  if (FAILED(manager->GetFolderIds(&raw_ids, &count))) return paths;
  const UniqueCoTaskMem<KNOWNFOLDERID> ids(raw_ids);
  for (UINT i = 0; i < count; ++i) {
    PWSTR raw_path = nullptr;
    // Not created where missing, not checked: a folder that is not there
    // yet must still not be removed once it is.
    const HRESULT found =
        SHGetKnownFolderPath(ids.get()[i], KF_FLAG_DONT_VERIFY, nullptr, &raw_path);
    const UniqueCoTaskMem<wchar_t> path(raw_path);
    if (FAILED(found) || path == nullptr) continue;
    const std::wstring_view text(path.get());
    if (text.size() < 3 || text.find(L"::") != std::wstring_view::npos) continue;
    paths.emplace_back(text);
  }
  return paths;
}

// Program Files and Common Files in the 64-bit view of the registry, which
// a 32-bit program must ask for explicitly: its own folder queries give the
// "(x86)" folders only. On 32-bit Windows the flag is ignored.
std::vector<std::wstring> ProgramFilesFolders() {
  std::vector<std::wstring> paths;
  HKEY raw_key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, &raw_key) != ERROR_SUCCESS) {
    return paths;
  }
  const UniqueRegKey key(raw_key);
  for (const wchar_t* name : {L"ProgramFilesDir", L"CommonFilesDir", L"ProgramFilesDir (x86)",
                              L"CommonFilesDir (x86)", L"ProgramW6432Dir", L"CommonW6432Dir"}) {
    std::wstring value(MAX_PATH, L'\0');
    auto bytes = static_cast<DWORD>(value.size()) * static_cast<DWORD>(sizeof(wchar_t));
    if (RegGetValueW(key.get(), nullptr, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, value.data(), &bytes) != ERROR_SUCCESS) {
      continue;
    }
    value.resize(wcsnlen(value.c_str(), value.size()));
    if (!value.empty()) paths.push_back(std::move(value));
  }
  return paths;
}

}  // namespace

SystemFolderReport Win32Env::ReportSystemFolders() {
  SystemFolderReport report;
  report.known_folders = KnownFolderPaths();
  report.program_files = ProgramFilesFolders();

  std::wstring buffer(MAX_PATH + 1, L'\0');
  // 0 on 32-bit Windows, which has no second view of the system folder.
  UINT length = GetSystemWow64DirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
  if (length > 0 && length < buffer.size()) report.system_wow64.assign(buffer.c_str(), length);

  DWORD temp = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (temp > 0 && temp < buffer.size()) report.temp.assign(buffer.c_str(), temp);

  std::wstring drives(512, L'\0');
  const DWORD used = GetLogicalDriveStringsW(static_cast<DWORD>(drives.size()), drives.data());
  if (used > 0 && used < drives.size()) {
    for (const wchar_t* root = drives.c_str(); *root != L'\0'; root += wcslen(root) + 1) {
      report.drive_roots.emplace_back(root);
    }
  }
  return report;
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

void Win32Env::ShowProgress(std::uint64_t done, std::uint64_t total) {
  if (window_ == nullptr) return;
  window_->SetProgress(done, total);
  ServeWindow();
}

void Win32Env::ServeWindow() {
  if (window_ == nullptr || !window_->created()) return;
  // Every message of this thread: the bar is a window of its own. Nothing
  // here ends the program, so a quit message (which no part of it posts)
  // is passed over rather than left for a message box to take as the end
  // of its own loop.
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
    if (message.message == WM_QUIT) continue;
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
