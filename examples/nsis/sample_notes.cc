// Sample Notes: the small application that the NSIS example installs. It
// only says what it is; the example is about its installation and removal.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  MessageBoxW(nullptr,
              L"Sample Notes was installed by an NSIS installer. Uninstall.exe, beside it, "
              L"removes it again.",
              L"Sample Notes", MB_OK | MB_ICONINFORMATION);
  return 0;
}
