// Env on the real Win32 API, with the wide (W) calls throughout: the ANSI
// calls would turn folder names outside the ANSI code page into '?' and so
// name the wrong folder.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/env.h"
#include "platform/win32/progress_window.h"

namespace uninstall::win32 {

class Win32Env final : public Env {
 public:
  // `window` may be null (tools without a window); message boxes then have
  // no owner and SetWindowShown does nothing.
  explicit Win32Env(ProgressWindow* window) : window_(window) {}

  Result<std::uint32_t> GetFileAttrs(std::wstring_view path) override;
  Status RemoveFile(std::wstring_view path) override;
  Status RemoveDir(std::wstring_view path) override;
  Result<std::vector<std::wstring>> ListFiles(std::wstring_view dir) override;
  Result<std::string> ReadWholeFile(std::wstring_view path) override;
  Status WriteWholeFile(std::wstring_view path, std::string_view bytes) override;
  Result<std::wstring> ExecutablePath() override;
  Status RenameFile(std::wstring_view from, std::wstring_view to) override;
  Status DeleteAtRestart(std::wstring_view path) override;
  Result<std::wstring> CreateTempFile() override;
  Status SetCurrentDir(std::wstring_view dir) override;
  Result<FileIdentity> GetFileIdentity(std::wstring_view path) override;
  Result<std::wstring> GetFinalPath(std::wstring_view path) override;
  Status DeleteRegKey(std::int32_t root, std::wstring_view key_path) override;
  std::wstring WindowsDirectoryBuffer() override;
  std::wstring SystemDirectoryBuffer() override;
  ShellFolderQuery QuerySpecialFolder(std::int32_t folder_id) override;
  SystemFolderReport ReportSystemFolders() override;
  Result<int> ShowMessage(std::wstring_view text, std::optional<std::wstring_view> title,
                          int style) override;
  void SetWindowShown(bool shown) override;
  void ShowProgress(std::uint64_t done, std::uint64_t total) override;
  void SleepMs(std::uint32_t milliseconds) override;
  std::uint64_t TickMs() override { return GetTickCount64(); }

  // The application's default message box title: the executable's name
  // without its extension ("Uninstall" for Uninstall.exe).
  [[nodiscard]] std::wstring DefaultTitle();

  // The error of the first message box that could not be shown (no desktop,
  // no display), or ERROR_SUCCESS. The user then saw nothing, so the entry
  // point reports it in the exit code rather than ending as if all went well.
  [[nodiscard]] DWORD UnshownMessageError() const { return unshown_message_error_; }

 private:
  // Handles what is waiting for the progress window and its controls
  // (repaints, the bar's animation, close attempts, which it refuses), and
  // paints what needs it, so that the window answers and never shows stale
  // pixels while the uninstall works without a message loop.
  void ServeWindow();

  ProgressWindow* window_;
  DWORD unshown_message_error_ = ERROR_SUCCESS;
};

}  // namespace uninstall::win32
