#include "tests/e2e/box_reader.h"

// The progress bar messages (PBM_*) only; no Common Controls library.
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "platform/win32/handles.h"
#include "platform/win32/window_class.h"

namespace e2e {
namespace {

using uninstall::win32::UniqueAny;

constexpr int kTextControlId = 0xFFFF;

void ReleaseScreenDc(HDC dc) { ReleaseDC(nullptr, dc); }
using ScreenDc = UniqueAny<HDC, &ReleaseScreenDc>;
using MemoryDc = UniqueAny<HDC, &DeleteDC>;
using UniqueGdi = UniqueAny<HGDIOBJ, &DeleteObject>;

// A 32-bit top-down DIB section with direct access to its pixels.
class Pixels {
 public:
  Pixels(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<std::uint32_t*>(bits);
  }
  [[nodiscard]] bool ok() const { return bitmap_ && bits_ != nullptr; }
  [[nodiscard]] HGDIOBJ bitmap() const { return bitmap_.get(); }
  [[nodiscard]] std::uint32_t at(int x, int y) const {
    return bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                 static_cast<std::size_t>(x)] &
           0x00FFFFFFu;
  }
  // Sum of absolute channel differences from another area of the same size.
  [[nodiscard]] long long Difference(const Pixels& other) const {
    long long sum = 0;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        for (int shift = 0; shift < 24; shift += 8) {
          sum += std::abs(static_cast<int>((at(x, y) >> shift) & 0xFFu) -
                          static_cast<int>((other.at(x, y) >> shift) & 0xFFu));
        }
      }
    }
    return sum;
  }

 private:
  int width_;
  int height_;
  UniqueGdi bitmap_;
  std::uint32_t* bits_ = nullptr;
};

std::wstring ClassOf(HWND hwnd) {
  std::array<wchar_t, 256> buf{};
  const int n = GetClassNameW(hwnd, buf.data(), static_cast<int>(buf.size()));
  return std::wstring(buf.data(), static_cast<std::size_t>(std::max(n, 0)));
}

// Waits up to 5 s for the window to answer, also when the system counts it
// as hung: a program that worked for seconds without reading its messages
// counts as hung until its box's message loop has run for a moment, and
// SMTO_ABORTIFHUNG would then read an empty text.
std::optional<DWORD_PTR> Ask(HWND hwnd, UINT message, WPARAM wparam = 0, LPARAM lparam = 0,
                             UINT flags = SMTO_NORMAL) {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(hwnd, message, wparam, lparam, flags, 5000, &result) == 0) {
    return std::nullopt;
  }
  return result;
}

std::wstring TextOf(HWND hwnd) {
  const auto length = Ask(hwnd, WM_GETTEXTLENGTH);
  if (!length) return {};
  std::wstring buf(*length + 1, L'\0');
  const auto copied = Ask(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
  buf.resize(copied ? std::min<std::size_t>(*copied, buf.size() - 1) : 0);
  return buf;
}

struct ScanRequest {
  DWORD pid;
  WindowScan* scan;
};

BOOL CALLBACK ScanWindow(HWND hwnd, LPARAM param) {
  const auto* request = reinterpret_cast<const ScanRequest*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != request->pid) return TRUE;
  const std::wstring cls = ClassOf(hwnd);
  if (cls == L"#32770" && IsWindowVisible(hwnd)) request->scan->boxes.push_back(hwnd);
  if (cls == uninstall::win32::kWindowClassName) {
    request->scan->mains.push_back(hwnd);
    if (IsWindowVisible(hwnd)) request->scan->main_visible = true;
  }
  return TRUE;
}

BOOL CALLBACK FindIconControl(HWND child, LPARAM param) {
  const auto style = static_cast<unsigned long>(GetWindowLongW(child, GWL_STYLE));
  if (ClassOf(child) != L"Static" || !IsWindowVisible(child) || (style & SS_TYPEMASK) != SS_ICON) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(param) = child;
  return FALSE;
}

