#pragma once
// The temporary file of an AtomicFile. Its OS calls are each backend's
// (platform/AtomicFile.cpp, platform/win32/AtomicFile.cpp); how they make up
// a write, a commit and a failure is shared (platform/AtomicFileSteps.cpp).
#include "platform/AtomicFile.h"
#include "platform/NonCopyable.h"

#if defined(_WIN32)
#include "platform/win32/Handle.h"
#else
#include "platform/UniqueFd.h"
#endif

#include <cstddef>
#include <memory>
#include <string>

namespace zk::files {

class AtomicFile::Temp : private NonCopyable {
 public:
#if defined(_WIN32)
  using File = win32::Handle;
  using RawFile = HANDLE;
#else
  using File = UniqueFd;
  using RawFile = int;
#endif

  Temp(std::string path, RawFile file) : path_(std::move(path)), file_(file) {}
  // Removes the file unless it was moved into place.
  ~Temp();

  // A new file beside target in dir, under a name of its own; null and
  // the errno value in error when none can be made.
  static std::unique_ptr<Temp> CreateBeside(const std::string& dir, const std::string& target, int& error);
  // A new file at path; null and the errno value in error when it cannot
  // be made (EEXIST: the name is taken).
  static std::unique_ptr<Temp> Create(const std::string& path, int& error);

  RawFile raw() const { return file_.get(); }

  // Each returns 0 or the errno value of its failure.
  // Writes some of the size bytes, at least one; written tells how many.
  int WriteSome(const char* bytes, std::size_t size, std::size_t& written);
  int Flush();
  int Close();
  // Takes target's place in one step.
  int MoveTo(const std::string& target);

 private:
  std::string path_;
  File file_;
  bool committed_ = false;
};

// The directory of path, "." for a bare name.
std::string DirOrDot(const std::string& path);

// Makes a rename into dir last, where the system needs a step of its own
// for that.
void SyncDirectory(const std::string& dir);

}  // namespace zk::files
