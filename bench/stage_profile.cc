#include "bench/stage_profile.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

#include "app/mfrm.h"
#include "bench/counting_env.h"

namespace uninstall::bench {
namespace {

double Ms(std::chrono::nanoseconds time) { return static_cast<double>(time.count()) / 1e6; }

}  // namespace

void Profile(Env& machine, const std::wstring& executable, bool timed) {
  CountingEnv env(machine);
  // The program's own path is the install's, not this tool's.
  env.set_executable_path(executable);
  Mfrm form(env);
  std::int16_t allRemoved = kTrue;
  const std::vector<std::pair<const char*, std::function<void()>>> steps = {
      {"start",
       [&] {
         form.InitPaths();
         form.InstallFile_Read(form.LogPath);
       }},
      {"plan",
       [&] {
         ::uninstall::InstallLog& log = form.InstallLog;
         form.ExpandAllPaths(log.FileCount, log.Files, log.LinkCount, log.Links, log.AppInfo);
         form.PlanRemoval();
       }},
      {"registry", [&] { form.RemoveRegistryKeys(); }},
      {"files", [&] { form.RemoveFiles(allRemoved); }},
      {"directories", [&] { form.RemoveDirectories(); }},
      {"links", [&] { form.RemoveShortcuts(); }},
      {"uninstall entry", [&] { form.RemoveUninstallEntry(); }},
      {"self removal", [&] { form.RemoveItself(); }},
  };
  for (const auto& [name, run] : steps) {
    env.BeginStage(name);
    run();
  }
  env.EndStage();

  const double files = std::max<double>(1, form.InstallLog.FileCount);
  std::printf("%d files; %s\n", form.InstallLog.FileCount,
              allRemoved != kFalse ? "every file removed" : "NOT every file removed");
  std::printf("%-16s", "stage");
  for (std::size_t k = 0; k < kCallKinds; ++k) {
    std::printf(" %14s", CallKindName(static_cast<CallKind>(k)));
  }
  std::printf(timed ? " %10s\n" : "\n", "wall ms");
  std::array<CallTally, kCallKinds> total{};
  for (const StageTally& stage : env.stages()) {
    std::printf("%-16s", stage.stage.c_str());
    for (std::size_t k = 0; k < kCallKinds; ++k) {
      const CallTally& tally = stage.kinds[k];
      total[k].calls += tally.calls;
      total[k].time += tally.time;
      if (timed) {
        std::printf(" %6llu %7.1f", static_cast<unsigned long long>(tally.calls), Ms(tally.time));
      } else {
        std::printf(" %14llu", static_cast<unsigned long long>(tally.calls));
      }
    }
    std::printf(timed ? " %10.1f\n" : "\n", Ms(stage.wall));
  }
  std::printf("%-16s", "per file");
  for (const CallTally& tally : total)
    std::printf(" %14.3f", static_cast<double>(tally.calls) / files);
  std::printf("\n");
  if (timed) {
    std::printf("%-16s", "ms per file");
    for (const CallTally& tally : total) std::printf(" %14.4f", Ms(tally.time) / files);
    std::printf("\n");
  }
}

}  // namespace uninstall::bench
