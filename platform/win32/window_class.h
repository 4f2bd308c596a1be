// The window class of the uninstaller's progress window, by which the
// end-to-end helpers find it among the windows of a process.
#pragma once

namespace uninstall::win32 {

inline constexpr wchar_t kWindowClassName[] = L"UninstallMfrm";

}  // namespace uninstall::win32
