#pragma once
// The receiving side of the 3964R procedure, fed one character at a time by
// the link thread: answers STX with DLE (or NAK when there is no ECB to
// take the message), stores the data of each frame into the head ECB of the
// receive queue, undoubling DLE, checks the block check character and
// answers it, and completes the ECB at DLE ETX. An idle receiver refuses
// any other character with NAK, except NAK and DLE, which go unanswered. Every call returns the
// character time-out that applies next (0 = none).
//
// Not thread-safe: the owner serialises all calls.
#include "link/LinkApi.h"
#include "link/LinkConfig.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace zk::link {

// Where the receiver's DLE and NAK go.
class ControlOutput {
 public:
  virtual ~ControlOutput() = default;
  virtual void SendControl(uint8_t c) = 0;
};

class ReceiveEngine {
 public:
  struct Step {
    uint16_t timeoutMs = 0;
    ECB* completed = nullptr;  // the ECB whose message has just arrived
  };

  ReceiveEngine(const LinkConfig& config, ControlOutput& output);

  Step OnChar(uint8_t c);
  // No character came within the last time-out.
  Step OnTimeout();

  // Queues ecb (count and flags cleared). The head ECB queued again keeps
  // the message in progress; an ECB already further down is left alone.
  void Queue(ECB& ecb);
  // Empties the queue and returns it in queue order; the receiver starts
  // afresh.
  std::vector<ECB*> TakeQueue();
  ECB* Head() const { return head_; }

  // The receiver owns the line from an accepted STX until its full reset.
  bool LineHeld() const { return lineHeld_; }
  // A low-priority sender gave way: the peer's next character is answered
  // with DLE and its message received.
  void YieldToPeer();
  // Drops whatever is in progress and gives the line back.
  void FullReset();
  // The peer's messages refused at their STX because no receive was
  // posted: the peer offers each again after a pause.
  uint32_t RefusedOffers() const { return refusedOffers_.load(); }

 private:
  Step Idle(uint8_t c);
  Step AfterDle(uint8_t c);
  Step CheckChar(uint8_t c);
  Step Data(uint8_t c);
  Step Fail(uint16_t flags);
  void BlockReset();
  ECB* PopHead();
  uint16_t HoldTimeout() const { return lineHeld_ ? config_.ackTimeout : uint16_t{0}; }

  const LinkConfig& config_;
  ControlOutput& output_;
  std::atomic<uint32_t> refusedOffers_{0};

  ECB* head_ = nullptr;
  bool yieldPending_ = false;
  bool lineHeld_ = false;
  bool inFrame_ = false;
  bool dlePending_ = false;
  bool etxSeen_ = false;
  bool etbSeen_ = false;
  uint8_t bcc_ = 0;
  uint16_t writeIndex_ = 0;
  uint16_t messageCount_ = 0;
  uint16_t blockCount_ = 0;
  uint8_t nakBudget_ = 0;
};

}  // namespace zk::link
