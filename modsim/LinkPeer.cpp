#include "modsim/LinkPeer.h"

#include "modsim/FaultInjector.h"
#include "modsim/Trace.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace zk::modsim {
namespace {

std::string CharText(std::string_view what, uint8_t c) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*s 0x%02X", static_cast<int>(what.size()), what.data(), c);
  return buffer;
}

}  // namespace

LinkPeer::LinkPeer(const LinkParams& params, ByteSink& out, LinkListener& listener, FaultInjector* faults, Trace* trace)
    : params_(params), out_(out), listener_(listener), faults_(faults), trace_(trace) {}

void LinkPeer::Emit(uint8_t c, TimePoint now) { out_.Put(c, now); }

void LinkPeer::Note(std::string_view text, TimePoint now) {
  if (trace_) trace_->Note(std::string("3964R: ") + std::string(text), now);
}

void LinkPeer::Reset() {
  state_ = State::kIdle;
  timer_.reset();
  rxMessage_.clear();
  rxDlePending_ = false;
  txQueue_.clear();
  txStarted_ = false;
  txPos_ = 0;
}

void LinkPeer::OnByte(uint8_t c, TimePoint now) {
  switch (state_) {
    case State::kIdle:
      if (c == kStx) {
        StartReceive(now);
      } else if (c == kDle || c == kNak) {
        Note(CharText("stray reply", c), now);  // a late reply; answering it would start a NAK ping-pong
      } else {
        Note(CharText("character outside a frame, refused:", c), now);
        Emit(kNak, now);
      }
      return;
    case State::kRxData: ReceiveData(c, now); return;
    case State::kRxCheck: CheckBlock(c, now); return;
    case State::kRxNextBlock:
      if (c == kStx) {
        Emit(kDle, now);
        BeginBlock(now);
      } else {
        AbortReceive(CharText("expected STX of the next block, got", c), true, now);
      }
      return;
    case State::kTxConnect:
    case State::kTxAck: OnSenderByte(c, now); return;
  }
}

void LinkPeer::OnTimer(TimePoint now) {
  if (!timer_ || now < *timer_) return;
  timer_.reset();
  switch (state_) {
    case State::kIdle:
      TryStartSend(now);  // the pause before the next try is over
      return;
    case State::kRxData:
    case State::kRxCheck: AbortReceive("character time-out", true, now); return;
    case State::kRxNextBlock: AbortReceive("no next block", false, now); return;
    case State::kTxConnect: FailTry("no reply to STX", false, false, now); return;
    case State::kTxAck: FailTry("no reply to the check character", false, false, now); return;
  }
}

// ---- receiving ----

void LinkPeer::StartReceive(TimePoint now) {
  Emit(kDle, now);
  rxMessage_.clear();
  rxRefusalsLeft_ = params_.refusals;
  BeginBlock(now);
}

void LinkPeer::BeginBlock(TimePoint now) {
  state_ = State::kRxData;
  rxBlockStart_ = rxMessage_.size();
  rxBcc_ = 0;
  rxDlePending_ = false;
  rxOverflow_ = false;
  timer_ = out_.DrainTime(now) + params_.ackTimeout;  // the first data character may take a reply time
}

void LinkPeer::ReceiveData(uint8_t c, TimePoint now) {
  timer_ = now + params_.charTimeout;
  if (rxDlePending_) {
    rxDlePending_ = false;
    if (c == kEtx || c == kEtb) {
      rxBcc_ ^= c;
      rxLastBlock_ = c == kEtx;
      state_ = State::kRxCheck;
      return;
    }
    if (c != kDle) {
      AbortReceive(CharText("DLE followed by", c), true, now);
      return;
    }
  } else if (c == kDle) {
    rxDlePending_ = true;
    rxBcc_ ^= c;
    return;
  }
  rxBcc_ ^= c;
  if (rxMessage_.size() < params_.capacity) {
    rxMessage_.push_back(c);
  } else {
    rxOverflow_ = true;
  }
}

