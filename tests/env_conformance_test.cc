// The conformance table (tests/support/env_conformance.h) against FakeEnv:
// each case on a fresh fake machine, expecting what Windows gives. The same
// table runs against Win32Env under Wine (tests/e2e/conformance.cc).
#include "tests/support/env_conformance.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <string_view>

#include "tests/support/fake_env.h"

namespace uninstall::conformance {

// Failures name the case rather than dump its bytes.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

namespace {

// The setup side of the fake: its own setup calls, which the Env calls do
// not go through (only the current directory has no other way in). Each
// answers whether the entry is there afterwards.
class FakeMachine final : public Machine {
 public:
  explicit FakeMachine(FakeEnv& env) : env_(env) {}

  bool MakeDir(const std::wstring& path) override {
    if (!env_.Exists(path)) env_.AddDir(path);
    return env_.Exists(path);
  }
  bool MakeFile(const std::wstring& path, std::string_view bytes) override {
    env_.AddFile(path, std::string(bytes));
    return env_.Exists(path);
  }
  bool SetAttrs(const std::wstring& path, std::uint32_t attrs) override {
    env_.SetAttrs(path, attrs);
    return env_.Exists(path);
  }
  bool MakeCurrentDir(const std::wstring& path) override { return env_.SetCurrentDir(path).ok(); }
  bool MakeRegKey(std::int32_t root, const std::wstring& key) override {
    env_.AddRegKey(root, key);
    return env_.RegKeyExists(root, key);
  }
  bool Exists(const std::wstring& path) override { return env_.Exists(path); }
  std::optional<std::string> Content(const std::wstring& path) override {
    Result<std::string> bytes = env_.ReadWholeFile(path);
    return bytes.ok() ? std::optional(std::move(bytes).value()) : std::nullopt;
  }
  bool RegKeyExists(std::int32_t root, const std::wstring& key) override {
    return env_.RegKeyExists(root, key);
  }

 private:
  FakeEnv& env_;
};

class EnvConformance : public testing::TestWithParam<Case> {};

TEST_P(EnvConformance, FakeAnswersAsWindows) {
  FakeEnv env;
  env.AddDir(L"R:\\");
  FakeMachine machine(env);
  const Roots roots{L"C:\\conformance", L"R:\\", L"Software\\UninstallConformance"};
  const Outcome outcome = RunCase(GetParam(), env, machine, roots, /*under_wine=*/false);
  EXPECT_EQ(outcome.kind, Outcome::kPass) << outcome.line;
}

INSTANTIATE_TEST_SUITE_P(Table, EnvConformance, testing::ValuesIn(Cases().begin(), Cases().end()),
                         [](const testing::TestParamInfo<Case>& param_info) {
                           return std::string(param_info.param.name);
                         });

// The table itself: names GoogleTest and the report can use, each once.
TEST(EnvConformanceTable, NamesAreUniqueIdentifiers) {
  std::set<std::string_view> seen;
  for (const Case& c : Cases()) {
    EXPECT_TRUE(seen.insert(c.name).second) << c.name;
    EXPECT_FALSE(c.name.empty());
    EXPECT_EQ(c.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_"), c.name.npos)
        << c.name;
  }
}

}  // namespace
}  // namespace uninstall::conformance
