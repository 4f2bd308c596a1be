// gen_logs: writes the generated install logs of the benchmarks, and the
// install that bench/e2e sets up in a Wine prefix.
//
//   gen_logs records COUNT OUT.dat   COUNT records of each kind
//   gen_logs tree OUT.dat            32767 files and keys over a deep tree
//   gen_logs install FILES DIR APPDIR PROGRAMSDIR DESKTOPDIR
//
// `install` writes into DIR, for an application in the Windows folder
// APPDIR whose links go to PROGRAMSDIR (the Start menu's Programs folder)
// and DESKTOPDIR:
//   Uninstall.dat  the log: FILES files over a tree 1 to 6 levels deep,
//                  FILES / 10 registry keys, FILES / 100 links (at least 8)
//   create.txt     every file to make, links included, one Windows path a
//                  line
//   keys.reg       every logged key, for regedit
//   bare.txt       what the uninstall tests and deletes, in its order, for
//                  bench/bare_loop.cc: "K ROOT SUBKEY" (ROOT in hex) per key,
//                  "F PATH" per file, "D PATH" per folder (deepest first),
//                  "L PATH" per link, "D PATH" for the program group
//   bench.nsi      the same install as an NSIS script (makensis
//                  -DOUTFILE=SETUP.EXE -DTIMES=WINPATH): its installer makes
//                  the files, keys and links and writes its uninstaller as
//                  APPDIR\uninst.exe; the uninstaller makes the calls of
//                  bare.txt as NSIS commands (DeleteRegKey, Delete, RMDir),
//                  in the same order, and writes the system time before and
//                  after them to TIMES (two FILETIME values)
// The paths are expanded with the folders of a Wine prefix (C:\windows).
// All texts are ASCII; APPDIR and the other folders must be too.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/log_shapes.h"
#include "installlog/format.h"
#include "installlog/writer.h"
#include "paths/shell_registration.h"
#include "paths/variables.h"
#include "removal/removal_plan.h"

namespace uninstall::bench {
namespace {

std::string Ascii(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (static_cast<std::uint32_t>(c) >= 0x80)
      throw std::runtime_error("gen_logs: a generated text is not ASCII");
    out += static_cast<char>(c);
  }
  return out;
}

std::wstring Wide(std::string_view text) {
  std::wstring out;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      throw std::runtime_error("gen_logs: the folders must be ASCII");
    }
    out += static_cast<wchar_t>(c);
  }
  return out;
}

std::wstring WithBackslash(std::wstring dir) {
  if (dir.empty() || dir.back() != L'\\') dir += L'\\';
  return dir;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("gen_logs: cannot write " + path);
}

std::string Serialize(const InstallLog& log) {
  return SerializeInstallFile(log.AppInfo, log.FileCount, log.Files, log.RegKeyCount, log.RegKeys,
                              log.LinkCount, log.Links);
}

// The generated keys are under predefined roots only.
const RegistryRoot& RootOf(std::int32_t root) {
  const RegistryRoot* found = FindRegistryRoot(root);
  if (found == nullptr) throw std::runtime_error("gen_logs: a key under no predefined root");
  return *found;
}

// A text in an NSIS script's double quotes: "$" doubled; the other
// characters that need escaping there cannot occur in these paths.
std::string Nsis(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '"') throw std::runtime_error("gen_logs: a path with a double quote");
    out += c;
    if (c == '$') out += '$';
  }
  return out;
}

