#include "modsim/BaudRates.h"

#include <array>

namespace zk::modsim {
namespace {

constexpr std::array<uint32_t, 10> kHandshakeRates = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr std::array<uint32_t, 4> kSpeedSwitchRates = {9600, 19200, 38400, 57600};

}  // namespace

uint32_t HandshakeRate(uint8_t index) {
  return index >= 1 && index <= kHandshakeRates.size() ? kHandshakeRates[index - 1] : 0;
}

uint32_t SpeedSwitchRate(uint8_t index) { return index < kSpeedSwitchRates.size() ? kSpeedSwitchRates[index] : 0; }

}  // namespace zk::modsim