void LinkPeer::CheckBlock(uint8_t c, TimePoint now) {
  const bool forcedNak = faults_ && faults_->Check(FaultKind::kNakBlock).has_value();
  if (c == rxBcc_ && !rxOverflow_ && !forcedNak) {
    Emit(kDle, now);
    if (!rxLastBlock_) {
      state_ = State::kRxNextBlock;
      timer_ = out_.DrainTime(now) + params_.ackTimeout;
      return;
    }
    std::vector<uint8_t> message;
    message.swap(rxMessage_);
    state_ = State::kIdle;
    timer_.reset();
    SpoilReceived(message, now);
    if (trace_) trace_->Frame(Direction::kFromHost, "3964R", message.data(), message.size(), now);
    listener_.OnMessage(std::move(message), now);
    TryStartSend(now);
    return;
  }
  if (forcedNak) {
    Note("fault: block refused", now);
  } else if (rxOverflow_) {
    Note("message longer than the receive buffer, block refused", now);
  } else {
    Note("check character wrong, block refused", now);
  }
  Emit(kNak, now);
  rxMessage_.resize(rxBlockStart_);
  if (--rxRefusalsLeft_ == 0) {
    AbortReceive("too many refused blocks, message given up", false, now);
    return;
  }
  state_ = State::kRxNextBlock;
  timer_ = out_.DrainTime(now) + params_.ackTimeout;
}

void LinkPeer::AbortReceive(std::string_view why, bool sendNak, TimePoint now) {
  Note(why, now);
  if (sendNak) Emit(kNak, now);
  rxMessage_.clear();
  state_ = State::kIdle;
  timer_.reset();
  TryStartSend(now);
}

void LinkPeer::SpoilReceived(std::vector<uint8_t>& message, TimePoint now) {
  if (!faults_ || message.size() < kFaultMessageMinimum) return;
  const auto hit = faults_->Check(FaultKind::kCancelRx);
  if (!hit) return;
  const auto mask = static_cast<uint8_t>(hit->ValueOr(1));
  message[kFaultFirstByte] ^= mask;
  message[kFaultFirstByte + 1] ^= mask;
  Note(CharText("fault: bits flipped in two received bytes, mask", mask), now);
}

// ---- sending ----

void LinkPeer::PlanSendFaults(const std::vector<uint8_t>& message, TimePoint now) {
  txFlipFirst_ = txFlipSecond_ = txDropAt_ = kNoFault;
  if (!faults_ || message.size() < kFaultMessageMinimum) return;
  if (const auto hit = faults_->Check(FaultKind::kCancelTx)) {
    txFlipMask_ = static_cast<uint8_t>(hit->ValueOr(1));
    // Bytes that are no DLE before or after the flip, so that the doubling
    // on the line stays as it was.
    for (std::size_t i = kFaultFirstByte; i < message.size(); ++i) {
      if (message[i] == kDle || (message[i] ^ txFlipMask_) == kDle) continue;
      (txFlipFirst_ == kNoFault ? txFlipFirst_ : txFlipSecond_) = i;
      if (txFlipSecond_ != kNoFault) break;
    }
    if (txFlipSecond_ == kNoFault) txFlipFirst_ = kNoFault;
    if (txFlipSecond_ != kNoFault) Note(CharText("fault: bits flipped in two sent bytes, mask", txFlipMask_), now);
  }
  if (faults_->Check(FaultKind::kDropZero)) {
    for (std::size_t i = kFaultFirstByte; i < message.size(); ++i) {
      if (message[i] != 0) continue;
      txDropAt_ = i;
      Note(CharText("fault: 0x00 left out of the answer at byte", static_cast<uint8_t>(i)), now);
      break;
    }
  }
}

void LinkPeer::Send(std::vector<uint8_t> message, TimePoint now) {
  txQueue_.push_back(std::move(message));
  TryStartSend(now);
}

