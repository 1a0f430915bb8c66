// Reading flash back. The worker of CmmReadFlash hands over only data it
// has seen twice: it reads the range twice (command 0x06 and its
// continuations each time) and compares the passes answer by answer, bytes
// and counts; a piece on which they differ is read again on its own until
// two reads of it agree. The 3964R check character lets through two flips
// of the same bit in one block and a lost 0x00, and the transport does not
// tell how many bytes a block carried, so one read alone proves nothing;
// two reads that agree do, as the line never spoils two answers the same
// way. CmmReadFlashOnce reads a range once, for callers that check the data
// themselves (verification against the image).
#include "cmd/Progress.h"
#include "cmd/ReadPass.h"
#include "cmd/Session.h"
#include "common/CmmApi.h"
#include "common/Export.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace zk::cmd {
namespace {

// Reads of a piece on its own after the two passes disagreed on it, before
// the line counts as too poor to read through.
constexpr std::size_t kMostPieceReads = 2;

// A read that did not succeed, stopped or failed, is remembered so that
// programming is refused until a read succeeds (a failed re-arming leaves
// the mark as it was); a failure is posted to the caller.
WorkerEnd Unsuccessful(const ReadPassEnd& end, ThreadId caller) {
  Settings& settings = CurrentSession().settings;
  if (end.stopped) {
    settings.readFailed = 1;
    return WorkerEnd::Stopped();
  }
  if (!end.rearmFailed) settings.readFailed = 1;
  PostWorkerEnd(caller, end.code);
  return WorkerEnd::Done(end.code);
}

// What both reads refuse before anything is sent: without read permission,
// or without the records. Remembered as a failed read.
ResultCode Refusal(const ReadRequest* request, const ReadResult* result) {
  Settings& settings = CurrentSession().settings;
  ResultCode code = kOk;
  if (settings.passwordAccepted == 0)
    code = kNoAccess;
  else if (request == nullptr || result == nullptr || (request->length != 0 && result->destination == nullptr))
    code = kFailed;
  if (code != kOk) settings.readFailed = 1;
  return code;
}

// One pass over the range: its bytes and the count of each answer.
struct Pass {
  explicit Pass(uint32_t length) : bytes(length), counts(AnswersOf(length)) {}
  std::vector<uint8_t> bytes;
  std::vector<uint16_t> counts;
};

// What one answer's worth of a read gave.
struct Piece {
  uint16_t count = 0;
  std::array<uint8_t, kReadDataPerAnswer> bytes{};
  bool operator==(const Piece& other) const = default;
};

Piece PieceOf(const Pass& pass, uint32_t answer, uint32_t offset, uint32_t take) {
  Piece piece;
  piece.count = pass.counts[answer];
  if (take > 0) std::memcpy(piece.bytes.data(), pass.bytes.data() + offset, take);
  return piece;
}

// Settles the piece of answer on which the passes differ: read on its own
// until a read agrees with an earlier one, whose data goes into first.
ReadPassEnd SettlePiece(uint32_t start, uint32_t answer, Pass& first, const Pass& second) {
  const uint32_t offset = answer * kReadDataPerAnswer;
  const uint32_t take = std::min<uint32_t>(static_cast<uint32_t>(first.bytes.size()) - offset, kReadDataPerAnswer);
  std::vector<Piece> seen{PieceOf(first, answer, offset, take), PieceOf(second, answer, offset, take)};
  for (std::size_t k = 0; k < kMostPieceReads; ++k) {
    if (StopRequested()) return ReadPassEnd::Stop();
    Piece read;
    const ReadPassEnd end = ReadPass(start + offset, take, read.bytes.data(), &read.count);
    if (end.code != kOk) return end;
    if (std::find(seen.begin(), seen.end(), read) != seen.end()) {
      first.counts[answer] = read.count;
      if (take > 0) std::memcpy(first.bytes.data() + offset, read.bytes.data(), take);
      return end;
    }
    seen.push_back(read);
  }
  ReadPassEnd disagreed;
  disagreed.code = kReceiveChecksum;
  return disagreed;
}

bool SamePiece(const Pass& a, const Pass& b, uint32_t answer) {
  const std::size_t offset = std::size_t{answer} * kReadDataPerAnswer;
  const std::size_t take = std::min(a.bytes.size() - std::min(a.bytes.size(), offset), std::size_t{kReadDataPerAnswer});
  return a.counts[answer] == b.counts[answer] &&
         (take == 0 || std::memcmp(a.bytes.data() + offset, b.bytes.data() + offset, take) == 0);
}

WorkerEnd ReadRoutine(const ReadRequest* request, ReadResult* result, ThreadId caller) {
  SetProgress(progress::kStarted);
  if (const ResultCode refused = Refusal(request, result); refused != kOk) return WorkerEnd::Done(refused);
  result->received = 0;

  const uint32_t length = request->length;
  Pass first(length);
  Pass second(length);
  // Progress runs over both passes; a stop request is seen between answers.
  const auto checkPoint = [length](uint64_t before) {
    return [length, before](uint32_t done) {
      if (StopRequested()) return true;
      SetProgress(progress::kReadPasses.At(before + done, 2 * uint64_t{length}));
      return false;
    };
  };
  for (Pass* pass : {&first, &second}) {
    const ReadPassEnd end =
        StopRequested() ? ReadPassEnd::Stop()
                        : ReadPass(request->start, length, pass->bytes.data(), pass->counts.data(),
                                   checkPoint(pass == &first ? 0 : length));
    if (end.stopped || end.code != kOk) return Unsuccessful(end, caller);
  }
  for (uint32_t answer = 0; answer < first.counts.size(); ++answer) {
    if (SamePiece(first, second, answer)) continue;
    const ReadPassEnd end = SettlePiece(request->start, answer, first, second);
    if (end.stopped || end.code != kOk) return Unsuccessful(end, caller);
  }

  uint64_t received = 0;
  for (uint16_t count : first.counts) received += count;
  const std::size_t copied = static_cast<std::size_t>(std::min<uint64_t>(received, length));
  result->received = static_cast<uint32_t>(copied);
  if (copied > 0) std::memcpy(result->destination, first.bytes.data(), copied);
  CurrentSession().settings.readFailed = 0;
  return WorkerEnd::Done(kOk);
}

}  // namespace
}  // namespace zk::cmd

using namespace zk;

ZK_EXPORT uint32_t CmmReadFlash(ReadRequest* request, ReadResult* result,
                                WorkerThreadInfo* threadInfo) {
  return cmd::CurrentSession().worker.Start(
      [request, result](ThreadId caller) { return cmd::ReadRoutine(request, result, caller); },
      threadInfo);
}

ZK_EXPORT uint32_t CmmReadFlashOnce(ReadRequest* request, ReadResult* result) {
  if (const ResultCode refused = cmd::Refusal(request, result); refused != kOk) return refused;
  result->received = 0;
  const cmd::ReadPassEnd end = cmd::ReadPass(request->start, request->length, result->destination);
  cmd::Settings& settings = cmd::CurrentSession().settings;
  if (end.code != kOk) {
    if (!end.rearmFailed) settings.readFailed = 1;
    return end.code;
  }
  result->received = end.received;
  settings.readFailed = 0;
  return kOk;
}
