// Conversion between the program's wide strings and UTF-8, the encoding of
// installlog's JSON and of its command line.
//
// wchar_t holds UTF-16 on Windows and UTF-32 elsewhere; both are handled.
// Neither conversion fails: what cannot be converted becomes U+FFFD, the
// replacement character.
#pragma once

#include <string>
#include <string_view>

namespace uninstall::tools {

// Lone surrogates (UTF-16) and values that are no code point become U+FFFD.
[[nodiscard]] std::string ToUtf8(std::wstring_view text);
// Each ill-formed sequence (a stray continuation byte, a sequence cut short,
// an overlong form, a surrogate or a value above U+10FFFF) becomes one
// U+FFFD per byte it spans.
[[nodiscard]] std::wstring FromUtf8(std::string_view bytes);

// `text` in UTF-8 between double quotes, for people to read: control
// characters (U+0000 to U+001F, U+007F) appear as \uXXXX, all else as it is.
[[nodiscard]] std::string QuoteText(std::wstring_view text);

}  // namespace uninstall::tools
