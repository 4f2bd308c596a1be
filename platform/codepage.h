// Conversion between the program's wide strings and 8-bit text in the
// system's ANSI code page, used wherever text crosses to the install log.
//
// On Windows this is the active ANSI code page (CP_ACP). The host build uses
// Windows-1252, the code page of the machines the logs are written on, with
// the five bytes that Windows-1252 leaves undefined mapped to the control
// characters of the same number, as Windows does, so that every byte
// converts to one character and back.
#pragma once

#include <string>
#include <string_view>

namespace uninstall {

[[nodiscard]] std::wstring AnsiToWide(std::string_view bytes);
// Characters the code page cannot represent become '?'.
[[nodiscard]] std::string WideToAnsi(std::wstring_view text);

}  // namespace uninstall
