#include "tools/file_io.h"

#include <array>
#include <cerrno>
#include <fstream>
#include <system_error>

#include "tools/utf8.h"

namespace uninstall::tools {
namespace {

std::string Reason(int error, const char* otherwise) {
  return error != 0 ? std::generic_category().message(error) : std::string(otherwise);
}

}  // namespace

std::filesystem::path PathFromArgument(const std::string& argument) {
#ifdef _WIN32
  return std::filesystem::path(FromUtf8(argument));
#else
  return std::filesystem::path(argument);
#endif
}

std::string ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (ec) return ec.message();
  if (std::filesystem::is_directory(status)) return "is a directory";
  if (!std::filesystem::is_regular_file(status)) return "is not a regular file";

  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Reason(errno, "cannot be opened");
  bytes.clear();
  std::array<char, 1 << 16> chunk{};
  while (in) {
    in.read(chunk.data(), chunk.size());
    bytes.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxInputSize) return "is larger than 256 MiB";
  }
  if (!in.eof()) return "could not be read";
  return "";
}

std::string WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  errno = 0;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return Reason(errno, "cannot be created");
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return Reason(errno, "could not be written");
  return "";
}

}  // namespace uninstall::tools
