// Turning a fuzzer's bytes into the inputs of the targets, the check they
// share, their entry point and the path variables two of them predict. The
// standard headers below are the common ground of the targets and the seed
// writer, which take them from here.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fatal_error.h"

// Stops the run with a report when an invariant does not hold; libFuzzer
// then keeps the input as a crash artifact (scripts/fuzz looks for the text).
#define FUZZ_CHECK(condition) ::uninstall::fuzz::Check((condition), #condition, __FILE__, __LINE__)

// The entry point of a target: uninstall::fuzz::FuzzOne on every input.
#define FUZZ_TARGET                                                                   \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    ::uninstall::fuzz::FuzzOne(data, size);                                           \
    return 0;                                                                         \
  }

namespace uninstall::fuzz {

inline void Check(bool holds, const char* condition, const char* file, int line) {
  if (holds) return;
  static_cast<void>(std::fprintf(stderr, "%s:%d: invariant failed: %s\n", file, line, condition));
  std::abort();
}

// Whether `run` ends in a FatalError, the refusal of a log.
template <class Run>
bool Refused(const Run& run) try {
  run();
  return false;
} catch (const FatalError&) {
  return true;
}

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

// The bytes of an install log, from a fuzzer input, in the form the target
// was built for: the input as it is, or in the repeated form a log with one
// piece repeated, from its description:
//   byte 0     repeat count N (0 to 255) ...
//   byte 1     ... unless this is kNearLimitMark: then N is 32640 + byte 0
//              (32640 to 32895); most inputs stay small and fast
//   byte 2     length P of the prefix
//   byte 3     length U of the repeated unit (at most 64)
//   then the prefix, the unit, and the rest of the input as the suffix;
// the log is prefix + N times the unit + suffix. Missing bytes shorten the
// parts.
inline std::string LogBytesFromInput(const std::uint8_t* data, std::size_t size) {
  if (!kRepeatedForm) return {reinterpret_cast<const char*>(data), size};
  std::array<std::size_t, 4> head{};  // N, the mark, P, U
  const std::size_t n = std::min(size, head.size());
  std::copy(data, data + n, head.begin());
  std::string_view rest(reinterpret_cast<const char*>(data) + n, size - n);
  const auto take = [&rest](std::size_t len) {
    const std::string_view part = rest.substr(0, std::min(len, rest.size()));
    rest.remove_prefix(part.size());
    return part;
  };
  const std::size_t repeats = head[0] + (head[1] == kNearLimitMark ? kNearLimitBase : 0);
  const std::string_view prefix = take(head[2]);
  const std::string_view unit = take(std::min<std::size_t>(head[3], 64));
  std::string bytes(prefix);
  bytes.reserve(prefix.size() + repeats * unit.size() + rest.size());
  for (std::size_t i = 0; i < repeats; ++i) bytes += unit;
  return bytes += rest;
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
    std::uint32_t c = data[i];
    if (c == 0 && out.size() < max_strings) {
      out.emplace_back();
      continue;
    }
    if (c == 0xFF) {
      c = 0;
      if (i + 1 < size) c |= data[++i];
      if (i + 1 < size) c |= static_cast<std::uint32_t>(data[++i]) << 8;
    }
    out.back().push_back(static_cast<wchar_t>(c));
  }
  return out;
}

// What the variables %windir%, %winsysdir%, %currentdir%, %rootdir%,
// %userdir% and %userfolder% stand for, in the order ExpandPathVariables
// tries them.
using VariableValues = std::array<std::wstring, 6>;

// A path that opens with a variable (in any ASCII letter case), that
// variable replaced by its value; a folder variable (all but %userfolder%)
// takes one "\" right behind it along. nullopt when it opens with none.
inline std::optional<std::wstring> ExpandedOnce(std::wstring_view path,
                                                const VariableValues& values) {
  static constexpr std::array<std::wstring_view, 6> kNames = {
      L"%windir%", L"%winsysdir%", L"%currentdir%", L"%rootdir%", L"%userdir%", L"%userfolder%"};
  const auto same = [](wchar_t name, wchar_t c) {
    return name == ((c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c);
  };
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    const std::wstring_view name = kNames[i];
    if (path.size() < name.size() || !std::equal(name.begin(), name.end(), path.begin(), same)) {
      continue;
    }
    std::size_t used = name.size();
    if (i + 1 < kNames.size() && path.size() > used && path[used] == L'\\') ++used;
    return values[i] + std::wstring(path.substr(used));
  }
  return std::nullopt;
}

}  // namespace uninstall::fuzz
