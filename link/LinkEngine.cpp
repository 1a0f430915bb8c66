#include "link/LinkEngine.h"

#include "link/EcbAccess.h"
#include "platform/Trace.h"

namespace zk::link {
namespace {

// A line byte is ten bit times (start, eight data bits, stop).
constexpr uint64_t kBitsPerByte = 10;
constexpr uint32_t kDrainSlackMs = 50;
// How often the output queue is looked at while a frame goes out.
constexpr auto kRoomStep = std::chrono::milliseconds(1);

}  // namespace

LinkEngine::LinkEngine(const LinkConfig& config, com::SerialPort& port, WindowHandle notifyWindow)
    : config_(config), port_(port), notifyWindow_(notifyWindow), sender_(config_, *this), receiver_(config_, *this) {}

LinkResult LinkEngine::Send(ECB& ecb) {
  // An empty message or one without data is a caller error: nothing is sent
  // and the ECB stays as it is.
  if (ecb.length == 0 || ecb.buffer == nullptr) return kLinkSendFailed;
  std::lock_guard sending(sendMutex_);
  {
    std::lock_guard lock(mutex_);
    // Refused while the receiver owns the line; checked and claimed in one
    // step so that no STX of the peer slips in between.
    if (lineLost_) {
      // A lost line ends the send as a sender that ran out of answers
      // would, whether the loss was seen before this send or during it.
      StoreFlags(ecb, ECB_TIMEOUT | ECB_EXHAUSTED);
      return kLinkSendFailed;
    }
    if (closing_ || receiver_.LineHeld()) return kLinkSendFailed;
    senderActive_ = true;
    awaitingReply_ = true;
  }
  return sender_.Send(ecb);
}

void LinkEngine::Queue(ECB& ecb, const ReceiveSetup* setup) {
  std::lock_guard lock(mutex_);
  if (setup != nullptr) {
    ecb.buffer = setup->buffer;
    ecb.length = setup->length;
    ecb.blockSize = setup->blockSize;
    ecb.callback = setup->callback;
  }
  receiver_.Queue(ecb);
  if (lineLost_) ChangeFlags(ecb, ECB_FAILED, ECB_BUSY);
}

void LinkEngine::LineLost() {
  if (trace::Enabled()) trace::Line("link line lost: every wait on it fails");
  {
    std::lock_guard lock(mutex_);
    lineLost_ = true;
    for (ECB* queued = receiver_.Head(); queued != nullptr; queued = queued->next) {
      ChangeFlags(*queued, ECB_FAILED, ECB_BUSY);
    }
    receiver_.FullReset();
  }
  changed_.notify_all();
}

std::vector<ECB*> LinkEngine::TakeQueue() {
  std::vector<ECB*> taken;
  {
    std::lock_guard lock(mutex_);
    taken = receiver_.TakeQueue();
  }
  changed_.notify_all();
  return taken;
}

ECB* LinkEngine::Head() {
  std::lock_guard lock(mutex_);
  return receiver_.Head();
}

void LinkEngine::BeginClose() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
}

uint16_t LinkEngine::Dispatch(std::optional<uint8_t> c) {
  ReceiveEngine::Step step;
  EcbCallback callback = nullptr;
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    const bool held = receiver_.LineHeld();
    if (c && (senderActive_ || awaitingReply_)) {
      // The character answers the sender.
      lastChar_ = Clock::now();
      replyChar_ = *c;
      awaitingReply_ = false;
      wake = true;
    } else {
      if (c) lastChar_ = Clock::now();
      step = c ? receiver_.OnChar(*c) : receiver_.OnTimeout();
      wake = held && !receiver_.LineHeld();
      if (step.completed != nullptr) callback = step.completed->callback;
    }
  }
  if (wake) changed_.notify_all();
  if (step.completed != nullptr) {
    if (callback != nullptr) callback(step.completed);
    if (const WindowHandle window = notifyWindow_.load()) {
      SendMessage(window, TN3964R_MSG_RECEIVED, 0, reinterpret_cast<intptr_t>(step.completed));
    }
  }
  return step.timeoutMs;
}

