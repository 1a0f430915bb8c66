#pragma once
// A fresh directory below $TMPDIR (or /tmp) for one test, removed with its
// content, and whole-file reads and writes.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace zk::test {

// Writes content to path, creating the directories above it.
inline void WriteFile(const std::string& path, const std::string& content) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// The whole file; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "zk-test") {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + ".XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code error;
    // A test may leave a read-only directory behind; make it removable.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      if (it->is_directory(error) && !it->is_symlink(error)) ::chmod(it->path().c_str(), 0700);
    }
    ::chmod(path_.c_str(), 0700);
    std::filesystem::remove_all(path_, error);
  }

  const std::string& path() const { return path_; }
  // The directory, or a name below it.
  std::string Path(const std::string& name = "") const { return name.empty() ? path_ : File(name); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // Writes a file below the directory (and the directories above it); its path.
  std::string Write(const std::string& name, const std::string& content) const {
    const std::string file = File(name);
    WriteFile(file, content);
    return file;
  }
  std::string Read(const std::string& name) const { return ReadFile(File(name)); }

  // Names in the directory, sorted.
  std::vector<std::string> Entries(const std::string& sub = "") const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(sub.empty() ? path_ : File(sub))) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

}  // namespace zk::test
