#include "platform/dir_search.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "platform/codepage.h"
#include "tests/support/fake_env.h"

namespace uninstall {
namespace {

TEST(DirSearch, MatchesOnlyAllowedKinds) {
  FakeEnv env;
  env.AddFile(L"C:\\App\\plain.txt", "", attr::kArchive);
  env.AddFile(L"C:\\App\\ro.txt", "", attr::kReadOnly | attr::kArchive);
  env.AddFile(L"C:\\App\\hidden.txt", "", attr::kHidden);
  env.AddFile(L"C:\\App\\system.dll", "", attr::kSystem);
  env.AddDir(L"C:\\App\\Sub\\");
  env.AddDir(L"C:\\App\\Secret\\", attr::kDirectory | attr::kHidden);
  const auto expect = [&](std::uint32_t flags, Probe probe,
                          std::initializer_list<const wchar_t*> paths) {
    for (const wchar_t* path : paths) EXPECT_EQ(DirSearch(env, path, flags), probe) << path;
  };
  expect(kSearchNormal, Probe::kMatch,
         {L"C:\\App\\plain.txt", L"c:\\app\\PLAIN.TXT", L"C:\\App\\ro.txt"});
  // Wildcards never act as patterns, even when a file would match them, and
  // a file named as if it were a directory is not there.
  expect(
      kSearchNormal, Probe::kNoMatch,
      {L"C:\\App\\hidden.txt", L"C:\\App\\system.dll", L"C:\\App\\Sub", L"C:\\App\\missing.txt",
       L"C:\\Nowhere\\x.txt", L"C:\\App\\*.txt", L"C:\\App\\plain.tx?", L"C:\\App\\plain.txt\\"});
  expect(kSearchDirectory, Probe::kMatch, {L"C:\\App\\Sub\\", L"C:\\App\\plain.txt"});
  expect(kSearchDirectory, Probe::kNoMatch, {L"C:\\App\\Secret\\", L"C:\\App\\*", L""});
}

TEST(DirSearch, OnlyErrorsThatLeaveExistenceOpenAreErrors) {
  const auto expect = [](Probe probe, std::initializer_list<ErrorCode> codes) {
    for (const ErrorCode code : codes) {
      FakeEnv env;
      env.AddFile(L"C:\\App\\a.txt");
      env.InjectFault(FakeOp::kGetFileAttrs, L"C:\\App\\a.txt", code);
      EXPECT_EQ(DirSearch(env, L"C:\\App\\a.txt", kSearchNormal), probe) << code;
    }
  };
  expect(Probe::kError, {kErrorAccessDenied, kErrorSharingViolation, kErrorNotEnoughMemory});
  expect(Probe::kNoMatch, {kErrorFileNotFound, kErrorPathNotFound, kErrorInvalidName,
                           kErrorBadNetPath, kErrorNotReady});
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
  EXPECT_EQ(WideToAnsi(std::wstring{L'a', L'\x4E2D', L'b'}), "a?b");
}

}  // namespace
}  // namespace uninstall
