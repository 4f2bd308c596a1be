// Runs the Wine side of `installlog capture` and `verify` (wine-session, a
// shell script that ships with installlog) and reads the prefix it made.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace uninstall::tools {

// A file that ships beside installlog: the environment variable `variable`
// when set, else `name` in ../libexec/installlog/ from the program's own
// folder. "" when neither names a file.
[[nodiscard]] std::filesystem::path FindHelperFile(const char* variable, const std::string& name);

// Runs `program` with `args`, its output on this program's standard error
// (the standard output is the tool's result). Returns its exit status, 128
// plus the signal that ended it, or -1 with `failure` set when it could not
// run (and always on Windows, where Wine does not run).
[[nodiscard]] int RunProgram(const std::filesystem::path& program,
                             const std::vector<std::string>& args, std::string& failure);

// A scratch folder of its own in the temporary folder.
[[nodiscard]] std::filesystem::path MakeScratchFolder(std::string& failure);

}  // namespace uninstall::tools
