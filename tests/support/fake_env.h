// An in-memory machine for the host unit tests.
//
// FakeEnv keeps a file system (directories, files with attributes, contents
// and a "locked" mark), a registry (keys under root handle values), the
// system folders, and a script for message boxes. Every call that changes
// the machine or talks to the user is appended to `events()`, in order, so a
// test can check what a stage did and in which order. `InjectFault` makes a
// chosen operation fail on a chosen path.
//
// Paths are resolved as Windows resolves them before the file system sees
// them: without regard to letter case, "/" as a separator, "." and ".."
// resolved, trailing dots and spaces dropped; a trailing "\" on a directory
// path is accepted. Other names for one object can be set up: an alias (an
// 8.3 short name, a SUBST drive, a share) is another name for a folder in
// every call; a link (junction or symbolic link) is an object of its own
// with the reparse-point attribute, followed when it is a middle component
// of a path, by the identity, the listing and reads, and removed itself by
// RemoveDir. Every object has an identity of its own, the same through any
// of its names. The fake keeps the Win32 error codes the real calls give
// (see status.h).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/env.h"

namespace uninstall {

enum class FakeOp {
  kGetFileAttrs,
  kRemoveFile,
  kRemoveDir,
  kListFiles,
  kReadWholeFile,
  kWriteWholeFile,
  kDeleteRegKey,
  kShowMessage,
  kGetFileIdentity,
  kRenameFile,
  kDeleteAtRestart,
  kCreateTempFile,
};

// One entry of a tree written as in FakeEnv::AddTree: its path (a folder's
// ends in "\") and the letters after its ":".
struct TreeItem {
  std::wstring path;
  std::wstring marks;
};
// The entries of `tree` in the order written: every file and every folder
// that is empty or carries marks; an empty entry in braces names their
// folder itself ("X\{, a}": X\ and X\a).
std::vector<TreeItem> TreeItems(std::wstring_view tree);

// `text` with every `from` replaced by `to`.
std::wstring ReplaceAll(std::wstring text, std::wstring_view from, std::wstring_view to);

struct MessageCall {
  std::wstring text;
  std::optional<std::wstring> title;  // nullopt: the application's default title
  int style = 0;
};

class FakeEnv final : public Env {
 public:
  FakeEnv();

  // --- Setting up the machine ---------------------------------------------
  // Creates a directory and its missing parents. `path` may end in "\".
  void AddDir(std::wstring_view path, std::uint32_t attrs = attr::kDirectory);
  // Creates a file (and its missing parent directories).
  void AddFile(std::wstring_view path, std::string content = {},
               std::uint32_t attrs = attr::kArchive);
  void SetAttrs(std::wstring_view path, std::uint32_t attrs);
  // A locked file cannot be opened, read or deleted (error 32).
  void SetLocked(std::wstring_view path, bool locked);
  // Makes every entry of a tree written as "C:\Apps\{Tool\{a.exe, h.dat:H},
  // Empty\}": "," between the entries of the folder whose braces hold them,
  // a folder ending in "\", marks after ":" (H hidden, S system, R read-only,
  // J reparse point, L locked).
  void AddTree(std::wstring_view tree);
  void AddRegKey(std::int32_t root, std::wstring_view key_path);
  // `alias` (a folder path, a drive "S:" or a share "\\host\c$") becomes
  // another name for the folder `target`, in every call.
  void AddAlias(std::wstring_view alias, std::wstring_view target);
  // A junction at `path` (its parents are made) that leads to `target`.
  void AddLink(std::wstring_view path, std::wstring_view target);
  void set_system_folders(SystemFolderReport report) { system_folders_ = std::move(report); }

