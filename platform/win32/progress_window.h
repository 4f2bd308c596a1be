// The progress window: title "Uninstall", the program's icon (Image1) and the
// text "Please wait, uninstalling..." (Label1), client area 346 x 78 pixels
// at 96 DPI, scaled for the system DPI. It is created hidden. No message loop
// runs while the uninstall works, so showing and hiding repaint it at once.
// Attempts to close it are put to a callback that may refuse them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/win32/handles.h"

namespace uninstall::win32 {

inline constexpr wchar_t kWindowClassName[] = L"UninstallMfrm";

class ProgressWindow {
 public:
  // `on_close` receives a cancel flag (initially false) when the user tries
  // to close the window; setting it to true keeps the window open.
  ProgressWindow(HINSTANCE instance, const std::wstring& title, const std::wstring& label,
                 std::function<void(bool&)> on_close);
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  [[nodiscard]] bool created() const { return window_ != nullptr; }
  [[nodiscard]] HWND handle() const { return window_.get(); }
  [[nodiscard]] bool shown() const { return shown_; }
  void SetShown(bool shown);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  std::function<void(bool&)> on_close_;
  UniqueIcon icon_large_;
  UniqueIcon icon_small_;
  UniqueFont font_;
  UniqueWindow window_;
  bool shown_ = false;
};

}  // namespace uninstall::win32
