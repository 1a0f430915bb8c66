#pragma once
// One request frame handed to the transport, one answer frame received into
// the command buffer: arming, sending, waiting with re-arming on status 251,
// and the judgement of the answer each command requires.
#include "cmd/Command.h"
#include "common/ResultCodes.h"

#include <cstdint>
#include <functional>

namespace zk::cmd {

// Times in milliseconds.
struct WaitProfile {
  uint32_t armTime = 0;          // reception armed before the request is sent
  uint32_t wait = 40000;         // time-out restarted at the start of every wait
  uint32_t maxWaits = 3;         // waits at most
  uint32_t rearmTime = 40000;    // arm time when a wait ends with status 251
  uint32_t restartAfterWait = 0; // time-out restarted after each wait (0: not)
};

WaitProfile ProfileOf(Command command);

// How the exchange (arm, send, wait) ended, before any judgement.
enum class ExchangeEnd {
  Answered,     // status 0: an answer is in the command buffer
  ArmFailed,    // the first arming failed; nothing was sent
  SendFailed,
  RearmFailed,  // arming again after a 251 failed
  NoAnswer,     // the last status was not 0
  NoTransport,  // no transport bound, or it lacks an entry point
};

// Sends the first length bytes of the command buffer with the profile of
// command and waits for the answer; afterSend runs once the request is out.
ExchangeEnd Exchange(Command command, uint16_t length,
                     const std::function<void()>& afterSend = {});

// The code of an exchange that did not end with an answer (241, 240, 243).
ResultCode ExchangeFailure(ExchangeEnd end);

// Judges the answer in the command buffer as command requires; 0 when the
// answer is acceptable (its fields may then be used).
ResultCode JudgeAnswer(Command command);

// Exchange and judgement together: the common pattern.
ResultCode RunTransaction(Command command, uint16_t length);

// How long the poll loop pauses while the reception is still running;
// tests can replace it to count polls.
using PollPause = std::function<void()>;
void SetPollPause(PollPause pause);

}  // namespace zk::cmd
