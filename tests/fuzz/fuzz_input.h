// Turning a fuzzer's bytes into the inputs of the targets, and the check
// macro they share.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// Stops the run with a report when an invariant does not hold; libFuzzer
// then keeps the input as a crash artifact.
#define FUZZ_CHECK(condition)                                                                     \
  do {                                                                                            \
    if (!(condition)) {                                                                           \
      static_cast<void>(                                                                          \
          std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition)); \
      std::abort();                                                                               \
    }                                                                                             \
  } while (false)

namespace uninstall::fuzz {

// Every target is built twice: as <target>_fuzzer, which takes its input as
// it is (small inputs, many thousands of runs a second), and as
// <target>_repeat_fuzzer (UNINSTALL_FUZZ_REPEATED), which reads its input as
// the description of a large one, so that lists of 32767 entries and more,
// and paths of 32767 characters, are reached without megabyte inputs. The
// two never share a corpus.
#if defined(UNINSTALL_FUZZ_REPEATED)
inline constexpr bool kRepeatedForm = true;
#else
inline constexpr bool kRepeatedForm = false;
#endif

// Repeat counts of a log in the repeated form: small ones, or a band around
// the 32767 entries that the 16-bit counts of the lists can hold.
inline constexpr std::uint8_t kNearLimitMark = 0x7F;
inline constexpr std::size_t kNearLimitBase = 32640;
inline constexpr std::size_t kMaxUnit = 64;

// A log with one piece repeated, from its description:
//   byte 0     repeat count N (0 to 255) ...
//   byte 1     ... unless this is kNearLimitMark: then N is 32640 + byte 0
//              (32640 to 32895); most inputs stay small and fast
//   byte 2     length P of the prefix
//   byte 3     length U of the repeated unit (at most kMaxUnit)
//   then the prefix, the unit, and the rest of the input as the suffix;
// the log is prefix + N times the unit + suffix. Missing bytes shorten the
// parts.
inline std::string RepeatedLogBytes(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const auto take_byte = [&rest]() -> std::size_t {
    if (rest.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(rest.front());
    rest.remove_prefix(1);
    return b;
  };
  const auto take = [&rest](std::size_t n) {
    const std::string_view part = rest.substr(0, std::min(n, rest.size()));
    rest.remove_prefix(part.size());
    return part;
  };
  std::size_t repeats = take_byte();
  if (take_byte() == kNearLimitMark) repeats += kNearLimitBase;
  const std::size_t prefix_len = take_byte();
  const std::size_t unit_len = std::min(take_byte(), kMaxUnit);
  const std::string_view prefix = take(prefix_len);
  const std::string_view unit = take(unit_len);

  std::string bytes(prefix);
  bytes.reserve(prefix.size() + repeats * unit.size() + rest.size());
  for (std::size_t i = 0; i < repeats; ++i) bytes += unit;
  bytes += rest;
  return bytes;
}

// The bytes of an install log, from a fuzzer input, in the form the target
// was built for.
inline std::string LogBytesFromInput(const std::uint8_t* data, std::size_t size) {
  if (kRepeatedForm) return RepeatedLogBytes(data, size);
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Wide strings from a fuzzer input: a byte 0 ends one string and starts the
// next; any other byte b is the character b, except 0xFF, which takes the
// next two bytes (least significant first) as one 16-bit character, so that
// NUL and characters above 0xFF occur too. At most `max_strings` strings;
// the last one runs to the end of the input.
inline std::vector<std::wstring> WideStringsFromInput(const std::uint8_t* data, std::size_t size,
                                                      std::size_t max_strings) {
  std::vector<std::wstring> out(1);
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t b = data[i];
    if (b == 0 && out.size() < max_strings) {
      out.emplace_back();
    } else if (b == 0xFF) {
      std::uint32_t unit = 0;
      if (i + 1 < size) unit |= data[++i];
      if (i + 1 < size) unit |= static_cast<std::uint32_t>(data[++i]) << 8;
      out.back().push_back(static_cast<wchar_t>(unit));
    } else {
      out.back().push_back(static_cast<wchar_t>(b));
    }
  }
  return out;
}

}  // namespace uninstall::fuzz
