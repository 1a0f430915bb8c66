#include "tests/cmd/BootPeer.h"

namespace zk::cmd::test {

FakeLine::Peer BootPeer::Peer() {
  return [this](FakeLine& line, const std::vector<uint8_t>& w) {
    if (phase_ == Phase::BootCode) {
      if (bootReceived_ < bootCodeSize) {
        bootReceived_ += w.size();
        return;
      }
      if (w.size() == 1 && w[0] == kBootEndOfBootCode) {
        line.Answer({static_cast<uint8_t>(bootReceived_ == bootCodeSize ? 0xAA : 0x55)});
        phase_ = Phase::FlashFile;
      }
      return;
    }
    if (phase_ == Phase::FlashFile) {
      frames.push_back(w);
      if (nakNextFrameWith != 0) {
        line.Answer({kBootNak, 0, nakNextFrameWith});
        nakNextFrameWith = 0;
        return;
      }
      line.Answer({kBootAck});
      return;
    }
    // Idle: the handshake or the start of a boot download.
    if (w.size() == 1 && w[0] == 0x00) {
      line.Answer({0x42});
      phase_ = bootCodeSize > 0 ? Phase::BootCode : Phase::FlashFile;
      bootReceived_ = 0;
    } else if (w.size() == 1 && w[0] >= 1 && w[0] <= 10) {
      line.Answer({echoIndexUnchanged ? w[0] : static_cast<uint8_t>(~w[0])});
    }
  };
}

BootFileBuilder& BootFileBuilder::Memory(uint32_t address, const std::vector<uint8_t>& data) {
  const std::size_t length = data.size() + 5;
  bytes.push_back(0xB9);
  bytes.push_back(static_cast<uint8_t>(length));
  bytes.push_back(static_cast<uint8_t>(length >> 8));
  bytes.push_back(static_cast<uint8_t>(address >> 16));
  bytes.push_back(static_cast<uint8_t>(address));
  bytes.push_back(static_cast<uint8_t>(address >> 8));
  bytes.push_back(0);
  bytes.insert(bytes.end(), data.begin(), data.end());
  bytes.push_back(0);
  return *this;
}

BootFileBuilder& BootFileBuilder::Other(uint8_t type, std::size_t length) {
  bytes.push_back(type);
  bytes.push_back(static_cast<uint8_t>(length));
  bytes.push_back(static_cast<uint8_t>(length >> 8));
  bytes.insert(bytes.end(), length, 0x77);
  return *this;
}

BootFileBuilder& BootFileBuilder::End() {
  bytes.insert(bytes.end(), {0x8A, 0, 0});
  return *this;
}

}  // namespace zk::cmd::test
