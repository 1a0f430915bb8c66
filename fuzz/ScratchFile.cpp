#include "fuzz/ScratchFile.h"

#include <cstdio>

#include <unistd.h>

namespace zk::fuzz {

ScratchFile::ScratchFile(std::string_view name, std::string_view extension)
    : path_("/tmp/zk-fuzz-" + std::string(name) + "-" + std::to_string(getpid()) + std::string(extension)) {}

void ScratchFile::Write(std::string_view text) const {
  if (std::FILE* file = std::fopen(path_.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
}

}  // namespace zk::fuzz
