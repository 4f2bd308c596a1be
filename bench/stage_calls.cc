// stage_calls: where the system calls of an uninstall go, stage by stage
// and by kind of call, on the fake machine.
//
//   stage_calls [FILES...]
//
// Makes the install that gen_logs install makes of FILES files (default
// 1000 10000) on the fake machine, uninstalls it and prints the calls of
// each stage by kind and the calls per logged file, then what is left.
// stage_calls.exe (stage_calls_win32.cc) does the same on Windows, timed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/mfrm.h"
#include "bench/log_shapes.h"
#include "bench/stage_profile.h"
#include "installlog/writer.h"
#include "paths/shell_registration.h"
#include "removal/removal_plan.h"
#include "tests/support/fake_env.h"

namespace uninstall::bench {
namespace {

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
  std::vector<std::int64_t> sizes;
  for (int i = 1; i < argc; ++i) {
    char* end = nullptr;
    sizes.push_back(std::strtoll(argv[i], &end, 10));
    if (*end != '\0') sizes.back() = 0;
  }
  if (sizes.empty()) sizes = {1000, 10000};
  for (const std::int64_t size : sizes) {
    if (size < 1 || size > kMaxEntries) {
      static_cast<void>(
          std::fprintf(stderr, "usage: stage_calls [FILES...] (1 to %d each)\n", kMaxEntries));
      return 2;
    }
    FakeEnv machine;
    Install(machine, static_cast<int>(size));
    Profile(machine, std::wstring(kAppDir) + L"Uninstall.exe", false);
    std::printf("left on the fake machine:\n%ls\n\n", machine.Tree().c_str());
  }
  return 0;
}

}  // namespace
}  // namespace uninstall::bench

int main(int argc, char** argv) { return uninstall::bench::Main(argc, argv); }
