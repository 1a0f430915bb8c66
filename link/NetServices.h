#pragma once
// Time and sound for the transport, replaceable in tests: the millisecond
// tick, sleeping, and the default system beep of the send lock.
#include <cstdint>

namespace zk::link {

class NetServices {
 public:
  virtual ~NetServices() = default;
  virtual uint32_t Now() = 0;
  virtual void Sleep(uint32_t ms) = 0;
  virtual void Beep() = 0;
};

// The platform's tick count and sleep; the beep is the terminal bell.
class SystemNetServices final : public NetServices {
 public:
  uint32_t Now() override;
  void Sleep(uint32_t ms) override;
  void Beep() override;
};

}  // namespace zk::link
