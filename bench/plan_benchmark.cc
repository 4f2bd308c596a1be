// The directory stage's planning on large generated installs: the directory
// of every logged file, then its completion and order. The install is a deep tree
// (files 6 to 12 levels below the application directory) whose intermediate
// directories hold no file of their own, so the completion has thousands of
// them to add; one file in the application directory itself makes it the
// ancestor of everything. BM_WholePlan times everything that is planned
// before the first deletion, on the deep-tree log that gen_logs writes.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bench/log_shapes.h"
#include "paths/split.h"
#include "paths/variables.h"
#include "removal/order.h"
#include "removal/removal_plan.h"
#include "tests/support/plan_reference.h"

namespace uninstall {
namespace {

constexpr wchar_t kAppDir[] = L"C:\\Program Files\\Big Application\\";

// files: how many target paths; leaves: how many directories below the
// application directory hold them (fewer when the random walks meet), each
// min_depth to max_depth levels down; branching: subdirectories per level.
std::vector<std::wstring> GenerateInstall(int files, int leaves, int min_depth, int max_depth,
                                          int branching) {
  std::mt19937 rng(1234567);
  std::uniform_int_distribution<int> depth(min_depth, max_depth);
  std::uniform_int_distribution<int> child(0, branching - 1);
  std::vector<std::wstring> leaf_dirs;
  for (int k = 0; k < leaves; ++k) {
    std::wstring dir = kAppDir;
    for (int d = depth(rng); d > 0; --d) dir += L"Component" + std::to_wstring(child(rng)) + L"\\";
    leaf_dirs.push_back(std::move(dir));
  }
  std::uniform_int_distribution<std::size_t> pick(0, leaf_dirs.size() - 1);
  std::vector<std::wstring> targets{std::wstring(kAppDir) + L"Main.exe"};
  for (int k = 1; k < files; ++k) {
    targets.push_back(leaf_dirs[pick(rng)] + L"file" + std::to_wstring(k) + L".dat");
  }
  return targets;
}

// The minor page faults of this process so far.
std::int64_t MinorFaults() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return usage.ru_minflt;
}

std::vector<PlanItem> DirectoriesOf(const std::vector<std::wstring>& targets) {
  std::vector<PlanItem> items;
  items.reserve(targets.size());
  for (const std::wstring& target : targets) items.push_back({0, GetDirectory(target)});
  return items;
}

// The plan of a log of files only: mostly the directory stage's visits,
// over views of the logged paths.
void BM_DirectoryStagePlan(benchmark::State& state) {
  const auto files = static_cast<int>(state.range(0));
  const auto per_directory = static_cast<int>(state.range(1));
  InstallLog log;
  for (std::wstring& target : GenerateInstall(files, files / per_directory, 6, 12, 6)) {
    log.Files.push_back({L"", std::move(target), kFalse});
  }
  log.FileCount = static_cast<std::int16_t>(log.Files.size());
  std::size_t planned = 0;
  for (auto _ : state) {
    static_cast<void>(_);
    const RemovalPlan plan = PlanRemoval(log);
    planned = plan.directories.size();
    benchmark::DoNotOptimize(plan.directories.data());
  }
  state.counters["added"] = static_cast<double>(planned - log.Files.size());
}
// A full log and smaller ones, which the completion fills with thousands of
// directories (past the entry limit of a log for the full one); with about 8
// files per directory, or nearly one directory per file.
BENCHMARK(BM_DirectoryStagePlan)
    ->ArgNames({"files", "per_dir"})
    ->Args({32767, 8})
    ->Args({24000, 8})
    ->Args({16000, 8})
    ->Args({32767, 1})
    ->Args({20000, 1})
    ->Args({8000, 1})
    ->Unit(benchmark::kMillisecond);

// The step-by-step procedure against PlanRemovalOrder on the same lists:
// both are timed in each iteration and the ratio is reported. The tree is
// shallower here (3 to 6 levels), so that only a few hundred directories are
// missing: the step-by-step procedure makes a pass over the whole list, each
// entry compared with every other, for each one.
void BM_StepByStepOverFast(benchmark::State& state) {
  const auto files = static_cast<int>(state.range(0));
  const std::vector<PlanItem> items = DirectoriesOf(GenerateInstall(files, files / 8, 3, 6, 6));
  using Clock = std::chrono::steady_clock;
  Clock::duration reference{};
  Clock::duration fast{};
  std::size_t planned = 0;
  for (auto _ : state) {
    static_cast<void>(_);
    const auto t0 = Clock::now();
    std::vector<PlanItem> expected = ReferencePlanRemovalOrder(items);
    const auto t1 = Clock::now();
    std::vector<PlanItem> plan = PlanRemovalOrder(items);
    const auto t2 = Clock::now();
    if (plan != expected) state.SkipWithError("plans differ");
    planned = plan.size();
    reference += t1 - t0;
    fast += t2 - t1;
  }
  const auto ms = [&](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count() /
           static_cast<double>(state.iterations());
  };
  state.counters["added"] = static_cast<double>(planned - items.size());
  state.counters["step_ms"] = ms(reference);
  state.counters["fast_ms"] = ms(fast);
  state.counters["ratio"] = ms(reference) / ms(fast);
}
// The reference at 4,000 files takes about 20 s an iteration; the smoke run
// in CI filters the two larger sizes out.
BENCHMARK(BM_StepByStepOverFast)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);

