// The manifest of a staged application folder (`installlog manifest`): the
// folder an installer is built from, walked, one FileEntry per file and one
// per empty folder.
//
// A staged file lands under the variable of its folder: the staged folder
// itself maps to StagedOptions::Target (%currentdir% unless told otherwise)
// and a subfolder can map elsewhere (--map system=%winsysdir%), so that
// "data/img/logo.png" becomes "%currentdir%\data\img\logo.png" and
// "system/x.dll" becomes "%winsysdir%\x.dll". The log is the same on every
// machine the installer runs on; the uninstaller puts the folders in.
//
// The walk (WalkStagedFolder) only reads the folder; LogFromStagedTree
// turns what it found into a log and refuses, all at once, whatever would
// make a log that names other files than the installer installs: a name
// that Windows does not allow or that the ANSI code page cannot hold, two
// names that are one on Windows (they differ only in letter case), more
// files than a log can count.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "installlog/records.h"

namespace uninstall::tools {

// A path below the staged folder, one name per level.
using StagedPath = std::vector<std::wstring>;

// What the walk of a staged folder found.
struct StagedTree {
  std::vector<StagedPath> Files;      // regular files, and links to regular files
  std::vector<StagedPath> EmptyDirs;  // folders with nothing in them
  // Entries the walk refused (a link to a folder, a device, a name that is
  // no valid UTF-8, a folder that cannot be read), each with its reason.
  std::vector<std::string> Problems;
};

// Walks `root`, which must be a folder (else ManifestError). Folders are
// entered, links to folders are not (a Problem); the order is the file
// system's.
[[nodiscard]] StagedTree WalkStagedFolder(const std::filesystem::path& root);

// A subfolder of the staged folder whose files land elsewhere.
struct StagedMap {
  StagedPath Folder;
  std::wstring Target;  // a variable, optionally followed by "\sub\folders"
};

// A link in the program group to a staged file: Name "Tools\Settings" is the
// link "Settings" in the group's subfolder "Tools".
struct StagedLink {
  std::wstring Name;
  StagedPath File;
};

struct StagedOptions {
  std::wstring AppName;
  StagedPath MainFile;  // a staged file; its target is AppInfo.MainPath
  std::wstring GroupName;
  std::wstring Target = L"%currentdir%";
  std::vector<StagedMap> Maps;
  std::vector<StagedPath> KeptFiles;  // staged files the uninstall leaves in place
  std::vector<RegKeyEntry> RegKeys;   // as they go into the log
  std::vector<LinkEntry> Links;       // as they go into the log, before GroupLinks
  std::vector<StagedLink> GroupLinks;
};

struct StagedLog {
  InstallLog Log;
  std::vector<std::string> Notes;  // for the author: files left out, empty folders
};

// The variables a target may begin with.
inline constexpr std::array<std::wstring_view, 5> kTargetVariables = {
    L"%currentdir%", L"%windir%", L"%winsysdir%", L"%rootdir%", L"%userdir%"};

// A staged path from the command line's text: "/" and "\" both separate,
// empty names and "." are dropped. Empty for a path that climbs out ("..").
[[nodiscard]] StagedPath SplitStagedPath(std::wstring_view text);

// The options' texts, read; each throws ManifestError for a text it cannot
// take. FOLDER=TARGET, FOLDER a staged folder:
[[nodiscard]] StagedMap ParseMapOption(std::wstring_view text);
// NAME=FILE, FILE a staged file:
[[nodiscard]] StagedLink ParseLinkOption(std::wstring_view text);
// ROOT\SUBKEY, ROOT a name or an abbreviation of kRegistryRoots (HKLM ...):
[[nodiscard]] RegKeyEntry ParseRegKeyOption(std::wstring_view text);

// The log of `tree`: AppInfo {Target, AppName, MainPath, GroupName}, the
// files and the empty folders sorted by their staged path (name by name, in
// code point order, so the same folder gives the same log on every system),
// SourcePath the staged path with "\", TargetPath its target; then
// options.RegKeys (each SubKey with a trailing "\"), options.Links and one
// link per GroupLink in the folder "%userfolder%[\sub]".
//
// An empty folder's SourcePath and TargetPath end in "\"
// ("data\empty\" -> "%currentdir%\data\empty\"), KeepFile false: the
// uninstall's directory stage removes such a folder once it is empty and
// keeps it while it holds anything. The folders above it need no entry of
// their own: as those of a file, they are visited with it up to the nearest
// folder the log names (the application's folder, where a file lies in it).
//
// A staged file whose target is Uninstall.exe or Uninstall.dat in the
// application folder is left out (with a note): the uninstaller runs from
// there and reads the log, and removes both itself, last.
//
// Throws ManifestError with one line per problem: those of the walk, names
// Windows does not allow (the characters \ / : * ? " < > |, control
// characters, a trailing dot or space, device names such as CON or LPT1),
// names outside the ANSI code page, names that differ only in letter case,
// more than kMaxEntries files and empty folders, options that name no staged
// file or folder, a target that opens with no variable of kTargetVariables,
// links without a group, and texts that the log cannot hold.
[[nodiscard]] StagedLog LogFromStagedTree(const StagedTree& tree, const StagedOptions& options);

}  // namespace uninstall::tools
