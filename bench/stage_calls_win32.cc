// stage_calls.exe: where the system calls of an uninstall go and what they
// cost, stage by stage and by kind of call, on Windows.
//
//   stage_calls.exe APPDIR
//
// Uninstalls the install in APPDIR (which holds Uninstall.dat) as
// Uninstall.exe would, with the real progress window, each step counted and
// timed apart; prints the calls and their milliseconds by stage and kind.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <string>

#include "bench/stage_profile.h"
#include "platform/win32/progress_window.h"
#include "platform/win32/win32_env.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    static_cast<void>(std::fputs(
        "usage: stage_calls.exe APPDIR (the folder that holds Uninstall.dat)\n", stderr));
    return 2;
  }
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  static_cast<void>(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  uninstall::win32::ProgressWindow window(GetModuleHandleW(nullptr), 0, L"Uninstall",
                                          L"Please wait, uninstalling...",
                                          [](bool& cancel) { cancel = true; });
  uninstall::win32::Win32Env machine(&window);
  std::wstring app = argv[1];
  if (app.empty() || app.back() != L'\\') app.push_back(L'\\');
  machine.SetWindowShown(true);
  uninstall::bench::Profile(machine, app + L"Uninstall.exe", true);
  machine.SetWindowShown(false);
  CoUninitialize();
  return 0;
}
