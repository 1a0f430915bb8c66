#pragma once
// The link thread's loop: reads the port and hands every character to the
// engine's dispatcher, and calls it without a character when the time-out
// it asked for has passed with nothing received. It blocks in the port's
// waits whenever there is nothing to do.
#include "link/LinkEngine.h"
#include "platform/SerialPort.h"

#include <atomic>

namespace zk::link {

class CharPump {
 public:
  CharPump(com::SerialPort& port, LinkEngine& engine) : port_(port), engine_(engine) {}

  // Runs until stop is set (and the port woken).
  void Run(const std::atomic<bool>& stop);

 private:
  com::SerialPort& port_;
  LinkEngine& engine_;
};

}  // namespace zk::link
