// Entry point of installlog (installlog.exe on Windows): the command line
// into RunInstalllog, its exit code out.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "tools/installlog_cli.h"

#ifdef _WIN32
#include <filesystem>
#include <system_error>

#include "paths/shell_registration.h"
#include "platform/win32/win32_env.h"
#include "tools/utf8.h"

namespace {

// Console output in UTF-8 while the tool runs; the console's own code page
// is put back on exit. Output redirected to a file is UTF-8 either way.
class Utf8Console {
 public:
  Utf8Console() : previous_(GetConsoleOutputCP()) {
    if (previous_ != 0) SetConsoleOutputCP(CP_UTF8);
  }
  ~Utf8Console() {
    if (previous_ != 0) SetConsoleOutputCP(previous_);
  }
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
  UINT previous_;
};

// This machine's Windows and system folders, and the folder the log is in.
uninstall::tools::PlanFolders MachineFolders(const std::filesystem::path& log) {
  uninstall::win32::Win32Env env(nullptr);
  uninstall::tools::PlanFolders folders;
  folders.WinDir = uninstall::GFShellRegistration::GetWindowsDir(env);
  folders.WinSysDir = uninstall::GFShellRegistration::GetSystemDir(env);
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(log, ec);
  std::wstring dir = (ec ? log : absolute).parent_path().wstring();
  for (wchar_t& c : dir) {
    if (c == L'/') c = L'\\';
  }
  if (dir.empty() || dir.back() != L'\\') dir.push_back(L'\\');
  folders.AppDir = dir;
  return folders;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  try {
    const Utf8Console console;
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(uninstall::tools::ToUtf8(argv[i]));
    return uninstall::tools::RunInstalllog(args, std::cout, std::cerr, MachineFolders);
  } catch (const std::exception& e) {
    std::cerr << "installlog: " << e.what() << "\n";
    return uninstall::tools::kExitUsage;
  }
}

#else

int main(int argc, char* argv[]) {
  try {
    const std::vector<std::string> args(argv, argv + argc);
    return uninstall::tools::RunInstalllog(
        args, std::cout, std::cerr,
        [](const std::filesystem::path&) { return uninstall::tools::FixedFolders(); });
  } catch (const std::exception& e) {
    std::cerr << "installlog: " << e.what() << "\n";
    return uninstall::tools::kExitUsage;
  }
}

#endif
