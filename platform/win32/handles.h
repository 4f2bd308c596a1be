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

// Memory the shell or COM hands out with CoTaskMemAlloc.
struct CoTaskMemFreer {
  void operator()(void* memory) const { CoTaskMemFree(memory); }
};
template <typename T>
using UniqueCoTaskMem = std::unique_ptr<T, CoTaskMemFreer>;

// An interface pointer that is released when it goes.
struct ComReleaser {
  void operator()(IUnknown* object) const {
    if (object != nullptr) object->Release();
  }
};
template <typename T>
using UniqueCom = std::unique_ptr<T, ComReleaser>;

struct RegKeyCloser {
  void operator()(HKEY key) const {
    if (key != nullptr) RegCloseKey(key);
  }
};
using UniqueRegKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegKeyCloser>;

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