  // The running executable: it cannot be deleted (it can be renamed, and
  // its new name cannot be deleted either), and its folder is the current
  // directory until SetCurrentDir.
  void set_executable_path(std::wstring path) { executable_path_ = std::move(path); }
  // The folder CreateTempFile makes its files in (C:\TEMP by default).
  void set_temp_dir(std::wstring dir) { temp_dir_ = std::move(dir); }
  // Raw query buffers; shorter text is NUL-padded to kQueryBufferChars.
  void set_windows_dir(std::wstring_view text) { windows_buffer_ = Buffer(text); }
  void set_system_dir(std::wstring_view text) { system_buffer_ = Buffer(text); }
  void set_windows_buffer(std::wstring raw) { windows_buffer_ = std::move(raw); }
  void set_system_buffer(std::wstring raw) { system_buffer_ = std::move(raw); }
  // A special folder that resolves to `path`; unknown ids fail to locate.
  void SetSpecialFolder(std::int32_t folder_id, std::wstring_view path);
  void SetSpecialFolderQuery(std::int32_t folder_id, ShellFolderQuery query);

  // Answers for message boxes, used in order; when they run out, `fallback`,
  // else Yes for a question, Cancel for Retry/Cancel and OK otherwise.
  void QueueAnswers(std::vector<Result<int>> answers);
  // Makes `op` fail with `code` for `path` (compared without regard to case),
  // or for every path when `path` is "*". `times` < 0: always.
  void InjectFault(FakeOp op, std::wstring_view path, ErrorCode code, int times = -1);
  // Called before each message box is answered; may change the machine
  // (e.g. clear a read-only bit as a user would while the box shows).
  void set_on_message(std::function<void(const MessageCall&)> hook) {
    on_message_ = std::move(hook);
  }

  // --- Inspecting it --------------------------------------------------------
  [[nodiscard]] bool Exists(std::wstring_view path) const;
  [[nodiscard]] bool RegKeyExists(std::int32_t root, std::wstring_view key_path) const;
  // The whole file system in AddTree's form, each folder's entries sorted by
  // name and a folder that holds one entry written as one path with it.
  [[nodiscard]] std::wstring Tree() const;
  [[nodiscard]] const std::vector<std::wstring>& events() const { return events_; }
  // The events joined by "; ", file calls named as the command line names
  // them: "del" RemoveFile, "rd" RemoveDir, "dir" ListFiles.
  [[nodiscard]] std::wstring Calls() const;
  [[nodiscard]] const std::vector<MessageCall>& messages() const { return messages_; }
  // Every ShowProgress call, as (done, total).
  [[nodiscard]] const std::vector<std::pair<std::uint64_t, std::uint64_t>>& progress() const {
    return progress_;
  }
  // How many times GetFileIdentity was called (GetFinalPath not counted).
  [[nodiscard]] std::size_t identity_reads() const { return identity_reads_; }
  // How many times GetFileAttrs was called.
  [[nodiscard]] std::size_t attribute_reads() const { return attribute_reads_; }
  // How many times QuerySpecialFolder was called.
  [[nodiscard]] std::size_t special_folder_queries() const { return special_folder_queries_; }
  // What DeleteAtRestart was asked to delete, in order.
  [[nodiscard]] const std::vector<std::wstring>& pending_deletes() const {
    return pending_deletes_;
  }
  void ClearEvents() {
    events_.clear();
    messages_.clear();
  }

  // --- Env ------------------------------------------------------------------
  Result<std::uint32_t> GetFileAttrs(std::wstring_view path) override;
  Status RemoveFile(std::wstring_view path) override;
  Status RemoveDir(std::wstring_view path) override;
  Result<std::vector<std::wstring>> ListFiles(std::wstring_view dir) override;
  Result<std::string> ReadWholeFile(std::wstring_view path) override;
  Status WriteWholeFile(std::wstring_view path, std::string_view bytes) override;
  Result<std::wstring> ExecutablePath() override;
  Result<FileIdentity> GetFileIdentity(std::wstring_view path) override;
  Result<std::wstring> GetFinalPath(std::wstring_view path) override;
  Status RenameFile(std::wstring_view from, std::wstring_view to) override;
  Status DeleteAtRestart(std::wstring_view path) override;
  Result<std::wstring> CreateTempFile() override;
  Status SetCurrentDir(std::wstring_view dir) override;
  Status DeleteRegKey(std::int32_t root, std::wstring_view key_path) override;
  std::wstring WindowsDirectoryBuffer() override { return windows_buffer_; }
  std::wstring SystemDirectoryBuffer() override { return system_buffer_; }
  ShellFolderQuery QuerySpecialFolder(std::int32_t folder_id) override;
  SystemFolderReport ReportSystemFolders() override { return system_folders_; }
  Result<int> ShowMessage(std::wstring_view text, std::optional<std::wstring_view> title,
                          int style) override;
  void SetWindowShown(bool shown) override;
  void ShowProgress(std::uint64_t done, std::uint64_t total) override;
  void SleepMs(std::uint32_t milliseconds) override;
  // Each read of the clock moves it on by tick_step_ms (1 by default), and
  // a sleep by its length.
  std::uint64_t TickMs() override { return clock_ms_ += tick_step_ms_; }
  void set_tick_step_ms(std::uint64_t step) { tick_step_ms_ = step; }

