// The one narrow interface between the uninstaller and the operating system.
//
// Everything the program does to the machine goes through an Env: file and
// directory queries and deletions, registry key deletion, the system folders,
// message boxes, the progress window and the final pause. Win32Env
// (platform/win32/) implements it with the wide Win32 calls; FakeEnv
// (tests/support/fake_env.h) is an in-memory machine for the host unit tests.
//
// Paths are the program's own wide strings, passed through unchanged: no
// implementation normalises, trims or expands them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace uninstall {

// File attribute bits, as the platform reports them.
namespace attr {
inline constexpr std::uint32_t kReadOnly = 0x1;
inline constexpr std::uint32_t kHidden = 0x2;
inline constexpr std::uint32_t kSystem = 0x4;
inline constexpr std::uint32_t kDirectory = 0x10;
inline constexpr std::uint32_t kArchive = 0x20;
inline constexpr std::uint32_t kNormal = 0x80;
inline constexpr std::uint32_t kReparsePoint = 0x400;
}  // namespace attr

// Message box styles (buttons + icon) and answers, with the platform's numbers.
namespace msgbox {
inline constexpr int kYesNoQuestion = 36;
inline constexpr int kOkExclamation = 48;
inline constexpr int kRetryCancelExclamation = 53;
inline constexpr int kOkInformation = 64;

inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kRetry = 4;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace msgbox

// Shell special folder identifiers used by the program.
namespace csidl {
inline constexpr std::int32_t kPrograms = 0x02;
inline constexpr std::int32_t kPersonal = 0x05;
inline constexpr std::int32_t kStartMenu = 0x0b;
inline constexpr std::int32_t kDesktopDirectory = 0x10;
inline constexpr std::int32_t kCommonStartMenu = 0x16;
inline constexpr std::int32_t kCommonPrograms = 0x17;
inline constexpr std::int32_t kCommonDesktopDirectory = 0x19;
inline constexpr std::int32_t kAppData = 0x1a;
inline constexpr std::int32_t kLocalAppData = 0x1c;
inline constexpr std::int32_t kCommonAppData = 0x23;
inline constexpr std::int32_t kWindows = 0x24;
inline constexpr std::int32_t kSystem = 0x25;
inline constexpr std::int32_t kProgramFiles = 0x26;
inline constexpr std::int32_t kProfile = 0x28;
inline constexpr std::int32_t kProgramFilesX86 = 0x2a;
inline constexpr std::int32_t kProgramFilesCommon = 0x2b;
inline constexpr std::int32_t kProgramFilesCommonX86 = 0x2c;
inline constexpr std::int32_t kCommonDocuments = 0x2e;
}  // namespace csidl

// Size of the buffers that the system folder queries fill (MAX_PATH).
inline constexpr std::size_t kQueryBufferChars = 260;

// What the shell's special folder query produced, before any trimming.
struct ShellFolderQuery {
  // Result of locating the folder (an HRESULT); only 0 is success.
  std::int32_t location_result = 0;
  // Whether the located folder could be turned into a file system path.
  bool path_ok = false;
  // The path buffer as the system left it: kQueryBufferChars characters,
  // NUL-filled behind the text.
  std::wstring buffer;
};

// The file system's identity of an object: equal for every name of it (a
// short name, another drive letter for the same folder, a share, a path
// through a link or junction), different for different objects.
struct FileId {
  std::uint32_t volume = 0;  // volume serial number
  std::uint64_t file = 0;    // file index on that volume
  friend bool operator==(const FileId&, const FileId&) = default;
};

// What the file system says of the object a path names.
struct FileIdentity {
  FileId id;
  // The object's own path, every link and alias resolved, as the system
  // gives it ("\\?\C:\Program Files\Tool"); empty when it gives none.
  std::wstring final_path;
};

// Folders the operating system reports as its own or the user's, as it
// names them; an entry it cannot report is left out.
struct SystemFolderReport {
  // Every known folder of the system and of the current user that has a
  // file system path (per user and common ones: Desktop, Documents, Music,
  // Startup, Fonts, Program Files, ProgramData, Users, Public, ...).
  std::vector<std::wstring> known_folders;
  // Program Files and Common Files in every view: for a 32-bit program on
  // 64-bit Windows, the native ones too, which its own queries never return.
  std::vector<std::wstring> program_files;
  // The other view of the system folder a 32-bit program gets on 64-bit
  // Windows (SysWOW64); empty elsewhere.
  std::wstring system_wow64;
  // The user's folder for temporary files.
  std::wstring temp;
  // The root of every drive letter in use ("C:", "D:", ...).
  std::vector<std::wstring> drive_roots;
};

class Env {
 public:
  virtual ~Env() = default;

