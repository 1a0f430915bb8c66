#if defined(_WIN32)
#include "platform/SerialPort.h"
#include "tests/link/LinePair.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace zk::test {
namespace {

constexpr uint32_t kPeerRate = 57600;
// Bytes a test before left on the relay arrive within this long.
constexpr uint32_t kSettleMs = 20;

std::string PortDevice(unsigned n) { return "\\\\.\\COM" + std::to_string(n); }

}  // namespace

struct LinePair::Far {
  std::unique_ptr<com::SerialPort> port;
};

LinePair::LinePair() : far_(std::make_unique<Far>()) {
  const char* line = std::getenv("ZK_TEST_LINE");
  unsigned code = 0;
  unsigned peer = 0;
  if (line == nullptr || std::sscanf(line, "%u,%u", &code, &peer) != 2) {
    throw std::runtime_error("ZK_TEST_LINE names no pair of relayed ports (CODE,PEER)");
  }
  devicePath_ = PortDevice(code);
  far_->port = com::OpenSerialDevice(PortDevice(peer), kPeerRate);
  if (!far_->port) throw std::runtime_error("cannot open " + PortDevice(peer));
  // Whatever an earlier test left on either side is dropped.
  std::array<uint8_t, 256> stale{};
  while (far_->port->Read(stale, kSettleMs).count != 0) {
  }
  if (auto codeSide = com::OpenSerialDevice(devicePath_, kPeerRate)) codeSide->Purge(com::PurgeWhat::Both);
}

LinePair::~LinePair() = default;

std::optional<std::size_t> LinePair::PeerRead(std::span<uint8_t> out, int timeoutMs) {
  const com::ReadResult got = far_->port->Read(out, static_cast<uint32_t>(timeoutMs));
  if (got.status == com::IoStatus::Ok) return got.count;
  if (got.status == com::IoStatus::TimedOut) return 0;
  return std::nullopt;
}

bool LinePair::PeerWrite(std::span<const uint8_t> bytes) { return far_->port->Write(bytes); }

bool LinePair::CanHangUp() { return false; }

void LinePair::HangUp() {}

}  // namespace zk::test
#endif
