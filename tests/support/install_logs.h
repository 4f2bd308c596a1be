// Install logs for the tests. MakeInstallLog sets each count to its list's
// size; the others hold one list whose count is given apart from the list's
// size, since a log's count may say less or more than it holds. A stage
// runs over PlanRemoval of such a log, held in a variable while the plan is
// used.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "installlog/records.h"
#include "tests/support/fake_env.h"

namespace uninstall {

// A log holding exactly these lists, each count set to its list's size. The
// lists must hold at most kMaxEntries entries each.
inline InstallLog MakeInstallLog(::uninstall::AppInfo app, std::vector<FileEntry> files,
                                 std::vector<RegKeyEntry> keys, std::vector<LinkEntry> links) {
  InstallLog log;
  log.AppInfo = std::move(app);
  log.FileCount = static_cast<std::int16_t>(files.size());
  log.Files = std::move(files);
  log.RegKeyCount = static_cast<std::int16_t>(keys.size());
  log.RegKeys = std::move(keys);
  log.LinkCount = static_cast<std::int16_t>(links.size());
  log.Links = std::move(links);
  return log;
}

// The files of a log written as a tree (see FakeEnv::AddTree), in the order
// written: ":K" marks a kept file, ":1" one kept by another non-zero value.
inline std::vector<FileEntry> LoggedFiles(std::wstring_view tree) {
  std::vector<FileEntry> files;
  for (const TreeItem& item : TreeItems(tree)) {
    const int keep = item.marks == L"K" ? kTrue : item.marks == L"1" ? 1 : kFalse;
    files.push_back({L"src", item.path, static_cast<std::int16_t>(keep)});
  }
  return files;
}

inline InstallLog FilesLog(int count, std::vector<FileEntry> files, std::wstring main_path = {}) {
  InstallLog log;
  log.AppInfo.MainPath = std::move(main_path);
  log.FileCount = static_cast<std::int16_t>(count);
  log.Files = std::move(files);
  return log;
}

inline InstallLog KeysLog(int count, std::vector<RegKeyEntry> keys) {
  InstallLog log;
  log.RegKeyCount = static_cast<std::int16_t>(count);
  log.RegKeys = std::move(keys);
  return log;
}

inline InstallLog LinksLog(int count, std::vector<LinkEntry> links, AppInfo app) {
  InstallLog log;
  log.AppInfo = std::move(app);
  log.LinkCount = static_cast<std::int16_t>(count);
  log.Links = std::move(links);
  return log;
}

}  // namespace uninstall
