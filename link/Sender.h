#pragma once
// The sending side of the 3964R procedure: one message of an ECB, split into
// frames of at most blockSize bytes, each offered with STX and confirmed by
// the peer's DLE after its check character. A NAK to the check character
// repeats that frame, a time-out or a NAK to STX restarts the message; the
// tries count for the whole message.
#include "link/LinkApi.h"
#include "link/LinkConfig.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zk::link {

// What the sender needs of the line and of the link thread that delivers
// the peer's replies.
class SenderLink {
 public:
  virtual ~SenderLink() = default;
  // Start of a pass: received characters now go to the sender.
  virtual void Arm() = 0;
  virtual void Write(std::span<const uint8_t> bytes) = 0;
  // The next reply, waited for at most ms once the output has left;
  // nullopt when none came. With rearm the sender keeps receiving.
  virtual std::optional<uint8_t> AwaitReply(uint16_t ms, bool rearm) = 0;
  // The character that arrived since the last reply, if any.
  virtual std::optional<uint8_t> Interruption() = 0;
  // Before the check character: the sender stops taking characters after
  // the reply to it.
  virtual void ArmForCheckChar() = 0;
  // Low-priority side of a conflict: hand the line to the receiver and wait
  // until its message is over. False when no character came for silenceMs
  // (the receiver has then been reset).
  virtual bool YieldLine(uint32_t silenceMs) = 0;
  // End of the send: characters go to the receiver again.
  virtual void Finish() = 0;
  virtual void Pause(uint32_t ms) = 0;
};

class Sender {
 public:
  Sender(const LinkConfig& config, SenderLink& link) : config_(config), link_(link) {}

  // kLinkOk or kLinkSendFailed (reason in the ECB's flags).
  LinkResult Send(ECB& ecb);

 private:
  enum class State { Start, NextBlock, RepeatBlock, Restart, NakOnConnect, Fail, FailAfterPause };

  // One message in progress.
  struct Progress {
    State state = State::Start;
    unsigned attemptsLeft = 0;
    std::size_t position = 0;
    std::size_t remaining = 0;
  };

  enum class PassEnd { Continue, Failed, Exhausted };
  // Acts on the state at the start of a pass.
  PassEnd EnterState(ECB& ecb, Progress& progress);

  enum class ConnectEnd { Accepted, Again, GaveUp };
  // Offers STX. Again: the next state is set for another pass.
  ConnectEnd Connect(ECB& ecb, Progress& progress);
  // Writes the frame body; false (next state set) when the peer interrupted.
  bool SendBody(std::span<const uint8_t> block, bool last, Progress& progress, uint8_t& bcc);
  // Sets the next state from the reply to the check character.
  void JudgeCheckReply(ECB& ecb, std::size_t block, Progress& progress);
  LinkResult End(ECB& ecb, uint16_t flag);

  const LinkConfig& config_;
  SenderLink& link_;
  std::vector<uint8_t> frame_;
};

}  // namespace zk::link
