// `installlog capture` and `verify` without Wine: what an installer made in
// a prefix, as the log that undoes it, and what an uninstall left or took.
#pragma once

#include <string>
#include <vector>

#include "installlog/records.h"
#include "tools/prefix_state.h"

namespace uninstall::tools {

// The kind of prefix. In a 64-bit prefix a 32-bit Uninstall.exe (the PE
// machine of the new one; 32-bit when unknown) runs under WOW64: its
// System32 is SysWOW64 and its HKEY_LOCAL_MACHINE\Software is
// Software\Wow6432Node.
struct PrefixView {
  bool prefix64 = false;
};

struct CaptureOptions {
  std::string AppName;    // UTF-8, as all of these
  std::string MainFile;   // relative to the application folder
  std::string GroupName;  // "" to take the folder that holds the new Programs links
  std::string AppDir;     // below drive C:; "" for the folder of the new Uninstall.exe
};

struct Capture {
  InstallLog log;
  // What the install did that the log cannot undo, one sentence each.
  std::vector<std::string> cannot_undo;
  // What the log holds that the author may want to know of.
  std::vector<std::string> notes;
};

// Thrown when the two states give no log: no application folder, or an
// option that names nothing the install made.
class CaptureError;

// The application folder below drive C:: `app_dir` (a folder after the
// install, "C:\" and a trailing "\" allowed) or, when empty, the folder of
// the one Uninstall.exe the install made. Throws CaptureError.
[[nodiscard]] std::string FindAppFolder(const PrefixState& before, const PrefixState& after,
                                        const std::string& app_dir);

class CaptureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The log of what was made between `before` and `after`: the files below
// the application folder (%currentdir%), the Windows and system folders
// (%windir%, %winsysdir%), each new folder that holds nothing, with a
// trailing "\", and the new folders above the application folder; every
// new registry key with a trailing "\", subkeys before their keys; the new
// links in the Programs folder and on the desktop. Wine's own changes are
// left out (IsWineChurn).
[[nodiscard]] Capture CaptureInstall(const PrefixState& before, const PrefixState& after,
                                     const CaptureOptions& options, const PrefixView& view);

// What differs between `before` (the prefix before the install) and `after`
// (after the uninstall), one line each, Wine's own changes left out.
struct Difference {
  std::vector<std::string> leftovers;   // made since, still there
  std::vector<std::string> collateral;  // there before, gone or changed
};
[[nodiscard]] Difference ComparePrefixes(const PrefixState& before, const PrefixState& after);

// The registry values Wine itself rewrites whatever a program does (see
// kWineChurnHelp); `key` is a Comparable() path.
[[nodiscard]] bool IsWineChurn(Hive hive, const std::string& key, const PrefixValue& value);

// What IsWineChurn leaves out and why, for --help.
extern const char* const kWineChurnHelp;

}  // namespace uninstall::tools
