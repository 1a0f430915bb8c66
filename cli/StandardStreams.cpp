#include "cli/StandardStreams.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <system_error>

namespace zk::cli {
namespace {

namespace fs = std::filesystem;

std::string UniqueName(std::string_view suffix) {
  std::random_device random;
  char name[64];
  std::snprintf(name, sizeof name, "zelkor-%08x%08x", random(), random());
  return std::string(name) + std::string(suffix);
}

}  // namespace

TemporaryFile::TemporaryFile(std::string_view suffix) {
  std::error_code ec;
  const fs::path dir = fs::temp_directory_path(ec);
  path_ = ((ec ? fs::path("/tmp") : dir) / UniqueName(suffix)).string();
}

TemporaryFile::~TemporaryFile() {
  std::error_code ec;
  fs::remove(path_, ec);
}

std::optional<std::string> ReadStandardInput() {
  std::string bytes{std::istreambuf_iterator<char>(std::cin.rdbuf()), std::istreambuf_iterator<char>()};
  if (std::cin.bad()) return std::nullopt;
  return bytes;
}

bool IsStreamTarget(const std::string& output) {
  if (output == kStandardStream) return true;
  std::error_code ec;
  const fs::file_status status = fs::status(output, ec);
  return !ec && fs::exists(status) && !fs::is_regular_file(status);
}

std::string CopyToTarget(const std::string& from, const std::string& output) {
  std::ifstream in(from, std::ios::binary);
  if (!in) return ReadFailure(from);
  if (output == kStandardStream) {
    std::cout << in.rdbuf();
    std::cout.flush();
    return std::cout ? "" : "standard output is closed";
  }
  std::ofstream out(output, std::ios::binary | std::ios::out);
  if (!out) return std::error_code(errno, std::generic_category()).message();
  out << in.rdbuf();
  out.flush();
  return out ? "" : std::error_code(errno, std::generic_category()).message();
}

std::string ReadFailure(const std::string& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec) return ec.message();
  if (fs::is_directory(status)) return "it is a directory";
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::error_code(errno, std::generic_category()).message();
  return "it cannot be read";
}

}  // namespace zk::cli
