#include "tools/prefix_state.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "tools/file_io.h"
#include "tools/utf8.h"

namespace uninstall::tools {
namespace {

namespace fs = std::filesystem;

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return static_cast<unsigned>(c - 'A' + 10);
}

// Decodes the escaped text that starts at `at` up to the unescaped `end`
// character. Returns the text in UTF-8 and moves `at` past `end`; `ok` is
// false when the line ends first. The hive files write every character
// above U+007F as \xHHHH, a UTF-16 unit.
std::string Unescape(std::string_view line, std::size_t& at, char end, bool& ok) {
  std::vector<std::uint32_t> units;
  ok = false;
  while (at < line.size()) {
    const char c = line[at++];
    if (c == end) {
      ok = true;
      break;
    }
    if (c != '\\' || at == line.size()) {
      units.push_back(static_cast<unsigned char>(c));
      continue;
    }
    const char e = line[at++];
    // The control characters' letters, \n and the like; \xHHHH; octal.
    constexpr std::string_view kLetters = "nrtabefv";
    constexpr std::string_view kControls = "\n\r\t\a\b\x1b\f\v";
    if (const std::size_t letter = kLetters.find(e); letter != std::string_view::npos) {
      units.push_back(static_cast<unsigned char>(kControls[letter]));
    } else if (e == 'x') {
      unsigned value = 0;
      for (int i = 0; i < 4 && at < line.size() && IsHexDigit(line[at]); ++i) {
        value = value * 16 + HexValue(line[at++]);
      }
      units.push_back(value);
    } else if (e >= '0' && e <= '7') {
      unsigned value = static_cast<unsigned char>(e) - unsigned{'0'};
      for (int i = 0; i < 2 && at < line.size() && line[at] >= '0' && line[at] <= '7'; ++i) {
        value = value * 8 + (static_cast<unsigned char>(line[at++]) - unsigned{'0'});
      }
      units.push_back(value);
    } else {
      units.push_back(static_cast<unsigned char>(e));  // \\ \" \[ \] ...
    }
  }
  // Where wchar_t is 32 bits wide, pairs of UTF-16 surrogates become the
  // one character they stand for; on Windows they stay the pair they are.
  std::wstring text;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const std::uint32_t u = units[i];
    if (sizeof(wchar_t) == 4 && u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() &&
        units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      text.push_back(
          static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
      ++i;
      continue;
    }
    text.push_back(static_cast<wchar_t>(u));
  }
  return ToUtf8(text);
}

PrefixKey& AddKey(std::map<std::string, PrefixKey>& keys, const std::string& path) {
  // Every ancestor exists too, listed in the file or not.
  for (std::size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1)) {
    const std::string parent = path.substr(0, at);
    keys.try_emplace(Comparable(parent), PrefixKey{parent, false, {}});
  }
  PrefixKey& key = keys.try_emplace(Comparable(path), PrefixKey{path, false, {}}).first->second;
  key.listed = true;
  return key;
}

std::uint32_t U32At(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

}  // namespace

std::string ShellLinkTarget(std::string_view bytes) {
  // The shell link format: a 76-byte header whose flags say whether an item
  // list and a link information block follow; the latter holds the target's
  // local path, in the ANSI code page and, in newer links, in UTF-16.
  constexpr std::size_t kHeaderSize = 0x4C;
  if (bytes.size() < kHeaderSize || U32At(bytes, 0) != kHeaderSize) return "";
  const std::uint32_t flags = U32At(bytes, 0x14);
  std::size_t at = kHeaderSize;
  if ((flags & 0x1) != 0) {  // HasLinkTargetIDList: a 16-bit size, then the list
    if (at + 2 > bytes.size()) return "";
    at += 2 + (static_cast<unsigned char>(bytes[at]) |
               (static_cast<std::size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8));
  }
  if ((flags & 0x2) == 0 || at + 0x1C > bytes.size()) return "";  // HasLinkInfo
  const std::string_view info =
      bytes.substr(at, std::min<std::size_t>(U32At(bytes, at), bytes.size() - at));
  if (info.size() < 0x1C || (U32At(info, 8) & 0x1) == 0) return "";  // VolumeIDAndLocalBasePath
  if (U32At(info, 4) >= 0x24 && info.size() >= 0x24) {
    std::wstring text;
    for (std::size_t p = U32At(info, 0x1C); p + 1 < info.size(); p += 2) {
      const auto unit = static_cast<wchar_t>(static_cast<unsigned char>(info[p]) |
                                             (static_cast<unsigned char>(info[p + 1]) << 8));
      if (unit == 0) return ToUtf8(text);
      text.push_back(unit);
    }
    return "";
  }
  const std::size_t path = U32At(info, 0x10);
  if (path >= info.size()) return "";
  const std::size_t end = info.find('\0', path);
  if (end == std::string_view::npos) return "";
  // ANSI, Windows-1252 in Wine's default setting: the bytes above 0x7F are
  // taken as Latin-1, which differs only in 0x80 to 0x9F.
  std::wstring text;
  for (const char c : info.substr(path, end - path)) text.push_back(static_cast<unsigned char>(c));
  return ToUtf8(text);
}

