#pragma once
// Keeps the flash content in a file across runs: the banks' bytes back to
// back. An existing file of the right size is loaded; a new one is created
// erased. Every change is written through at its offset.
#include "platform/NonCopyable.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zk::modsim {

class FlashImageFile : private NonCopyable {
 public:
  FlashImageFile() = default;
  ~FlashImageFile();

  // Loads the file into `content` or creates it from `content`. A file of
  // another size is left untouched and refused.
  bool Open(const std::string& path, std::span<uint8_t> content, std::string* error);
  // Writes content[offset, offset + size) to the file.
  bool Store(std::span<const uint8_t> content, std::size_t offset, std::size_t size);

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace zk::modsim
