#pragma once
// Image files: read in large pieces, written through the writers' own
// buffers, into a file that replaces the old one only when complete. A path the caller spelled with '\' separators is
// taken in the local spelling when it does not name a file as given.
#include "dm/ByteStreams.h"
#include "platform/AtomicFile.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace zk::dm {

std::string LocalPath(const std::string& path);

class InputFile : public ByteSource {
 public:
  // An existing regular file opened for reading, with its size.
  static std::unique_ptr<InputFile> Open(const std::string& path);
  InputFile(std::FILE* file, uint64_t size) : file_(file), size_(size) {}
  uint64_t Size() const { return size_; }
  std::size_t Read(uint8_t* dst, std::size_t capacity) override;
  bool Failed() const override;
  // Back to the first byte; false when the file cannot be read from there.
  bool Rewind();

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  uint64_t size_;
};

// The replacement of an image file: written beside it and put in place by
// Commit, so that a failed or stopped save leaves the old file as it was.
class OutputFile : public ByteSink {
 public:
  explicit OutputFile(const std::string& path) : file_(path) {}
  bool Write(const uint8_t* data, std::size_t size) override { return file_.Write(data, size); }
  // false when a write or this step failed; the old file is then unchanged.
  bool Commit() { return file_.Commit(); }
  bool Failed() const { return file_.Failed(); }
  // The system's text for the first failure.
  std::string Reason() const;

 private:
  files::AtomicFile file_;
};

}  // namespace zk::dm
