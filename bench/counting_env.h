// An Env that passes every call on to another Env and counts and times the
// calls, by kind and by the stage that made them: where an uninstall's
// system calls go, on the fake machine (counts) or on a real one (counts
// and time).
//
// Message boxes are answered here and never reach the machine: Yes to the
// question, OK to a notice, Cancel to Retry or Cancel.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/env.h"

namespace uninstall::bench {

enum class CallKind {
  kAttributes,     // GetFileAttrs
  kListing,        // ListFiles
  kIdentity,       // GetFileIdentity
  kFinalPath,      // GetFinalPath
  kDelete,         // RemoveFile
  kRemoveFolder,   // RemoveDir
  kRegistry,       // DeleteRegKey
  kPumping,        // ShowProgress (the bar and the window's messages)
  kClock,          // TickMs
  kSystemFolders,  // ReportSystemFolders
  kShellFolder,    // QuerySpecialFolder
  kOther,          // the rest: the log, the executable, renames, boxes, ...
};
inline constexpr std::size_t kCallKinds = static_cast<std::size_t>(CallKind::kOther) + 1;
[[nodiscard]] const char* CallKindName(CallKind kind);

struct CallTally {
  std::uint64_t calls = 0;
  std::chrono::nanoseconds time{0};
};

// The tallies of one stage, by kind.
struct StageTally {
  std::string stage;
  std::array<CallTally, kCallKinds> kinds{};
  std::chrono::nanoseconds wall{0};  // the stage from its start to its end
};

class CountingEnv final : public Env {
 public:
  explicit CountingEnv(Env& base) : base_(base) {}

  // The calls from now on count for `stage`.
  void BeginStage(std::string stage);
  // Ends the current stage's wall time.
  void EndStage();
  [[nodiscard]] const std::vector<StageTally>& stages() const { return stages_; }
  // ExecutablePath gives `path` from now on.
  void set_executable_path(std::wstring path) { executable_path_ = std::move(path); }

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
  std::uint64_t TickMs() override;

 private:
  // Runs `call` on the base, counted and timed as `kind`.
  template <typename Call>
  auto Count(CallKind kind, Call call);

  Env& base_;
  std::wstring executable_path_;
  std::vector<StageTally> stages_;
  std::chrono::steady_clock::time_point stage_start_;
};

}  // namespace uninstall::bench
