#include "link/Sender.h"

#include "common/ModuleCodes.h"
#include "link/BlockEncoder.h"
#include "link/EcbAccess.h"
#include "platform/Trace.h"

#include <algorithm>

namespace zk::link {
namespace {

// Frames are written in pieces of this size; between two pieces the sender
// looks whether the peer has interrupted the frame.
constexpr std::size_t kWritePiece = 64;

// What the peer answered where DLE was due, for the trace.
void TraceReply(const char* after, const std::optional<uint8_t>& reply, uint16_t waitedMs) {
  if (!trace::Enabled()) return;
  if (!reply) {
    trace::Line("link no DLE to %s within %u ms", after, waitedMs);
  } else if (*reply == kNak) {
    trace::Line("link NAK to %s", after);
  } else {
    trace::Line("link 0x%02X in place of DLE after %s", *reply, after);
  }
}

}  // namespace

LinkResult Sender::Send(ECB& ecb) {
  if (ecb.blockSize == 0) ecb.blockSize = ecb.length;
  StoreFlags(ecb, ECB_BUSY);
  Progress progress;
  progress.attemptsLeft = config_.retries + 1u;
  for (;;) {
    link_.Arm();
    switch (EnterState(ecb, progress)) {
      case PassEnd::Failed:
        if (trace::Enabled()) trace::Line("link send given up after a wrong reply");
        return End(ecb, ECB_BADCHAR);
      case PassEnd::Exhausted:
        if (trace::Enabled()) trace::Line("link send given up: no tries left");
        return End(ecb, ECB_EXHAUSTED);
      case PassEnd::Continue: break;
    }
    const std::size_t block = std::min<std::size_t>(ecb.blockSize, progress.remaining);
    switch (Connect(ecb, progress)) {
      case ConnectEnd::Again: continue;
      case ConnectEnd::GaveUp:
        if (trace::Enabled()) trace::Line("link send given up: the peer went quiet in its own message");
        return End(ecb, ECB_TIMEOUT);
      case ConnectEnd::Accepted: break;
    }
    const std::span<const uint8_t> data(ecb.buffer + progress.position, block);
    uint8_t bcc = 0;
    if (!SendBody(data, block == progress.remaining, progress, bcc)) continue;
    progress.position += block;
    progress.remaining -= block;
    link_.ArmForCheckChar();
    link_.Write(std::span<const uint8_t>(&bcc, 1));
    JudgeCheckReply(ecb, block, progress);
    if (progress.state == State::NextBlock && progress.remaining == 0) {
      SetFlags(ecb, ECB_DONE);
      ClearFlags(ecb, ECB_BUSY);
      link_.Finish();
      if (ecb.callback != nullptr) ecb.callback(&ecb);
      return kLinkOk;
    }
  }
}

Sender::PassEnd Sender::EnterState(ECB& ecb, Progress& progress) {
  switch (progress.state) {
    case State::FailAfterPause: link_.Pause(2u * config_.ackTimeout); return PassEnd::Failed;
    case State::Fail: return PassEnd::Failed;
    case State::NakOnConnect:
      link_.Pause(config_.retryDelay);
      SetFlags(ecb, ECB_NAKED);
      [[fallthrough]];
    case State::Restart:
    case State::Start:
      progress.position = 0;
      progress.remaining = ecb.length;
      [[fallthrough]];
    case State::RepeatBlock:
      if (--progress.attemptsLeft == 0) return PassEnd::Exhausted;
      if (progress.state != State::Start && trace::Enabled()) {
        // A message has as many tries as retries: the first pass takes one.
        trace::Line("link %s again, try %u of %u", progress.state == State::RepeatBlock ? "frame" : "message",
                    config_.retries + 1u - progress.attemptsLeft, unsigned{config_.retries});
      }
      progress.state = State::NextBlock;
      return PassEnd::Continue;
    case State::NextBlock: return PassEnd::Continue;
  }
  return PassEnd::Failed;
}

Sender::ConnectEnd Sender::Connect(ECB& ecb, Progress& progress) {
  link_.Write(std::span<const uint8_t>(&kStx, 1));
  std::optional<uint8_t> reply = link_.AwaitReply(config_.ackTimeout, true);
  if (reply == kStx) {
    // Both sides asked for the line at once.
    if (trace::Enabled()) {
      trace::Line("link both sides sent STX: %s",
                  config_.priority == 0 ? "the peer's message goes first" : "ours goes on");
    }
    if (config_.priority == 0) {
      // The peer's message goes first; then the same frame is offered again
      // without using up a try.
      const uint32_t silence = uint32_t{config_.ackTimeout} * config_.retries;
      return link_.YieldLine(silence) ? ConnectEnd::Again : ConnectEnd::GaveUp;
    }
    reply = link_.AwaitReply(config_.ackTimeout, true);
  }
  if (reply != kDle) TraceReply("STX", reply, config_.ackTimeout);
  if (!reply) {
    SetFlags(ecb, ECB_TIMEOUT);
    progress.state = State::Restart;
    return ConnectEnd::Again;
  }
  if (*reply == kNak) {
    progress.state = State::NakOnConnect;
    return ConnectEnd::Again;
  }
  if (*reply != kDle) {
    progress.state = State::FailAfterPause;
    return ConnectEnd::Again;
  }
  return ConnectEnd::Accepted;
}

bool Sender::SendBody(std::span<const uint8_t> block, bool last, Progress& progress, uint8_t& bcc) {
  bcc = EncodeBlock(block, last ? BlockEnd::Last : BlockEnd::More, frame_);
  const std::span<const uint8_t> frame(frame_);
  for (std::size_t at = 0; at < frame.size(); at += kWritePiece) {
    link_.Write(frame.subspan(at, std::min(kWritePiece, frame.size() - at)));
    if (const std::optional<uint8_t> interruption = link_.Interruption()) {
      if (trace::Enabled()) trace::Line("link frame broken off by 0x%02X from the peer", *interruption);
      progress.state = *interruption == kNak ? State::Restart : State::FailAfterPause;
      return false;
    }
  }
  return true;
}

void Sender::JudgeCheckReply(ECB& ecb, std::size_t block, Progress& progress) {
  const std::optional<uint8_t> reply = link_.AwaitReply(config_.ackTimeout, false);
  if (reply != kDle) TraceReply("the check character", reply, config_.ackTimeout);
  if (!reply) {
    SetFlags(ecb, ECB_TIMEOUT);
    progress.state = State::Restart;
  } else if (*reply == kNak) {
    // Only this frame goes again.
    progress.position -= block;
    progress.remaining += block;
    progress.state = State::RepeatBlock;
  } else if (*reply != kDle) {
    progress.state = State::Fail;
  }
}

LinkResult Sender::End(ECB& ecb, uint16_t flag) {
  SetFlags(ecb, flag);
  ClearFlags(ecb, ECB_BUSY);
  link_.Finish();
  return kLinkSendFailed;
}

}  // namespace zk::link
