// Mfrm: the program's single window and the object that runs the uninstall.
//
// It owns, for the life of the process, the path fields, the install log and
// the hidden file listing File1. Form_Load is the only entry into the
// program's own logic: it fills the path fields, runs the uninstall and
// returns, after which the process ends. Form_Unload refuses every attempt of
// the user to close the window.
//
// The uninstaller's own executable and its log are never deleted by the file
// stage, whatever the log says: they stay until the run is complete, so that
// a run that ends half-way (a crash, a power cut, Task Manager) can be
// started again and finish. After a run whose final message is "Application
// has been removed successfully." they go, with the application's folder
// when that leaves it empty (app/self_removal.h); after any other run both
// stay.
//
// The window itself (Image1, Label1) lives in the platform layer; Mfrm
// reaches it only through Env::SetWindowShown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "installlog/records.h"
#include "paths/folder_guard.h"
#include "paths/variables.h"
#include "platform/env.h"
#include "removal/file_listing.h"
#include "removal/files.h"
#include "removal/progress.h"
#include "removal/removal_plan.h"

namespace uninstall {

inline constexpr std::wstring_view kLogFileName = L"Uninstall.dat";
inline constexpr std::wstring_view kWindowTitle = L"Uninstall";
inline constexpr std::wstring_view kLabelText = L"Please wait, uninstalling...";
// The question before an uninstall, and the report of a complete one: what
// installlog verify answers too.
inline constexpr std::wstring_view kRemovedText = L"Application has been removed successfully.";
[[nodiscard]] std::wstring ConfirmationText(std::wstring_view app_name);

class Mfrm {
 public:
  explicit Mfrm(Env& env) : env_(env), File1(env) {}

  // Start-up: InitPaths, then RunUninstall. Errors that nothing traps
  // (FatalError) leave it; the entry point reports them.
  void Form_Load();
  // The user tries to close the window: always refused.
  static void Form_Unload(bool& Cancel) { Cancel = true; }

  void InitPaths();
  void RunUninstall();

  // The methods the flow runs, each over the form's own fields: the log is
  // read, its paths expanded, the removal planned, and the stages execute
  // the plan.
  void InstallFile_Read(std::wstring_view path);
  void ExpandAllPaths(std::int16_t fileCount, std::vector<FileEntry>& files, std::int16_t linkCount,
                      std::vector<LinkEntry>& links, ::uninstall::AppInfo& appInfo);
  void PlanRemoval();
  void RemoveRegistryKeys();
  void RemoveFiles(std::int16_t& allRemoved);
  void RemoveDirectories();
  void RemoveShortcuts();
  // The keys of the application's uninstall entry, which RemoveRegistryKeys
  // leaves: run after the link stage, when every file is gone.
  void RemoveUninstallEntry();
  // After a complete run: the uninstaller's own log and executable go, and
  // its folder with them when that leaves it empty.
  void RemoveItself();

  // Path fields, each directory with a trailing "\".
  std::wstring WinDir;
  std::wstring WinSysDir;
  std::wstring AppDir;
  std::wstring LogPath;

  ::uninstall::InstallLog InstallLog;

 private:
  [[nodiscard]] PathFields Fields() const { return {WinDir, WinSysDir, AppDir, LogPath}; }
  // The folders this machine guards, with AppDir as the application's own;
  // made at its first use, once the path fields are filled.
  FolderGuard& Guard();
  // The uninstaller's executable and log, which no stage deletes.
  const OwnFiles& Own();
  [[nodiscard]] Progress* progress() { return progress_ ? &*progress_ : nullptr; }
  // Shows on the bar how far the work has come, at the end of a stage.
  void StageDone();

  Env& env_;
  std::optional<FolderGuard> guard_;
  std::optional<OwnFiles> own_;
  std::optional<Progress> progress_;
  std::wstring executable_;  // the running executable, as InitPaths found it
  RemovalPlan plan_;         // made once the paths are expanded; views InstallLog
  bool log_whole_ = false;   // the log had its magic and no record cut short

 public:
  FileListing File1;
};

}  // namespace uninstall
