// Windows-1252 conversion for builds off Windows.
#include <array>
#include <cstdint>
#include <type_traits>

#include "platform/codepage.h"

namespace uninstall {
namespace {

// Characters for the bytes 0x80 to 0x9F; the rest of the code page equals
// Latin-1. Undefined bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to themselves.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

wchar_t ByteToChar(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return static_cast<wchar_t>(kHighControls[byte - 0x80u]);
  return static_cast<wchar_t>(byte);
}

char CharToByte(wchar_t ch) {
  const auto code = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(ch));
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<char>(code);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == code) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::wstring AnsiToWide(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (const char byte : bytes) text.push_back(ByteToChar(static_cast<unsigned char>(byte)));
  return text;
}

std::string WideToAnsi(std::wstring_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (const wchar_t ch : text) bytes.push_back(CharToByte(ch));
  return bytes;
}

}  // namespace uninstall
