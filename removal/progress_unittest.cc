#include "removal/progress.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "removal/files.h"
#include "removal/registry_keys.h"
#include "tests/support/fake_env.h"
#include "tests/support/install_logs.h"

namespace uninstall {
namespace {

using Shown = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

// The bar is shown at the start, then at most every 30 ms of the clock,
// whatever the number of steps between, and never past the total.
TEST(Progress, ShownAtMostEveryThirtyMilliseconds) {
  struct Case {
    std::uint64_t tick_ms;  // how far the clock moves per step
    int steps;
    Shown shown;
  } const cases[] = {
      {1, 100, {{0, 100}, {30, 100}, {60, 100}, {90, 100}}},
      {10, 10, {{0, 10}, {3, 10}, {6, 10}, {9, 10}}},
      {40, 3, {{0, 3}, {1, 3}, {2, 3}, {3, 3}}},
      // More steps than the total: the bar stops at its end.
      {50, 4, {{0, 2}, {1, 2}, {2, 2}, {2, 2}, {2, 2}}},
  };
  for (const Case& c : cases) {
    FakeEnv env;
    env.set_tick_step_ms(c.tick_ms);
    Progress progress(env, c.shown.front().second);
    for (int i = 0; i < c.steps; ++i) progress.Step();
    EXPECT_EQ(env.progress(), c.shown) << c.tick_ms << " ms a step";
  }
}

TEST(Progress, ShowGivesTheCountAtOnce) {
  FakeEnv env;
  Progress progress(env, 7);
  progress.Step(3);
  progress.Step();
  progress.Show();
  EXPECT_EQ(env.progress(), (Shown{{0, 7}, {4, 7}}));
}

// Each stage counts one step per item of its list in the plan: a key of the
// deletion order (the completed keys included), a file the stage takes (not
// a kept one, nor one past the count).
TEST(Progress, StagesCountTheirUnits) {
  FakeEnv env;
  env.AddFile(L"C:\\App\\a.txt");
  Progress progress(env, 100);
  InstallLog log =
      FilesLog(3, LoggedFiles(L"C:\\App\\{a.txt, kept.txt:K, missing.txt, beyond.txt}"));
  log.RegKeyCount = 2;
  log.RegKeys = LoggedKeys(L"HKLM\\A\\{, B\\C\\}");
  const RemovalPlan plan = PlanRemoval(log);
  RemoveRegistryKeys(env, plan, &progress);
  EXPECT_EQ(progress.done(), 3u);  // A\B\C\, the added A\B\ and A\ itself
  std::int16_t all_removed = kFalse;
  RemoveFiles(env, plan, all_removed, OwnFiles(), &progress);
  EXPECT_EQ(progress.done(), 5u);
}

}  // namespace
}  // namespace uninstall
