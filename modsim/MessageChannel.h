#pragma once
// Carries the firmware's requests and answers over the 3964R link. In raw
// mode every message is one 3964R message. In header mode every message is
// announced by a header message (type code, 16-bit little-endian length) that
// the receiving side accepts with 0x00 0x00 or refuses with 0x00 0xFF.
#include "modsim/Config.h"
#include "modsim/LinkPeer.h"

#include <deque>
#include <optional>
#include <vector>

namespace zk::modsim {

class ChannelReceiver {
 public:
  virtual ~ChannelReceiver() = default;
  virtual void OnRequest(std::vector<uint8_t> request, TimePoint now) = 0;
  // The oldest answer handed to SendAnswer went out, or was given up.
  virtual void OnAnswerDone(bool delivered, TimePoint now) = 0;
};

class MessageChannel : public LinkListener {
 public:
  MessageChannel(const ChannelParams& params, const LinkParams& link, ByteSink& out, ChannelReceiver& receiver,
                 FaultInjector* faults, Trace* trace);

  void OnByte(uint8_t c, TimePoint now) { link_.OnByte(c, now); }
  void OnTimer(TimePoint now);
  Deadline NextDeadline() const;
  void SendAnswer(std::vector<uint8_t> answer, TimePoint now);
  void Reset();

  void OnMessage(std::vector<uint8_t> message, TimePoint now) override;
  void OnSendDone(bool delivered, TimePoint now) override;

 private:
  enum class Sent { kHeader, kData, kReply };  // what each message handed to the link is
  void Note(std::string_view text, TimePoint now);
  void StartNextAnswer(TimePoint now);
  void FinishAnswer(bool delivered, TimePoint now);
  void SendOnLink(Sent kind, std::vector<uint8_t> message, TimePoint now);

  ChannelParams params_;
  std::size_t capacity_;
  ChannelReceiver& receiver_;
  Trace* trace_;
  LinkPeer link_;

  std::deque<Sent> sent_;
  std::deque<std::vector<uint8_t>> answers_;  // the head is being sent (header mode)
  bool answerActive_ = false;
  Deadline replyDeadline_;                   // header mode: waiting for the host's reply to our header
  std::optional<std::size_t> expectedData_;  // header mode: a header was accepted
};

}  // namespace zk::modsim
