#pragma once
// Image files: read in large pieces, written through the writers' own
// buffers. A path the caller spelled with '\' separators is taken in the
// local spelling when it does not name a file as given.
#include "dm/ByteStreams.h"

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

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  uint64_t size_;
};

class OutputFile : public ByteSink {
 public:
  // A new or emptied file opened for writing.
  static std::unique_ptr<OutputFile> Create(const std::string& path);
  explicit OutputFile(std::FILE* file) : file_(file) {}
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  bool Write(const uint8_t* data, std::size_t size) override;
  // Closes the file; false when a write or the close failed.
  bool Close();
  ~OutputFile() override;

 private:
  std::FILE* file_;
  bool failed_ = false;
};

}  // namespace zk::dm
