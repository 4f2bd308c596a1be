// gen_logs: writes the generated install logs of the benchmarks, and the
// install that scripts/bench-e2e sets up in a Wine prefix.
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
#include "installlog/writer.h"
#include "paths/variables.h"
#include "removal/directories.h"
#include "removal/files.h"
#include "removal/registry_keys.h"
#include "removal/shortcuts.h"

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

std::string RootName(std::int32_t root) {
  switch (static_cast<std::uint32_t>(root)) {
    case 0x80000000u:
      return "HKEY_CLASSES_ROOT";
    case 0x80000001u:
      return "HKEY_CURRENT_USER";
    default:
      return "HKEY_LOCAL_MACHINE";
  }
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
    reg += "\r\n[" + RootName(key.RootKey) + "\\" + Ascii(key.SubKey) + "]\r\n\"bench\"=\"1\"\r\n";
  }
  WriteFile(dir + "/keys.reg", reg);

  const PathFields fields{L"C:\\windows\\", L"C:\\windows\\system32\\", WithBackslash(app_dir),
                          WithBackslash(app_dir) + L"Uninstall.dat"};
  ExpandAllPaths(fields, log.FileCount, log.Files, log.LinkCount, log.Links, log.AppInfo);

  std::string create;
  std::string bare;
  std::set<std::wstring> seen;
  for (const PlanItem& key : RegistryKeyDeletionOrder(log.RegKeyCount, log.RegKeys)) {
    std::wstring sub = key.path;
    if (!sub.empty() && sub.back() == L'\\') sub.pop_back();
    if (!seen.insert(std::to_wstring(key.root) + L":" + sub).second) continue;
    char root[16];
    static_cast<void>(std::snprintf(root, sizeof root, "%08X", static_cast<unsigned>(key.root)));
    bare += std::string("K ") + root + " " + Ascii(sub) + "\n";
  }
  for (const FileEntry& file : log.Files) {
    create += Ascii(file.TargetPath) + "\n";
    if (FileStageTakesEntry(file)) bare += "F " + Ascii(file.TargetPath) + "\n";
  }
  seen.clear();
  for (const std::wstring& folder : DirectoryVisitOrder(log.FileCount, log.Files)) {
    if (seen.insert(folder).second) bare += "D " + Ascii(folder) + "\n";
  }
  const std::wstring programs = WithBackslash(programs_dir);
  for (const ShellLinkCall& call : ShellLinkCalls(log.LinkCount, log.Links, log.AppInfo)) {
    const std::wstring folder = call.folderName == kDesktopLinkFolder
                                    ? WithBackslash(desktop_dir)
                                    : programs + call.folderName + L"\\";
    const std::string link = Ascii(folder + call.linkName + L".lnk");
    create += link + "\n";
    bare += "L " + link + "\n";
  }
  bare += "D " + Ascii(programs + log.AppInfo.GroupName) + "\n";
  WriteFile(dir + "/create.txt", create);
  WriteFile(dir + "/bare.txt", bare);
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
