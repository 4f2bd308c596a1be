// RAII owners for the Win32 handles the platform layer opens.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <memory>

namespace uninstall::win32 {

struct HandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct FindCloser {
  void operator()(HANDLE handle) const {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) FindClose(handle);
  }
};
using UniqueFind = std::unique_ptr<void, FindCloser>;

// An item identifier list handed out by the shell; released on every path.
struct ItemListFreer {
  void operator()(void* list) const { CoTaskMemFree(list); }
};
using UniqueItemList = std::unique_ptr<void, ItemListFreer>;

struct WindowDestroyer {
  void operator()(HWND window) const {
    if (window != nullptr) DestroyWindow(window);
  }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

struct IconDestroyer {
  void operator()(HICON icon) const {
    if (icon != nullptr) DestroyIcon(icon);
  }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;

struct FontDeleter {
  void operator()(HFONT font) const {
    if (font != nullptr) DeleteObject(font);
  }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

}  // namespace uninstall::win32
