#pragma once
// A boot loader written from its byte protocol, answering through a FakeLine.
#include "tests/cmd/FakeLine.h"

#include <cstddef>
#include <cstdint>

namespace zk::cmd::test {

struct BootPeer {
  std::size_t bootCodeSize = 0;  // raw bytes expected after the identification
  bool echoIndexUnchanged = false;
  uint8_t nakNextFrameWith = 0;              // error byte of a negative answer to the next frame
  std::vector<std::vector<uint8_t>> frames;  // flash-file frames received

  FakeLine::Peer Peer();

 private:
  enum class Phase { Idle, BootCode, FlashFile } phase_ = Phase::Idle;
  std::size_t bootReceived_ = 0;
};

// Builds a boot/flash file with memory records of type 0xB9.
struct BootFileBuilder {
  std::vector<uint8_t> bytes;
  BootFileBuilder& Memory(uint32_t address, const std::vector<uint8_t>& data);
  BootFileBuilder& Other(uint8_t type, std::size_t length);
  BootFileBuilder& End();
};

}  // namespace zk::cmd::test
