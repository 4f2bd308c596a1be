#include "bench/counting_env.h"

#include <string_view>
#include <utility>

namespace uninstall::bench {

const char* CallKindName(CallKind kind) {
  static constexpr std::array<std::string_view, kCallKinds> kNames = {
      "attributes", "listing", "identity", "final path",     "delete",       "remove folder",
      "registry",   "pumping", "clock",    "system folders", "shell folder", "other",
  };
  return kNames[static_cast<std::size_t>(kind)].data();
}

void CountingEnv::BeginStage(std::string stage) {
  EndStage();
  stages_.push_back(StageTally{std::move(stage), {}, {}});
  stage_start_ = std::chrono::steady_clock::now();
}

void CountingEnv::EndStage() {
  if (stages_.empty() || stages_.back().wall.count() != 0) return;
  stages_.back().wall = std::chrono::steady_clock::now() - stage_start_;
}

template <typename Call>
auto CountingEnv::Count(CallKind kind, Call call) {
  if (stages_.empty()) BeginStage("before");
  const auto start = std::chrono::steady_clock::now();
  auto result = call();
  CallTally& tally = stages_.back().kinds[static_cast<std::size_t>(kind)];
  tally.time += std::chrono::steady_clock::now() - start;
  ++tally.calls;
  return result;
}

Result<std::uint32_t> CountingEnv::GetFileAttrs(std::wstring_view path) {
  return Count(CallKind::kAttributes, [&] { return base_.GetFileAttrs(path); });
}
Status CountingEnv::RemoveFile(std::wstring_view path) {
  return Count(CallKind::kDelete, [&] { return base_.RemoveFile(path); });
}
Status CountingEnv::RemoveDir(std::wstring_view path) {
  return Count(CallKind::kRemoveFolder, [&] { return base_.RemoveDir(path); });
}
Result<std::vector<std::wstring>> CountingEnv::ListFiles(std::wstring_view dir) {
  return Count(CallKind::kListing, [&] { return base_.ListFiles(dir); });
}
Result<std::string> CountingEnv::ReadWholeFile(std::wstring_view path) {
  return Count(CallKind::kOther, [&] { return base_.ReadWholeFile(path); });
}
Status CountingEnv::WriteWholeFile(std::wstring_view path, std::string_view bytes) {
  return Count(CallKind::kOther, [&] { return base_.WriteWholeFile(path, bytes); });
}
Result<std::wstring> CountingEnv::ExecutablePath() {
  return Count(CallKind::kOther, [&]() -> Result<std::wstring> {
    if (!executable_path_.empty()) return executable_path_;
    return base_.ExecutablePath();
  });
}
Status CountingEnv::RenameFile(std::wstring_view from, std::wstring_view to) {
  return Count(CallKind::kOther, [&] { return base_.RenameFile(from, to); });
}
Status CountingEnv::DeleteAtRestart(std::wstring_view path) {
  return Count(CallKind::kOther, [&] { return base_.DeleteAtRestart(path); });
}
Result<std::wstring> CountingEnv::CreateTempFile() {
  return Count(CallKind::kOther, [&] { return base_.CreateTempFile(); });
}
Status CountingEnv::SetCurrentDir(std::wstring_view dir) {
  return Count(CallKind::kOther, [&] { return base_.SetCurrentDir(dir); });
}
Result<FileIdentity> CountingEnv::GetFileIdentity(std::wstring_view path) {
  return Count(CallKind::kIdentity, [&] { return base_.GetFileIdentity(path); });
}
Result<std::wstring> CountingEnv::GetFinalPath(std::wstring_view path) {
  return Count(CallKind::kFinalPath, [&] { return base_.GetFinalPath(path); });
}
Status CountingEnv::DeleteRegKey(std::int32_t root, std::wstring_view key_path) {
  return Count(CallKind::kRegistry, [&] { return base_.DeleteRegKey(root, key_path); });
}
std::wstring CountingEnv::WindowsDirectoryBuffer() {
  return Count(CallKind::kOther, [&] { return base_.WindowsDirectoryBuffer(); });
}
std::wstring CountingEnv::SystemDirectoryBuffer() {
  return Count(CallKind::kOther, [&] { return base_.SystemDirectoryBuffer(); });
}
ShellFolderQuery CountingEnv::QuerySpecialFolder(std::int32_t folder_id) {
  return Count(CallKind::kShellFolder, [&] { return base_.QuerySpecialFolder(folder_id); });
}
SystemFolderReport CountingEnv::ReportSystemFolders() {
  return Count(CallKind::kSystemFolders, [&] { return base_.ReportSystemFolders(); });
}
Result<int> CountingEnv::ShowMessage(std::wstring_view /*text*/,
                                     std::optional<std::wstring_view> /*title*/, int style) {
  return Count(CallKind::kOther, [&]() -> Result<int> {
    switch (style) {
      case msgbox::kYesNoQuestion:
        return msgbox::kYes;
      case msgbox::kRetryCancelExclamation:
        return msgbox::kCancel;
      default:
        return msgbox::kOk;
    }
  });
}
void CountingEnv::SetWindowShown(bool shown) {
  Count(CallKind::kOther, [&] {
    base_.SetWindowShown(shown);
    return 0;
  });
}
void CountingEnv::ShowProgress(std::uint64_t done, std::uint64_t total) {
  Count(CallKind::kPumping, [&] {
    base_.ShowProgress(done, total);
    return 0;
  });
}
void CountingEnv::SleepMs(std::uint32_t milliseconds) {
  Count(CallKind::kOther, [&] {
    base_.SleepMs(milliseconds);
    return 0;
  });
}
std::uint64_t CountingEnv::TickMs() {
  return Count(CallKind::kClock, [&] { return base_.TickMs(); });
}

}  // namespace uninstall::bench
