// Install logs for the tests. MakeInstallLog sets each count to its list's
// size; the others hold one list whose count is given apart from the list's
// size, since a log's count may say less or more than it holds. A stage
// runs over PlanRemoval of such a log, held in a variable while the plan is
// used.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
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

// The registry's roots by name, for rows of keys.
inline constexpr std::pair<std::wstring_view, std::int32_t> kRootNames[] = {
    {L"HKCR", static_cast<std::int32_t>(0x80000000u)},
    {L"HKCU", static_cast<std::int32_t>(0x80000001u)},
    {L"HKLM", static_cast<std::int32_t>(0x80000002u)},
    {L"HKU", static_cast<std::int32_t>(0x80000003u)}};

// Keys written as a tree, each led by its root, a name above or a number
// ("0x1234\Key"); "HKLM\" is a root's own key, the empty path.
inline std::vector<RegKeyEntry> LoggedKeys(std::wstring_view tree) {
  std::vector<RegKeyEntry> keys;
  for (const TreeItem& item : TreeItems(tree)) {
    const std::size_t slash = item.path.find(L'\\');
    const std::wstring root = item.path.substr(0, slash);
    const auto* named = std::ranges::find(kRootNames, root, [](const auto& r) { return r.first; });
    keys.push_back({named != std::end(kRootNames)
                        ? named->second
                        : static_cast<std::int32_t>(std::stoll(root, nullptr, 0)),
                    item.path.substr(slash + 1), L"", L""});
  }
  return keys;
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