  static std::wstring Buffer(std::wstring_view text);

 private:
  struct Node {
    std::wstring name;  // as created, for listings
    std::uint32_t attrs = 0;
    std::string content;
    bool locked = false;
    std::uint64_t id = 0;
  };
  struct Fault {
    ErrorCode code;
    int times;
  };

  // Key of a path as written: normalised, no trailing "\" (a drive root is
  // "C:").
  static std::wstring Key(std::wstring_view path);
  static std::wstring Parent(const std::wstring& key);
  // The path as written (normalised, letter case kept) where it names its
  // resolved key directly, with no alias or link on the way; the key
  // otherwise. Names the folders a setup call makes on the way.
  static std::wstring AsWritten(std::wstring_view path, const std::wstring& key);
  // The key of the object a path names, through aliases and through links
  // in its middle components (and in its last one when `follow_last`).
  [[nodiscard]] std::wstring Resolve(std::wstring_view path, bool follow_last) const;
  void PutNode(const std::wstring& key, Node node);
  // The resolved key of the running executable, and of the current
  // directory (the executable's folder until SetCurrentDir).
  [[nodiscard]] std::wstring RunningImage() const;
  [[nodiscard]] std::wstring CurrentDir() const;
  std::optional<ErrorCode> TakeFault(FakeOp op, std::wstring_view path);
  [[nodiscard]] bool HasChildren(const std::wstring& key) const;
  // The error for a missing entry `key`: file not found in an existing
  // folder, path not found when its folder is missing too.
  [[nodiscard]] ErrorCode MissingCode(const std::wstring& key) const;
  // `key` with each component as its entry was named when created.
  [[nodiscard]] std::wstring OwnPath(const std::wstring& key) const;
  void Record(std::wstring event) { events_.push_back(std::move(event)); }

  std::map<std::wstring, Node> nodes_;
  std::map<std::wstring, std::wstring> aliases_;  // alias key -> target key
  std::map<std::wstring, std::wstring> links_;    // link key -> target key
  std::uint64_t next_id_ = 1;
  SystemFolderReport system_folders_;
  std::set<std::pair<std::int32_t, std::wstring>> reg_keys_;
  std::map<std::pair<FakeOp, std::wstring>, Fault> faults_;
  std::map<std::int32_t, ShellFolderQuery> special_folders_;
  std::wstring executable_path_ = L"C:\\APP\\Uninstall.exe";
  std::optional<std::wstring> moved_image_;  // the executable's key after a rename
  std::optional<std::wstring> current_dir_;  // key, once SetCurrentDir set it
  std::wstring temp_dir_ = L"C:\\TEMP";
  int temp_files_ = 0;
  std::vector<std::wstring> pending_deletes_;
  std::size_t identity_reads_ = 0;
  std::size_t special_folder_queries_ = 0;
  std::size_t attribute_reads_ = 0;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> progress_;
  std::uint64_t clock_ms_ = 0;
  std::uint64_t tick_step_ms_ = 1;
  std::wstring windows_buffer_;
  std::wstring system_buffer_;
  std::vector<Result<int>> answers_;
  std::size_t next_answer_ = 0;
  std::function<void(const MessageCall&)> on_message_;
  std::vector<std::wstring> events_;
  std::vector<MessageCall> messages_;
};

}  // namespace uninstall