// Everything the uninstall plans once the user has confirmed: the expansion
// of every path, the order of the key deletions, the directory visits and
// the link calls, as the stages plan them (over views of the log's paths),
// on the 32767-file log over a deep tree (32767 keys as deep, 64 links). The
// copy of the log that the expansion rewrites is not timed. The expanded
// paths are new strings, so each iteration touches fresh memory, as the one
// run of the uninstall does; the counter page_faults gives the minor faults
// per iteration, which cost much more in some virtual machines than others.
void BM_WholePlan(benchmark::State& state) {
  const InstallLog generated = bench::TreeLog(bench::DeepTreeShape());
  const PathFields fields{L"C:\\WINDOWS\\", L"C:\\WINDOWS\\system32\\",
                          L"C:\\Program Files\\Bench Application\\",
                          L"C:\\Program Files\\Bench Application\\Uninstall.dat"};
  std::size_t keys = 0;
  std::size_t dirs = 0;
  std::int64_t faults = 0;
  for (auto _ : state) {
    static_cast<void>(_);
    state.PauseTiming();
    InstallLog log = generated;
    state.ResumeTiming();
    const std::int64_t faults_before = MinorFaults();
    ExpandAllPaths(fields, log.FileCount, log.Files, log.LinkCount, log.Links, log.AppInfo);
    const RemovalPlan plan = PlanRemoval(log);
    benchmark::DoNotOptimize(plan.links.data());
    keys = plan.registry.size();
    dirs = plan.directories.size();
    faults += MinorFaults() - faults_before;
    state.PauseTiming();
    log = InstallLog{};
    state.ResumeTiming();
  }
  state.counters["files"] = static_cast<double>(generated.FileCount);
  state.counters["key_deletions"] = static_cast<double>(keys);
  state.counters["dir_visits"] = static_cast<double>(dirs);
  state.counters["page_faults"] =
      benchmark::Counter(static_cast<double>(faults), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_WholePlan)->Unit(benchmark::kMillisecond);

// The three parts of BM_WholePlan one by one, on the same log: where the
// time of the whole goes.
void BM_WholePlanPart(benchmark::State& state) {
  InstallLog log = bench::TreeLog(bench::DeepTreeShape());
  const PathFields fields{L"C:\\WINDOWS\\", L"C:\\WINDOWS\\system32\\",
                          L"C:\\Program Files\\Bench Application\\",
                          L"C:\\Program Files\\Bench Application\\Uninstall.dat"};
  const InstallLog generated = log;
  ExpandAllPaths(fields, log.FileCount, log.Files, log.LinkCount, log.Links, log.AppInfo);
  // The expanded log with only its keys, and with only its files.
  InstallLog keys_only = log;
  keys_only.FileCount = keys_only.LinkCount = 0;
  InstallLog files_only = log;
  files_only.RegKeyCount = files_only.LinkCount = 0;
  for (auto _ : state) {
    static_cast<void>(_);
    switch (state.range(0)) {
      case 0: {
        state.PauseTiming();
        log = InstallLog{};
        log = generated;  // fresh strings, as the reader gives them
        state.ResumeTiming();
        ExpandAllPaths(fields, log.FileCount, log.Files, log.LinkCount, log.Links, log.AppInfo);
        benchmark::DoNotOptimize(log.Files.data());
        break;
      }
      case 1:
        // The order and what the stage does with each key.
        benchmark::DoNotOptimize(PlanRemoval(keys_only).registry.data());
        break;
      default:
        benchmark::DoNotOptimize(PlanRemoval(files_only).directories.data());
        break;
    }
  }
  static constexpr const char* kParts[] = {"expansion", "registry plan", "file and directory plan"};
  state.SetLabel(kParts[std::min<std::int64_t>(state.range(0), 2)]);
}
BENCHMARK(BM_WholePlanPart)->ArgName("part")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace uninstall
