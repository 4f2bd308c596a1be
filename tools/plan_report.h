// What `installlog plan` shows: what the uninstaller would do with a log,
// worked out by the stages' own planning code, touching nothing.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "installlog/records.h"
#include "removal/plan.h"
#include "removal/registry_keys.h"
#include "removal/shortcuts.h"
#include "tools/manifest.h"

namespace uninstall::tools {

// The folders the path variables stand for, each ending in "\". The log's
// path is taken as AppDir + "Uninstall.dat", where the uninstaller finds it.
struct PlanFolders {
  std::wstring WinDir;
  std::wstring WinSysDir;
  std::wstring AppDir;
};

struct UninstallPlan {
  AppInfo app;                             // after the expansion of its paths
  std::vector<PlanItem> registry;          // the keys in deletion order, each ending in "\"
  std::vector<KeyAction> registryActions;  // what the stages do with each key of `registry`
  std::vector<std::wstring> files;  // TargetPath of each entry the file stage takes, log order
  std::vector<std::wstring> directories;  // the directory stage's visits, in order, duplicates kept
  std::wstring mainDirectory;             // GetDirectory of the expanded MainPath
  std::vector<ShellLinkCall> links;       // the link stage's calls, the desktop link first
  std::wstring group;                     // the program group, GroupName
};

// Expands the paths of `log` as the uninstaller does (ExpandAllPaths with
// `folders`) and asks each stage for its list: RegistryKeyDeletionOrder,
// FileStageTakesEntry, DirectoryVisitOrder and ShellLinkCalls. Existence on
// this machine is not looked at.
[[nodiscard]] UninstallPlan PlanUninstall(InstallLog log, const PlanFolders& folders);

// {"app": {"AppPath": ..., "AppName": ..., "MainPath": ..., "GroupName": ...},
//  "registry": [[ROOT, "KEY\\"], ...],
//  "registryActions": ["delete-listed" | "delete-between" | "keep-above" |
//                      "keep-shared" | "delete-last", ...],
//  "files": ["PATH", ...],
//  "directories": ["DIR\\", ...], "mainDirectory": "DIR\\",
//  "links": [["..\\..\\Desktop", "APPNAME"], ["FOLDER", "LINKNAME"], ...],
//  "group": "GROUPNAME"}
// ROOT is the signed 32-bit value the log stores; "registry" holds every key
// of the completion and ordering, and "registryActions" what happens to the
// key at the same position (KeyAction): deleted as listed or as lying
// between listed keys, kept as lying above them or shared, or deleted last
// as the uninstall entry, after a run that removed every file.
[[nodiscard]] Json PlanToJson(const UninstallPlan& plan);

// The plan for a reader: the folders used, the expanded AppInfo, then each
// stage's list in the order the uninstaller runs the stages.
void WritePlanText(std::ostream& out, const UninstallPlan& plan, const PlanFolders& folders);

}  // namespace uninstall::tools
