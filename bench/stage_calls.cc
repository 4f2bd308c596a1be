// stage_calls: where the system calls of an uninstall go, stage by stage
// and by kind of call.
//
//   stage_calls [FILES...]     (host) on the fake machine, with the install
//                              that gen_logs install makes of FILES files
//                              (default 1000 10000): call counts
//   stage_calls.exe APPDIR     (Windows) on the install in APPDIR, which
//                              holds Uninstall.dat: counts and times, with
//                              the real progress window
//
// The uninstall runs as Uninstall.exe runs it, each step counted apart,
// with the confirmation answered Yes and no final pause. On Windows it
// really removes the install. Prints, per stage, the calls of each kind
// (with their time on Windows) and the calls per logged file.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/mfrm.h"
#include "bench/counting_env.h"

#ifdef _WIN32
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "platform/win32/progress_window.h"
#include "platform/win32/win32_env.h"
#else
#include <algorithm>
#include <cstdlib>

#include "bench/log_shapes.h"
#include "installlog/writer.h"
#include "paths/shell_registration.h"
#include "removal/removal_plan.h"
#include "support/fake_env.h"
#endif

namespace uninstall::bench {
namespace {

double Ms(std::chrono::nanoseconds time) { return static_cast<double>(time.count()) / 1e6; }

// Runs the uninstall of the install beside `executable` on `env`, stage by
// stage, and prints where its calls went; `timed`: with their times.
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

#ifndef _WIN32

constexpr std::wstring_view kAppDir = L"C:\\Program Files\\Bench Application\\";
constexpr std::wstring_view kPrograms = L"C:\\users\\bench\\Start Menu\\Programs\\";
constexpr std::wstring_view kDesktop = L"C:\\users\\bench\\Desktop\\";

// The fake machine with the install gen_logs install makes of `count`
// files: its files, keys, links in the program group and on the desktop,
// and its log.
void Install(FakeEnv& env, int count) {
  env.set_executable_path(std::wstring(kAppDir) + L"Uninstall.exe");
  env.AddFile(std::wstring(kAppDir) + L"Uninstall.exe");
  env.SetSpecialFolder(csidl::kPrograms, kPrograms);
  env.SetSpecialFolder(csidl::kDesktopDirectory, kDesktop);
  // The known folders a Wine prefix reports.
  SystemFolderReport report;
  for (const wchar_t* folder :
       {L"C:\\users\\bench", L"C:\\users\\bench\\Desktop", L"C:\\users\\bench\\Documents",
        L"C:\\users\\bench\\Music", L"C:\\users\\bench\\Pictures", L"C:\\users\\bench\\Videos",
        L"C:\\users\\bench\\Downloads", L"C:\\users\\bench\\AppData\\Roaming",
        L"C:\\users\\bench\\AppData\\Local", L"C:\\users\\bench\\Start Menu",
        L"C:\\users\\bench\\Start Menu\\Programs", L"C:\\users\\Public", L"C:\\ProgramData",
        L"C:\\WINDOWS\\Fonts", L"C:\\Program Files", L"C:\\Program Files\\Common Files"}) {
    report.known_folders.emplace_back(folder);
  }
  report.program_files = {L"C:\\Program Files", L"C:\\Program Files\\Common Files"};
  report.temp = L"C:\\users\\bench\\Temp\\";
  report.drive_roots = {L"C:\\"};
  env.set_system_folders(report);
  env.set_temp_dir(report.temp);
  env.AddDir(report.temp);

  TreeShape shape;
  shape.files = count;
  shape.keys = count / 10;
  shape.links = std::max(8, count / 100);
  InstallLog log = TreeLog(shape);
  env.AddFile(std::wstring(kAppDir) + std::wstring(kLogFileName),
              SerializeInstallFile(log.AppInfo, log.FileCount, log.Files, log.RegKeyCount,
                                   log.RegKeys, log.LinkCount, log.Links));
  for (const RegKeyEntry& key : log.RegKeys) env.AddRegKey(key.RootKey, key.SubKey);
  const PathFields fields{L"C:\\WINDOWS\\", L"C:\\WINDOWS\\SYSTEM32\\", std::wstring(kAppDir),
                          std::wstring(kAppDir) + std::wstring(kLogFileName)};
  ExpandAllPaths(fields, log.FileCount, log.Files, log.LinkCount, log.Links, log.AppInfo);
  for (const FileEntry& file : log.Files) env.AddFile(file.TargetPath);
  for (const ShellLinkCall& call : PlanRemoval(log).links) {
    const std::wstring folder = call.folderName == kDesktopLinkFolder
                                    ? std::wstring(kDesktop)
                                    : std::wstring(kPrograms) + call.folderName + L"\\";
    env.AddFile(folder + call.linkName + L".lnk");
  }
}

int Main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {1000, 10000};
  for (const int size : sizes) {
    if (size < 1 || size > kMaxEntries) {
      std::fprintf(stderr, "usage: stage_calls [FILES...] (1 to %d each)\n", kMaxEntries);
      return 2;
    }
    FakeEnv machine;
    Install(machine, size);
    Profile(machine, std::wstring(kAppDir) + L"Uninstall.exe", false);
    std::printf("left on the fake machine:\n%ls\n\n", machine.Tree().c_str());
  }
  return 0;
}

#endif

}  // namespace
}  // namespace uninstall::bench

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: stage_calls.exe APPDIR (the folder that holds Uninstall.dat)\n", stderr);
    return 2;
  }
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  static_cast<void>(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  uninstall::win32::ProgressWindow window(GetModuleHandleW(nullptr), 0, L"Uninstall",
                                          L"Please wait, uninstalling...",
                                          [](bool& cancel) { cancel = true; });
  uninstall::win32::Win32Env machine(&window);
  std::wstring app = argv[1];
  if (app.empty() || app.back() != L'\\') app.push_back(L'\\');
  machine.SetWindowShown(true);
  uninstall::bench::Profile(machine, app + L"Uninstall.exe", true);
  machine.SetWindowShown(false);
  CoUninitialize();
  return 0;
}
#else
int main(int argc, char** argv) { return uninstall::bench::Main(argc, argv); }
#endif
