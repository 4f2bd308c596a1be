#include "installlog/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace uninstall {
namespace {

struct LongCase {
  std::int32_t value;
  const char* bytes;  // 4 bytes, least significant first
};

class LongFieldTest : public ::testing::TestWithParam<LongCase> {};

TEST_P(LongFieldTest, ValueAndStoredBytesConvertBothWays) {
  const LongCase& c = GetParam();
  const std::string bytes(c.bytes, 4);
  EXPECT_EQ(EncodeLong(c.value), bytes);
  EXPECT_EQ(DecodeLong(bytes), c.value);
}

// Among the values: HKEY_LOCAL_MACHINE as a registry key record stores it,
// and bytes that are no Latin-1 characters in the code page (0x80 is the euro
// sign, 0x9D is undefined), which still survive.
INSTANTIATE_TEST_SUITE_P(
    Table, LongFieldTest,
    ::testing::Values(LongCase{0, "\x00\x00\x00\x00"}, LongCase{1, "\x01\x00\x00\x00"},
                      LongCase{3, "\x03\x00\x00\x00"}, LongCase{255, "\xFF\x00\x00\x00"},
                      LongCase{256, "\x00\x01\x00\x00"}, LongCase{0x12345678, "\x78\x56\x34\x12"},
                      LongCase{0x7FFFFFFF, "\xFF\xFF\xFF\x7F"}, LongCase{-1, "\xFF\xFF\xFF\xFF"},
                      LongCase{-2, "\xFE\xFF\xFF\xFF"}, LongCase{INT32_MIN, "\x00\x00\x00\x80"},
                      LongCase{static_cast<std::int32_t>(0x80000002u), "\x02\x00\x00\x80"},
                      LongCase{0x9D80, "\x80\x9D\x00\x00"}));

TEST(DecodeLong, ReadsOnlyTheFirstFourBytesAndTakesMissingOnesAsZero) {
  EXPECT_EQ(DecodeLong(""), 0);
  EXPECT_EQ(DecodeLong("\x01"), 1);
  EXPECT_EQ(DecodeLong(std::string("\x01\x02\0", 3)), 0x0201);
  EXPECT_EQ(DecodeLong(std::string("\x01\0\0\0xyz", 7)), 1);
  EXPECT_EQ(DecodeLong("\xFF\xFF"), 0xFFFF);
}

}  // namespace
}  // namespace uninstall
