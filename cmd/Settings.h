#pragma once
// Flags and values that the immediate exports set and the operations read.
#include <atomic>
#include <cstdint>

namespace zk::cmd {

inline constexpr uint32_t kEndOfFlashNotSet = 0xFFFFFFFFu;

struct Settings {
  std::atomic<uint32_t> endOfFlash{kEndOfFlashNotSet};
  std::atomic<uint32_t> protectedAreasEnabled{0};
  std::atomic<uint32_t> passwordAccepted{0};
  std::atomic<uint8_t> readFailed{0};
  std::atomic<uint32_t> autoBaud{0};
};

}  // namespace zk::cmd