void LinkEngine::Arm() {
  std::lock_guard lock(mutex_);
  senderActive_ = true;
  awaitingReply_ = true;
}

void LinkEngine::Write(std::span<const uint8_t> bytes) {
  // A frame goes out in pieces: the next piece is queued only when the
  // driver holds no more than one piece, so that a peer breaking in is
  // noticed while the frame is still going out, and the transmitter never
  // runs dry in between.
  if (!WaitForRoom(bytes.size())) return;
  if (!port_.Write(bytes)) {
    LineLost();
    port_.ReportLoss();
    return;
  }
  unsentBytes_ += bytes.size();
}

bool LinkEngine::WaitForRoom(std::size_t piece) {
  // Bounded by the wire time of what is queued, in case the queue is stuck.
  const auto limit = Clock::now() + WireTime(unsentBytes_) + std::chrono::milliseconds(kDrainSlackMs);
  for (;;) {
    const std::optional<com::QueueLevels> levels = port_.Levels();
    if (!levels || levels->output <= piece) return true;
    std::unique_lock lock(mutex_);
    const bool brokenIn = changed_.wait_for(lock, kRoomStep, [&] { return !awaitingReply_ || closing_ || lineLost_; });
    if (brokenIn) return false;
    if (Clock::now() >= limit) return true;
  }
}

std::chrono::milliseconds LinkEngine::WireTime(std::size_t bytes) const {
  return std::chrono::milliseconds(bytes * kBitsPerByte * 1000 / config_.baudRate);
}

std::optional<uint8_t> LinkEngine::AwaitReply(uint16_t ms, bool rearm) {
  // The time for the reply starts once our own output has left.
  port_.Drain(static_cast<uint32_t>(WireTime(unsentBytes_).count()) + kDrainSlackMs);
  unsentBytes_ = 0;

  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !awaitingReply_ || closing_ || lineLost_; });
  if (awaitingReply_) return std::nullopt;
  if (rearm) awaitingReply_ = true;
  return replyChar_;
}

std::optional<uint8_t> LinkEngine::Interruption() {
  std::lock_guard lock(mutex_);
  if (awaitingReply_) return std::nullopt;
  return replyChar_;
}

void LinkEngine::ArmForCheckChar() {
  std::lock_guard lock(mutex_);
  awaitingReply_ = true;
  senderActive_ = false;
}

bool LinkEngine::YieldLine(uint32_t silenceMs) {
  std::unique_lock lock(mutex_);
  SenderDone();
  receiver_.YieldToPeer();
  lastChar_ = Clock::now();
  const auto silence = std::chrono::milliseconds(silenceMs);
  for (;;) {
    if (!receiver_.LineHeld()) return true;
    const auto deadline = lastChar_ + silence;
    if (closing_ || lineLost_ || Clock::now() >= deadline) break;
    changed_.wait_until(lock, deadline);
  }
  // The peer has gone quiet (or the link closes): start the receiver
  // afresh so that the next send finds the line free.
  if (trace::Enabled()) trace::Line("link the peer's message did not come: receiver reset");
  if (ECB* head = receiver_.Head(); head != nullptr && HasFlags(*head, ECB_BUSY)) {
    ChangeFlags(*head, ECB_FAILED | ECB_TIMEOUT, ECB_BUSY);
  }
  receiver_.FullReset();
  return false;
}

void LinkEngine::Finish() {
  std::lock_guard lock(mutex_);
  SenderDone();
}

void LinkEngine::SenderDone() {
  senderActive_ = false;
  awaitingReply_ = false;
}

void LinkEngine::Pause(uint32_t ms) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return closing_ || lineLost_; });
}

void LinkEngine::SendControl(uint8_t c) { port_.WriteByte(c); }

}  // namespace zk::link
