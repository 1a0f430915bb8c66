#include "modsim/MessageChannel.h"

#include "modsim/Bytes.h"
#include "modsim/Trace.h"

#include <string>

namespace zk::modsim {
namespace {

constexpr std::size_t kHeaderLength = 3;
constexpr std::size_t kReplyLength = 2;
constexpr uint8_t kAccepted = 0x00;
constexpr uint8_t kRefused = 0xFF;

}  // namespace

MessageChannel::MessageChannel(const ChannelParams& params, const LinkParams& link, ByteSink& out,
                               ChannelReceiver& receiver, FaultInjector* faults, Trace* trace)
    : params_(params),
      capacity_(link.capacity),
      receiver_(receiver),
      trace_(trace),
      link_(link, out, *this, faults, trace) {}

void MessageChannel::Note(std::string_view text, TimePoint now) {
  if (trace_) trace_->Note(std::string("header mode: ") + std::string(text), now);
}

void MessageChannel::Reset() {
  link_.Reset();
  sent_.clear();
  answers_.clear();
  answerActive_ = false;
  replyDeadline_.reset();
  expectedData_.reset();
}

Deadline MessageChannel::NextDeadline() const { return Earliest(link_.NextDeadline(), replyDeadline_); }

void MessageChannel::OnTimer(TimePoint now) {
  link_.OnTimer(now);
  if (replyDeadline_ && now >= *replyDeadline_) {
    replyDeadline_.reset();
    Note("no reply to the answer's header, answer dropped", now);
    FinishAnswer(false, now);
  }
}

void MessageChannel::SendOnLink(Sent kind, std::vector<uint8_t> message, TimePoint now) {
  sent_.push_back(kind);
  link_.Send(std::move(message), now);
}

void MessageChannel::SendAnswer(std::vector<uint8_t> answer, TimePoint now) {
  if (!params_.headerMode) {
    SendOnLink(Sent::kData, std::move(answer), now);
    return;
  }
  answers_.push_back(std::move(answer));
  StartNextAnswer(now);
}

void MessageChannel::StartNextAnswer(TimePoint now) {
  if (answerActive_ || answers_.empty()) return;
  answerActive_ = true;
  std::vector<uint8_t> header{params_.type};
  AppendLe16(header, static_cast<uint16_t>(answers_.front().size()));
  SendOnLink(Sent::kHeader, std::move(header), now);
}

void MessageChannel::FinishAnswer(bool delivered, TimePoint now) {
  answers_.pop_front();
  answerActive_ = false;
  receiver_.OnAnswerDone(delivered, now);
  StartNextAnswer(now);
}

void MessageChannel::OnSendDone(bool delivered, TimePoint now) {
  if (sent_.empty()) return;
  const Sent kind = sent_.front();
  sent_.pop_front();
  switch (kind) {
    case Sent::kReply: return;
    case Sent::kData:
      if (params_.headerMode) {
        FinishAnswer(delivered, now);
      } else {
        receiver_.OnAnswerDone(delivered, now);
      }
      return;
    case Sent::kHeader:
      if (delivered) {
        replyDeadline_ = now + params_.replyTimeout;
      } else {
        FinishAnswer(false, now);
      }
      return;
  }
}

void MessageChannel::OnMessage(std::vector<uint8_t> message, TimePoint now) {
  if (!params_.headerMode) {
    receiver_.OnRequest(std::move(message), now);
    return;
  }
  if (replyDeadline_) {  // the host's reply to the header of our answer
    replyDeadline_.reset();
    if (message.size() == kReplyLength && message[0] == 0 && message[1] == kAccepted) {
      SendOnLink(Sent::kData, answers_.front(), now);
    } else {
      Note("the host refused the answer's header", now);
      FinishAnswer(false, now);
    }
    return;
  }
  if (expectedData_) {
    const std::size_t expected = *expectedData_;
    expectedData_.reset();
    if (message.size() != expected) {
      Note("data message of " + std::to_string(message.size()) + " bytes after a header announcing " +
               std::to_string(expected) + ", dropped",
           now);
      return;
    }
    receiver_.OnRequest(std::move(message), now);
    return;
  }
  if (message.size() != kHeaderLength) {
    Note("expected a header, got " + std::to_string(message.size()) + " bytes", now);
    SendOnLink(Sent::kReply, {0, kRefused}, now);
    return;
  }
  const std::size_t length = ReadLe16(&message[1]);
  if (message[0] != params_.type || length > capacity_) {
    Note("header refused", now);
    SendOnLink(Sent::kReply, {0, kRefused}, now);
    return;
  }
  expectedData_ = length;
  SendOnLink(Sent::kReply, {0, kAccepted}, now);
}

}  // namespace zk::modsim
