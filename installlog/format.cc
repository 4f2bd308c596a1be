#include "installlog/format.h"

namespace uninstall {

std::string EncodeLong(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  std::string bytes(kIntegerFieldSize, '\0');
  for (std::size_t i = 0; i < kIntegerFieldSize; ++i) {
    bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFFu);
  }
  return bytes;
}

std::int32_t DecodeLong(std::string_view bytes) {
  std::uint32_t bits = 0;
  const std::size_t n = bytes.size() < kIntegerFieldSize ? bytes.size() : kIntegerFieldSize;
  for (std::size_t i = 0; i < n; ++i) {
    bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  // Two's complement: the conversion of an out-of-range unsigned value is
  // defined as modulo 2^32 since C++20.
  return static_cast<std::int32_t>(bits);
}

}  // namespace uninstall
