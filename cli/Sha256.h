#pragma once
// SHA-256 of a byte string, for naming the image a module was programmed
// with in summaries and production logs.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zk::cli {

class Sha256 {
 public:
  static constexpr std::size_t kDigestSize = 32;
  using Digest = std::array<uint8_t, kDigestSize>;

  Sha256();
  void Update(const uint8_t* data, std::size_t length);
  Digest Final();

 private:
  static constexpr std::size_t kBlockSize = 64;
  void Compress(const uint8_t* block);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, kBlockSize> block_{};
  std::size_t used_ = 0;
  uint64_t totalBytes_ = 0;
};

// The digest of bytes in lower-case hexadecimal (64 characters).
std::string Sha256Hex(std::string_view bytes);

}  // namespace zk::cli
