#include "tools/plan_report.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "installlog/format.h"
#include "paths/variables.h"
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

UninstallPlan::UninstallPlan(InstallLog log_to_plan, const PlanFolders& folders)
    : log(std::move(log_to_plan)) {
  const PathFields fields{folders.WinDir, folders.WinSysDir, folders.AppDir,
                          folders.AppDir + std::wstring(kLogFileName)};
  ExpandAllPaths(fields, log.FileCount, log.Files, log.LinkCount, log.Links, log.AppInfo);
  removal = PlanRemoval(log);
}

Json PlanToJson(const UninstallPlan& plan) {
  const RemovalPlan& removal = plan.removal;
  Json registry = Json::array();
  Json actions = Json::array();
  std::wstring path;
  for (const KeyStep& key : removal.registry) {
    KeyPathForDeletion(key.path, path);
    registry.push_back(Json::array({key.root, ToUtf8(path)}));
    actions.push_back(NamesOf(key.action).json);
  }
  Json files = Json::array();
  for (const std::wstring_view file : removal.files) files.push_back(ToUtf8(file));
  Json directories = Json::array();
  for (const DirectoryVisit& visit : removal.directories) directories.push_back(ToUtf8(visit.dir));
  Json links = Json::array();
  for (const ShellLinkCall& call : removal.links) {
    links.push_back(Json::array({ToUtf8(call.folderName), ToUtf8(call.linkName)}));
  }
  const AppInfo& app = plan.log.AppInfo;
  Json out = Json::object();
  out["app"] = {{"AppPath", ToUtf8(app.AppPath)},
                {"AppName", ToUtf8(app.AppName)},
                {"MainPath", ToUtf8(app.MainPath)},
                {"GroupName", ToUtf8(app.GroupName)}};
  out["registry"] = std::move(registry);
  out["registryActions"] = std::move(actions);
  out["files"] = std::move(files);
  out["directories"] = std::move(directories);
  out["mainDirectory"] = ToUtf8(removal.mainDirectory);
  out["links"] = std::move(links);
  out["group"] = ToUtf8(removal.group);
  return out;
}

void WritePlanText(std::ostream& out, const UninstallPlan& plan, const PlanFolders& folders) {
  const AppInfo& app = plan.log.AppInfo;
  const RemovalPlan& removal = plan.removal;
  out << "folders: WinDir " << QuoteText(folders.WinDir) << ", WinSysDir "
      << QuoteText(folders.WinSysDir) << ", AppDir " << QuoteText(folders.AppDir) << "\n";
  out << "\napplication, paths expanded:\n"
      << "  AppPath    " << QuoteText(app.AppPath) << "\n"
      << "  AppName    " << QuoteText(app.AppName) << "\n"
      << "  MainPath   " << QuoteText(app.MainPath) << "\n"
      << "  GroupName  " << QuoteText(app.GroupName) << "\n";

  const auto counted = [&](KeyAction action) {
    return std::count_if(removal.registry.begin(), removal.registry.end(),
                         [action](const KeyStep& key) { return key.action == action; });
  };
  const auto deleted = counted(KeyAction::kDeleteListed) + counted(KeyAction::kDeleteBetween);
  const auto last = counted(KeyAction::kDeleteAtEnd);
  const std::size_t keys = removal.registry.size();
  Heading(out, "1. registry keys", keys,
          "in this order: " + std::to_string(deleted) + " deleted, " +
              std::to_string(keys - static_cast<std::size_t>(deleted + last)) + " kept, " +
              std::to_string(last) +
              " deleted last (after the links, once every file is gone); each key only once it "
              "has no subkeys");
  std::wstring path;
  for (const KeyStep& key : removal.registry) {
    const std::string_view mark = NamesOf(key.action).mark;
    KeyPathForDeletion(key.path, path);
    out << "  " << mark << std::string(kMarkWidth - mark.size(), ' ') << RootName(key.root) << " "
        << QuoteText(path) << "\n";
  }

  Heading(out, "2. files", removal.files.size(),
          "deleted where present, with Retry or Cancel for one that resists");
  for (const std::wstring_view file : removal.files) out << "  " << QuoteText(file) << "\n";

  Heading(out, "3. directories", removal.directories.size(),
          "visited in this order, each removed where present and empty");
  for (const DirectoryVisit& visit : removal.directories) {
    out << "  " << QuoteText(visit.dir) << "\n";
  }
  out << "  main directory " << QuoteText(removal.mainDirectory)
      << ": emptied of leftover files when it is visited, unless the system or the user owns it\n";

  Heading(out, "4. links", removal.links.size(),
          "removed in this order (folder relative to the Start menu's Programs, link name)");
  for (const ShellLinkCall& call : removal.links) {
    out << "  " << QuoteText(call.folderName) << " " << QuoteText(call.linkName) << "\n";
  }
  if (removal.group.empty()) {
    out << "  no program group\n";
  } else {
    out << "  program group " << QuoteText(removal.group) << " removed if empty\n";
  }
}

}  // namespace uninstall::tools