// Which system icon the control shows on screen: each candidate is drawn on
// the background colour found at the control's corner, and the closest one
// wins if it is close enough to count as the same picture.
std::optional<unsigned> IconFromScreen(HWND control) {
  RECT rect{};
  if (!GetWindowRect(control, &rect)) return std::nullopt;
  const int w = GetSystemMetrics(SM_CXICON);
  const int h = GetSystemMetrics(SM_CYICON);
  Pixels shot(w, h);
  const ScreenDc screen(GetDC(nullptr));
  const MemoryDc mem(CreateCompatibleDC(nullptr));
  if (!shot.ok() || !screen || !mem) return std::nullopt;
  HGDIOBJ old = SelectObject(mem.get(), shot.bitmap());
  const BOOL copied = BitBlt(mem.get(), 0, 0, w, h, screen.get(), rect.left, rect.top, SRCCOPY);
  SelectObject(mem.get(), old);
  if (!copied) return std::nullopt;
  const std::uint32_t bg = shot.at(0, 0);
  const UniqueGdi brush(CreateSolidBrush(RGB((bg >> 16) & 0xFF, (bg >> 8) & 0xFF, bg & 0xFF)));

  std::optional<unsigned> best;
  long long best_diff = 0;
  for (const auto& kind : IconKinds()) {
    Pixels drawn(w, h);
    if (!drawn.ok()) return std::nullopt;
    HGDIOBJ prev = SelectObject(mem.get(), drawn.bitmap());
    const RECT all{0, 0, w, h};
    FillRect(mem.get(), &all, static_cast<HBRUSH>(brush.get()));
    DrawIconEx(mem.get(), 0, 0, LoadIconW(nullptr, kind.resource), w, h, 0, nullptr, DI_NORMAL);
    SelectObject(mem.get(), prev);
    const long long diff = shot.Difference(drawn);
    if (!best || diff < best_diff) {
      best = kind.flag;
      best_diff = diff;
    }
  }
  // Anything farther than an average of 8 levels per channel is not the icon
  // (for example a box not yet painted).
  if (best && best_diff > 8LL * 3 * w * h) return std::nullopt;
  return best;
}

// The icon by the handle the control holds (the shared system icons), else
// by its pixels: the box may not be painted yet, so those for up to 5 s.
void ReadIcon(HWND control, BoxContent& c) {
  const auto handle = Ask(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG);
  for (const auto& kind : IconKinds()) {
    if (handle && reinterpret_cast<HICON>(*handle) == LoadIconW(nullptr, kind.resource)) {
      c.icon = kind.flag;
      c.icon_method = "handle";
      return;
    }
  }
  for (int attempt = 0; attempt < 250; ++attempt) {
    c.icon = IconFromScreen(control);
    if (c.icon) {
      c.icon_method = "screen";
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  c.icon_method = "unknown";
}

}  // namespace

WindowScan Scan(DWORD pid) {
  WindowScan scan;
  ScanRequest request{pid, &scan};
  EnumWindows(ScanWindow, reinterpret_cast<LPARAM>(&request));
  return scan;
}

BoxContent ReadBox(HWND box) {
  BoxContent c;
  c.title = TextOf(box);
  if (HWND text = GetDlgItem(box, kTextControlId)) c.text = TextOf(text);
  for (const auto& b : kButtons) {
    HWND button = GetDlgItem(box, b.id);
    if (button != nullptr && IsWindowVisible(button)) c.buttons |= Bit(b.id);
  }
  HWND icon = nullptr;
  EnumChildWindows(box, FindIconControl, reinterpret_cast<LPARAM>(&icon));
  if (icon == nullptr) {
    c.icon = 0;
    c.icon_method = "no icon control";
  } else {
    ReadIcon(icon, c);
  }
  return c;
}

std::string Describe(const BoxContent& c) {
  std::optional<unsigned> buttons;
  for (unsigned style = 0; style <= 5; ++style) {
    if (ButtonsOfStyle(style) == c.buttons) buttons = style;
  }
  const std::string style = buttons && c.icon ? std::to_string(*buttons | *c.icon)
                                              : "?(" + ButtonSetText(c.buttons) + ", icon " +
                                                    (c.icon ? IconName(*c.icon) : "?") + ")";
  return "title=\"" + Escaped(c.title) + "\" style=" + style + " text=\"" + Escaped(c.text) + "\"";
}

std::optional<BarState> ReadBar(HWND main) {
  HWND bar = FindWindowExW(main, nullptr, L"msctls_progress32", nullptr);
  if (bar == nullptr) return BarState{nullptr, 0, 0};
  const auto position = Ask(bar, PBM_GETPOS);
  const auto range = Ask(bar, PBM_GETRANGE, FALSE);
  if (!position || !range) return std::nullopt;
  return BarState{bar, static_cast<int>(*position), static_cast<int>(*range)};
}

std::string Geometry(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
         std::to_string(r.left) + "+" + std::to_string(r.top);
}

}  // namespace e2e
