#include "platform/win32/progress_window.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace uninstall::win32 {
namespace {

// Layout in twips (1/1440 inch): 15 twips are one pixel at 96 DPI.
constexpr int kClientWidthTwips = 5190;
constexpr int kClientHeightTwips = 1500;
struct TwipsRect {
  int left, top, width, height;
};
constexpr TwipsRect kImage1 = {240, 300, 480, 480};
constexpr TwipsRect kLabel1 = {960, 420, 4095, 195};
// Under the label, as wide, with the icon's margin below it.
constexpr TwipsRect kProgressBar = {960, 960, 4095, 240};

int TwipsToPixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

HICON LoadAppIcon(HINSTANCE instance, int icon_id, int size) {
  return static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(icon_id), IMAGE_ICON, size, size, 0));
}

}  // namespace

ProgressWindow::ProgressWindow(HINSTANCE instance, int icon_id, const std::wstring& title,
                               const std::wstring& label, std::function<void(bool&)> on_close)
    : on_close_(std::move(on_close)) {
  const int dpi = SystemDpi();
  icon_large_.reset(LoadAppIcon(instance, icon_id, GetSystemMetrics(SM_CXICON)));
  icon_small_.reset(LoadAppIcon(instance, icon_id, GetSystemMetrics(SM_CXSMICON)));

  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &ProgressWindow::WindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = icon_large_.get();
  window_class.hIconSm = icon_small_.get();
  window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  window_class.lpszClassName = kWindowClassName;
  RegisterClassExW(&window_class);

  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

  window_.reset(CreateWindowExW(0, kWindowClassName, title.c_str(), kStyle, x, y, width, height,
                                nullptr, nullptr, instance, this));
  if (!window_) return;
  EnableWindow(window_.get(), FALSE);

  // Image1: the program's icon, 32 x 32 at 96 DPI.
  const int icon_size = TwipsToPixels(kImage1.width, dpi);
  HWND image =
      CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON | SS_REALSIZECONTROL,
                      TwipsToPixels(kImage1.left, dpi), TwipsToPixels(kImage1.top, dpi), icon_size,
                      icon_size, window_.get(), nullptr, instance, nullptr);
  if (image != nullptr) {
    SendMessageW(image, STM_SETICON, reinterpret_cast<WPARAM>(icon_large_.get()), 0);
  }

  // Label1: the message, in the system's message font.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) != FALSE) {
    font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
  }
  // The label box is as laid out, but at least one line of the font high.
  int label_height = TwipsToPixels(kLabel1.height, dpi);
  if (font_)
    label_height = std::max<int>(label_height, std::abs(metrics.lfMessageFont.lfHeight) + 4);
  HWND text = CreateWindowExW(
      0, L"STATIC", label.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
      TwipsToPixels(kLabel1.left, dpi), TwipsToPixels(kLabel1.top, dpi),
      TwipsToPixels(kLabel1.width, dpi), label_height, window_.get(), nullptr, instance, nullptr);
  if (text != nullptr && font_) {
    SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  }

  bar_ = CreateWindowExW(
      0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, TwipsToPixels(kProgressBar.left, dpi),
      TwipsToPixels(kProgressBar.top, dpi), TwipsToPixels(kProgressBar.width, dpi),
      TwipsToPixels(kProgressBar.height, dpi), window_.get(), nullptr, instance, nullptr);
}

void ProgressWindow::SetProgress(std::uint64_t done, std::uint64_t total) {
  if (bar_ == nullptr) return;
  // The bar counts in int: a whole beyond that is scaled down.
  const std::uint64_t scale = total / INT_MAX + 1;
  if (total != bar_total_) {
    bar_total_ = total;
    bar_position_ = UINT64_MAX;  // set the position for the new range
    SendMessageW(bar_, PBM_SETRANGE32, 0, static_cast<LPARAM>(total / scale));
  }
  // The same position again would cost a repaint for nothing.
  const std::uint64_t position = std::min(done, total) / scale;
  if (position == bar_position_) return;
  bar_position_ = position;
  SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void ProgressWindow::SetShown(bool shown) {
  if (!window_) return;
  HWND window = window_.get();
  shown_ = shown;
  if (shown) {
    EnableWindow(window, TRUE);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
  } else {
    ShowWindow(window, SW_HIDE);
    EnableWindow(window, FALSE);
  }
  // No message loop runs between the stages: paint now.
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

LRESULT CALLBACK ProgressWindow::WindowProc(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_CLOSE && self != nullptr && self->on_close_) {
    bool cancel = false;
    self->on_close_(cancel);
    if (cancel) return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace uninstall::win32
