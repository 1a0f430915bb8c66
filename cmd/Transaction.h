#pragma once
// One request frame handed to the transport, one answer frame received into
// the command buffer: arming, sending, waiting with re-arming on status 251
// as the command's row says, and the judgement its row names.
#include "cmd/Command.h"
#include "cmd/Requests.h"
#include "common/ResultCodes.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace zk::cmd {

// How the exchange (arm, send, wait) ended, before any judgement.
enum class ExchangeEnd {
  Answered,     // status 0: an answer is in the command buffer
  ArmFailed,    // the first arming failed; nothing was sent
  SendFailed,
  RearmFailed,  // arming again after a 251 failed
  NoAnswer,     // the last status was not 0
  NoTransport,  // no transport bound, or it lacks an entry point
};

// Sends the request built in the command buffer with the wait profile of
// its command and waits for the answer; afterSend runs once it is out.
ExchangeEnd Exchange(const Request& request, const std::function<void()>& afterSend = {});

// The code of an exchange that did not end with an answer (241, 240, 243).
ResultCode ExchangeFailure(ExchangeEnd end);

// Whether the answer in the command buffer carries at least bytes bytes;
// true when the transport does not tell how long it was.
bool AnswerCarries(std::size_t bytes);

// Judges the answer in the command buffer as command requires; 0 when the
// answer is acceptable (its fields may then be used).
ResultCode JudgeAnswer(Command command);

// Exchange and judgement together: the common pattern.
ResultCode RunTransaction(const Request& request);

// How long the poll loop pauses while the reception is still running;
// tests can replace it to count polls.
using PollPause = std::function<void()>;
void SetPollPause(PollPause pause);

}  // namespace zk::cmd
