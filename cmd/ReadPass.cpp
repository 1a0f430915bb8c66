#include "cmd/ReadPass.h"

#include "cmd/CommandBuffer.h"
#include "cmd/Transaction.h"

#include <algorithm>
#include <cstring>

namespace zk::cmd {
namespace {

constexpr std::size_t kReadDataOffset = 6;

ReadPassEnd Failure(ResultCode code, bool rearmFailed = false) {
  ReadPassEnd end;
  end.code = code;
  end.rearmFailed = rearmFailed;
  return end;
}

// The exchange of one read request and the judgement of its answer.
ReadPassEnd Ask(Command command) {
  const ExchangeEnd end = Exchange(command, kReadLength);
  if (end != ExchangeEnd::Answered) return Failure(ExchangeFailure(end), end == ExchangeEnd::RearmFailed);
  return Failure(JudgeAnswer(command));
}

}  // namespace

ReadPassEnd ReadPass(uint32_t start, uint32_t length, uint8_t* out, uint16_t* counts,
                     const ReadCheckPoint& checkPoint) {
  CommandBufferBytes& buffer = CommandBuffer();
  buffer[0] = Code(Command::Read);
  buffer.PutU32(1, start);
  buffer.PutU32(5, length);
  if (ReadPassEnd asked = Ask(Command::Read); asked.code != kOk) return asked;

  uint64_t received = 0;
  uint32_t done = 0;
  for (uint32_t answer = 0;; ++answer) {
    received += buffer.U16(2);
    if (counts != nullptr) counts[answer] = buffer.U16(2);
    const uint32_t take = std::min(length - done, kReadDataPerAnswer);
    if (take > 0) std::memcpy(out + done, buffer.data() + kReadDataOffset, take);
    done += take;
    if (done >= length) break;
    if (checkPoint && checkPoint(done)) {
      ReadPassEnd stopped;
      stopped.stopped = true;
      return stopped;
    }
    buffer[0] = Code(Command::ReadNext);
    if (ReadPassEnd asked = Ask(Command::ReadNext); asked.code != kOk) return asked;
  }
  ReadPassEnd end;
  end.received = static_cast<uint32_t>(std::min<uint64_t>(received, length));
  return end;
}

}  // namespace zk::cmd
