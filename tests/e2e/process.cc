#include "tests/e2e/process.h"

// After windows.h, which it needs.
#include <tlhelp32.h>

#include <sstream>

namespace e2e {

using uninstall::win32::UniqueHandle;

namespace {
std::wstring own_desktop;  // "WinSta0\\NAME" once UseOwnDesktop has made it
}  // namespace

bool Process::Exited() const { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }

DWORD Process::ExitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

void Process::Terminate(UINT code, DWORD wait_ms) const {
  TerminateProcess(process.get(), code);
  WaitForSingleObject(process.get(), wait_ms);
}

std::wstring Quote(std::wstring_view arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
    return std::wstring(arg);
  }
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  out += L'"';
  return out;
}

std::optional<Process> Start(std::wstring command_line) {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  if (!own_desktop.empty()) si.lpDesktop = own_desktop.data();
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi)) {
    return std::nullopt;
  }
  CloseHandle(pi.hThread);
  return Process{UniqueHandle(pi.hProcess), pi.dwProcessId};
}

bool UseOwnDesktop() {
  const std::wstring name =
      L"e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
  HDESK desktop = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (desktop == nullptr || SetThreadDesktop(desktop) == FALSE) return false;
  own_desktop = L"WinSta0\\" + name;
  return true;
}

SuspendedThreads::SuspendedThreads(DWORD pid) {
  const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snapshot.get(), &entry); more != FALSE;
       more = Thread32Next(snapshot.get(), &entry)) {
    if (entry.th32OwnerProcessID != pid) continue;
    UniqueHandle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID));
    if (thread && SuspendThread(thread.get()) != static_cast<DWORD>(-1)) {
      threads_.push_back(std::move(thread));
    }
  }
}

SuspendedThreads::~SuspendedThreads() {
  for (const auto& thread : threads_) ResumeThread(thread.get());
}

std::string Hex(DWORD v) {
  std::ostringstream s;
  s << "0x" << std::hex << v;
  return s.str();
}

}  // namespace e2e
