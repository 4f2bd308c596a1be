// RAII owners for the Win32 handles the platform layer opens.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <cstdint>
#include <memory>
#include <type_traits>

namespace uninstall::win32 {

// Hands a handle to Close unless it is one of the Invalid values. Those are
// integers because INVALID_HANDLE_VALUE is a cast, not a constant a template
// can take. A null handle never gets here: unique_ptr skips its deleter then.
template <auto Close, std::intptr_t... Invalid>
struct HandleCloser {
  template <typename T>
  void operator()(T* handle) const noexcept {
    [[maybe_unused]] const auto value = reinterpret_cast<std::intptr_t>(handle);
    if (((value != Invalid) && ...)) Close(handle);
  }
};

// Owner of a handle of pointer type T, closed by Close unless it is null or
// one of the Invalid values.
template <typename T, auto Close, std::intptr_t... Invalid>
using UniqueAny = std::unique_ptr<std::remove_pointer_t<T>, HandleCloser<Close, Invalid...>>;

inline void ReleaseInterface(IUnknown* object) noexcept { object->Release(); }

using UniqueHandle = UniqueAny<HANDLE, &CloseHandle, -1>;  // -1: INVALID_HANDLE_VALUE
using UniqueFind = UniqueAny<HANDLE, &FindClose, -1>;
// An item identifier list handed out by the shell; released on every path.
using UniqueItemList = UniqueAny<void*, &CoTaskMemFree>;
// Memory the shell or COM hands out with CoTaskMemAlloc.
template <typename T>
using UniqueCoTaskMem = UniqueAny<T*, &CoTaskMemFree>;
// An interface pointer that is released when it goes.
template <typename T>
using UniqueCom = UniqueAny<T*, &ReleaseInterface>;
using UniqueRegKey = UniqueAny<HKEY, &RegCloseKey>;
using UniqueWindow = UniqueAny<HWND, &DestroyWindow>;
using UniqueIcon = UniqueAny<HICON, &DestroyIcon>;
using UniqueFont = UniqueAny<HFONT, &DeleteObject>;

}  // namespace uninstall::win32
