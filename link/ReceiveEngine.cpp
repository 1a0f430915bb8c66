#include "link/ReceiveEngine.h"

#include "common/ModuleCodes.h"
#include "link/EcbAccess.h"
#include "platform/Trace.h"

namespace zk::link {

ReceiveEngine::ReceiveEngine(const LinkConfig& config, ControlOutput& output) : config_(config), output_(output) {
  FullReset();
}

void ReceiveEngine::FullReset() {
  yieldPending_ = false;
  lineHeld_ = false;
  nakBudget_ = config_.retries;
  writeIndex_ = 0;
  messageCount_ = 0;
  BlockReset();
}

void ReceiveEngine::BlockReset() {
  inFrame_ = false;
  etxSeen_ = false;
  etbSeen_ = false;
  dlePending_ = false;
  blockCount_ = 0;
  bcc_ = 0;
}

void ReceiveEngine::YieldToPeer() {
  yieldPending_ = true;
  lineHeld_ = true;
}

ReceiveEngine::Step ReceiveEngine::OnChar(uint8_t c) {
  if (yieldPending_) {
    // The peer's repeated STX: the line is its now. The character itself
    // is not stored.
    FullReset();
    lineHeld_ = true;
    inFrame_ = true;
    if (head_ != nullptr && !HasFlags(*head_, ECB_REFUSE)) ChangeFlags(*head_, ECB_BUSY, ECB_BADCHAR);
    output_.SendControl(kDle);
    return {config_.ackTimeout};
  }
  if (!inFrame_) return Idle(c);
  if (!lineHeld_ || head_ == nullptr) return {};  // nowhere to put it
  if (etxSeen_ || etbSeen_) return CheckChar(c);
  if (dlePending_) return AfterDle(c);
  if (c == kDle) {
    dlePending_ = true;
    bcc_ ^= c;
    return {config_.charTimeout};
  }
  return Data(c);
}

ReceiveEngine::Step ReceiveEngine::Idle(uint8_t c) {
  // While the line is held (between the frames of a message) the wait for
  // the next STX goes on, so that a peer that stops gives the line back.
  if (c != kStx) {
    if (head_ != nullptr) SetFlags(*head_, ECB_BADCHAR);
    // A NAK or a late DLE is itself an answer: answering it would start an
    // endless exchange of refusals with a peer that does the same.
    const bool answered = c != kNak && c != kDle;
    if (trace::Enabled()) trace::Line("link 0x%02X where STX was due: %s", c, answered ? "NAK" : "not answered");
    if (answered) output_.SendControl(kNak);
    return {HoldTimeout()};
  }
  if (head_ == nullptr || HasFlags(*head_, ECB_REFUSE)) {
    if (trace::Enabled()) trace::Line("link STX refused: no receive posted (NAK)");
    refusedOffers_.fetch_add(1);
    output_.SendControl(kNak);
    return {HoldTimeout()};
  }
  lineHeld_ = true;
  ChangeFlags(*head_, ECB_BUSY, ECB_BADCHAR);
  inFrame_ = true;
  output_.SendControl(kDle);
  return {config_.ackTimeout};
}

ReceiveEngine::Step ReceiveEngine::AfterDle(uint8_t c) {
  dlePending_ = false;
  switch (c) {
    case kDle: return Data(c);
    case kEtb:
      bcc_ ^= c;
      etbSeen_ = true;
      return {config_.charTimeout};
    case kEtx:
      bcc_ ^= c;
      etxSeen_ = true;
      return {config_.charTimeout};
    default:
      if (trace::Enabled()) trace::Line("link DLE followed by 0x%02X: message given up (NAK)", c);
      return Fail(ECB_FAILED | ECB_BADCHAR);
  }
}

ReceiveEngine::Step ReceiveEngine::CheckChar(uint8_t c) {
  ECB& head = *head_;
  const bool refused = HasFlags(head, ECB_REFUSE);
  if (c == bcc_ && !refused) {
    output_.SendControl(kDle);
    if (etbSeen_) {
      BlockReset();  // more frames follow; the data so far stays
      return {config_.ackTimeout};
    }
    StoreCount(head, messageCount_);
    ChangeFlags(head, ECB_DONE, ECB_BUSY);
    ECB* done = PopHead();
    FullReset();
    return {0, done};
  }
  SetFlags(head, ECB_NAKED);
  if (trace::Enabled()) {
    if (refused) {
      trace::Line("link frame refused: the message does not fit its buffer (NAK)");
    } else {
      trace::Line("link check character 0x%02X wrong, 0x%02X expected (NAK)", c, bcc_);
    }
  }
  output_.SendControl(kNak);
  if (refused) {
    // This ECB takes no frames: give the line back at once.
    FullReset();
    return {};
  }
  if (--nakBudget_ == 0) {
    if (trace::Enabled()) trace::Line("link message given up: too many refused frames");
    StoreCount(head, 0);
    ChangeFlags(head, ECB_FAILED, ECB_BUSY);
    FullReset();
    return {};
  }
  // The refused frame will come again.
  writeIndex_ = static_cast<uint16_t>(writeIndex_ - blockCount_);
  messageCount_ = static_cast<uint16_t>(messageCount_ - blockCount_);
  BlockReset();
  return {config_.ackTimeout};
}

ReceiveEngine::Step ReceiveEngine::Data(uint8_t c) {
  ECB& head = *head_;
  // The rest of a refused frame is dropped; its check character is NAKed.
  if (HasFlags(head, ECB_REFUSE)) return {config_.charTimeout};
  const uint16_t capacity = head.buffer != nullptr ? head.length : uint16_t{0};
  if (writeIndex_ >= capacity) {
    if (trace::Enabled()) trace::Line("link message longer than its buffer of %u bytes (NAK)", capacity);
    ChangeFlags(head, ECB_FAILED | ECB_REFUSE, ECB_BUSY);
    output_.SendControl(kNak);
    return {config_.charTimeout};
  }
  head.buffer[writeIndex_++] = c;
  bcc_ ^= c;
  ++messageCount_;
  ++blockCount_;
  return {config_.charTimeout};
}

ReceiveEngine::Step ReceiveEngine::Fail(uint16_t flags) {
  if (head_ != nullptr) ChangeFlags(*head_, flags, ECB_BUSY);
  FullReset();
  output_.SendControl(kNak);
  return {};
}

ReceiveEngine::Step ReceiveEngine::OnTimeout() {
  if (trace::Enabled()) trace::Line("link character time-out: message given up (NAK)");
  return Fail(ECB_FAILED | ECB_TIMEOUT);
}

void ReceiveEngine::Queue(ECB& ecb) {
  if (&ecb == head_) {
    // The owner takes its failed head back; a message in progress goes on.
    StoreCount(ecb, 0);
    StoreFlags(ecb, 0);
    return;
  }
  ECB* tail = head_;
  for (ECB* queued = head_; queued != nullptr; queued = queued->next) {
    if (queued == &ecb) return;
    tail = queued;
  }
  ecb.next = nullptr;
  StoreCount(ecb, 0);
  StoreFlags(ecb, 0);
  if (tail == nullptr) {
    head_ = &ecb;
    FullReset();
  } else {
    tail->next = &ecb;
  }
}

std::vector<ECB*> ReceiveEngine::TakeQueue() {
  std::vector<ECB*> taken;
  while (head_ != nullptr) taken.push_back(PopHead());
  FullReset();
  return taken;
}

ECB* ReceiveEngine::PopHead() {
  ECB* head = head_;
  head_ = head->next;
  head->next = nullptr;
  return head;
}

}  // namespace zk::link
