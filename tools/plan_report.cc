#include "tools/plan_report.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "paths/split.h"
#include "paths/variables.h"
#include "removal/directories.h"
#include "removal/files.h"
#include "removal/registry_keys.h"
#include "tools/utf8.h"

namespace uninstall::tools {
namespace {

constexpr std::wstring_view kLogFileName = L"Uninstall.dat";

std::string RootName(std::int32_t root) {
  if (const auto name = NameOfRootKey(root)) return std::string(*name);
  return std::to_string(root);
}

// The name of an action in the JSON plan, and its mark in the text plan,
// padded to kMarkWidth.
constexpr std::size_t kMarkWidth = 25;
struct ActionNames {
  std::string_view json;
  std::string_view mark;
};
ActionNames NamesOf(KeyAction action) {
  switch (action) {
    case KeyAction::kDeleteListed:
      return {"delete-listed", "delete  listed"};
    case KeyAction::kDeleteBetween:
      return {"delete-between", "delete  between listed"};
    case KeyAction::kKeepAbove:
      return {"keep-above", "keep    above listed"};
    case KeyAction::kKeepShared:
      return {"keep-shared", "keep    shared"};
    case KeyAction::kDeleteAtEnd:
      return {"delete-last", "last    uninstall entry"};
  }
  return {"", ""};
}

void Heading(std::ostream& out, std::string_view what, std::size_t count, std::string_view how) {
  out << "\n" << what << " (" << count << "), " << how << ":\n";
}

}  // namespace

UninstallPlan PlanUninstall(InstallLog log, const PlanFolders& folders) {
  const PathFields fields{folders.WinDir, folders.WinSysDir, folders.AppDir,
                          folders.AppDir + std::wstring(kLogFileName)};
  ExpandAllPaths(fields, log.FileCount, log.Files, log.LinkCount, log.Links, log.AppInfo);

  UninstallPlan plan;
  plan.registry = RegistryKeyDeletionOrder(log.RegKeyCount, log.RegKeys);
  plan.registryActions = RegistryKeyActions(log.RegKeyCount, log.RegKeys,
                                            RegistryKeyDeletionPlan(log.RegKeyCount, log.RegKeys));
  for (const FileEntry& file : EntriesInUse(log.FileCount, log.Files)) {
    if (FileStageTakesEntry(file)) plan.files.push_back(file.TargetPath);
  }
  plan.directories = DirectoryVisitOrder(log.FileCount, log.Files);
  plan.mainDirectory = GetDirectory(log.AppInfo.MainPath);
  plan.links = ShellLinkCalls(log.LinkCount, log.Links, log.AppInfo);
  plan.group = log.AppInfo.GroupName;
  plan.app = std::move(log.AppInfo);
  return plan;
}

Json PlanToJson(const UninstallPlan& plan) {
  Json registry = Json::array();
  for (const PlanItem& key : plan.registry) {
    registry.push_back(Json::array({key.root, ToUtf8(key.path)}));
  }
  Json actions = Json::array();
  for (const KeyAction action : plan.registryActions) actions.push_back(NamesOf(action).json);
  Json files = Json::array();
  for (const std::wstring& file : plan.files) files.push_back(ToUtf8(file));
  Json directories = Json::array();
  for (const std::wstring& dir : plan.directories) directories.push_back(ToUtf8(dir));
  Json links = Json::array();
  for (const ShellLinkCall& call : plan.links) {
    links.push_back(Json::array({ToUtf8(call.folderName), ToUtf8(call.linkName)}));
  }

  Json out = Json::object();
  out["app"] = {{"AppPath", ToUtf8(plan.app.AppPath)},
                {"AppName", ToUtf8(plan.app.AppName)},
                {"MainPath", ToUtf8(plan.app.MainPath)},
                {"GroupName", ToUtf8(plan.app.GroupName)}};
  out["registry"] = std::move(registry);
  out["registryActions"] = std::move(actions);
  out["files"] = std::move(files);
  out["directories"] = std::move(directories);
  out["mainDirectory"] = ToUtf8(plan.mainDirectory);
  out["links"] = std::move(links);
  out["group"] = ToUtf8(plan.group);
  return out;
}

void WritePlanText(std::ostream& out, const UninstallPlan& plan, const PlanFolders& folders) {
  out << "folders: WinDir " << QuoteText(folders.WinDir) << ", WinSysDir "
      << QuoteText(folders.WinSysDir) << ", AppDir " << QuoteText(folders.AppDir) << "\n";
  out << "\napplication, paths expanded:\n"
      << "  AppPath    " << QuoteText(plan.app.AppPath) << "\n"
      << "  AppName    " << QuoteText(plan.app.AppName) << "\n"
      << "  MainPath   " << QuoteText(plan.app.MainPath) << "\n"
      << "  GroupName  " << QuoteText(plan.app.GroupName) << "\n";

  const auto counted = [&](KeyAction action) {
    return std::count(plan.registryActions.begin(), plan.registryActions.end(), action);
  };
  const auto deleted = counted(KeyAction::kDeleteListed) + counted(KeyAction::kDeleteBetween);
  const auto last = counted(KeyAction::kDeleteAtEnd);
  Heading(out, "1. registry keys", plan.registry.size(),
          "in this order: " + std::to_string(deleted) + " deleted, " +
              std::to_string(plan.registry.size() - static_cast<std::size_t>(deleted + last)) +
              " kept, " + std::to_string(last) +
              " deleted last (after the links, once every file is gone); each key only once it "
              "has no subkeys");
  for (std::size_t i = 0; i < plan.registry.size(); ++i) {
    const PlanItem& key = plan.registry[i];
    const std::string_view mark = NamesOf(plan.registryActions.at(i)).mark;
    out << "  " << mark << std::string(kMarkWidth - mark.size(), ' ') << RootName(key.root) << " "
        << QuoteText(key.path) << "\n";
  }

  Heading(out, "2. files", plan.files.size(),
          "deleted where present, with Retry or Cancel for one that resists");
  for (const std::wstring& file : plan.files) out << "  " << QuoteText(file) << "\n";

  Heading(out, "3. directories", plan.directories.size(),
          "visited in this order, each removed where present and empty");
  for (const std::wstring& dir : plan.directories) out << "  " << QuoteText(dir) << "\n";
  out << "  main directory " << QuoteText(plan.mainDirectory)
      << ": emptied of leftover files when it is visited, unless the system or the user owns it\n";

  Heading(out, "4. links", plan.links.size(),
          "removed in this order (folder relative to the Start menu's Programs, link name)");
  for (const ShellLinkCall& call : plan.links) {
    out << "  " << QuoteText(call.folderName) << " " << QuoteText(call.linkName) << "\n";
  }
  if (plan.group.empty()) {
    out << "  no program group\n";
  } else {
    out << "  program group " << QuoteText(plan.group) << " removed if empty\n";
  }
}

}  // namespace uninstall::tools
