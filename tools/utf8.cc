#include "tools/utf8.h"

#include <utf8/cpp17.h>

#include <cstddef>
#include <iterator>

namespace uninstall::tools {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

}  // namespace

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<char32_t>(text[i]);
    if constexpr (kWideIsUtf16) {
      c &= 0xFFFF;
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
        const auto low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
        if (low >= 0xDC00 && low <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    // utfcpp throws on what is no code point; that becomes U+FFFD first.
    if (c > 0x10FFFF || IsSurrogate(c)) c = kReplacement;
    utf8::append(c, out);
  }
  return out;
}

std::wstring FromUtf8(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    // The well-formed run before the first ill-formed sequence, which utfcpp
    // converts without throwing.
    const std::string_view run = bytes.substr(0, utf8::find_invalid(bytes));
    if constexpr (kWideIsUtf16) {
      utf8::utf8to16(run.begin(), run.end(), std::back_inserter(out));
    } else {
      utf8::utf8to32(run.begin(), run.end(), std::back_inserter(out));
    }
    if (run.size() == bytes.size()) break;
    // The first byte of the ill-formed sequence becomes U+FFFD and decoding
    // goes on at the next byte, so the sequence gives one U+FFFD per byte.
    out.push_back(kReplacement);
    bytes.remove_prefix(run.size() + 1);
  }
  return out;
}

std::string QuoteText(std::wstring_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (const char c : ToUtf8(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      out += "\\u00";
      out.push_back(kDigits[byte >> 4]);
      out.push_back(kDigits[byte & 0xF]);
    } else {
      out.push_back(c);
    }
  }
  return out + "\"";
}

}  // namespace uninstall::tools
