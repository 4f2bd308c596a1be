// boxes: a stand-in program for checking the answering helper itself.
//
//   boxes.exe [--window|--closable-window] [--exit N] [--wait MS]
//             [STYLE TITLE TEXT]...
//
// With --window it first shows a top-level window of class "UninstallMfrm"
// that refuses WM_CLOSE, like the uninstaller's progress window;
// --closable-window shows one that closes as windows usually do. Then it
// shows one message box per STYLE TITLE TEXT triple, in order ("\n" in TEXT
// stands for a line feed), waits MS milliseconds (default 0) and ends with
// exit code N (default 0).

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <string_view>

#include "platform/win32/window_class.h"

namespace {

bool g_refuse_close = true;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_CLOSE && g_refuse_close) return 0;  // refused, as the uninstaller does
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

std::wstring Unescape(std::wstring_view text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'n') {
      out += L'\n';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

HWND ShowMainWindow(HINSTANCE instance) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = uninstall::win32::kWindowClassName;
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  if (RegisterClassW(&wc) == 0) return nullptr;
  HWND hwnd =
      CreateWindowW(uninstall::win32::kWindowClassName, L"Uninstall", WS_OVERLAPPED | WS_CAPTION,
                    CW_USEDEFAULT, CW_USEDEFAULT, 360, 120, nullptr, nullptr, instance, nullptr);
  if (hwnd != nullptr) {
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
  }
  return hwnd;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return 2;
  HWND owner = nullptr;
  int exit_code = 0;
  DWORD wait_ms = 0;
  int i = 1;
  for (; i < argc; ++i) {
    const std::wstring_view arg = argv[i];
    if (arg == L"--window" || arg == L"--closable-window") {
      g_refuse_close = arg == L"--window";
      owner = ShowMainWindow(instance);
    } else if (arg == L"--exit" && i + 1 < argc) {
      exit_code = static_cast<int>(std::wcstol(argv[++i], nullptr, 0));
    } else if (arg == L"--wait" && i + 1 < argc) {
      wait_ms = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 0));
    } else {
      break;
    }
  }
  for (; i + 2 < argc; i += 3) {
    const auto style = static_cast<UINT>(std::wcstoul(argv[i], nullptr, 0));
    MessageBoxW(owner, Unescape(argv[i + 2]).c_str(), argv[i + 1], style);
  }
  LocalFree(argv);
  Sleep(wait_ms);
  return exit_code;
}
