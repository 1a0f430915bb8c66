#pragma once
// The far end of the line in the link tests: a scripted 3964R partner on
// the far side of a LinePair, written from the procedure's rules and
// independent of the engine (its own DLE doubling and check characters).
#include "common/ModuleCodes.h"
#include "tests/link/LinePair.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

namespace zk::test {

// Long enough for a loaded machine; only failing tests wait it out.
inline constexpr int kPeerWaitMs = 5000;

class Peer3964 {
 public:
  explicit Peer3964(LinePair& line) : line_(line) {}

  std::optional<uint8_t> Read(int timeoutMs = kPeerWaitMs);
  void Write(std::span<const uint8_t> bytes);
  void Write(std::initializer_list<uint8_t> bytes) { Write(std::span<const uint8_t>(bytes.begin(), bytes.size())); }
  // Reads one character and tells whether it is c.
  bool Expect(uint8_t c, int timeoutMs = kPeerWaitMs);
  // Nothing arrives within ms.
  bool Quiet(int ms);

  // A frame as it arrived after STX and our DLE.
  struct Frame {
    std::vector<uint8_t> data;  // undoubled
    std::vector<uint8_t> wire;  // as sent, check character included
    bool last = false;          // ended by DLE ETX
    bool checkOk = false;       // the check character matched
    bool complete = false;      // the end and the check character came
  };
  Frame ReadFrameBody();

  // One frame received as a correct receiver: STX answered with DLE, the
  // body read, the check character answered with DLE (or NAK if wrong).
  std::optional<Frame> ReceiveFrame();
  // Frames until DLE ETX; the data of the whole message, and the size of
  // each frame when sizes is given.
  std::optional<std::vector<uint8_t>> ReceiveMessage(std::vector<std::size_t>* sizes = nullptr);

  // Body of a frame (doubled data, DLE, ETX or ETB, check character).
  static std::vector<uint8_t> FrameWire(std::span<const uint8_t> data, bool last);
  // STX, wait for DLE, body, wait for DLE.
  bool SendFrame(std::span<const uint8_t> data, bool last);
  bool SendMessage(std::span<const uint8_t> data, std::size_t blockSize);

 private:
  LinePair& line_;
  std::deque<uint8_t> buffered_;
};

}  // namespace zk::test
