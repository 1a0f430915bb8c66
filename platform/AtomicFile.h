#pragma once
// Replacing a file so that it is never half-written: the new content goes
// into a temporary file beside the destination (a symbolic link is followed
// to the file it names), which takes the old file's permissions and is
// renamed over it only when every byte is on disk. On any failure the
// temporary file is removed and the old file stays as it was.
#include "platform/Api.h"

#include <cstddef>
#include <memory>
#include <string>

namespace zk::files {

class ZK_PLATFORM_API AtomicFile {
 public:
  // Prepares the replacement of path (a new file when there is none). A
  // read-only file or directory, a path that is not a regular file or whose
  // directory is missing fails here; Error() tells why.
  explicit AtomicFile(const std::string& path);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // false once any step has failed.
  bool Write(const void* data, std::size_t size);
  // Puts the written content in place; false when it could not (the old
  // file is then unchanged).
  bool Commit();
  // The errno value of the first failure, 0 while there is none.
  int Error() const { return error_; }
  bool Failed() const { return error_ != 0; }

 private:
  bool Fail(int error);

  class Temp;
  std::unique_ptr<Temp> temp_;
  std::string target_;
  std::string dir_;
  int error_ = 0;
};

}  // namespace zk::files
