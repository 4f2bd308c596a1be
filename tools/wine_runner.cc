#include "tools/wine_runner.h"

#include <cstdlib>
#include <system_error>

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace uninstall::tools {

namespace fs = std::filesystem;

fs::path FindHelperFile(const char* variable, const std::string& name) {
  if (const char* given = std::getenv(variable); given != nullptr && *given != '\0') {
    return fs::path(given);
  }
  std::error_code error;
#ifdef _WIN32
  static_cast<void>(name);
  return {};
#else
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  fs::path candidate = self.parent_path().parent_path() / "libexec" / "installlog" / name;
  return fs::exists(candidate, error) ? candidate : fs::path();
#endif
}

#ifdef _WIN32
int RunProgram(const fs::path&, const std::vector<std::string>&, std::string& failure) {
  failure = "capture and verify run Windows programs under Wine: use installlog for Linux";
  return -1;
}

fs::path MakeScratchFolder(std::string& failure) {
  failure = "capture and verify run under Wine: use installlog for Linux";
  return {};
}
#else
int RunProgram(const fs::path& program, const std::vector<std::string>& args,
               std::string& failure) {
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  pid_t pid = 0;
  const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) {
    failure = program.string() + ": " + std::strerror(started);
    return -1;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      failure = std::string("waitpid: ") + std::strerror(errno);
      return -1;
    }
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

fs::path MakeScratchFolder(std::string& failure) {
  std::error_code error;
  std::string pattern = (fs::temp_directory_path(error) / "installlog.XXXXXX").string();
  if (error || mkdtemp(pattern.data()) == nullptr) {
    failure = "cannot make a scratch folder: " +
              (error ? error.message() : std::string(std::strerror(errno)));
    return {};
  }
  return fs::path(pattern);
}
#endif

}  // namespace uninstall::tools
