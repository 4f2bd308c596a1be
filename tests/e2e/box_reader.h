// Reading another process's windows: its message boxes (title, text,
// buttons, icon) and its progress window with the bar in it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/answer_script.h"

namespace e2e {

struct WindowScan {
  std::vector<HWND> boxes;    // visible top-level dialogs of the process
  std::vector<HWND> mains;    // top-level progress windows of the process
  bool main_visible = false;  // one of them is visible
};
WindowScan Scan(DWORD pid);

struct BoxContent {
  std::wstring title;
  std::wstring text;
  ButtonSet buttons = 0;
  // 0 when the box shows no icon; nullopt when the icon is unknown.
  std::optional<unsigned> icon;
  std::string icon_method;
};
BoxContent ReadBox(HWND box);
// title="..." style=N text="...", as a script would write the box.
std::string Describe(const BoxContent& c);

struct BarState {
  HWND bar;
  int position;
  int range;
};
// The progress bar of the progress window (bar null when it has none);
// nullopt when the bar does not answer.
std::optional<BarState> ReadBar(HWND main);

// WxH+X+Y of a window on the screen, as X and ImageMagick write geometry.
std::string Geometry(HWND window);

}  // namespace e2e
