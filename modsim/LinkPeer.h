#pragma once
// The module's side of the 3964R link procedure: connection request STX
// answered by DLE, DLE doubling inside the data, DLE ETX or DLE ETB as block
// end, an XOR block check character over everything after the DLE that
// answered STX, NAK refusals and repetition. The module is the low-priority
// side: when both sides request the line at once it gives way, receives the
// host's message and then offers its own again without using up a try.
//
// A byte-driven state machine without threads: the owner feeds received
// bytes, calls OnTimer when NextDeadline has passed, and collects the bytes
// it sends from the ByteSink.
#include "common/ModuleCodes.h"
#include "modsim/ByteSink.h"
#include "modsim/Clock.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

namespace zk::modsim {

class FaultInjector;
class Trace;

struct LinkParams {
  Duration charTimeout = Milliseconds(220);  // between two characters of a block
  Duration ackTimeout = Milliseconds(2000);  // for a reply character, and for the next block
  Duration retryDelay = Milliseconds(200);   // pause before a try after a refusal
  uint32_t tries = 6;                        // tries per message sent, the first included
  uint32_t refusals = 6;                     // refused blocks after which a message is given up
  std::size_t blockSize = 0;                 // data bytes per block sent; 0: one block
  std::size_t capacity = 4096;               // longest message received
};

class LinkListener {
 public:
  virtual ~LinkListener() = default;
  // A message has arrived completely and was acknowledged.
  virtual void OnMessage(std::vector<uint8_t> message, TimePoint now) = 0;
  // The message at the head of the send queue was acknowledged or given up.
  virtual void OnSendDone(bool delivered, TimePoint now) = 0;
};

class LinkPeer {
 public:
  LinkPeer(const LinkParams& params, ByteSink& out, LinkListener& listener, FaultInjector* faults, Trace* trace);

  void OnByte(uint8_t c, TimePoint now);
  void OnTimer(TimePoint now);
  Deadline NextDeadline() const { return timer_; }

  // Queues a message; it goes out as soon as the line is free.
  void Send(std::vector<uint8_t> message, TimePoint now);

  // Forgets every message, received in part or waiting to be sent.
  void Reset();

  // Receiving or sending, or a message waits to be sent.
  bool Busy() const { return state_ != State::kIdle || !txQueue_.empty(); }

 private:
  enum class State { kIdle, kRxData, kRxCheck, kRxNextBlock, kTxConnect, kTxAck };

  void Emit(uint8_t c, TimePoint now);
  void Note(std::string_view text, TimePoint now);

  void StartReceive(TimePoint now);
  void BeginBlock(TimePoint now);
  void ReceiveData(uint8_t c, TimePoint now);
  void CheckBlock(uint8_t c, TimePoint now);
  void AbortReceive(std::string_view why, bool sendNak, TimePoint now);

  // The faults the check character cannot see.
  void SpoilReceived(std::vector<uint8_t>& message, TimePoint now);
  void PlanSendFaults(const std::vector<uint8_t>& message, TimePoint now);

  void TryStartSend(TimePoint now);
  void SendBlock(TimePoint now);
  void FailTry(std::string_view why, bool pause, bool repeatBlockOnly, TimePoint now);
  void FinishSend(bool delivered, TimePoint now);
  void OnSenderByte(uint8_t c, TimePoint now);

  LinkParams params_;
  ByteSink& out_;
  LinkListener& listener_;
  FaultInjector* faults_;
  Trace* trace_;

  State state_ = State::kIdle;
  Deadline timer_;

  std::vector<uint8_t> rxMessage_;
  std::size_t rxBlockStart_ = 0;
  uint8_t rxBcc_ = 0;
  bool rxDlePending_ = false;
  bool rxLastBlock_ = false;
  bool rxOverflow_ = false;
  uint32_t rxRefusalsLeft_ = 0;

  std::deque<std::vector<uint8_t>> txQueue_;  // the head is the message being sent
  bool txStarted_ = false;
  std::size_t txPos_ = 0;  // first byte of the current block
  std::size_t txBlockLen_ = 0;
  uint32_t txTriesLeft_ = 0;
  TimePoint txNotBefore_{};
  TimePoint txBlockEnd_{};  // when the block's check character has reached the host
  // Planned for the first block of a message's first try: bytes sent with
  // a bit flipped, and a byte left out (kNoFault: none).
  static constexpr std::size_t kNoFault = static_cast<std::size_t>(-1);
  std::size_t txFlipFirst_ = kNoFault;
  std::size_t txFlipSecond_ = kNoFault;
  uint8_t txFlipMask_ = 0;
  std::size_t txDropAt_ = kNoFault;
};

}  // namespace zk::modsim
