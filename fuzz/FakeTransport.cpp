#include "fuzz/FakeTransport.h"

#include "cmd/Session.h"
#include "common/NetApi.h"

#include <algorithm>
#include <cstring>

#include <dlfcn.h>

namespace zk::fuzz {
namespace {

constexpr uint8_t kStatusMask = 0x03;
constexpr unsigned kPendingShift = 2;
constexpr uint8_t kPendingMask = 0x03;
constexpr uint8_t kSendFails = 0x10;
constexpr uint8_t kArmFails = 0x20;
constexpr uint8_t kTransportError = 1;

uint8_t FinalStatus(uint8_t control) {
  switch (control & kStatusMask) {
    case 1: return net::kRxRestart;
    case 2: return net::kRxIdle;
    default: return net::kRxComplete;
  }
}

}  // namespace

FakeTransport& FakeTransport::Instance() {
  static FakeTransport transport;
  return transport;
}

void FakeTransport::Bind() {
  cmd::CurrentSession().transport.Bind(dlopen(nullptr, RTLD_NOW));
  ZK_FUZZ_CHECK(cmd::CurrentSession().transport.ResolveEntries());
}

void FakeTransport::Start(FuzzInput* input) {
  *this = FakeTransport();
  input_ = input;
}

uint8_t FakeTransport::RecData(uint8_t* buffer, uint16_t capacity) {
  if (failNextArm_) {
    failNextArm_ = false;
    return kTransportError;
  }
  armed_ = buffer;
  capacity_ = capacity;
  return 0;
}

uint8_t FakeTransport::SendData(const uint8_t* data, uint16_t length) {
  requests_.push_back({std::vector<uint8_t>(data, data + length)});
  if (failNextSend_) {
    failNextSend_ = false;
    return kTransportError;
  }
  return 0;
}

uint8_t FakeTransport::GetRxStatus() {
  if (!haveFinal_) {
    if (input_ == nullptr || input_->Empty()) return net::kRxIdle;
    const uint8_t control = input_->U8();
    const uint16_t length = input_->U16();
    const std::span<const uint8_t> answer = input_->Bytes(length);
    failNextSend_ = (control & kSendFails) != 0;
    failNextArm_ = (control & kArmFails) != 0;
    pendingPolls_ = (control >> kPendingShift) & kPendingMask;
    final_ = FinalStatus(control);
    haveFinal_ = true;
    if (armed_ != nullptr) {
      const std::size_t n = std::min<std::size_t>(answer.size(), capacity_);
      std::memcpy(armed_, answer.data(), n);
      if (final_ == net::kRxComplete && !requests_.empty()) {
        SentRequest& last = requests_.back();
        last.answered = true;
        last.effective0 = armed_[0];
        last.effective1 = capacity_ > 1 ? armed_[1] : 0;
      }
    }
  }
  if (pendingPolls_ > 0) {
    --pendingPolls_;
    return net::kRxPending;
  }
  haveFinal_ = false;
  return final_;
}

}  // namespace zk::fuzz

using zk::fuzz::FakeTransport;

extern "C" __attribute__((visibility("default"))) uint8_t NetRecData(uint8_t* buffer, uint16_t capacity, uint8_t,
                                                                     uint32_t) {
  return FakeTransport::Instance().RecData(buffer, capacity);
}

extern "C" __attribute__((visibility("default"))) uint8_t NetSendData(const uint8_t* data, uint16_t length, uint8_t,
                                                                      uint32_t) {
  return FakeTransport::Instance().SendData(data, length);
}

extern "C" __attribute__((visibility("default"))) uint8_t NetGetRxStatus(void) {
  return FakeTransport::Instance().GetRxStatus();
}

extern "C" __attribute__((visibility("default"))) void NetRestartRxTimeOut(uint32_t) {}
