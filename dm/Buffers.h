#pragma once
// Byte buffers whose allocation may fail without an exception.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace zk::dm {

// size bytes (at least one), zeroed; null when memory runs out.
inline std::unique_ptr<uint8_t[]> TryZeroedBuffer(std::size_t size) {
  try {
    return std::make_unique<uint8_t[]>(size == 0 ? 1 : size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// size bytes (at least one), not initialised; null when memory runs out.
inline std::unique_ptr<uint8_t[]> TryBuffer(std::size_t size) {
  try {
    return std::make_unique_for_overwrite<uint8_t[]>(size == 0 ? 1 : size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace zk::dm
