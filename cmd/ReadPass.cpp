#include "cmd/ReadPass.h"

#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "platform/Trace.h"

#include <algorithm>
#include <cstring>

namespace zk::cmd {
namespace {

ReadPassEnd Failure(ResultCode code, bool rearmFailed = false) {
  ReadPassEnd end;
  end.code = code;
  end.rearmFailed = rearmFailed;
  return end;
}

// A read answer that reports a failure and yet carries data has lost a
// byte on the line (a 0x00, which the check character cannot miss, before
// its status): it is spoilt, not the module's word.
bool SpoiltFailureAnswer(Session& session, Command command) {
  const bool spoilt = session.answerLength && *session.answerLength > answer::kReadData &&
                      answer::Echo(session.buffer) == Code(command) && answer::Status(session.buffer) != 0;
  if (spoilt) session.lineFailure = true;
  return spoilt;
}

// The exchange of one read request and the judgement of its answer.
ReadPassEnd Ask(Session& session, const Request& request) {
  const ExchangeEnd end = ExchangeOrLateAnswer(session, request);
  if (end != ExchangeEnd::Answered) return Failure(ExchangeFailure(session, end), end == ExchangeEnd::RearmFailed);
  if (SpoiltFailureAnswer(session, request.command)) return Failure(kShortAnswer);
  return Failure(JudgeAnswer(session, request.command));
}

}  // namespace

ReadPassEnd ReadPass(Session& session, uint32_t start, uint32_t length, uint8_t* out, uint16_t* counts,
                     const ReadCheckPoint& checkPoint) {
  CommandBufferBytes& buffer = session.buffer;
  // A read changes nothing on the module: after a line failure the rest of
  // the range is asked for again with a read of its own, as often in a row
  // as LineRepeats allows.
  LineRepeats repeats(session);
  const auto askRest = [&](uint32_t done, bool continuation) {
    for (;;) {
      ReadPassEnd asked = Ask(session, continuation ? request::CodeOnly(buffer, Command::ReadNext)
                                                    : request::Read(buffer, start + done, length - done));
      if (asked.code == kOk) {
        repeats = LineRepeats(session);
        return asked;
      }
      if (asked.rearmFailed || !repeats.Again(asked.code)) return asked;
      continuation = false;
      if (trace::Enabled()) {
        trace::Line("cmd read at 0x%08X asked again after result %u, repeat %u", start + done,
                    static_cast<unsigned>(asked.code), repeats.Count());
      }
    }
  };
  if (ReadPassEnd asked = askRest(0, false); asked.code != kOk) return asked;

  uint32_t done = 0;
  for (uint32_t reply = 0;; ++reply) {
    const uint32_t take = std::min(length - done, kReadDataPerAnswer);
    // An answer must carry the bytes it states, and state those asked for:
    // bytes past its end would be those of an earlier frame.
    const uint16_t count = answer::Count(buffer);
    const bool whole = count >= take && AnswerCarries(session, answer::kReadData + std::size_t{count});
    if (!whole && counts == nullptr) return Failure(kShortAnswer);
    if (counts != nullptr) counts[reply] = whole ? static_cast<uint16_t>(take) : kSpoiltPiece;
    if (whole && take > 0) std::memcpy(out + done, buffer.data() + answer::kReadData, take);
    done += take;
    if (done >= length) break;
    if (checkPoint && checkPoint(done)) return ReadPassEnd::Stop();
    if (ReadPassEnd asked = askRest(done, true); asked.code != kOk) return asked;
  }
  ReadPassEnd end;
  end.received = length;
  return end;
}

}  // namespace zk::cmd
