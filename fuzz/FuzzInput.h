#pragma once
// Takes a fuzz input apart: small numbers and pieces of bytes from the
// front, the rest as one piece. Past the end every number is 0 and every
// piece empty, so a target never reads outside the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zk::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, std::size_t size) : bytes_(data, size) {}

  bool Empty() const { return bytes_.empty(); }
  std::size_t Left() const { return bytes_.size(); }

  uint8_t U8() {
    if (bytes_.empty()) return 0;
    const uint8_t value = bytes_.front();
    bytes_ = bytes_.subspan(1);
    return value;
  }
  uint16_t U16() {
    const uint8_t low = U8();
    return static_cast<uint16_t>(low | (U8() << 8));
  }
  uint32_t U32() {
    const uint16_t low = U16();
    return low | (uint32_t{U16()} << 16);
  }

  std::span<const uint8_t> Bytes(std::size_t count) {
    count = std::min(count, bytes_.size());
    const auto piece = bytes_.first(count);
    bytes_ = bytes_.subspan(count);
    return piece;
  }
  // A piece whose length comes first (one byte).
  std::span<const uint8_t> Piece() { return Bytes(U8()); }
  std::span<const uint8_t> Rest() { return Bytes(bytes_.size()); }

  static std::string_view Text(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
  }

 private:
  std::span<const uint8_t> bytes_;
};

// Stops the run with a message libFuzzer reports as a crash, so that a
// broken property is found like an out-of-bounds access.
[[noreturn]] void PropertyBroken(const char* what);

#define ZK_FUZZ_CHECK(condition)                              \
  do {                                                        \
    if (!(condition)) ::zk::fuzz::PropertyBroken(#condition); \
  } while (0)

}  // namespace zk::fuzz
