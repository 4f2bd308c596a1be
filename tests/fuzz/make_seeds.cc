// Writes the seed corpus of the fuzz targets:
//   make_seeds <dir>
// creates <dir>/<target>/<seed> for the targets reader, plan, flow (logs)
// and paths (strings), and <dir>/<target>_repeat/<seed> for their repeated
// form. The committed corpus in tests/fuzz/corpus/ is its
// output; run it again after changing a seed.
#include <filesystem>
#include <fstream>
#include <utility>

#include "fuzz_input.h"
#include "installlog/format.h"
#include "installlog/records.h"
#include "installlog/writer.h"
#include "tests/support/log_builder.h"

namespace uninstall {
namespace {

constexpr std::int32_t kHkcu = *RootKeyByName("HKEY_CURRENT_USER");
constexpr std::int32_t kHklm = *RootKeyByName("HKEY_LOCAL_MACHINE");

std::string Serialize(const AppInfo& app, const std::vector<FileEntry>& files,
                      const std::vector<RegKeyEntry>& keys, const std::vector<LinkEntry>& links) {
  return SerializeInstallFile(app, static_cast<std::int16_t>(files.size()), files,
                              static_cast<std::int16_t>(keys.size()), keys,
                              static_cast<std::int16_t>(links.size()), links);
}

// The application of the flow target's machine, as its installer logs it.
std::string ToolLog() {
  return Serialize({L"%currentdir%", L"Tool", L"%currentdir%\\tool.exe", L"Tool"},
                   {{L"tool.exe", L"%currentdir%\\tool.exe", kFalse},
                    {L"a.dat", L"%currentdir%\\data\\a.dat", kFalse},
                    {L"ro.dat", L"%currentdir%\\data\\ro.dat", kFalse},
                    {L"c.dat", L"%currentdir%\\sub\\deep\\c.dat", kFalse},
                    {L"user.cfg", L"%currentdir%\\user.cfg", kTrue},
                    {L"shared.dll", L"%winsysdir%\\shared.dll", kTrue},
                    {L"hidden.dat", L"%CurrentDir%hidden.dat", kFalse}},
                   {{kHklm, L"Software\\Tool\\Settings", L"", L""},
                    {kHklm, L"Software\\Tool\\Sub\\Deep\\", L"x", L"y"},
                    {kHklm, L"Software\\Tool", L"", L""},
                    {kHkcu, L"Software\\Tool", L"", L""}},
                   {{L"%userfolder%", L"Tool", L"%currentdir%\\tool.exe"},
                    {L"Tool", L"Help", L"%windir%\\help.exe"}});
}

// Paths of every shape the helpers meet: drives, shares, variables, nesting.
std::string PathsLog() {
  return Serialize({L"%rootdir%App", L"App", L"C:\\App\\bin\\app.exe", L"App Group"},
                   {{L"a", L"C:\\App\\bin\\a.exe", kFalse},
                    {L"b", L"C:\\App\\bin\\x\\y\\b.dll", kFalse},
                    {L"c", L"\\\\server\\share\\App\\c.txt", kFalse},
                    {L"d", L"%userdir%d.ini", kFalse},
                    {L"e", L"%userfolder%\\e.txt", kFalse},
                    {L"f", L"C:\\App\\", kFalse},
                    {L"g", L"", kFalse},
                    {L"h", L"C:\\App\\bin\\x\\y\\z\\w\\h.dat", kTrue}},
                   {{kHklm, L"Software\\A\\B\\C\\D", L"", L""},
                    {kHklm, L"Software\\A", L"", L""},
                    {kHklm, L"Software\\AB", L"", L""},
                    {kHkcu, L"Software\\A\\B\\C\\D", L"", L""},
                    {kHklm, L"", L"", L""},
                    {0x1234, L"Software\\A\\B", L"", L""}},
                   {{L"%userfolder%", L"App", L"%currentdir%app.exe"}});
}

// The description LogBytesFromInput reads in the repeated form: prefix +
// unit * count + suffix, for a count up to 255 or from 32640 to 32895.
std::string Repeated(std::size_t count, const std::string& prefix, const std::string& unit,
                     const std::string& suffix) {
  const bool near_limit = count >= fuzz::kNearLimitBase;
  return std::string{static_cast<char>(near_limit ? count - fuzz::kNearLimitBase : count),
                     static_cast<char>(near_limit ? fuzz::kNearLimitMark : 0),
                     static_cast<char>(prefix.size()), static_cast<char>(unit.size())} +
         prefix + unit + suffix;
}

namespace lb = log_builder;
constexpr char kJunk[] = "\x13\x37junk\0\xFF\x01\x02\x03\x04 not a log";
using Seeds = std::vector<std::pair<std::string, std::string>>;

Seeds LogSeeds() {
  const std::string tool = ToolLog();
  const std::string junk_between =
      lb::Header() + std::string("\0\x07", 2) + tool.substr(lb::Header().size()) + "\xFF" +
      lb::FileRec("", "C:\\x\\y.txt", 0) + "\r\n" + lb::LinkRec("G", "L", "") + "\x05";
  return {
      {"tool", tool},
      {"paths", PathsLog()},
      {"magic_only", std::string(kInstallFileMagic)},
      {"wrong_case", "installfile\r\n" + tool.substr(13)},
      {"cut", tool.substr(0, tool.size() / 2 + 3)},
      {"junk", std::string(kJunk, sizeof kJunk - 1)},
      {"junk_between_records", junk_between},
      {"negative_length", lb::Header() + lb::Kind(kRecordFileEntry) + lb::BadStr(-5, "abc")},
      {"length_2g", lb::Header() + lb::Kind(kRecordRegKeyEntry) + lb::Int(kHklm) +
                        lb::BadStr(INT32_MAX, "Software")},
  };
}

Seeds RepeatedLogSeeds() {
  const std::string tool = ToolLog();
  return {
      {"tool", Repeated(0, "", "", tool)},
      {"many_links", Repeated(32768, lb::Header(), lb::LinkRec("G", "L", ""), "")},
      {"many_nested_files",
       Repeated(255, lb::Header(), lb::FileRec("", "C:\\a\\b\\", 0), tool.substr(13))},
      {"full_file_list", Repeated(32767, lb::Header(), lb::FileRec("", "C:\\a\\", 0), "")},
  };
}

// The strings WideStringsFromInput reads back: joined by a byte 0, a
// character that is NUL or above 0xFE as 0xFF and its two bytes.
std::string Strings(const std::vector<std::wstring>& parts) {
  std::string out;
  for (const std::wstring& part : parts) {
    if (&part != parts.data()) out.push_back('\0');
    for (const wchar_t c : part) {
      const bool escaped = c == 0 || c >= 0xFF;
      if (escaped) out += '\xFF';
      out += static_cast<char>(c & 0xFF);
      if (escaped) out += static_cast<char>((c >> 8) & 0xFF);
    }
  }
  return out;
}

Seeds PathSeeds() {
  const auto with_fields = [](const std::wstring& path) {
    return Strings({path, L"C:\\WINDOWS\\", L"C:\\WINDOWS\\system32\\", L"D:\\Apps\\Tool\\",
                    L"D:\\Apps\\Tool\\Uninstall.dat", L"Tool"});
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
const Seeds kRepeatedPathSeeds = {
    {"long_share", Strings({L"\\\\srv"})},
    {"separators", Strings({L"\\"})},
    {"drive", Strings({L"C:\\dir"})},
};

// A seed that cannot be written ends the program with the exception.
void WriteAll(const std::filesystem::path& dir, const Seeds& seeds) {
  std::filesystem::create_directories(dir);
  for (const auto& [name, bytes] : seeds) {
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.exceptions(std::ios::failbit | std::ios::badbit);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
}

}  // namespace
}  // namespace uninstall

int main(int argc, char** argv) {
  if (argc != 2) {
    static_cast<void>(std::fprintf(stderr, "usage: make_seeds <corpus-dir>\n"));
    return 2;
  }
  const std::filesystem::path root(argv[1]);
  for (const std::string target : {"reader", "plan", "flow"}) {
    uninstall::WriteAll(root / target, uninstall::LogSeeds());
    uninstall::WriteAll(root / (target + "_repeat"), uninstall::RepeatedLogSeeds());
  }
  uninstall::WriteAll(root / "paths", uninstall::PathSeeds());
  uninstall::WriteAll(root / "paths_repeat", uninstall::kRepeatedPathSeeds);
}
