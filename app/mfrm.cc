#include "app/mfrm.h"

#include <algorithm>

#include "app/self_removal.h"
#include "installlog/reader.h"
#include "paths/shell_registration.h"
#include "paths/split.h"
#include "platform/dir_search.h"
#include "platform/fatal_error.h"
#include "removal/directories.h"
#include "removal/files.h"
#include "removal/registry_keys.h"
#include "removal/shortcuts.h"

namespace uninstall {
namespace {

constexpr std::wstring_view kLogMissingText =
    L"Sorry, uninstallling is not possible as 'Uninstall.dat' was not found in the current "
    L"directory. Try to reinstall the target application and then start uninstall again.";
constexpr std::wstring_view kNotAllRemovedText =
    L"Uninstalling finished, not all files have been removed.";
constexpr std::uint32_t kFinalPauseMs = 2000;

}  // namespace

std::wstring ConfirmationText(std::wstring_view app_name) {
  return L"Do you really want to remove '" + std::wstring(app_name) + L"' from this computer ?";
}

void Mfrm::Form_Load() {
  InitPaths();
  RunUninstall();
}

void Mfrm::InitPaths() {
  WinDir = GFShellRegistration::GetWindowsDir(env_);
  WinSysDir = GFShellRegistration::GetSystemDir(env_);
  const Result<std::wstring> exe = env_.ExecutablePath();
  if (!exe.ok()) {
    throw FatalError(L"The location of the program itself could not be determined.", exe.code());
  }
  executable_ = exe.value();
  AppDir = GetDirectory(exe.value());
  if (AppDir.empty() || AppDir.back() != L'\\') AppDir.push_back(L'\\');
  LogPath = AppDir + std::wstring(kLogFileName);
}

void Mfrm::RunUninstall() {
  // All three tests are made; a failing search is an error nothing traps.
  const bool ends_in_backslash = !LogPath.empty() && LogPath.back() == L'\\';
  const bool empty = LogPath.empty();
  const Probe found = DirSearch(env_, LogPath, kSearchNormal);
  if (found == Probe::kError) {
    const Result<std::uint32_t> again = env_.GetFileAttrs(LogPath);
    throw FatalError(L"The install log '" + LogPath + L"' could not be looked up.",
                     again.ok() ? kErrorSuccess : again.code());
  }
  if (ends_in_backslash || empty || found != Probe::kMatch) {
    (void)env_.ShowMessage(kLogMissingText, kWindowTitle, msgbox::kOkExclamation);
    return;
  }

  env_.SetWindowShown(true);
  InstallFile_Read(LogPath);

  const Result<int> answer = env_.ShowMessage(ConfirmationText(InstallLog.AppInfo.AppName),
                                              std::nullopt, msgbox::kYesNoQuestion);
  if (!answer.ok() || answer.value() != msgbox::kYes) return;

  ExpandAllPaths(InstallLog.FileCount, InstallLog.Files, InstallLog.LinkCount, InstallLog.Links,
                 InstallLog.AppInfo);
  PlanRemoval();
  RemoveRegistryKeys();
  std::int16_t allRemoved = kTrue;
  RemoveFiles(allRemoved);
  const bool every_file_removed = allRemoved != kFalse;
  RemoveDirectories();
  RemoveShortcuts();
  // The entry in "Add or remove programs" goes last, and only once every
  // file is gone: after a run that stopped half-way it is the user's way
  // back to the uninstaller.
  if (every_file_removed) RemoveUninstallEntry();

  progress_->Show();
  env_.SleepMs(kFinalPauseMs);
  env_.SetWindowShown(false);
  (void)env_.ShowMessage(every_file_removed ? kRemovedText : kNotAllRemovedText, kWindowTitle,
                         msgbox::kOkInformation);

  // Once the user has seen that everything is gone, the uninstaller goes
  // too. When a file stayed, it and its log stay for a later run; so does a
  // log that was no valid log or was cut short, which may name more than
  // could be read of it.
  if (every_file_removed && log_whole_) RemoveItself();
}

void Mfrm::RemoveItself() {
  std::vector<std::wstring> visited;
  for (const DirectoryVisit& visit : plan_.directories) visited.emplace_back(visit.dir);
  RemoveOwnFiles(env_, Guard(), {executable_, LogPath, AppDir, WinDir, std::move(visited)});
}

void Mfrm::InstallFile_Read(std::wstring_view path) {
  const ParsedInstallFile parsed = uninstall::InstallFile_Read(env_, path, InstallLog);
  log_whole_ = parsed.magic_ok && !parsed.cut.has_value();
}

void Mfrm::ExpandAllPaths(std::int16_t fileCount, std::vector<FileEntry>& files,
                          std::int16_t linkCount, std::vector<LinkEntry>& links,
                          ::uninstall::AppInfo& appInfo) {
  uninstall::ExpandAllPaths(Fields(), fileCount, files, linkCount, links, appInfo);
}

void Mfrm::PlanRemoval() {
  plan_ = uninstall::PlanRemoval(InstallLog);
  progress_.emplace(env_, plan_.Steps());
}

void Mfrm::RemoveRegistryKeys() {
  uninstall::RemoveRegistryKeys(env_, plan_, progress());
  StageDone();
}

void Mfrm::RemoveUninstallEntry() { uninstall::RemoveUninstallEntry(env_, plan_, progress()); }

const OwnFiles& Mfrm::Own() {
  if (!own_) own_.emplace(std::vector<std::wstring>{executable_, LogPath});
  return *own_;
}

void Mfrm::RemoveFiles(std::int16_t& allRemoved) {
  uninstall::RemoveFiles(env_, plan_, allRemoved, Own(), progress());
  StageDone();
}

FolderGuard& Mfrm::Guard() {
  if (!guard_) guard_.emplace(env_, QueryGuardedFolders(env_, WinDir, WinSysDir), AppDir);
  return *guard_;
}

void Mfrm::RemoveDirectories() {
  const DirectoryStageContext context{WinDir, WinSysDir, Own()};
  uninstall::RemoveDirectories(env_, context, Guard(), plan_, File1, progress());
  StageDone();
}

void Mfrm::RemoveShortcuts() {
  uninstall::RemoveShortcuts(env_, Guard(), plan_, progress());
  StageDone();
}

void Mfrm::StageDone() {
  // A stage that ends between two moves of the bar is shown done at once,
  // not only at the next stage's first move.
  if (progress_) progress_->Show();
}

}  // namespace uninstall
