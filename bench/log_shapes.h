// Generated install logs for the benchmarks and the end-to-end timing: the
// same shapes whether a benchmark builds them in memory or gen_logs writes
// them to disk. Every shape is fixed by its arguments (a seeded generator),
// so two runs measure the same log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "installlog/records.h"

namespace uninstall::bench {

// `count` records of each kind (1 <= count <= kMaxEntries), with paths of
// the lengths real installs have: files and links in a few folders below
// "%currentdir%\", keys three to five levels below the vendor's key.
[[nodiscard]] InstallLog RecordsOfEachKind(int count);

// An install over a tree of folders below the application directory.
struct TreeShape {
  int files = 1000;       // logged files, the main program included
  int files_per_dir = 8;  // about this many files share a folder
  int min_depth = 1;      // folders below the application directory
  int max_depth = 6;      //   for each file's folder
  int branching = 6;      // subfolders to choose from on each level
  int keys = 0;           // logged registry keys, nested like the folders
  int links = 0;          // logged links, all in the program group
  std::uint32_t seed = 1234567;
};

// The log of such an install. Target paths start with "%currentdir%\", the
// main program is "%currentdir%\Bench.exe" (the first file), the group is
// "Bench Application", keys are under HKEY_LOCAL_MACHINE\Software\Bench
// Vendor\Bench Application and HKEY_CLASSES_ROOT\BenchApp.*, links point
// into the application directory.
[[nodiscard]] InstallLog TreeLog(const TreeShape& shape);

// The 32767-file log over a deep tree (6 to 12 levels, about 8 files per
// folder) with 32767 keys as deep and 64 links: the heaviest plan a log can
// ask for.
[[nodiscard]] TreeShape DeepTreeShape();

}  // namespace uninstall::bench
