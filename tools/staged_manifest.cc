#include "tools/staged_manifest.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <optional>
#include <system_error>
#include <utility>

#include "tools/manifest.h"
#include "tools/utf8.h"

namespace uninstall::tools {
namespace {

namespace fs = std::filesystem;

// A staged path for messages: UTF-8 between quotes, "/" between the names.
std::string Show(const StagedPath& path) {
  std::wstring joined;
  for (const std::wstring& name : path) {
    if (!joined.empty()) joined += L'/';
    joined += name;
  }
  return QuoteText(joined.empty() ? L"." : joined);
}

// A file system name as text: UTF-16 on Windows; elsewhere the bytes read
// as UTF-8 (what is no UTF-8 becomes U+FFFD, never an exception).
std::wstring TextOf(const fs::path& path) {
#ifdef _WIN32
  return path.wstring();
#else
  return FromUtf8(path.native());
#endif
}

std::wstring Join(const StagedPath& path, std::size_t from) {
  std::wstring joined;
  for (std::size_t i = from; i < path.size(); ++i) {
    if (!joined.empty()) joined += L'\\';
    joined += path[i];
  }
  return joined;
}

constexpr wchar_t AsciiLower(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Letters of the ANSI code page in one case, as a case-blind file system
// compares them: ASCII, Latin-1 and the few capitals of Windows-1252 above
// U+00FF. Two staged names equal after this are one name on Windows.
wchar_t FoldCase(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return AsciiLower(c);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<wchar_t>(c + 0x20);
  switch (c) {
    case 0x152:  // OE
    case 0x160:  // S caron
    case 0x17D:  // Z caron
      return static_cast<wchar_t>(c + 1);
    case 0x178:  // Y diaeresis
      return 0xFF;
    default:
      return c;
  }
}

std::wstring Folded(std::wstring_view text) {
  std::wstring folded(text);
  std::transform(folded.begin(), folded.end(), folded.begin(), FoldCase);
  return folded;
}

bool IsDeviceName(std::wstring_view name) {
  const std::wstring base = Folded(name.substr(0, name.find(L'.')));
  static constexpr std::array<std::wstring_view, 4> kDevices = {L"con", L"prn", L"aux", L"nul"};
  if (std::find(kDevices.begin(), kDevices.end(), base) != kDevices.end()) return true;
  return base.size() == 4 && (base.starts_with(L"com") || base.starts_with(L"lpt")) &&
         base[3] >= L'1' && base[3] <= L'9';
}

// Why Windows cannot hold `name` as the name of a file or folder, or "".
std::string NameProblem(std::wstring_view name) {
  static constexpr std::wstring_view kForbidden = L"\\/:*?\"<>|";
  for (const wchar_t c : name) {
    if (static_cast<std::uint32_t>(c) < 0x20) return "the name has a control character";
    if (kForbidden.find(c) != std::wstring_view::npos) {
      return "the name has " + QuoteText(std::wstring(1, c)) +
             ", which Windows does not allow in a file name";
    }
  }
  if (name.back() == L'.' || name.back() == L' ') {
    return "the name ends in a dot or a space, which Windows drops";
  }
  if (IsDeviceName(name)) return "the name is a device name on Windows";
  if (!FitsCodePage(name)) {
    return "the name has characters that " + std::string(kCodePageName) + " cannot hold";
  }
  return "";
}

// The variable `target` opens with (in any letter case) and the rest, which
// must be empty or a "\"-separated path; "/" is read as "\" and a trailing
// "\" dropped. Throws ManifestError.
std::wstring CheckedTarget(std::wstring_view target, const std::string& what) {
  std::wstring text(target);
  std::replace(text.begin(), text.end(), L'/', L'\\');
  while (!text.empty() && text.back() == L'\\') text.pop_back();
  for (const std::wstring_view variable : kTargetVariables) {
    if (Folded(text.substr(0, variable.size())) != variable) continue;
    const std::wstring rest = text.substr(variable.size());
    if (!rest.empty() && rest.front() != L'\\') break;
    const StagedPath names = SplitStagedPath(rest);
    for (const std::wstring& name : names) {
      const std::string problem = NameProblem(name);
      if (!problem.empty()) {
        std::string message = what + " " + QuoteText(target) + ": ";
        message += problem;
        throw ManifestError(message);
      }
    }
    return std::wstring(variable) + (names.empty() ? L"" : L"\\" + Join(names, 0));
  }
  std::string known;
  for (const std::wstring_view variable : kTargetVariables) {
    known += (known.empty() ? "" : ", ") + ToUtf8(variable);
  }
  throw ManifestError(what + " " + QuoteText(target) + ": a target opens with one of " + known +
                      ", optionally followed by \\folders");
}

// "LEFT=RIGHT" split at the first "=".
std::pair<std::wstring, std::wstring> SplitAssignment(std::wstring_view text,
                                                      const std::string& what) {
  const std::size_t at = text.find(L'=');
  if (at == std::wstring_view::npos || at == 0 || at + 1 == text.size()) {
    throw ManifestError(what + " " + QuoteText(text) + ": expected " +
                        (what == "--map" ? "FOLDER=TARGET" : "NAME=FILE"));
  }
  return {std::wstring(text.substr(0, at)), std::wstring(text.substr(at + 1))};
}

StagedPath CheckedStagedPath(std::wstring_view text, const std::string& what) {
  StagedPath path = SplitStagedPath(text);
  if (path.empty()) {
    throw ManifestError(what + " " + QuoteText(text) +
                        ": expected a path inside the staged folder");
  }
  return path;
}

// A staged file or empty folder that goes into the log, and where it
// lands: a folder's target ends in "\\", as the directory stage takes it.
struct Placed {
  const StagedPath* staged;
  std::wstring target;
  bool folder = false;
};

bool StartsWith(const StagedPath& path, const StagedPath& prefix) {
  return prefix.size() <= path.size() && std::equal(prefix.begin(), prefix.end(), path.begin());
}

// The map of the deepest mapped folder that holds `path`, or nullptr.
const StagedMap* MapOf(const StagedPath& path, const std::vector<StagedMap>& maps) {
  const StagedMap* best = nullptr;
  for (const StagedMap& map : maps) {
    if (StartsWith(path, map.Folder) &&
        (best == nullptr || map.Folder.size() > best->Folder.size())) {
      best = &map;
    }
  }
  return best;
}

// Reports targets that Windows takes for one: two files, two folders, or a
// file and a folder, whose paths differ only in letter case.
class CaseClashes {
 public:
  explicit CaseClashes(std::vector<std::string>& problems) : problems_(problems) {}

  // `target` is "%variable%\folders\name" ("\" at its end for an empty
  // folder); each folder below the variable and the file itself are
  // compared with what earlier entries brought.
  void Add(const Placed& file) {
    const std::wstring target =
        file.folder ? file.target.substr(0, file.target.size() - 1) : file.target;
    std::size_t at = target.find(L'\\');
    if (at == std::wstring::npos) return;
    for (at = target.find(L'\\', at + 1);; at = target.find(L'\\', at + 1)) {
      const bool is_file = at == std::wstring::npos && !file.folder;
      std::wstring path = is_file ? target : target.substr(0, at);
      const auto [it, inserted] = seen_.try_emplace(Folded(path), Seen{path, file.staged, is_file});
      if (!inserted && (is_file || it->second.is_file || it->second.path != path)) {
        problems_.push_back(Show(*it->second.staged) + " and " + Show(*file.staged) +
                            (it->second.path == path
                                 ? " both land on " + QuoteText(path)
                                 : " land on " + QuoteText(it->second.path) + " and " +
                                       QuoteText(path) +
                                       ", which Windows takes for one (it does not tell "
                                       "letter case apart)"));
        return;
      }
      if (at == std::wstring::npos) return;
    }
  }

 private:
  struct Seen {
    std::wstring path;
    const StagedPath* staged;  // the file that brought the path
    bool is_file;
  };
  std::vector<std::string>& problems_;
  std::map<std::wstring, Seen> seen_;
};

// Whether Windows can hold each "\"-separated name of `text` as a file or
// folder name; a problem for `what` otherwise.
void CheckNames(const std::string& what, std::wstring_view text,
                std::vector<std::string>& problems) {
  for (const std::wstring& name : SplitStagedPath(text)) {
    const std::string problem = NameProblem(name);
    if (!problem.empty()) {
      std::string message = what + " " + QuoteText(text) + ": ";
      message += problem;
      problems.push_back(std::move(message));
      return;
    }
  }
}

bool IsOwnFile(const std::wstring& target) {
  const std::wstring folded = Folded(target);
  for (const std::wstring_view dir : {L"%currentdir%\\", L"%userdir%\\"}) {
    for (const std::wstring_view name : {L"uninstall.exe", L"uninstall.dat"}) {
      if (folded == std::wstring(dir) + std::wstring(name)) return true;
    }
  }
  return false;
}

// A staged file, or an empty folder (`folder`).
struct StagedEntry {
  const StagedPath* path;
  bool folder;
};

// The files and the empty folders in one order.
std::vector<StagedEntry> SortedEntries(const StagedTree& tree) {
  // Code point order, name by name: UTF-8 bytes compare in code point order
  // whatever the width of wchar_t.
  std::vector<std::pair<std::vector<std::string>, StagedEntry>> keyed;
  keyed.reserve(tree.Files.size() + tree.EmptyDirs.size());
  for (const bool folder : {false, true}) {
    for (const StagedPath& path : folder ? tree.EmptyDirs : tree.Files) {
      std::vector<std::string> key;
      key.reserve(path.size());
      for (const std::wstring& name : path) key.push_back(ToUtf8(name));
      keyed.emplace_back(std::move(key), StagedEntry{&path, folder});
    }
  }
  std::sort(keyed.begin(), keyed.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<StagedEntry> sorted;
  sorted.reserve(keyed.size());
  for (const auto& [key, entry] : keyed) sorted.push_back(entry);
  return sorted;
}

}  // namespace

StagedPath SplitStagedPath(std::wstring_view text) {
  StagedPath path;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(L"/\\", start);
    if (end == std::wstring_view::npos) end = text.size();
    const std::wstring_view name = text.substr(start, end - start);
    if (name == L"..") return {};
    if (!name.empty() && name != L".") path.emplace_back(name);
    start = end + 1;
  }
  return path;
}

StagedMap ParseMapOption(std::wstring_view text) {
  auto [folder, target] = SplitAssignment(text, "--map");
  return {CheckedStagedPath(folder, "--map"), CheckedTarget(target, "--map")};
}

StagedLink ParseLinkOption(std::wstring_view text) {
  auto [name, file] = SplitAssignment(text, "--link");
  const StagedPath names = SplitStagedPath(name);
  if (names.empty()) throw ManifestError("--link " + QuoteText(text) + ": the link has no name");
  return {Join(names, 0), CheckedStagedPath(file, "--link")};
}

RegKeyEntry ParseRegKeyOption(std::wstring_view text) {
  const std::size_t at = text.find(L'\\');
  const std::string root_name = ToUtf8(text.substr(0, at));
  std::optional<std::int32_t> root = RootKeyByName(root_name);
  if (!root) root = RootKeyByAbbreviation(root_name);
  if (!root) {
    throw ManifestError("--reg-key " + QuoteText(text) + ": expected ROOT\\SUBKEY, ROOT one of " +
                        RootKeyNameList(false) + " or " + RootKeyNameList(true));
  }
  if (at == std::wstring_view::npos ||
      text.find_first_not_of(L'\\', at) == std::wstring_view::npos) {
    throw ManifestError("--reg-key " + QuoteText(text) +
                        ": names a root, not a key below it (the uninstaller deletes no root)");
  }
  const std::wstring sub(text.substr(at + 1));
  if (!FitsCodePage(sub)) {
    throw ManifestError("--reg-key " + QuoteText(text) + ": has characters that " +
                        std::string(kCodePageName) + " cannot hold");
  }
  return {*root, sub, L"", L""};
}

StagedTree WalkStagedFolder(const fs::path& root) {
  std::error_code ec;
  if (!fs::is_directory(fs::status(root, ec))) {
    throw ManifestError(ToUtf8(TextOf(root)) + ": " +
                        (ec ? ec.message() : std::string("is not a folder")));
  }
  StagedTree tree;
  std::vector<std::pair<fs::path, StagedPath>> pending = {{root, {}}};
  while (!pending.empty()) {
    const auto [dir, staged] = std::move(pending.back());
    pending.pop_back();
    bool empty = true;
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      empty = false;
      StagedPath path = staged;
      const fs::path name = it->path().filename();
      path.push_back(TextOf(name));
#ifdef _WIN32
      const bool named = true;
#else
      const bool named = ToUtf8(path.back()) == name.native();
#endif
      if (!named) {
        tree.Problems.push_back(Show(path) + ": the name is not valid UTF-8");
        continue;
      }
      std::error_code entry_ec;
      const fs::file_status own = it->symlink_status(entry_ec);
      const fs::file_status status = fs::is_symlink(own) ? it->status(entry_ec) : own;
      if (fs::is_symlink(own) && fs::is_directory(status)) {
        tree.Problems.push_back(Show(path) +
                                ": is a link to a folder, which is not followed (stage the "
                                "folder itself)");
      } else if (fs::is_directory(status)) {
        pending.emplace_back(it->path(), std::move(path));
      } else if (fs::is_regular_file(status)) {
        tree.Files.push_back(std::move(path));
      } else if (fs::is_symlink(own)) {
        tree.Problems.push_back(Show(path) + ": is a link to nothing");
      } else {
        tree.Problems.push_back(Show(path) + ": is not a regular file or a folder");
      }
    }
    if (ec) {
      tree.Problems.push_back(Show(staged) + ": cannot be read: " + ec.message());
      ec.clear();
    } else if (empty && !staged.empty()) {
      tree.EmptyDirs.push_back(staged);
    }
  }
  return tree;
}

StagedLog LogFromStagedTree(const StagedTree& tree, const StagedOptions& options) {
  std::vector<std::string> problems = tree.Problems;
  StagedLog result;

  const std::wstring target = CheckedTarget(options.Target, "--target");
  for (std::size_t i = 0; i < options.Maps.size(); ++i) {
    const StagedMap& map = options.Maps[i];
    for (std::size_t j = 0; j < i; ++j) {
      if (options.Maps[j].Folder == map.Folder) {
        problems.push_back("--map " + Show(map.Folder) + ": the folder is mapped twice");
      }
    }
    const bool holds_files =
        std::any_of(tree.Files.begin(), tree.Files.end(),
                    [&](const StagedPath& f) { return StartsWith(f, map.Folder); });
    if (!holds_files) {
      problems.push_back("--map " + Show(map.Folder) + ": no staged file is in that folder");
    }
  }

  // Every staged file and empty folder with its target, in the log's order.
  // An empty folder is named by an entry of its own, which the uninstall's
  // directory stage removes once it is empty. The folders above it are
  // visited with it as those of a file are: up to the nearest folder the
  // log names (the application's folder, where a file lies in it).
  std::vector<Placed> placed;
  std::size_t folders = 0;
  for (const auto& [path, folder] : SortedEntries(tree)) {
    std::string problem;
    for (const std::wstring& name : *path) {
      problem = NameProblem(name);
      if (!problem.empty()) break;
    }
    if (!problem.empty()) {
      problems.push_back(Show(*path) + ": " + problem);
      continue;
    }
    const StagedMap* map = MapOf(*path, options.Maps);
    const std::size_t base = map == nullptr ? 0 : map->Folder.size();
    std::wstring landing = map == nullptr ? target : map->Target;
    if (base < path->size()) landing += L"\\" + Join(*path, base);
    if (folder) landing += L'\\';
    placed.push_back({path, std::move(landing), folder});
    if (folder) ++folders;
  }

  CaseClashes clashes(problems);
  for (const Placed& file : placed) clashes.Add(file);

  const auto find = [&placed](const StagedPath& path) -> const Placed* {
    for (const Placed& file : placed) {
      if (!file.folder && *file.staged == path) return &file;
    }
    return nullptr;
  };
  const auto staged_file = [&](const StagedPath& path, const std::string& what) -> const Placed* {
    const Placed* file = find(path);
    const bool exists = std::find(tree.Files.begin(), tree.Files.end(), path) != tree.Files.end();
    if (!exists)
      problems.push_back(what + " " + Show(path) + ": no such file in the staged folder");
    return file;
  };

  InstallLog& log = result.Log;
  log.AppInfo.AppPath = target;
  log.AppInfo.AppName = options.AppName;
  log.AppInfo.GroupName = options.GroupName;
  // The name is also the desktop link's file name, the group a folder.
  if (options.AppName.empty()) {
    problems.emplace_back("--name: the application needs a name");
  } else if (const std::string problem = NameProblem(options.AppName); !problem.empty()) {
    problems.push_back("--name " + QuoteText(options.AppName) + ": " + problem +
                       " (the name is also the desktop link's)");
  }
  CheckNames("--group", options.GroupName, problems);
  if (const Placed* main = staged_file(options.MainFile, "--main")) {
    log.AppInfo.MainPath = main->target;
  }

  std::vector<const Placed*> kept;
  for (const StagedPath& path : options.KeptFiles) {
    if (const Placed* file = staged_file(path, "--keep")) kept.push_back(file);
  }
  for (const Placed& file : placed) {
    if (IsOwnFile(file.target)) {
      result.Notes.push_back(Show(*file.staged) + " is left out of the log: it lands on " +
                             ToUtf8(file.target) +
                             ", the uninstaller itself or its log, which no stage deletes: the "
                             "uninstaller removes them last, with the emptied folder");
      continue;
    }
    const bool keep = std::find(kept.begin(), kept.end(), &file) != kept.end();
    log.Files.push_back(
        {Join(*file.staged, 0) + (file.folder ? L"\\" : L""), file.target, keep ? kTrue : kFalse});
  }
  if (log.Files.size() > static_cast<std::size_t>(kMaxEntries)) {
    problems.push_back("the staged folder holds " + std::to_string(log.Files.size()) +
                       (folders == 0 ? " files" : " files and empty folders") +
                       "; a log holds at most " + std::to_string(kMaxEntries));
  }

  // Every key with its trailing "\", as the uninstaller compares keys by
  // their names: written without it, a key looks like a prefix of its own
  // subkeys' text to readers that compare text.
  log.RegKeys = options.RegKeys;
  for (RegKeyEntry& key : log.RegKeys) {
    if (!key.SubKey.empty() && key.SubKey.back() != L'\\') key.SubKey.push_back(L'\\');
  }
  log.Links = options.Links;
  if (!options.GroupLinks.empty() && options.GroupName.empty()) {
    problems.emplace_back("--link needs --group: the links go in the program group");
  }
  for (const StagedLink& link : options.GroupLinks) {
    const std::size_t at = link.Name.rfind(L'\\');
    std::wstring folder = L"%userfolder%";
    if (at != std::wstring::npos) folder += L"\\" + link.Name.substr(0, at);
    const std::wstring name = at == std::wstring::npos ? link.Name : link.Name.substr(at + 1);
    CheckNames("--link", link.Name, problems);
    const Placed* file = staged_file(link.File, "--link");
    log.Links.push_back({folder, name, file == nullptr ? L"" : file->target});
  }
  for (const auto& [what, size] :
       {std::pair<std::string, std::size_t>{"registry keys", log.RegKeys.size()},
        {"links", log.Links.size()}}) {
    if (size > static_cast<std::size_t>(kMaxEntries)) {
      problems.push_back("the options give " + std::to_string(size) + " " + what +
                         "; a log holds at most " + std::to_string(kMaxEntries));
    }
  }

  if (!problems.empty()) {
    std::string message;
    for (const std::string& problem : problems) message += (message.empty() ? "" : "\n") + problem;
    throw ManifestError(message);
  }
  log.FileCount = static_cast<std::int16_t>(log.Files.size());
  log.RegKeyCount = static_cast<std::int16_t>(log.RegKeys.size());
  log.LinkCount = static_cast<std::int16_t>(log.Links.size());
  return result;
}

}  // namespace uninstall::tools
