// guards: prints the folders the uninstaller guards on this machine, as it
// computes them, and what it decides of the folders it is given.
//
//   guards.exe APPDIR [DIR...]
//
// APPDIR stands for the uninstaller's own folder. Output, one line each:
//   app <the physical path of APPDIR, or "(not identified)">
//   folder <a guarded folder, by its physical path>
//   system-tree <...>
//   windows-tree <...>
//   check <DIR> remove=yes|no empty=yes|no
// Exit status 0, or 2 for bad usage.
#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <string>

#include "paths/folder_guard.h"
#include "paths/shell_registration.h"
#include "platform/win32/win32_env.h"
#include "tests/e2e/utf8.h"

namespace {

void Line(const char* tag, const std::wstring& text) {
  std::printf("%s %s\n", tag, e2e::Narrow(text).c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: guards.exe APPDIR [DIR...]\n");
    return 2;
  }
  // The known-folder list is a COM object of the shell.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    uninstall::win32::Win32Env env(nullptr);
    const std::wstring win_dir = uninstall::GFShellRegistration::GetWindowsDir(env);
    const std::wstring sys_dir = uninstall::GFShellRegistration::GetSystemDir(env);
    uninstall::FolderGuard guard(env, uninstall::QueryGuardedFolders(env, win_dir, sys_dir),
                                 argv[1]);
    const uninstall::FolderGuard::Report report = guard.Describe();
    Line("app", report.app_dir.empty() ? L"(not identified)" : report.app_dir);
    for (const std::wstring& folder : report.folders) Line("folder", folder);
    for (const std::wstring& tree : report.system_trees) Line("system-tree", tree);
    for (const std::wstring& tree : report.windows_trees) Line("windows-tree", tree);
    for (int i = 2; i < argc; ++i) {
      const bool remove = guard.MayRemove(argv[i]);
      const bool empty = guard.MayEmpty(argv[i]);
      std::printf("check %s remove=%s empty=%s\n", e2e::Narrow(argv[i]).c_str(),
                  remove ? "yes" : "no", empty ? "yes" : "no");
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}
