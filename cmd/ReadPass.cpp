#include "cmd/ReadPass.h"

#include "cmd/Session.h"
#include "cmd/Transaction.h"

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

// The exchange of one read request and the judgement of its answer.
ReadPassEnd Ask(const Request& request) {
  const ExchangeEnd end = Exchange(request);
  if (end != ExchangeEnd::Answered) return Failure(ExchangeFailure(end), end == ExchangeEnd::RearmFailed);
  return Failure(JudgeAnswer(request.command));
}

}  // namespace

ReadPassEnd ReadPass(uint32_t start, uint32_t length, uint8_t* out, uint16_t* counts,
                     const ReadCheckPoint& checkPoint) {
  CommandBufferBytes& buffer = CurrentSession().buffer;
  if (ReadPassEnd asked = Ask(request::Read(buffer, start, length)); asked.code != kOk) return asked;

  uint32_t done = 0;
  for (uint32_t reply = 0;; ++reply) {
    const uint32_t take = std::min(length - done, kReadDataPerAnswer);
    // An answer must carry the bytes it states, and state those asked for:
    // bytes past its end would be those of an earlier frame.
    const uint16_t count = answer::Count(buffer);
    const bool whole = count >= take && AnswerCarries(answer::kReadData + std::size_t{count});
    if (!whole && counts == nullptr) return Failure(kShortAnswer);
    if (counts != nullptr) counts[reply] = whole ? static_cast<uint16_t>(take) : kSpoiltPiece;
    if (whole && take > 0) std::memcpy(out + done, buffer.data() + answer::kReadData, take);
    done += take;
    if (done >= length) break;
    if (checkPoint && checkPoint(done)) return ReadPassEnd::Stop();
    if (ReadPassEnd asked = Ask(request::CodeOnly(buffer, Command::ReadNext)); asked.code != kOk)
      return asked;
  }
  ReadPassEnd end;
  end.received = length;
  return end;
}

}  // namespace zk::cmd
