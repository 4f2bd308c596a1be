// bare_loop: the file system and registry calls of an uninstall and nothing
// else, the yardstick that bench/e2e times Uninstall.exe against.
//
//   bare_loop.exe LIST
//
// LIST (UTF-8, as gen_logs install writes it as bare.txt) holds one call a
// line, in the uninstall's order:
//   K ROOT SUBKEY   RegDeleteKeyW (ROOT in hex, e.g. 80000002)
//   F PATH          GetFileAttributesW, then DeleteFileW when it exists
//   L PATH          the same, for a link
//   D PATH          RemoveDirectoryW
// The list is read before the clock starts. Prints how long the calls took
// and how many of each succeeded. Exit status 0, or 2 for a bad list.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/e2e/utf8.h"

namespace {

using e2e::Widen;

struct Call {
  char kind;
  HKEY root;
  std::wstring path;
};

bool ReadList(const wchar_t* file, std::vector<Call>& calls) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.size() < 3 || line[1] != ' ') return false;
    Call call{line[0], nullptr, {}};
    std::string rest = line.substr(2);
    if (call.kind == 'K') {
      const std::size_t space = rest.find(' ');
      if (space == std::string::npos) return false;
      const auto root =
          static_cast<std::uint32_t>(std::strtoul(rest.substr(0, space).c_str(), nullptr, 16));
      call.root = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
      rest = rest.substr(space + 1);
    } else if (call.kind != 'F' && call.kind != 'L' && call.kind != 'D') {
      return false;
    }
    call.path = Widen(rest);
    calls.push_back(std::move(call));
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<Call> calls;
  if (argc != 2 || !ReadList(argv[1], calls)) {
    static_cast<void>(
        std::fputs("usage: bare_loop.exe LIST (a list as gen_logs install writes it)\n", stderr));
    return 2;
  }
  int keys = 0;
  int files = 0;
  int links = 0;
  int dirs = 0;
  LARGE_INTEGER frequency;
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (const Call& call : calls) {
    switch (call.kind) {
      case 'K':
        if (RegDeleteKeyW(call.root, call.path.c_str()) == ERROR_SUCCESS) ++keys;
        break;
      case 'F':
      case 'L':
        if (GetFileAttributesW(call.path.c_str()) != INVALID_FILE_ATTRIBUTES &&
            DeleteFileW(call.path.c_str()) != FALSE) {
          ++(call.kind == 'F' ? files : links);
        }
        break;
      default:
        if (RemoveDirectoryW(call.path.c_str()) != FALSE) ++dirs;
        break;
    }
  }
  QueryPerformanceCounter(&end);
  const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                    static_cast<double>(frequency.QuadPart);
  std::printf("bare loop: %zu calls in %.1f ms; removed %d keys, %d files, %d links, %d folders\n",
              calls.size(), ms, keys, files, links, dirs);
  return 0;
}
