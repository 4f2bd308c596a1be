// What `installlog plan` shows: what the uninstaller would do with a log,
// worked out by the stages' own planning code, touching nothing.
#pragma once

#include <ostream>
#include <string>

#include "installlog/records.h"
#include "removal/removal_plan.h"
#include "tools/manifest.h"

namespace uninstall::tools {

// The folders the path variables stand for, each ending in "\". The log's
// path is taken as AppDir + "Uninstall.dat", where the uninstaller finds it.
struct PlanFolders {
  std::wstring WinDir;
  std::wstring WinSysDir;
  std::wstring AppDir;
};

// What the uninstaller would do with a log: its paths expanded as the
// uninstaller expands them (ExpandAllPaths with `folders`), then the
// uninstaller's own plan of the removal. Existence on this machine is not
// looked at. The plan views the log it holds, so neither is copied or
// moved.
struct UninstallPlan {
  UninstallPlan(InstallLog log, const PlanFolders& folders);
  UninstallPlan(const UninstallPlan&) = delete;
  UninstallPlan& operator=(const UninstallPlan&) = delete;

  InstallLog log;  // after the expansion of its paths
  RemovalPlan removal;
};

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