// The NSIS script of the same install: `files` and `links` to create (Windows
// paths), `keys` to write, and the uninstaller's calls from `bare` (the lines
// of bare.txt).
std::string NsisScript(const std::wstring& app_dir, const std::vector<std::string>& files,
                       const std::vector<std::string>& links, const std::vector<RegKeyEntry>& keys,
                       const std::string& bare) {
  const std::string app = Nsis(Ascii(app_dir));
  std::string nsi =
      "; The install of gen_logs install, by NSIS; generated.\n"
      "!ifdef TARGET\n  Target ${TARGET}\n!else\n  Unicode true\n!endif\n"
      "!ifndef OUTFILE\n  !define OUTFILE bench-setup.exe\n!endif\n"
      "!ifndef TIMES\n  !define TIMES \"C:\\e2e\\nsis-times.txt\"\n!endif\n"
      "Name \"Bench Application\"\nOutFile \"${OUTFILE}\"\nRequestExecutionLevel admin\n"
      "InstallDir \"" +
      app +
      "\"\n\n"
      "Section\n";
  std::set<std::string> dirs;
  for (const std::string& path : files) dirs.insert(path.substr(0, path.rfind('\\')));
  for (const std::string& path : links) dirs.insert(path.substr(0, path.rfind('\\')));
  for (const std::string& dir : dirs) nsi += "  CreateDirectory \"" + Nsis(dir) + "\"\n";
  for (const std::string& path : files) {
    nsi += "  FileOpen $0 \"" + Nsis(path) + "\" w\n  FileClose $0\n";
  }
  for (const RegKeyEntry& key : keys) {
    nsi += "  WriteRegStr " + std::string(RootOf(key.RootKey).abbreviation) + " \"" +
           Nsis(Ascii(key.SubKey)) + "\" \"bench\" \"1\"\n";
  }
  for (const std::string& link : links) {
    nsi += "  CreateShortCut \"" + Nsis(link) + "\" \"" + app + "\\Bench.exe\"\n";
  }
  nsi += "  WriteUninstaller \"" + app + "\\uninst.exe\"\nSectionEnd\n\n";

  // The system clock around the calls only: the plug-in is unpacked at the
  // first System::Call, before the calls begin.
  nsi += "Section \"Uninstall\"\n  System::Call 'kernel32::GetSystemTimeAsFileTime(*l .r8)'\n";
  std::size_t start = 0;
  while (start < bare.size()) {
    const std::size_t end = bare.find('\n', start);
    const std::string line = bare.substr(start, end - start);
    start = end + 1;
    const std::string rest = Nsis(line.substr(2));
    switch (line[0]) {
      case 'K': {
        const std::size_t space = rest.find(' ');
        const auto root = static_cast<std::int32_t>(std::stoul(rest.substr(0, space), nullptr, 16));
        nsi += "  DeleteRegKey " + std::string(RootOf(root).abbreviation) + " \"" +
               rest.substr(space + 1) + "\"\n";
        break;
      }
      case 'F':
      case 'L':
        nsi += "  Delete \"" + rest + "\"\n";
        break;
      default:
        nsi += "  RMDir \"" + rest + "\"\n";
        break;
    }
  }
  nsi +=
      "  System::Call 'kernel32::GetSystemTimeAsFileTime(*l .r9)'\n"
      "  FileOpen $0 \"${TIMES}\" w\n  FileWrite $0 \"$8 $9$\\r$\\n\"\n  FileClose $0\n"
      "SectionEnd\n";
  return nsi;
}

