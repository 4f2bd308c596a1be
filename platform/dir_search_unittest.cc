#include "platform/dir_search.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "tests/support/fake_env.h"

namespace uninstall {
namespace {

struct ProbeCase {
  const wchar_t* path;
  std::uint32_t flags;
  Probe expected;
};

class DirSearchTest : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(DirSearchTest, MatchesOnlyAllowedKinds) {
  FakeEnv env;
  env.AddFile(L"C:\\App\\plain.txt", "", attr::kArchive);
  env.AddFile(L"C:\\App\\ro.txt", "", attr::kReadOnly | attr::kArchive);
  env.AddFile(L"C:\\App\\hidden.txt", "", attr::kHidden);
  env.AddFile(L"C:\\App\\system.dll", "", attr::kSystem);
  env.AddDir(L"C:\\App\\Sub\\");
  env.AddDir(L"C:\\App\\Secret\\", attr::kDirectory | attr::kHidden);
  const ProbeCase& c = GetParam();
  EXPECT_EQ(DirSearch(env, c.path, c.flags), c.expected) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DirSearchTest,
    ::testing::Values(ProbeCase{L"C:\\App\\plain.txt", kSearchNormal, Probe::kMatch},
                      ProbeCase{L"c:\\app\\PLAIN.TXT", kSearchNormal, Probe::kMatch},
                      ProbeCase{L"C:\\App\\ro.txt", kSearchNormal, Probe::kMatch},
                      ProbeCase{L"C:\\App\\hidden.txt", kSearchNormal, Probe::kNoMatch},
                      ProbeCase{L"C:\\App\\system.dll", kSearchNormal, Probe::kNoMatch},
                      ProbeCase{L"C:\\App\\Sub", kSearchNormal, Probe::kNoMatch},
                      ProbeCase{L"C:\\App\\Sub\\", kSearchDirectory, Probe::kMatch},
                      ProbeCase{L"C:\\App\\plain.txt", kSearchDirectory, Probe::kMatch},
                      ProbeCase{L"C:\\App\\Secret\\", kSearchDirectory, Probe::kNoMatch},
                      ProbeCase{L"C:\\App\\missing.txt", kSearchNormal, Probe::kNoMatch},
                      ProbeCase{L"C:\\Nowhere\\x.txt", kSearchNormal, Probe::kNoMatch},
                      // Wildcards never act as patterns, even when a file would match them.
                      ProbeCase{L"C:\\App\\*.txt", kSearchNormal, Probe::kNoMatch},
                      ProbeCase{L"C:\\App\\plain.tx?", kSearchNormal, Probe::kNoMatch},
                      ProbeCase{L"C:\\App\\*", kSearchDirectory, Probe::kNoMatch},
                      ProbeCase{L"", kSearchDirectory, Probe::kNoMatch},
                      // A file named as if it were a directory is not there.
                      ProbeCase{L"C:\\App\\plain.txt\\", kSearchNormal, Probe::kNoMatch}));

TEST(DirSearch, OnlyErrorsThatLeaveExistenceOpenAreErrors) {
  struct {
    ErrorCode code;
    Probe expected;
  } const cases[] = {
      {kErrorAccessDenied, Probe::kError},    {kErrorSharingViolation, Probe::kError},
      {kErrorNotEnoughMemory, Probe::kError}, {kErrorFileNotFound, Probe::kNoMatch},
      {kErrorPathNotFound, Probe::kNoMatch},  {kErrorInvalidName, Probe::kNoMatch},
      {kErrorBadNetPath, Probe::kNoMatch},    {kErrorNotReady, Probe::kNoMatch}};
  for (const auto& c : cases) {
    FakeEnv env;
    env.AddFile(L"C:\\App\\a.txt");
    env.InjectFault(FakeOp::kGetFileAttrs, L"C:\\App\\a.txt", c.code);
    EXPECT_EQ(DirSearch(env, L"C:\\App\\a.txt", kSearchNormal), c.expected) << c.code;
  }
}

TEST(Codepage, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::wstring text = AnsiToWide(all);
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(WideToAnsi(text), all);
  EXPECT_EQ(text[0x80], L'\x20AC');  // the euro sign
  EXPECT_EQ(text[0xE9], L'\xE9');
}

TEST(Codepage, UnrepresentableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(WideToAnsi(L"a\x4E2D"
                       L"b"),
            "a?b");
}

}  // namespace
}  // namespace uninstall
