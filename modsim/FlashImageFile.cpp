#include "modsim/FlashImageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace zk::modsim {
namespace {

// The whole of [data, data + size) at offset, by pread or pwrite.
template <typename Byte, typename Io>
bool TransferAll(int fd, Byte* data, std::size_t size, off_t offset, Io io) {
  while (size > 0) {
    const ssize_t n = io(fd, data, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
    offset += n;
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* data, std::size_t size, off_t offset) {
  return TransferAll(fd, data, size, offset, ::pwrite);
}

bool ReadAll(int fd, uint8_t* data, std::size_t size) { return TransferAll(fd, data, size, 0, ::pread); }

}  // namespace

FlashImageFile::~FlashImageFile() {
  if (fd_ >= 0) close(fd_);
}

bool FlashImageFile::Open(const std::string& path, std::span<uint8_t> content, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = path + ": " + why;
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    return false;
  };
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) return fail(std::strerror(errno));
  struct stat info {};
  if (fstat(fd_, &info) != 0) return fail(std::strerror(errno));
  path_ = path;
  if (info.st_size == 0) {
    if (!WriteAll(fd_, content.data(), content.size(), 0)) return fail("cannot write");
    return true;
  }
  if (static_cast<std::size_t>(info.st_size) != content.size()) {
    return fail("holds " + std::to_string(info.st_size) + " bytes, the flash has " + std::to_string(content.size()) +
                "; left as it is");
  }
  if (!ReadAll(fd_, content.data(), content.size())) return fail("cannot read");
  return true;
}

bool FlashImageFile::Store(std::span<const uint8_t> content, std::size_t offset, std::size_t size) {
  if (fd_ < 0 || offset + size > content.size()) return false;
  return WriteAll(fd_, content.data() + offset, size, static_cast<off_t>(offset));
}

}  // namespace zk::modsim
