// Reading flash back. The worker of CmmReadFlash hands over only data it
// has seen twice: it reads the range twice (command 0x06 and its
// continuations each time) and compares the passes answer by answer, bytes
// and counts; a piece on which they differ is read again on its own until
// two reads of it agree. The 3964R check character lets through two flips
// of the same bit in one block, and a transport need not tell how many
// bytes a block carried, so one read alone proves nothing;
// two reads that agree do, as the line never spoils two answers the same
// way. CmmReadFlashOnce reads a range once, for callers that check the data
// themselves (verification against the image). Both read bank by bank,
// as the module reads within one bank only.
#include "cmd/BankMap.h"
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
// until a read agrees with an earlier one, whose data goes into first. A
// spoilt piece agrees with nothing.
ReadPassEnd SettlePiece(uint32_t start, uint32_t answer, Pass& first, const Pass& second) {
  const uint32_t offset = answer * kReadDataPerAnswer;
  const uint32_t take = std::min<uint32_t>(static_cast<uint32_t>(first.bytes.size()) - offset, kReadDataPerAnswer);
  std::vector<Piece> seen;
  for (const Pass* pass : {static_cast<const Pass*>(&first), &second}) {
    if (pass->counts[answer] != kSpoiltPiece) seen.push_back(PieceOf(*pass, answer, offset, take));
  }
  bool spoilt = false;
  for (std::size_t k = 0; k < kMostPieceReads; ++k) {
    if (StopRequested()) return ReadPassEnd::Stop();
    Piece read;
    const ReadPassEnd end = ReadPass(start + offset, take, read.bytes.data(), &read.count);
    if (end.code != kOk) return end;
    spoilt = read.count == kSpoiltPiece;
    if (spoilt) continue;
    if (std::find(seen.begin(), seen.end(), read) != seen.end()) {
      first.counts[answer] = read.count;
      if (take > 0) std::memcpy(first.bytes.data() + offset, read.bytes.data(), take);
      return end;
    }
    seen.push_back(read);
  }
  ReadPassEnd disagreed;
  disagreed.code = spoilt ? kShortAnswer : kReceiveChecksum;
  return disagreed;
}

bool SamePiece(const Pass& a, const Pass& b, uint32_t answer) {
  const std::size_t offset = std::size_t{answer} * kReadDataPerAnswer;
  const std::size_t take = std::min(a.bytes.size() - std::min(a.bytes.size(), offset), std::size_t{kReadDataPerAnswer});
  return a.counts[answer] != kSpoiltPiece && a.counts[answer] == b.counts[answer] &&
         (take == 0 || std::memcmp(a.bytes.data() + offset, b.bytes.data() + offset, take) == 0);
}

// Reads [start, start + length) twice and settles the pieces the passes
// disagree on; done counts the bytes of the whole request read before it,
// for the progress over both passes of all of it.
ReadPassEnd ReadChecked(uint32_t start, uint32_t length, uint8_t* out, uint64_t done, uint64_t total) {
  Pass first(length);
  Pass second(length);
  const auto checkPoint = [done, total](uint64_t before) {
    return [done, total, before](uint32_t got) {
      if (StopRequested()) return true;
      SetProgress(progress::kReadPasses.At(2 * done + before + got, 2 * total));
      return false;
    };
  };
  for (Pass* pass : {&first, &second}) {
    const ReadPassEnd end =
        StopRequested() ? ReadPassEnd::Stop()
                        : ReadPass(start, length, pass->bytes.data(), pass->counts.data(),
                                   checkPoint(pass == &first ? 0 : length));
    if (end.stopped || end.code != kOk) return end;
  }
  for (uint32_t answer = 0; answer < first.counts.size(); ++answer) {
    if (SamePiece(first, second, answer)) continue;
    const ReadPassEnd end = SettlePiece(start, answer, first, second);
    if (end.stopped || end.code != kOk) return end;
  }
  if (length > 0) std::memcpy(out, first.bytes.data(), length);
  ReadPassEnd end;
  end.received = length;
  return end;
}

// A read runs bank by bank: the module reads within one bank only.
std::vector<AddressSpan> ReadPieces(const ReadRequest& request) {
  return SplitAtBankEnds(CurrentSession().ModulePath(), request.start, request.length);
}

WorkerEnd ReadRoutine(const ReadRequest request, ReadResult* result, ThreadId caller) {
  SetProgress(progress::kStarted);
  if (const ResultCode refused = Refusal(&request, result); refused != kOk) return WorkerEnd::Done(refused);
  result->received = 0;

  std::vector<uint8_t> data(request.length);
  uint64_t done = 0;
  for (const AddressSpan& piece : ReadPieces(request)) {
    const ReadPassEnd end = ReadChecked(piece.start, piece.length, data.data() + done, done, request.length);
    if (end.stopped || end.code != kOk) return Unsuccessful(end, caller);
    done += piece.length;
  }
  result->received = request.length;
  if (request.length > 0) std::memcpy(result->destination, data.data(), request.length);
  CurrentSession().settings.readFailed = 0;
  return WorkerEnd::Done(kOk);
}

}  // namespace
}  // namespace zk::cmd

using namespace zk;

ZK_EXPORT uint32_t CmmReadFlash(ReadRequest* request, ReadResult* result,
                                WorkerThreadInfo* threadInfo) {
  // The request is the worker's own copy: the caller's record may change or
  // go once this returns. The result record and its destination are written
  // when the read ends.
  if (request == nullptr) {
    return cmd::CurrentSession().worker.Start(
        [result](ThreadId) { return cmd::WorkerEnd::Done(cmd::Refusal(nullptr, result)); }, threadInfo);
  }
  return cmd::CurrentSession().worker.Start(
      [copy = *request, result](ThreadId caller) { return cmd::ReadRoutine(copy, result, caller); },
      threadInfo);
}

ZK_EXPORT uint32_t CmmReadFlashOnce(ReadRequest* request, ReadResult* result) {
  if (const ResultCode refused = cmd::Refusal(request, result); refused != kOk) return refused;
  result->received = 0;
  cmd::Settings& settings = cmd::CurrentSession().settings;
  uint32_t done = 0;
  for (const cmd::AddressSpan& piece : cmd::ReadPieces(*request)) {
    const cmd::ReadPassEnd end = cmd::ReadPass(piece.start, piece.length, result->destination + done);
    if (end.code != kOk) {
      if (!end.rearmFailed) settings.readFailed = 1;
      return end.code;
    }
    done += piece.length;
  }
  result->received = done;
  settings.readFailed = 0;
  return kOk;
}
