// Conversion through the system's active ANSI code page.
#include <windows.h>

#include <climits>

#include "platform/codepage.h"

namespace uninstall {

std::wstring AnsiToWide(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > INT_MAX) return {};
  const int in = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(CP_ACP, 0, bytes.data(), in, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring text(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), in, text.data(), needed);
  return text;
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int in = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), in, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), in, bytes.data(), needed, "?", nullptr);
  return bytes;
}

}  // namespace uninstall
