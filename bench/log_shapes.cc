#include "bench/log_shapes.h"

#include <algorithm>
#include <random>
#include <utility>

#include "installlog/format.h"

namespace uninstall::bench {
namespace {

constexpr wchar_t kVendorKey[] = L"Software\\Bench Vendor\\Bench Application";
constexpr wchar_t kGroup[] = L"Bench Application";

std::wstring Num(int k) { return std::to_wstring(k); }

// A relative path of `depth` folders, each "<prefix>N\" with N below
// `branching`.
std::wstring RandomFolders(std::mt19937& rng, int depth, int branching, const wchar_t* prefix) {
  std::uniform_int_distribution<int> child(0, branching - 1);
  std::wstring dir;
  for (int d = 0; d < depth; ++d) dir += prefix + Num(child(rng)) + L"\\";
  return dir;
}

// `count` folders (fewer distinct ones where random walks meet).
std::vector<std::wstring> RandomTree(std::mt19937& rng, int count, const TreeShape& shape,
                                     const wchar_t* prefix) {
  std::uniform_int_distribution<int> depth(shape.min_depth, shape.max_depth);
  std::vector<std::wstring> dirs;
  dirs.reserve(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k)
    dirs.push_back(RandomFolders(rng, depth(rng), shape.branching, prefix));
  return dirs;
}

void SetCounts(InstallLog& log) {
  log.FileCount = static_cast<std::int16_t>(log.Files.size());
  log.RegKeyCount = static_cast<std::int16_t>(log.RegKeys.size());
  log.LinkCount = static_cast<std::int16_t>(log.Links.size());
}

AppInfo BenchAppInfo() {
  return {L"%currentdir%", L"Bench Application", L"%currentdir%\\Bench.exe", kGroup};
}

}  // namespace

InstallLog RecordsOfEachKind(int count) {
  InstallLog log;
  log.AppInfo = BenchAppInfo();
  for (int k = 0; k < count; ++k) {
    const std::wstring folder = L"Component" + Num(k % 37) + L"\\Part" + Num(k % 11) + L"\\";
    log.Files.push_back({L"A:\\DISK" + Num(1 + k % 9) + L"\\FILE" + Num(k) + L".CA_",
                         L"%currentdir%\\" + folder + L"library_file_" + Num(k) + L".dll",
                         k % 50 == 0 ? kTrue : kFalse});
    log.RegKeys.push_back(
        {regroot::kLocalMachine,
         std::wstring(kVendorKey) + L"\\Settings\\Group" + Num(k % 50) + L"\\Value" + Num(k), L"",
         L""});
    log.Links.push_back({std::wstring(kGroup) + (k % 2 == 0 ? L"" : L"\\Tools"),
                         L"Shortcut number " + Num(k),
                         L"%currentdir%\\" + folder + L"program_" + Num(k) + L".exe"});
  }
  SetCounts(log);
  return log;
}

InstallLog TreeLog(const TreeShape& shape) {
  std::mt19937 rng(shape.seed);
  InstallLog log;
  log.AppInfo = BenchAppInfo();

  const int folders = std::max(1, shape.files / std::max(1, shape.files_per_dir));
  const std::vector<std::wstring> dirs = RandomTree(rng, folders, shape, L"Component");
  std::uniform_int_distribution<std::size_t> pick_dir(0, dirs.size() - 1);
  log.Files.push_back({L"A:\\BENCH.EX_", L"%currentdir%\\Bench.exe", kFalse});
  for (int k = 1; k < shape.files; ++k) {
    log.Files.push_back({L"A:\\FILE" + Num(k) + L".DA_",
                         L"%currentdir%\\" + dirs[pick_dir(rng)] + L"file" + Num(k) + L".dat",
                         kFalse});
  }

  // Three keys in four below the application's key (which is logged first,
  // so that the deletion completes the folders between), the rest as file
  // classes under HKEY_CLASSES_ROOT.
  if (shape.keys > 0) log.RegKeys.push_back({regroot::kLocalMachine, kVendorKey, L"", L""});
  const int key_folders = std::max(1, shape.keys / std::max(1, shape.files_per_dir));
  const std::vector<std::wstring> key_dirs = RandomTree(rng, key_folders, shape, L"Section");
  std::uniform_int_distribution<std::size_t> pick_key_dir(0, key_dirs.size() - 1);
  for (int k = 1; k < shape.keys; ++k) {
    if (k % 4 == 0) {
      log.RegKeys.push_back({regroot::kClassesRoot,
                             L"BenchApp.Document" + Num(k) + L"\\shell\\open\\command", L"", L""});
    } else {
      log.RegKeys.push_back(
          {regroot::kLocalMachine,
           std::wstring(kVendorKey) + L"\\" + key_dirs[pick_key_dir(rng)] + L"Setting" + Num(k),
           L"", L""});
    }
  }

  for (int k = 0; k < shape.links; ++k) {
    log.Links.push_back({kGroup, L"Bench Link " + Num(k), L"%currentdir%\\Bench.exe"});
  }
  SetCounts(log);
  return log;
}

TreeShape DeepTreeShape() {
  TreeShape shape;
  shape.files = kMaxEntries;
  shape.files_per_dir = 8;
  shape.min_depth = 6;
  shape.max_depth = 12;
  shape.branching = 6;
  shape.keys = kMaxEntries;
  shape.links = 64;
  return shape;
}

}  // namespace uninstall::bench