void WriteInstall(int files, const std::string& dir, const std::wstring& app_dir,
                  const std::wstring& programs_dir, const std::wstring& desktop_dir) {
  TreeShape shape;
  shape.files = files;
  shape.keys = files / 10;
  shape.links = std::max(8, files / 100);
  InstallLog log = TreeLog(shape);
  WriteFile(dir + "/Uninstall.dat", Serialize(log));

  std::string reg = "REGEDIT4\r\n";
  for (const RegKeyEntry& key : log.RegKeys) {
    reg += "\r\n[" + std::string(RootOf(key.RootKey).name) + "\\" + Ascii(key.SubKey) +
           "]\r\n\"bench\"=\"1\"\r\n";
  }
  WriteFile(dir + "/keys.reg", reg);

  const PathFields fields{L"C:\\windows\\", L"C:\\windows\\system32\\", WithBackslash(app_dir),
                          WithBackslash(app_dir) + L"Uninstall.dat"};
  ExpandAllPaths(fields, log.FileCount, log.Files, log.LinkCount, log.Links, log.AppInfo);

  std::string create;
  std::string bare;
  std::vector<std::string> created_files;
  std::vector<std::string> created_links;
  std::set<std::wstring> seen;
  const RemovalPlan plan = PlanRemoval(log);
  // The keys the uninstaller deletes: those of the deletion order that it
  // does not keep.
  for (const KeyStep& key : plan.registry) {
    if (key.action == KeyAction::kKeepAbove || key.action == KeyAction::kKeepShared) continue;
    std::wstring sub(key.path);
    if (!sub.empty() && sub.back() == L'\\') sub.pop_back();
    if (!seen.insert(std::to_wstring(key.root) + L":" + sub).second) continue;
    char root[16];
    static_cast<void>(std::snprintf(root, sizeof root, "%08X", static_cast<unsigned>(key.root)));
    bare += std::string("K ") + root + " " + Ascii(sub) + "\n";
  }
  for (const FileEntry& file : log.Files) {
    created_files.push_back(Ascii(file.TargetPath));
    create += created_files.back() + "\n";
  }
  for (const std::wstring_view file : plan.files) bare += "F " + Ascii(file) + "\n";
  seen.clear();
  for (const DirectoryVisit& visit : plan.directories) {
    if (seen.emplace(visit.dir).second) bare += "D " + Ascii(visit.dir) + "\n";
  }
  const std::wstring programs = WithBackslash(programs_dir);
  for (const ShellLinkCall& call : plan.links) {
    const std::wstring folder = call.folderName == kDesktopLinkFolder
                                    ? WithBackslash(desktop_dir)
                                    : programs + call.folderName + L"\\";
    const std::string link = Ascii(folder + call.linkName + L".lnk");
    create += link + "\n";
    bare += "L " + link + "\n";
    created_links.push_back(link);
  }
  bare += "D " + Ascii(programs + log.AppInfo.GroupName) + "\n";
  WriteFile(dir + "/create.txt", create);
  WriteFile(dir + "/bare.txt", bare);
  std::wstring app = app_dir;
  while (!app.empty() && app.back() == L'\\') app.pop_back();
  WriteFile(dir + "/bench.nsi", NsisScript(app, created_files, created_links, log.RegKeys, bare));
}

int Main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "records") {
    const std::int64_t count = std::strtoll(args[1].c_str(), nullptr, 10);
    if (count < 1 || count > kMaxEntries) {
      std::cerr << "gen_logs: COUNT must be 1 to " << kMaxEntries << "\n";
      return 2;
    }
    WriteFile(args[2], Serialize(RecordsOfEachKind(static_cast<int>(count))));
    return 0;
  }
  if (args.size() == 2 && args[0] == "tree") {
    WriteFile(args[1], Serialize(TreeLog(DeepTreeShape())));
    return 0;
  }
  if (args.size() == 6 && args[0] == "install") {
    const std::int64_t files = std::strtoll(args[1].c_str(), nullptr, 10);
    if (files < 1 || files > kMaxEntries) {
      std::cerr << "gen_logs: FILES must be 1 to " << kMaxEntries << "\n";
      return 2;
    }
    WriteInstall(static_cast<int>(files), args[2], Wide(args[3]), Wide(args[4]), Wide(args[5]));
    return 0;
  }
  std::cerr << "usage: gen_logs records COUNT OUT.dat\n"
               "       gen_logs tree OUT.dat\n"
               "       gen_logs install FILES DIR APPDIR PROGRAMSDIR DESKTOPDIR\n";
  return 2;
}

}  // namespace
}  // namespace uninstall::bench

int main(int argc, char** argv) {
  try {
    return uninstall::bench::Main(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
}
