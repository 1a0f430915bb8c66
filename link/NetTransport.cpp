#include "link/NetTransport.h"

#include "link/EcbAccess.h"
#include "link/LinkConfig.h"
#include "platform/FrameTrace.h"
#include "platform/Trace.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <span>

namespace zk::link {
namespace {

constexpr uint16_t kDataBlockSize = 1024;
constexpr uint16_t kHeaderLength = 3;
constexpr uint8_t kReplyAccepted = 0x00;
constexpr uint8_t kReplyRefused = 0xFF;
constexpr auto kCompletionStep = std::chrono::milliseconds(1);

constexpr const char* kLinkName = "TN3964R";
constexpr const char* kLinkDescription = "Serielle Punkt- zu Punkt-Verbindung";

// Host types 1, 2 and 3 go on the line as they are, every other as 0xFF.
uint8_t TypeCode(uint8_t type) { return type >= 1 && type <= 3 ? type : 0xFF; }

// The trace name of a header-mode frame: a header announces a block, a
// reply answers a header.
std::string ControlName(std::span<const uint8_t> frame) {
  char name[64];
  if (frame.size() == kHeaderLength) {
    std::snprintf(name, sizeof name, "header type %u +%u", frame[0], frame[1] | (frame[2] << 8));
  } else if (frame.size() == 2) {
    std::snprintf(name, sizeof name, "header reply %s", frame[1] == kReplyAccepted ? "accepted" : "refused");
  } else {
    std::snprintf(name, sizeof name, "header frame");
  }
  return name;
}

// What the flags of a send that failed say of the peer: it stayed silent,
// or it refused the tries (a NAK, or another byte where DLE was due).
uint8_t SendFault(const ECB& ecb) {
  const uint16_t flags = LoadFlags(ecb);
  return (flags & ECB_TIMEOUT) != 0 && (flags & ECB_NAKED) == 0 ? net::kLineFaultNoReply : net::kLineFaultRefused;
}

// What the flags of a receive that failed say: a block that broke off
// (no character in time), or blocks refused at their check character or
// framed wrongly.
uint8_t ReceiveFault(const ECB& ecb) {
  return (LoadFlags(ecb) & ECB_TIMEOUT) != 0 ? net::kLineFaultRxTimeout : net::kLineFaultBadCheck;
}

}  // namespace

NetTransport::NetTransport(LinkDriver& link, NetServices& services, const PortSelection& ports, NetTuning tuning)
    : link_(link), services_(services), ports_(ports), tuning_(tuning), info_{kLinkName, kLinkDescription, 0, 0, 0, 0} {
  dataRx_.owner = this;
  headerRx_.owner = this;
}

void NetTransport::OnReceiveComplete(ECB* ecb) {
  NetTransport& self = *reinterpret_cast<OwnedEcb*>(ecb)->owner;
  if (!HasFlags(*ecb, ECB_DONE)) return;
  if (trace::Enabled()) {
    const std::span<const uint8_t> frame(ecb->buffer, LoadCount(*ecb));
    if (ecb == &self.dataRx_.ecb) {
      trace::Frame(trace::Direction::kFromModule, frame);
    } else {
      trace::Frame(trace::Direction::kFromModule, frame, ControlName(frame));
    }
  }
  if (ecb == &self.dataRx_.ecb) self.rxLength_.store(LoadCount(*ecb));
  {
    std::lock_guard lock(self.completionMutex_);
    self.receivePosted_.store(false);
  }
  self.completion_.notify_all();
}

uint8_t NetTransport::Initialize(uint8_t modeByte, NetInfo** infoOut) {
  const uint8_t mode = modeByte & kNetModeMask;
  if (mode > 2) return kNetArgument;
  const bool rawRequest = (modeByte & kNetModeRawBit) != 0 || ports_.choice().rawModeIni;
  if (mode == 0) rawMode_ = rawRequest;

  const PortChoice& choice = ports_.choice();
  constexpr LinkConfig kProcedure{};
  LinkParams params{choice.portNumber,
                    choice.baudRate,
                    0,
                    0,
                    kProcedure.priority,
                    kProcedure.retries,
                    kProcedure.charTimeout,
                    kProcedure.ackTimeout,
                    kProcedure.retryDelay};
  const uint8_t opened = link_.Initialize(&params);
  const uint32_t now = services_.Now();
  lastSendTick_ = now;
  sendLockTime_ = choice.sendLockTime != 0 ? choice.sendLockTime : tuning_.defaultSendLockMs;
  messageBeep_ = choice.messageBeep;

  if (mode == 0) {
    info_.linkStart = now;
    info_.reinitCount = 0;
    info_.bytesPerSecond = 0;
  } else if (mode == 2) {
    ++info_.reinitCount;
  }
  info_.lastInit = now;
  if (infoOut != nullptr) *infoOut = &info_;

  receivePosted_.store(false);
  awaitingHeader_ = false;
  frameSeen_ = false;
  currentEcb_ = nullptr;
  rxStatus_ = kNetNoReceive;
  refusedSeen_ = link_.RefusedOffers();
  return opened == kLinkOk ? kNetOk : kNetLinkError;
}

uint8_t NetTransport::ShutDown(uint8_t value) {
  if (value != kNetShutDownSoft && value != kNetShutDownHard) return kNetArgument;
  link_.Shutdown();
  rxTimer_.Stop();
  replyTimer_.Stop();
  receivePosted_.store(false);
  awaitingHeader_ = false;
  currentEcb_ = nullptr;
  rxStatus_ = kNetNoReceive;
  return kNetOk;
}

bool NetTransport::SendFrame(ECB& ecb, bool dropStrays, bool control) {
  // Frames go out at least sendLockTime apart; one due sooner waits the
  // whole time.
  if (TicksSince(lastSendTick_, services_.Now()) < sendLockTime_) {
    if (messageBeep_) services_.Beep();
    services_.Sleep(sendLockTime_);
  }
  if (dropStrays) DropStrays();
  if (trace::Enabled()) {
    const std::span<const uint8_t> frame(ecb.buffer, ecb.length);
    if (control) {
      trace::Frame(trace::Direction::kToModule, frame, ControlName(frame));
    } else {
      trace::Frame(trace::Direction::kToModule, frame);
    }
  }
  const uint8_t sent = link_.Send(&ecb);
  lastSendTick_ = services_.Now();
  if (sent != kLinkOk) lineFault_.store(SendFault(ecb));
  return sent == kLinkOk;
}

bool NetTransport::SendControl(std::span<const uint8_t> frame) {
  std::copy(frame.begin(), frame.end(), controlBuf_.begin());
  controlTx_ = ECB{controlBuf_.data(), static_cast<uint16_t>(frame.size()), 0, 0, 0, nullptr, nullptr};
  return SendFrame(controlTx_, false, true);
}

uint8_t NetTransport::SendData(const uint8_t* data, uint16_t length, uint8_t type) {
  // The engine only reads a send buffer.
  dataTx_ = ECB{const_cast<uint8_t*>(data), length, 0, kDataBlockSize, 0, nullptr, nullptr};
  const uint32_t start = services_.Now();

  if (!rawMode_) {
    if (!awaitingHeader_) PostHeaderReceive();  // for the reply
    const std::array<uint8_t, 3> header{TypeCode(type), static_cast<uint8_t>(length & 0xFF),
                                        static_cast<uint8_t>(length >> 8)};
    if (!SendControl(header)) return kNetLinkError;
    replyTimer_.Start(services_.Now(), tuning_.headerReplyMs);
    while (receivePosted_.load()) {
      if (replyTimer_.Expired(services_.Now())) {
        lineFault_.store(net::kLineFaultNoReply);
        return kNetLinkError;
      }
      std::unique_lock lock(completionMutex_);
      completion_.wait_for(lock, kCompletionStep, [&] { return !receivePosted_.load(); });
    }
    if (headerBuf_[0] != 0 || headerBuf_[1] != kReplyAccepted) {
      lineFault_.store(net::kLineFaultRefused);
      return kNetLinkError;
    }
    if (awaitingHeader_) PostHeaderReceive();  // the host's receive goes on
  }

  if (!SendFrame(dataTx_, rawMode_)) return kNetLinkError;
  UpdateRate(start, length);
  return kNetOk;
}

void NetTransport::DropStrays() {
  if (rxStatus_ != kNetRxPending || currentEcb_ != &dataRx_.ecb) return;
  const uint32_t refused = link_.RefusedOffers();
  bool offerPending = refused != refusedSeen_;
  refusedSeen_ = refused;
  const uint32_t start = services_.Now();
  while (TicksSince(start, services_.Now()) < tuning_.strayFrameMs) {
    const uint16_t flags = LoadFlags(dataRx_.ecb);
    if (receivePosted_.load() && (flags & ECB_FAILED) == 0) {
      // Nothing came: the line is ours, unless a refused message is due.
      if ((flags & ECB_BUSY) == 0 && (!offerPending || TicksSince(start, services_.Now()) >= tuning_.pendingOfferMs)) {
        return;
      }
      std::unique_lock lock(completionMutex_);
      completion_.wait_for(lock, kCompletionStep, [&] { return !receivePosted_.load(); });
      continue;
    }
    // Whole or spoilt, the block belongs to no request of ours.
    offerPending = false;
    strayFrames_.fetch_add(1);
    if (trace::Enabled()) trace::Line("link stray frame dropped: nothing was sent since its receive was posted");
    if (!QueueData()) {
      rxStatus_ = kNetLinkError;
      return;
    }
    if (HasFlags(dataRx_.ecb, ECB_FAILED)) return;  // the line is gone: the status tells
  }
}

void NetTransport::UpdateRate(uint32_t start, uint16_t length) {
  const uint64_t elapsed = TicksSince(start, services_.Now()) + 1ull;
  const uint64_t rate = std::min<uint64_t>(uint64_t{length} * 1000 / elapsed, std::numeric_limits<uint16_t>::max());
  info_.bytesPerSecond = static_cast<uint16_t>(info_.bytesPerSecond == 0 ? rate : (info_.bytesPerSecond + rate) / 2);
}

uint8_t NetTransport::RecData(uint8_t* buffer, uint16_t capacity, uint8_t type, uint32_t timeoutMs) {
  rxStatus_ = kNetRxPending;
  rxLength_.store(0);
  lineFault_.store(net::kLineFaultNone);
  rxBuffer_ = buffer;
  rxCapacity_ = buffer != nullptr ? capacity : uint16_t{0};
  rxTimeout_ = timeoutMs;
  frameSeen_ = false;
  uint8_t result = kNetOk;
  if (!rawMode_) {
    awaitingHeader_ = true;
    expectedType_ = TypeCode(type);
    if (!receivePosted_.load()) PostHeaderReceive();
  } else {
    awaitingHeader_ = false;
    if (!QueueData()) {
      // Reported at once and as the final status, so a host that polls
      // anyway does not wait for a block that cannot come.
      rxStatus_ = kNetLinkError;
      result = kNetLinkError;
    }
  }
  rxTimer_.Start(services_.Now(), timeoutMs);
  return result;
}

bool NetTransport::QueueData() {
  receivePosted_.store(true);
  currentEcb_ = &dataRx_.ecb;
  const ReceiveSetup setup{rxBuffer_, rxCapacity_, kDataBlockSize, &OnReceiveComplete};
  if (link_.Receive(dataRx_.ecb, setup) == kLinkOk) return true;
  receivePosted_.store(false);
  return false;
}

void NetTransport::PostHeaderReceive() {
  // The buffer is only cleared while the engine does not hold it.
  if (!receivePosted_.load()) headerBuf_.fill(0);
  receivePosted_.store(true);
  currentEcb_ = &headerRx_.ecb;
  const ReceiveSetup setup{headerBuf_.data(), kHeaderLength, kHeaderLength, &OnReceiveComplete};
  link_.Receive(headerRx_.ecb, setup);
}

uint8_t NetTransport::GetRxStatus() {
  if (rxStatus_ != kNetRxPending) return rxStatus_;
  if (receivePosted_.load()) {
    const uint16_t flags = LoadFlags(*currentEcb_);
    if (flags & ECB_FAILED) {
      rxStatus_ = kNetLinkError;
      lineFault_.store(ReceiveFault(*currentEcb_));
    } else if (flags & ECB_BUSY) {
      frameSeen_ = true;  // a block is arriving: the time-out waits
    } else {
      if (frameSeen_) {
        rxTimer_.Start(services_.Now(), rxTimeout_);
        frameSeen_ = false;
      }
      if (rxTimer_.Expired(services_.Now())) {
        rxStatus_ = kNetRxTimeout;
        lineFault_.store(net::kLineFaultRxTimeout);
      }
    }
  } else if (awaitingHeader_) {
    JudgeHeader();
  } else {
    rxStatus_ = kNetOk;
  }
  return rxStatus_;
}

void NetTransport::JudgeHeader() {
  const uint16_t announced = static_cast<uint16_t>(headerBuf_[1] | (headerBuf_[2] << 8));
  static constexpr std::array<uint8_t, 2> kRefused{0x00, kReplyRefused};
  static constexpr std::array<uint8_t, 2> kAccepted{0x00, kReplyAccepted};
  if (headerBuf_[0] != expectedType_) {
    if (trace::Enabled()) trace::Line("link header refused: type %u, %u expected", headerBuf_[0], expectedType_);
    SendControl(kRefused);
    rxStatus_ = kNetHeaderType;
  } else if (announced > rxCapacity_) {
    if (trace::Enabled()) trace::Line("link header refused: %u bytes announced, room for %u", announced, rxCapacity_);
    SendControl(kRefused);
    rxStatus_ = kNetHeaderLength;
  } else {
    awaitingHeader_ = false;
    if (!QueueData()) {
      rxStatus_ = kNetNotPosted;
      return;
    }
    SendControl(kAccepted);
    rxTimer_.Start(services_.Now(), tuning_.dataAfterHeaderMs);
  }
}

void NetTransport::RestartRxTimeOut(uint32_t timeoutMs) {
  rxTimer_.Start(services_.Now(), timeoutMs);
  rxTimeout_ = timeoutMs;
}

}  // namespace zk::link
