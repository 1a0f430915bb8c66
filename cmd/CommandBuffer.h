#pragma once
// The one buffer every request is built in and every answer received into.
// A request overwrites the previous answer only where it sets bytes.
#include <array>
#include <cstddef>
#include <cstdint>

namespace zk::cmd {

inline constexpr std::size_t kCommandBufferSize = 4096;

class CommandBufferBytes {
 public:
  uint8_t* data() { return bytes_.data(); }
  const uint8_t* data() const { return bytes_.data(); }
  static constexpr std::size_t size() { return kCommandBufferSize; }

  uint8_t& operator[](std::size_t offset) { return bytes_.at(offset); }
  uint8_t Byte(std::size_t offset) const { return bytes_.at(offset); }

  void PutU16(std::size_t offset, uint16_t value);
  void PutU32(std::size_t offset, uint32_t value);
  uint16_t U16(std::size_t offset) const;
  uint32_t U32(std::size_t offset) const;

  void Clear() { bytes_.fill(0); }

 private:
  std::array<uint8_t, kCommandBufferSize> bytes_{};
};

}  // namespace zk::cmd
