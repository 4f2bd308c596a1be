// Entry point of Uninstall.exe.
//
// Creates the (hidden) progress window and the form, runs Form_Load, and
// ends. An error that nothing in the program traps is reported in a message
// box naming what failed, and the process ends with exit code 1; nothing
// after the failing point has run. When a message box could not be shown
// (no desktop to show it on), the exit code is 2: the user saw nothing, and
// whoever started the program should not take the run for a normal one. A
// confirmation that could not be asked counts as "No", so nothing was
// removed then.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <exception>
#include <string>

#include "app/mfrm.h"
#include "app/resources/resource_ids.h"
#include "platform/fatal_error.h"
#include "platform/win32/progress_window.h"
#include "platform/win32/win32_env.h"

namespace {

constexpr int kExitFatal = 1;
constexpr int kExitMessageNotShown = 2;

void ReportFatal(const std::wstring& what, uninstall::ErrorCode code) {
  std::wstring text = L"Uninstall stopped because of an error:\n\n" + what;
  if (code != 0) text += L"\n\n(Windows error " + std::to_wstring(code) + L")";
  text += L"\n\nNothing further has been removed.";
  MessageBoxW(nullptr, text.c_str(), L"Uninstall", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

// COM stays initialised for the life of the process (the shell's folder
// queries use it).
class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool ok_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  const ComScope com;

  uninstall::win32::ProgressWindow window(
      instance, IDI_UNINSTALL, std::wstring(uninstall::kWindowTitle),
      std::wstring(uninstall::kLabelText),
      [](bool& cancel) { uninstall::Mfrm::Form_Unload(cancel); });
  uninstall::win32::Win32Env env(&window);
  uninstall::Mfrm form(env);
  try {
    form.Form_Load();
  } catch (const uninstall::FatalError& error) {
    window.SetShown(false);
    ReportFatal(error.message(), error.code());
    return kExitFatal;
  } catch (const std::exception&) {
    window.SetShown(false);
    ReportFatal(L"An unexpected internal error occurred (out of memory?).", 0);
    return kExitFatal;
  }
  return env.UnshownMessageError() == ERROR_SUCCESS ? 0 : kExitMessageNotShown;
}
