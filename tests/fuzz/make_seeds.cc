// Writes the seed corpus of the fuzz targets:
//   make_seeds <dir>
// creates <dir>/<target>/<seed> for the targets reader, plan, flow (logs)
// and paths (strings), and <dir>/<target>_repeat/<seed> for their repeated
// form. The committed corpus in tests/fuzz/corpus/ is its
// output; run it again after changing a seed.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "installlog/format.h"
#include "installlog/records.h"
#include "installlog/writer.h"
#include "tests/support/log_builder.h"

namespace uninstall {
namespace {

constexpr std::int32_t kHkcu = *RootKeyByName("HKEY_CURRENT_USER");
constexpr std::int32_t kHklm = *RootKeyByName("HKEY_LOCAL_MACHINE");

std::string Serialize(const InstallLog& log) {
  return SerializeInstallFile(log.AppInfo, static_cast<std::int16_t>(log.Files.size()), log.Files,
                              static_cast<std::int16_t>(log.RegKeys.size()), log.RegKeys,
                              static_cast<std::int16_t>(log.Links.size()), log.Links);
}

// The application of the flow target's machine, as its installer logs it.
InstallLog ToolLog() {
  InstallLog log;
  log.AppInfo = {L"%currentdir%", L"Tool", L"%currentdir%\\tool.exe", L"Tool"};
  log.Files = {
      {L"tool.exe", L"%currentdir%\\tool.exe", kFalse},
      {L"a.dat", L"%currentdir%\\data\\a.dat", kFalse},
      {L"ro.dat", L"%currentdir%\\data\\ro.dat", kFalse},
      {L"c.dat", L"%currentdir%\\sub\\deep\\c.dat", kFalse},
      {L"user.cfg", L"%currentdir%\\user.cfg", kTrue},
      {L"shared.dll", L"%winsysdir%\\shared.dll", kTrue},
      {L"hidden.dat", L"%CurrentDir%hidden.dat", kFalse},
  };
  log.RegKeys = {
      {kHklm, L"Software\\Tool\\Settings", L"", L""},
      {kHklm, L"Software\\Tool\\Sub\\Deep\\", L"x", L"y"},
      {kHklm, L"Software\\Tool", L"", L""},
      {kHkcu, L"Software\\Tool", L"", L""},
  };
  log.Links = {
      {L"%userfolder%", L"Tool", L"%currentdir%\\tool.exe"},
      {L"Tool", L"Help", L"%windir%\\help.exe"},
  };
  return log;
}

// Paths of every shape the helpers meet: drives, shares, variables, nesting.
InstallLog PathsLog() {
  InstallLog log;
  log.AppInfo = {L"%rootdir%App", L"App", L"C:\\App\\bin\\app.exe", L"App Group"};
  log.Files = {
      {L"a", L"C:\\App\\bin\\a.exe", kFalse},
      {L"b", L"C:\\App\\bin\\x\\y\\b.dll", kFalse},
      {L"c", L"\\\\server\\share\\App\\c.txt", kFalse},
      {L"d", L"%userdir%d.ini", kFalse},
      {L"e", L"%userfolder%\\e.txt", kFalse},
      {L"f", L"C:\\App\\", kFalse},
      {L"g", L"", kFalse},
      {L"h", L"C:\\App\\bin\\x\\y\\z\\w\\h.dat", kTrue},
  };
  log.RegKeys = {
      {kHklm, L"Software\\A\\B\\C\\D", L"", L""},
      {kHklm, L"Software\\A", L"", L""},
      {kHklm, L"Software\\AB", L"", L""},
      {kHkcu, L"Software\\A\\B\\C\\D", L"", L""},
      {kHklm, L"", L"", L""},
      {0x1234, L"Software\\A\\B", L"", L""},
  };
  log.Links = {{L"%userfolder%", L"App", L"%currentdir%app.exe"}};
  return log;
}

// The description RepeatedLogBytes reads: prefix + unit * count + suffix,
// for a count up to 255 or from 32640 to 32895.
std::string Repeated(std::size_t count, const std::string& prefix, const std::string& unit,
                     const std::string& suffix) {
  const bool near_limit = count >= fuzz::kNearLimitBase;
  const std::size_t low = near_limit ? count - fuzz::kNearLimitBase : count;
  std::string out;
  out.push_back(static_cast<char>(low));
  out.push_back(static_cast<char>(near_limit ? fuzz::kNearLimitMark : 0));
  out.push_back(static_cast<char>(prefix.size()));
  out.push_back(static_cast<char>(unit.size()));
  return out + prefix + unit + suffix;
}

using log_builder::BadStr;
using log_builder::Header;
using log_builder::Int;
using log_builder::Kind;

std::string LinkRecord(const std::string& folder, const std::string& name) {
  return log_builder::LinkRec(folder, name, "");
}

std::string FileRecord(const std::string& target) { return log_builder::FileRec("", target, 0); }

constexpr char kJunk[] = "\x13\x37junk\0\xFF\x01\x02\x03\x04 not a log";

using Seeds = std::vector<std::pair<std::string, std::string>>;

Seeds LogSeeds() {
  const std::string tool = Serialize(ToolLog());
  const std::string paths = Serialize(PathsLog());
  const std::string junk_between =
      Header() + std::string("\0\x07", 2) + tool.substr(Header().size()) + "\xFF" +
      FileRecord("C:\\x\\y.txt") + "\r\n" + LinkRecord("G", "L") + "\x05";
  const std::string negative = Header() + Kind(kRecordFileEntry) + BadStr(-5, "abc");
  const std::string huge =
      Header() + Kind(kRecordRegKeyEntry) + Int(kHklm) + BadStr(INT32_MAX, "Software");
  return {
      {"tool", tool},
      {"paths", paths},
      {"magic_only", std::string(kInstallFileMagic)},
      {"wrong_case", "installfile\r\n" + tool.substr(13)},
      {"cut", tool.substr(0, tool.size() / 2 + 3)},
      {"junk", std::string(kJunk, sizeof kJunk - 1)},
      {"junk_between_records", junk_between},
      {"negative_length", negative},
      {"length_2g", huge},
  };
}

Seeds RepeatedLogSeeds() {
  const std::string tool = Serialize(ToolLog());
  return {
      {"tool", Repeated(0, "", "", tool)},
      {"many_links", Repeated(32768, Header(), LinkRecord("G", "L"), "")},
      {"many_nested_files", Repeated(255, Header(), FileRecord("C:\\a\\b\\"), tool.substr(13))},
      {"full_file_list", Repeated(32767, Header(), FileRecord("C:\\a\\"), "")},
  };
}

std::string Wide(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) {
    if (c == 0 || c >= 0xFF) {
      out.push_back('\xFF');
      out.push_back(static_cast<char>(c & 0xFF));
      out.push_back(static_cast<char>((c >> 8) & 0xFF));
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::string Strings(const std::vector<std::wstring>& parts) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out.push_back('\0');
    out += Wide(parts[i]);
  }
  return out;
}

Seeds PathSeeds() {
  const std::vector<std::wstring> fields = {L"C:\\WINDOWS\\", L"C:\\WINDOWS\\system32\\",
                                            L"D:\\Apps\\Tool\\", L"D:\\Apps\\Tool\\Uninstall.dat",
                                            L"Tool"};
  const auto with_fields = [&](const std::wstring& path) {
    std::vector<std::wstring> parts{path};
    parts.insert(parts.end(), fields.begin(), fields.end());
    return Strings(parts);
  };
  return {
      {"drive", with_fields(L"C:\\dir\\sub\\file.txt")},
      {"share", with_fields(L"\\\\server\\share\\dir\\file")},
      {"share_root", with_fields(L"\\\\server\\share")},
      {"windir", with_fields(L"%WinDir%\\system.ini")},
      {"userfolder", with_fields(L"%userfolder%x")},
      {"rootdir", with_fields(L"%rootdir%Data\\")},
      {"wide_chars", with_fields(std::wstring(L"C:\\\x00e9\x4e2d\\") + L'\0' + L"x")},
      {"chained", Strings({L"%windir%x", L"%userfolder%\\", L"", L"", L"", L"%windir%"})},
  };
}

// Paths repeated to the limit of the root scan: a share that never ends, a
// run of separators, a drive path.
Seeds RepeatedPathSeeds() {
  return {
      {"long_share", Strings({L"\\\\srv"})},
      {"separators", Strings({L"\\"})},
      {"drive", Strings({L"C:\\dir"})},
  };
}

bool WriteAll(const std::filesystem::path& dir, const Seeds& seeds) {
  std::filesystem::create_directories(dir);
  for (const auto& [name, bytes] : seeds) {
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  return true;
}

}  // namespace
}  // namespace uninstall

int main(int argc, char** argv) {
  if (argc != 2) {
    static_cast<void>(std::fprintf(stderr, "usage: make_seeds <corpus-dir>\n"));
    return 2;
  }
  const std::filesystem::path root(argv[1]);
  bool ok = true;
  for (const std::string target : {"reader", "plan", "flow"}) {
    ok = ok && uninstall::WriteAll(root / target, uninstall::LogSeeds());
    ok = ok && uninstall::WriteAll(root / (target + "_repeat"), uninstall::RepeatedLogSeeds());
  }
  ok = ok && uninstall::WriteAll(root / "paths", uninstall::PathSeeds());
  ok = ok && uninstall::WriteAll(root / "paths_repeat", uninstall::RepeatedPathSeeds());
  return ok ? 0 : 1;
}
