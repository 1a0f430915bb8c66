#pragma once
// A fresh directory below $TMPDIR (or /tmp) for one test, removed with its
// content, and whole-file reads and writes.
#ifdef _WIN32
#include <process.h>
#else
#include <stdlib.h>
#endif

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
inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// The whole file; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "zk-test") {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + ".XXXXXX";
    if (!MakeUnique(pattern)) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code error;
    // A test may leave a read-only directory behind; make it removable.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      if (it->is_directory(error) && !it->is_symlink(error)) MakeOwned(it->path());
#ifdef _WIN32
      // Nor can a read-only file be removed on Windows.
      if (it->is_regular_file(error)) MakeOwned(it->path());
#endif
    }
    MakeOwned(path_);
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
  // Replaces the trailing XXXXXX of pattern and creates that directory.
  static bool MakeUnique(std::string& pattern) {
#ifdef _WIN32
    const std::string stem = pattern.substr(0, pattern.size() - 6);
    static unsigned counter = 0;
    for (int tries = 0; tries < 1000; ++tries) {
      const std::string name = stem + std::to_string(::_getpid()) + "." + std::to_string(++counter);
      std::error_code ec;
      if (std::filesystem::create_directory(name, ec)) {
        pattern = name;
        return true;
      }
    }
    return false;
#else
    return ::mkdtemp(pattern.data()) != nullptr;
#endif
  }
  static void MakeOwned(const std::filesystem::path& dir) {
    std::error_code error;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace, error);
  }

  std::string path_;
};

}  // namespace zk::test
