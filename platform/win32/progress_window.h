// The progress window: title "Uninstall", the program's icon (Image1), the
// text "Please wait, uninstalling..." (Label1) and below it a progress bar
// (the Common Controls' PROGRESS_CLASS), client area 346 x 100 pixels at 96
// DPI (the bar adds a row of 22 pixels to the 78 of the icon and the label),
// scaled for the system DPI. It is created hidden. The uninstall runs on the
// window's own thread without a message loop of its own: showing and hiding
// repaint at once, and the work lets the window process its messages from
// time to time (Win32Env::ShowProgress). Attempts to close it are put to a
// callback that may refuse them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/win32/handles.h"
#include "platform/win32/window_class.h"

namespace uninstall::win32 {

class ProgressWindow {
 public:
  // `icon_id` names the icon resource of `instance` that the window and
  // Image1 show. `on_close` receives a cancel flag (initially false) when the
  // user tries to close the window; setting it to true keeps it open.
  ProgressWindow(HINSTANCE instance, int icon_id, const std::wstring& title,
                 const std::wstring& label, std::function<void(bool&)> on_close);
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  [[nodiscard]] bool created() const { return window_ != nullptr; }
  [[nodiscard]] HWND handle() const { return window_.get(); }
  [[nodiscard]] bool shown() const { return shown_; }
  void SetShown(bool shown);
  // Sets the bar to `done` of `total`.
  void SetProgress(std::uint64_t done, std::uint64_t total);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  std::function<void(bool&)> on_close_;
  UniqueIcon icon_large_;
  UniqueIcon icon_small_;
  UniqueFont font_;
  UniqueWindow window_;
  HWND bar_ = nullptr;  // a child of window_, destroyed with it
  std::uint64_t bar_total_ = 0;
  std::uint64_t bar_position_ = 0;
  bool shown_ = false;
};

}  // namespace uninstall::win32
