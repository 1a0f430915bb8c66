#pragma once
// The Net* transport on the 3964R link: open and close on the port that a
// PortSelection chose, blocks sent as one 3964R message each
// (raw mode) or announced by a header frame and confirmed by a reply frame
// (header mode), receives posted and polled.
#include "common/NetApi.h"
#include "link/LinkApi.h"
#include "link/LinkDriver.h"
#include "link/NetServices.h"
#include "link/PortSelection.h"
#include "link/SoftTimer.h"
#include "platform/NonCopyable.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

namespace zk::link {

using net::kNetArgument;
using net::kNetHeaderLength;
using net::kNetHeaderType;
using net::kNetLinkError;
using net::kNetModeMask;
using net::kNetModeRawBit;
using net::kNetNoReceive;
using net::kNetNotPosted;
using net::kNetOk;
using net::kNetRxPending;
using net::kNetRxTimeout;
using net::kNetShutDownHard;
using net::kNetShutDownSoft;
using net::NetInfo;
using net::NetResult;

// The transport's own fixed waits. The link itself opens with the
// procedure's default priority, retries and time-outs (LinkConfig).
struct NetTuning {
  uint32_t headerReplyMs = 5000;      // wait for the reply to a header
  uint32_t dataAfterHeaderMs = 1000;  // receive time-out once a header is accepted
  uint32_t defaultSendLockMs = 20;
  uint32_t strayFrameMs = 5000;    // longest wait for a stray block still arriving
  uint32_t pendingOfferMs = 1000;  // wait for a peer's message offered again after a refusal
};

class NetTransport : private NonCopyable {
 public:
  // ports: whose choice each Initialize opens; it outlives the transport.
  NetTransport(LinkDriver& link, NetServices& services, const PortSelection& ports, NetTuning tuning = {});

  uint8_t Initialize(uint8_t mode, NetInfo** infoOut);
  uint8_t ShutDown(uint8_t value);
  uint8_t SendData(const uint8_t* data, uint16_t length, uint8_t type);
  uint8_t RecData(uint8_t* buffer, uint16_t capacity, uint8_t type, uint32_t timeoutMs);
  uint8_t GetRxStatus();
  void RestartRxTimeOut(uint32_t timeoutMs);
  // The bytes the last completed data block carried (0 before any).
  uint16_t RxLength() const { return rxLength_.load(); }
  // Frames dropped because no request of this host had gone out since the
  // receive for its answer was posted.
  uint32_t StrayFrames() const { return strayFrames_.load(); }
  // Why the exchange begun by the last RecData failed on the line
  // (net::LineFault).
  uint8_t LineFault() const { return lineFault_.load(); }

  // For the tests.
  bool rawMode() const { return rawMode_; }
  uint32_t sendLockTime() const { return sendLockTime_; }

 private:
  // An ECB that knows its transport, for the completion callback.
  struct OwnedEcb {
    ECB ecb;
    NetTransport* owner;
  };
  static void OnReceiveComplete(ECB* ecb);

  // control: a header or reply of header mode, named by the transport.
  bool SendFrame(ECB& ecb, bool dropStrays = false, bool control = false);
  // Raw mode, just before a request goes out: a block that arrived since
  // the receive was posted answers nothing sent since, so it is dropped and
  // the receive posted again; one still arriving is waited for first, and
  // so is a message of the peer that was refused for want of a posted
  // receive, which the peer offers again after a pause.
  void DropStrays();
  bool SendControl(std::span<const uint8_t> frame);
  void PostHeaderReceive();
  void JudgeHeader();
  bool QueueData();
  void UpdateRate(uint32_t start, uint16_t length);

  LinkDriver& link_;
  NetServices& services_;
  const PortSelection& ports_;
  const NetTuning tuning_;

  // Taken from the port choice by Initialize.
  uint32_t sendLockTime_ = 0;
  bool messageBeep_ = false;

  alignas(8) NetInfo info_;  // packed record, kept at an aligned address
  bool rawMode_ = false;
  uint8_t rxStatus_ = kNetNoReceive;
  std::atomic<bool> receivePosted_{false};
  bool awaitingHeader_ = false;
  uint8_t expectedType_ = 0;
  ECB* currentEcb_ = nullptr;
  bool frameSeen_ = false;
  uint32_t rxTimeout_ = 0;
  SoftTimer rxTimer_;     // timer 0
  SoftTimer replyTimer_;  // timer 1
  uint32_t lastSendTick_ = 0;
  std::atomic<uint16_t> rxLength_{0};
  std::atomic<uint32_t> strayFrames_{0};
  std::atomic<uint8_t> lineFault_{net::kLineFaultNone};
  uint32_t refusedSeen_ = 0;  // the link's refused offers when strays were last dropped

  // The host's receive buffer, applied to the data ECB when it is queued.
  uint8_t* rxBuffer_ = nullptr;
  uint16_t rxCapacity_ = 0;
  OwnedEcb dataRx_{};
  OwnedEcb headerRx_{};
  std::array<uint8_t, 3> headerBuf_{};
  ECB dataTx_{};
  ECB controlTx_{};
  std::array<uint8_t, 3> controlBuf_{};

  std::mutex completionMutex_;
  std::condition_variable completion_;
};

}  // namespace zk::link