void LinkPeer::TryStartSend(TimePoint now) {
  if (state_ != State::kIdle || txQueue_.empty()) return;
  if (now < txNotBefore_) {
    timer_ = txNotBefore_;
    return;
  }
  if (!txStarted_) {
    txStarted_ = true;
    txTriesLeft_ = params_.tries;
    txPos_ = 0;
    const auto& message = txQueue_.front();
    if (trace_) trace_->Frame(Direction::kToHost, "3964R", message.data(), message.size(), now);
    PlanSendFaults(message, now);
  }
  Emit(kStx, now);
  state_ = State::kTxConnect;
  timer_ = out_.DrainTime(now) + params_.ackTimeout;
}

void LinkPeer::SendBlock(TimePoint now) {
  const auto& message = txQueue_.front();
  const std::size_t left = message.size() - txPos_;
  txBlockLen_ = params_.blockSize == 0 ? left : std::min(params_.blockSize, left);
  uint8_t bcc = 0;
  for (std::size_t i = txPos_; i < txPos_ + txBlockLen_; ++i) {
    const uint8_t b = message[i];
    bcc ^= b;
    if (i == txDropAt_) continue;
    Emit(i == txFlipFirst_ || i == txFlipSecond_ ? static_cast<uint8_t>(b ^ txFlipMask_) : b, now);
    if (b == kDle) {
      Emit(kDle, now);
      bcc ^= kDle;
    }
  }
  const uint8_t end = txPos_ + txBlockLen_ == message.size() ? kEtx : kEtb;
  Emit(kDle, now);
  Emit(end, now);
  bcc ^= kDle ^ end;
  Emit(bcc, now);
  txFlipFirst_ = txFlipSecond_ = txDropAt_ = kNoFault;  // a repetition goes out right
  txBlockEnd_ = out_.DrainTime(now);
  state_ = State::kTxAck;
  timer_ = txBlockEnd_ + params_.ackTimeout;
}

void LinkPeer::OnSenderByte(uint8_t c, TimePoint now) {
  if (state_ == State::kTxConnect) {
    if (c == kDle) {
      SendBlock(now);
    } else if (c == kStx) {
      // Both sides want the line; the module gives way and offers its
      // message again once the host's has been received.
      Note("initiation conflict, giving way to the host", now);
      state_ = State::kIdle;
      StartReceive(now);
    } else if (c == kNak) {
      FailTry("NAK in reply to STX", true, false, now);
    } else {
      FailTry(CharText("unexpected reply to STX:", c), true, false, now);
    }
    return;
  }
  if (now < txBlockEnd_) {
    // The host spoke while the block was still on its way: stop sending it.
    out_.DiscardPending(now);
    FailTry(CharText("host interrupted the block with", c), c != kNak, false, now);
    return;
  }
  if (c == kDle) {
    txPos_ += txBlockLen_;
    if (txPos_ == txQueue_.front().size()) {
      FinishSend(true, now);
      return;
    }
    state_ = State::kIdle;  // the next block starts with its own STX
    txNotBefore_ = now;
    TryStartSend(now);
  } else if (c == kNak) {
    FailTry("block refused", false, true, now);
  } else {
    FailTry(CharText("unexpected reply to the check character:", c), true, false, now);
  }
}

void LinkPeer::FailTry(std::string_view why, bool pause, bool repeatBlockOnly, TimePoint now) {
  state_ = State::kIdle;
  timer_.reset();
  if (--txTriesLeft_ == 0) {
    Note(std::string(why) + "; tries used up, message given up", now);
    FinishSend(false, now);
    return;
  }
  Note(why, now);
  if (!repeatBlockOnly) txPos_ = 0;
  txNotBefore_ = pause ? now + params_.retryDelay : now;
  TryStartSend(now);
}

void LinkPeer::FinishSend(bool delivered, TimePoint now) {
  txQueue_.pop_front();
  txStarted_ = false;
  txPos_ = 0;
  state_ = State::kIdle;
  timer_.reset();
  listener_.OnSendDone(delivered, now);
  TryStartSend(now);
}

}  // namespace zk::modsim
