#pragma once
// A file of the fuzzing process's own, /tmp/zk-fuzz-<name>-<pid><extension>,
// for targets whose code under test reads a path: each input replaces its
// content. The file stays after the run.
#include <string>
#include <string_view>

namespace zk::fuzz {

class ScratchFile {
 public:
  ScratchFile(std::string_view name, std::string_view extension);

  const std::string& Path() const { return path_; }
  // Replaces the content with text (a file that cannot be written is left).
  void Write(std::string_view text) const;

 private:
  std::string path_;
};

}  // namespace zk::fuzz
