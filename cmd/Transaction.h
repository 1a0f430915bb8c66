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

class Session;

// How the exchange (arm, send, wait) ended, before any judgement.
enum class ExchangeEnd {
  Answered,   // status 0: an answer is in the command buffer
  ArmFailed,  // the first arming failed; nothing was sent
  SendFailed,
  RearmFailed,  // arming again after a 251 failed
  NoAnswer,     // the last status was not 0
  NoTransport,  // no transport bound, or it lacks an entry point
};

// Sends the request built in the session's command buffer with the wait
// profile of its command and waits for the answer; afterSend runs once it
// is out.
ExchangeEnd Exchange(Session& session, const Request& request, const std::function<void()>& afterSend = {});

// After a failure on the line the module may have the request all the
// same (its acknowledgement was spoilt) or offer its answer again (the host
// refused its blocks): an exchange whose send or answer failed waits up to
// kLateAnswerMs more for an answer to it, and ends as Answered when one
// comes. A peer that took the host's spoilt acknowledgement for none offers
// its answer again only after its own acknowledgement time (2 s in the
// procedure) and a pause.
inline constexpr uint32_t kLateAnswerMs = 3000;
ExchangeEnd ExchangeOrLateAnswer(Session& session, const Request& request, const std::function<void()>& afterSend = {});

// The code of an exchange that did not end with an answer (241, 240, 243);
// the session's transport tells why the line failed.
ResultCode ExchangeFailure(const Session& session, ExchangeEnd end);

// Whether the answer in the command buffer carries at least bytes bytes;
// true when the transport does not tell how long it was.
bool AnswerCarries(const Session& session, std::size_t bytes);

// Judges the answer in the command buffer as command requires; 0 when the
// answer is acceptable (its fields may then be used).
ResultCode JudgeAnswer(Session& session, Command command);

// Exchange and judgement together: the common pattern.
ResultCode RunTransaction(Session& session, const Request& request);
// The same with ExchangeOrLateAnswer, for a request that may be repeated.
ResultCode RunWithLateAnswer(Session& session, const Request& request);

// Whether code, the failure of the session's last transaction, happened on
// the line rather than in the transport or the module: no answer, a send
// that failed, an answer shorter than it states.
bool IsLineFailure(const Session& session, ResultCode code);

// How many times a request is sent again after line failures: up to
// kLineRepeats, but after a time-out in which nothing came only once, so
// that a module that has gone silent is not waited for over and over.
inline constexpr uint32_t kLineRepeats = 3;

class LineRepeats {
 public:
  // Counts the repeats of requests on session's line.
  explicit LineRepeats(const Session& session) : session_(&session) {}

  // Whether the request that ended with code goes again; counts it.
  bool Again(ResultCode code);
  uint32_t Count() const { return repeats_; }

 private:
  const Session* session_;
  uint32_t repeats_ = 0;
  bool timedOut_ = false;
};

// A transaction of a request that may be repeated (a query, a read): built
// again and repeated after line failures as LineRepeats allows; the trace
// names stage for each repeat.
ResultCode RunRepeatable(Session& session, const std::function<Request()>& build, const char* stage);

}  // namespace zk::cmd