std::uint16_t PeMachine(std::string_view bytes) {
  if (bytes.size() < 0x40 || !bytes.starts_with("MZ")) return 0;
  const std::uint32_t pe = U32At(bytes, 0x3C);
  if (pe > bytes.size() - 6 || bytes.substr(pe, 4) != std::string_view("PE\0\0", 4)) return 0;
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[pe + 4]) |
                                    (static_cast<unsigned char>(bytes[pe + 5]) << 8));
}

std::string Comparable(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

void ParseHiveText(std::string_view text, std::map<std::string, PrefixKey>& keys) {
  PrefixKey* key = nullptr;
  std::string pending;  // a value that goes on over lines ending in "\"
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    if (!pending.empty()) {
      while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
      pending += line;
      if (!pending.empty() && pending.back() == '\\') {
        pending.pop_back();
        continue;
      }
    } else if (!line.empty() && line.front() != '[' && line.back() == '\\') {
      pending = line.substr(0, line.size() - 1);
      continue;
    } else {
      pending = line;
    }
    const std::string entry = pending;
    pending.clear();
    if (entry.empty() || entry.front() == '#' || entry.front() == ';') continue;
    std::size_t at = 1;
    bool ok = false;
    if (entry.front() == '[') {
      const std::string path = Unescape(entry, at, ']', ok);
      key = ok ? &AddKey(keys, path) : nullptr;
      continue;
    }
    if (key == nullptr) continue;
    std::string name;
    if (entry.front() == '@') {
      ok = true;
    } else if (entry.front() == '"') {
      name = Unescape(entry, at, '"', ok);
    }
    if (!ok || at >= entry.size() || entry[at] != '=') continue;
    key->values[Comparable(name)] = PrefixValue{name, entry.substr(at + 1)};
  }
}

PrefixState ReadPrefix(const fs::path& prefix, std::string_view skipped) {
  PrefixState state;
  const fs::path drive = prefix / "drive_c";
  std::error_code error;
  fs::recursive_directory_iterator it(drive, fs::directory_options::none, error);
  if (error) throw std::runtime_error(drive.string() + ": " + error.message());
  for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (error) throw std::runtime_error(drive.string() + ": " + error.message());
    std::string path = it->path().lexically_relative(drive).generic_string();
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    std::string key = Comparable(path);
    if (!skipped.empty() && (key == skipped || key.starts_with(std::string(skipped) + "\\"))) {
      it.disable_recursion_pending();
      continue;
    }
    PrefixFile file;
    file.path = std::move(path);
    const fs::file_status status = it->symlink_status(error);
    if (error) throw std::runtime_error(it->path().string() + ": " + error.message());
    file.folder = fs::is_directory(status);
    if (fs::is_regular_file(status)) {
      file.size = it->file_size(error);
      const fs::file_time_type time = it->last_write_time(error);
      if (error) throw std::runtime_error(it->path().string() + ": " + error.message());
      file.modified = static_cast<std::int64_t>(time.time_since_epoch().count());
      const bool link = key.ends_with(".LNK");
      if (link || key == "UNINSTALL.EXE" || key.ends_with("\\UNINSTALL.EXE")) {
        std::string bytes;
        if (ReadWholeFile(it->path(), bytes).empty()) {
          if (link)
            file.link_target = ShellLinkTarget(bytes);
          else
            file.machine = PeMachine(bytes);
        }
      }
    }
    state.files.emplace(std::move(key), std::move(file));
  }
  for (const auto& [name, keys] :
       {std::pair{"system.reg", &state.machine}, std::pair{"user.reg", &state.user}}) {
    std::string text;
    const std::string failure = ReadWholeFile(prefix / name, text);
    if (!failure.empty()) throw std::runtime_error((prefix / name).string() + ": " + failure);
    ParseHiveText(text, *keys);
  }
  return state;
}

}  // namespace uninstall::tools
