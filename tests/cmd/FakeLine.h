#pragma once
// A recording stand-in for the serial port of the boot loader dialogue: every
// line change, write and sleep is logged with a virtual time, and a peer
// function answers what was written.
#include "cmd/BootLine.h"
#include "platform/SerialPort.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zk::cmd::test {

struct LineEvent {
  std::string what;  // "RTS1", "DTR0", "W", "RATE", "OPEN", "CLOSE", "SLEEP"
  uint32_t at = 0;   // virtual milliseconds
  std::vector<uint8_t> bytes;
  uint32_t value = 0;
};

class FakeLine {
 public:
  using Peer = std::function<void(FakeLine& line, const std::vector<uint8_t>& written)>;

  std::vector<LineEvent> events;
  std::deque<uint8_t> input;
  Peer peer;
  uint32_t now = 0;
  unsigned openedPort = 0;
  uint32_t openedRate = 0;
  int opens = 0;
  bool failOpen = false;

  void Answer(std::initializer_list<uint8_t> bytes) { input.insert(input.end(), bytes); }
  void Log(std::string what, std::vector<uint8_t> bytes = {}, uint32_t value = 0) {
    events.push_back({std::move(what), now, std::move(bytes), value});
  }
  // All bytes written, in order.
  std::vector<uint8_t> Written() const;
  // The writes, one entry each.
  std::vector<std::vector<uint8_t>> Writes() const;
  std::vector<std::string> LineChanges() const;

  BootTiming Timing() {
    BootTiming t;
    t.readTimeoutMs = 5;
    t.sleep = [this](uint32_t ms) {
      Log("SLEEP", {}, ms);
      now += ms;
    };
    return t;
  }

  // Routes OpenSerialPort to this line until the returned guard goes away.
  std::shared_ptr<void> Install();
};

}  // namespace zk::cmd::test
