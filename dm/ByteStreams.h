#pragma once
// Where file readers take their bytes from and writers put theirs: a file,
// or memory in the tests.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace zk::dm {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Copies up to capacity bytes to dst; fewer only at the end of the input
  // or when reading failed.
  virtual std::size_t Read(uint8_t* dst, std::size_t capacity) = 0;
  virtual bool Failed() const = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // false when the bytes could not be written.
  virtual bool Write(const uint8_t* data, std::size_t size) = 0;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t Read(uint8_t* dst, std::size_t capacity) override {
    const std::size_t n = std::min(capacity, bytes_.size());
    std::memcpy(dst, bytes_.data(), n);
    bytes_.remove_prefix(n);
    return n;
  }
  bool Failed() const override { return false; }

 private:
  std::string_view bytes_;
};

class MemorySink : public ByteSink {
 public:
  bool Write(const uint8_t* data, std::size_t size) override {
    bytes.append(reinterpret_cast<const char*>(data), size);
    return true;
  }
  std::string bytes;
};

}  // namespace zk::dm