  // --- Files and directories -------------------------------------------
  // Attributes of exactly the entry `path` names (no wildcard expansion).
  // A missing entry fails with kErrorFileNotFound or kErrorPathNotFound.
  virtual Result<std::uint32_t> GetFileAttrs(std::wstring_view path) = 0;
  // Deletes one file; never changes its attributes first.
  virtual Status RemoveFile(std::wstring_view path) = 0;
  // Removes one empty directory.
  virtual Status RemoveDir(std::wstring_view path) = 0;
  // Plain names of the files directly in directory `dir` (which ends in
  // "\"), hidden and system files included, subdirectories excluded.
  virtual Result<std::vector<std::wstring>> ListFiles(std::wstring_view dir) = 0;
  // The whole content of a file, as bytes.
  virtual Result<std::string> ReadWholeFile(std::wstring_view path) = 0;
  // Creates or truncates `path` and writes `bytes` to it.
  virtual Status WriteWholeFile(std::wstring_view path, std::string_view bytes) = 0;
  // Full path of the running executable.
  virtual Result<std::wstring> ExecutablePath() = 0;
  // Gives a file another name on the same volume, replacing a file of that
  // name (a running executable may be renamed, though not deleted).
  virtual Status RenameFile(std::wstring_view from, std::wstring_view to) = 0;
  // Has the file or the empty directory `path` deleted when the system next
  // starts (before any program could use it).
  virtual Status DeleteAtRestart(std::wstring_view path) = 0;
  // Makes a new empty file with a unique name in the user's folder for
  // temporary files, and gives its path.
  virtual Result<std::wstring> CreateTempFile() = 0;
  // Makes `dir` the process's current directory (so that no other folder
  // is held as the current one).
  virtual Status SetCurrentDir(std::wstring_view dir) = 0;
  // The identity and final path of the file or directory `path` names,
  // links and junctions followed in every component, the last one included.
  virtual Result<FileIdentity> GetFileIdentity(std::wstring_view path) = 0;
  // The final path alone (FileIdentity::final_path), where the identity is
  // not needed: on some systems the volume serial costs far more than the
  // path.
  virtual Result<std::wstring> GetFinalPath(std::wstring_view path) = 0;

  // --- Registry --------------------------------------------------------
  // Deletes one key without subkeys under a predefined root, given by its
  // handle value (0x80000000 to 0x80000006).
  virtual Status DeleteRegKey(std::int32_t root, std::wstring_view key_path) = 0;

  // --- System folders --------------------------------------------------
  // The Windows and the system directory query buffers, kQueryBufferChars
  // characters each, NUL-filled behind the text the system wrote.
  virtual std::wstring WindowsDirectoryBuffer() = 0;
  virtual std::wstring SystemDirectoryBuffer() = 0;
  virtual ShellFolderQuery QuerySpecialFolder(std::int32_t folder_id) = 0;
  // The folders that must never be emptied or removed, as far as the
  // system reports them.
  virtual SystemFolderReport ReportSystemFolders() = 0;

  // --- User interface --------------------------------------------------
  // A modal message box; `title` nullopt means the application's default
  // title. Fails when the box cannot be shown.
  virtual Result<int> ShowMessage(std::wstring_view text, std::optional<std::wstring_view> title,
                                  int style) = 0;
  // Shows (enabled, repainted at once) or hides (disabled, repainted) the
  // progress window.
  virtual void SetWindowShown(bool shown) = 0;
  // Shows how far the work has come on the window's progress bar (`done`
  // of `total` steps) and lets the window process the messages that wait
  // for it, so that it stays answering while the work goes on.
  virtual void ShowProgress(std::uint64_t done, std::uint64_t total) = 0;
  // Waits `milliseconds`, the window answering all the while.
  virtual void SleepMs(std::uint32_t milliseconds) = 0;
  // A millisecond clock (the time since the system started).
  virtual std::uint64_t TickMs() = 0;
};

}  // namespace uninstall
