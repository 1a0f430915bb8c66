#pragma once
// One pass over a flash range: command 0x06 and its 0xF6 continuations,
// 250 data bytes per answer, the data copied out as it arrives. Nothing is
// checked beyond the judgement of each answer; the callers decide what a
// pass is worth (the read worker compares two of them).
#include "cmd/Command.h"
#include "common/ResultCodes.h"

#include <cstdint>
#include <functional>

namespace zk::cmd {

class Session;

inline constexpr uint32_t kReadDataPerAnswer = RowOf(Command::Read).paging.firstBytes;

struct ReadPassEnd {
  ResultCode code = kOk;
  bool stopped = false;      // a stop request arrived at a check point
  bool rearmFailed = false;  // arming again after a 251 failed (the read-failed mark stays)
  uint32_t received = 0;     // the bytes read: the length, once every answer carried its part

  static ReadPassEnd Stop() {
    ReadPassEnd end;
    end.stopped = true;
    return end;
  }
};

// Asked before every continuation with the bytes read so far; true stops.
using ReadCheckPoint = std::function<bool(uint32_t done)>;

// The count recorded for an answer that carried less than it had to: such
// a piece agrees with no other read of it.
inline constexpr uint16_t kSpoiltPiece = 0xFFFF;

// The answers a pass over length bytes takes (one for an empty range).
inline uint32_t AnswersOf(uint32_t length) {
  return length == 0 ? 1 : (length + kReadDataPerAnswer - 1) / kReadDataPerAnswer;
}

// Reads length bytes at start into out (room for length bytes); counts,
// when given, receives each answer's count (room for AnswersOf(length)),
// and an answer that carries fewer bytes than it should is marked there as
// kSpoiltPiece and the pass goes on; without counts it ends the pass with
// the short-answer code.
ReadPassEnd ReadPass(Session& session, uint32_t start, uint32_t length, uint8_t* out, uint16_t* counts = nullptr,
                     const ReadCheckPoint& checkPoint = {});

}  // namespace zk::cmd
