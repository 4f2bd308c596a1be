// conformance: runs the Env conformance table (tests/support/env_conformance.h)
// against Win32Env, with the setup made by plain Win32 calls.
//
//   conformance.exe SCRATCH [EMPTY_DRIVE_ROOT]
//
// SCRATCH is a folder of the cases' own (made if missing, e.g.
// C:\conformance); EMPTY_DRIVE_ROOT the root of a drive that holds nothing
// ("R:\"), for the listing of an empty root. The registry keys go under
// HKEY_CURRENT_USER\Software\UninstallConformance. Prints one line per case
// ("pass NAME: ...", "FAIL NAME: ... expected ...", "not run NAME: ...") and
// a last line with the counts. Under Wine, a case with a known Wine
// difference expects Wine's answer and names the difference in its line.
//
// Exit status: 0 every case passed, 1 a case failed, 2 bad usage.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

#include "platform/win32/handles.h"
#include "platform/win32/win32_env.h"
#include "tests/support/env_conformance.h"

namespace {

using uninstall::win32::UniqueHandle;
using uninstall::win32::UniqueRegKey;

constexpr wchar_t kRegScratch[] = L"Software\\UninstallConformance";

HKEY Root(std::int32_t root) { return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root)); }

// The setup side: Win32 calls the Env under test does not make.
class Win32Machine final : public uninstall::conformance::Machine {
 public:
  bool MakeDir(const std::wstring& path) override {
    if (Exists(path)) return true;
    const std::size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos && slash > 2 && !MakeDir(path.substr(0, slash))) return false;
    return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
  }
  bool MakeFile(const std::wstring& path, std::string_view bytes) override {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return false;
    DWORD wrote = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) !=
               FALSE &&
           wrote == bytes.size();
  }
  bool SetAttrs(const std::wstring& path, std::uint32_t attrs) override {
    return SetFileAttributesW(path.c_str(), attrs) != FALSE;
  }
  bool MakeCurrentDir(const std::wstring& path) override {
    return SetCurrentDirectoryW(path.c_str()) != FALSE;
  }
  bool MakeRegKey(std::int32_t root, const std::wstring& key) override {
    HKEY raw = nullptr;
    const LSTATUS made =
        RegCreateKeyExW(Root(root), key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr);
    const UniqueRegKey owned(raw);
    return made == ERROR_SUCCESS;
  }
  bool Exists(const std::wstring& path) override {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  std::optional<std::string> Content(const std::wstring& path) override {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes(4096, '\0');
    DWORD got = 0;
    if (ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ==
        FALSE) {
      return std::nullopt;
    }
    bytes.resize(got);
    return bytes;
  }
  bool RegKeyExists(std::int32_t root, const std::wstring& key) override {
    HKEY raw = nullptr;
    const LSTATUS opened = RegOpenKeyExW(Root(root), key.c_str(), 0, KEY_READ, &raw);
    const UniqueRegKey owned(raw);
    return opened == ERROR_SUCCESS;
  }
};

// Wine's ntdll exports its version; Windows' does not.
bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: conformance.exe SCRATCH [EMPTY_DRIVE_ROOT]\n");
    return 2;
  }
  uninstall::conformance::Roots roots{argv[1], argc > 2 ? argv[2] : L"", kRegScratch};
  while (roots.scratch.size() > 3 && roots.scratch.back() == L'\\') roots.scratch.pop_back();
  const bool wine = UnderWine();
  uninstall::win32::Win32Env env(nullptr);
  Win32Machine machine;
  int passed = 0;
  int failed = 0;
  int not_run = 0;
  for (const uninstall::conformance::Case& c : uninstall::conformance::Cases()) {
    const uninstall::conformance::Outcome outcome = RunCase(c, env, machine, roots, wine);
    std::printf("%s\n", outcome.line.c_str());
    switch (outcome.kind) {
      case uninstall::conformance::Outcome::kPass:
        ++passed;
        break;
      case uninstall::conformance::Outcome::kFail:
        ++failed;
        break;
      case uninstall::conformance::Outcome::kNotRun:
        ++not_run;
        break;
    }
  }
  std::printf("%d passed, %d failed, %d not run%s\n", passed, failed, not_run,
              wine ? " (under Wine)" : "");
  static_cast<void>(std::fflush(stdout));
  return failed == 0 ? 0 : 1;
}
