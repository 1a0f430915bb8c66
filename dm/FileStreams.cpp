#include "dm/FileStreams.h"

#include "platform/Files.h"

#include <cstring>
#include <filesystem>

namespace zk::dm {

std::string LocalPath(const std::string& path) {
  if (path.find('\\') == std::string::npos || files::Exists(path)) return path;
  return files::ToNative(path);
}

std::unique_ptr<InputFile> InputFile::Open(const std::string& path) {
  std::error_code error;
  // Only a regular file: opening a pipe would wait for a writer.
  if (!std::filesystem::is_regular_file(path, error)) return nullptr;
  const uint64_t size = std::filesystem::file_size(path, error);
  if (error) return nullptr;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  std::setvbuf(file, nullptr, _IONBF, 0);  // the readers read large pieces themselves
  return std::make_unique<InputFile>(file, size);
}

std::size_t InputFile::Read(uint8_t* dst, std::size_t capacity) { return std::fread(dst, 1, capacity, file_.get()); }

bool InputFile::Failed() const { return std::ferror(file_.get()) != 0; }

bool InputFile::Rewind() { return std::fseek(file_.get(), 0, SEEK_SET) == 0; }

std::string OutputFile::Reason() const { return std::strerror(file_.Error()); }

}  // namespace zk::dm
