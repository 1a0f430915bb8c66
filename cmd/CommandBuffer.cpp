#include "cmd/CommandBuffer.h"

namespace zk::cmd {

void CommandBufferBytes::PutU16(std::size_t offset, uint16_t value) {
  (*this)[offset] = static_cast<uint8_t>(value);
  (*this)[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void CommandBufferBytes::PutU32(std::size_t offset, uint32_t value) {
  PutU16(offset, static_cast<uint16_t>(value));
  PutU16(offset + 2, static_cast<uint16_t>(value >> 16));
}

uint16_t CommandBufferBytes::U16(std::size_t offset) const {
  return static_cast<uint16_t>(Byte(offset) | (Byte(offset + 1) << 8));
}

uint32_t CommandBufferBytes::U32(std::size_t offset) const {
  return U16(offset) | (static_cast<uint32_t>(U16(offset + 2)) << 16);
}

}  // namespace zk::cmd
