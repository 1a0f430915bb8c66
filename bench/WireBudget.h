#pragma once
// What a dialogue costs on the line at the least: the wire time of every
// byte it needs (8N1, ten bits per byte at the rate in force) plus the waits
// the protocol itself prescribes. The benchmarks hold measured times
// against it.
#include <cstdint>
#include <limits>
#include <span>

namespace zk::bench {

// Bytes on the line in each direction.
struct ByteCount {
  uint64_t fromHost = 0;
  uint64_t toHost = 0;

  uint64_t Total() const { return fromHost + toHost; }
  ByteCount& operator+=(const ByteCount& other) {
    fromHost += other.fromHost;
    toHost += other.toHost;
    return *this;
  }
  bool operator==(const ByteCount&) const = default;
};

// One 3964R message in one block: the sender's STX, its data with every DLE
// doubled, DLE ETX and the check character; the receiver's DLE after the STX
// and its DLE after the check character.
ByteCount MessageBytes(std::span<const uint8_t> payload, bool hostSends);

// Wire time of bytes at a rate, in seconds.
double WireSeconds(uint64_t bytes, uint32_t rate);

class WireBudget {
 public:
  void AddBytes(const ByteCount& bytes, uint32_t rate);
  void AddWait(double seconds) { waits_ += seconds; }

  double Wire() const { return wire_; }
  double Waits() const { return waits_; }
  double Seconds() const { return wire_ + waits_; }
  const ByteCount& Bytes() const { return bytes_; }

 private:
  double wire_ = 0;
  double waits_ = 0;
  ByteCount bytes_;
};

// Request and answer frames over the transport at one rate. A frame due
// less than the send lock after the end of the previous send waits the
// whole lock time first.
class FrameDialogue {
 public:
  FrameDialogue(WireBudget& budget, uint32_t rate, double sendLockSeconds)
      : budget_(budget), rate_(rate), lock_(sendLockSeconds) {}

  // The host sends request; the module works busySeconds and answers.
  void Exchange(std::span<const uint8_t> request, std::span<const uint8_t> answer, double busySeconds = 0);
  // The transport has just been opened: its send clock starts now.
  void Opened() { sinceSend_ = 0; }
  // The line has been quiet for longer than the send lock.
  void Rested() { sinceSend_ = std::numeric_limits<double>::infinity(); }

  uint32_t Locks() const { return locks_; }
  const ByteCount& Bytes() const { return bytes_; }

 private:
  WireBudget& budget_;
  uint32_t rate_;
  double lock_;
  double sinceSend_ = std::numeric_limits<double>::infinity();
  uint32_t locks_ = 0;
  ByteCount bytes_;
};

}  // namespace zk::bench
