#include "tests/link/Peer3964.h"

#include <algorithm>
#include <array>

namespace zk::test {

std::optional<uint8_t> Peer3964::Read(int timeoutMs) {
  if (buffered_.empty()) {
    std::array<uint8_t, 4096> chunk{};
    const std::optional<std::size_t> got = line_.PeerRead(chunk, timeoutMs);
    if (!got || *got == 0) return std::nullopt;
    buffered_.insert(buffered_.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(*got));
  }
  const uint8_t c = buffered_.front();
  buffered_.pop_front();
  return c;
}

void Peer3964::Write(std::span<const uint8_t> bytes) { line_.PeerWrite(bytes); }

bool Peer3964::Expect(uint8_t c, int timeoutMs) { return Read(timeoutMs) == c; }

bool Peer3964::Quiet(int ms) { return !Read(ms).has_value(); }

Peer3964::Frame Peer3964::ReadFrameBody() {
  Frame frame;
  uint8_t bcc = 0;
  for (;;) {
    const std::optional<uint8_t> c = Read();
    if (!c) return frame;
    frame.wire.push_back(*c);
    bcc ^= *c;
    if (*c != kDle) {
      frame.data.push_back(*c);
      continue;
    }
    const std::optional<uint8_t> second = Read();
    if (!second) return frame;
    frame.wire.push_back(*second);
    bcc ^= *second;
    if (*second == kDle) {
      frame.data.push_back(kDle);
    } else if (*second == kEtx || *second == kEtb) {
      frame.last = *second == kEtx;
      break;
    } else {
      return frame;  // not a valid frame
    }
  }
  const std::optional<uint8_t> check = Read();
  if (!check) return frame;
  frame.wire.push_back(*check);
  frame.checkOk = *check == bcc;
  frame.complete = true;
  return frame;
}

std::optional<Peer3964::Frame> Peer3964::ReceiveFrame() {
  if (!Expect(kStx)) return std::nullopt;
  Write({kDle});
  Frame frame = ReadFrameBody();
  if (!frame.complete) return std::nullopt;
  Write({frame.checkOk ? kDle : kNak});
  return frame;
}

std::optional<std::vector<uint8_t>> Peer3964::ReceiveMessage(std::vector<std::size_t>* sizes) {
  std::vector<uint8_t> message;
  for (;;) {
    const std::optional<Frame> frame = ReceiveFrame();
    if (!frame || !frame->checkOk) return std::nullopt;
    message.insert(message.end(), frame->data.begin(), frame->data.end());
    if (sizes != nullptr) sizes->push_back(frame->data.size());
    if (frame->last) return message;
  }
}

std::vector<uint8_t> Peer3964::FrameWire(std::span<const uint8_t> data, bool last) {
  std::vector<uint8_t> wire;
  for (const uint8_t byte : data) {
    wire.push_back(byte);
    if (byte == kDle) wire.push_back(kDle);
  }
  wire.push_back(kDle);
  wire.push_back(last ? kEtx : kEtb);
  uint8_t bcc = 0;
  for (const uint8_t byte : wire) bcc ^= byte;
  wire.push_back(bcc);
  return wire;
}

bool Peer3964::SendFrame(std::span<const uint8_t> data, bool last) {
  Write({kStx});
  if (!Expect(kDle)) return false;
  Write(FrameWire(data, last));
  return Expect(kDle);
}

bool Peer3964::SendMessage(std::span<const uint8_t> data, std::size_t blockSize) {
  std::size_t at = 0;
  do {
    const std::size_t block = std::min(blockSize, data.size() - at);
    if (!SendFrame(data.subspan(at, block), at + block == data.size())) return false;
    at += block;
  } while (at < data.size());
  return true;
}

}  // namespace zk::test
