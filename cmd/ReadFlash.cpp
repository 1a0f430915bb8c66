// Reading flash back. The worker of CmmReadFlash hands over only data it
// has seen twice: every piece of one answer's size is read until two reads
// agree, byte for byte and in their counts. The 3964R check character lets
// through two flips of the same bit in one block and a lost 0x00, and the
// transport does not tell how many bytes a block carried, so one read alone
// proves nothing; two reads that agree do, as the line never spoils two
// answers the same way. CmmReadFlashOnce reads a range once, for callers
// that check the data themselves (verification against the image).
#include "cmd/ReadPass.h"
#include "cmd/Settings.h"
#include "cmd/Worker.h"
#include "common/CmmApi.h"
#include "common/Export.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace zk::cmd {
namespace {

// Reads of one piece before the line counts as too poor to read through.
constexpr std::size_t kMostReadsOfAPiece = 4;

// A failure of the read: posted to the caller and remembered, so that
// programming is refused until a read succeeds (a failed re-arming leaves
// the mark as it was).
WorkerEnd ReadFailure(const ArgBlock& args, ResultCode code, bool markFailed = true) {
  if (markFailed) CurrentSettings().readFailed = 1;
  PostWorkerEnd(args, code);
  return WorkerEnd::Done(code);
}

struct PieceRead {
  uint32_t received = 0;
  std::array<uint8_t, kReadDataPerAnswer> bytes{};

  bool operator==(const PieceRead& other) const = default;
};

// Reads length (at most one answer) bytes at start until two reads agree;
// the agreed read in *agreed.
ReadPassEnd ReadPieceChecked(uint32_t start, uint32_t length, PieceRead* agreed) {
  std::vector<PieceRead> reads;
  reads.reserve(kMostReadsOfAPiece);
  while (reads.size() < kMostReadsOfAPiece) {
    PieceRead& read = reads.emplace_back();
    const ReadPassEnd end = ReadPass(start, length, read.bytes.data());
    if (end.code != kOk) return end;
    read.received = end.received;
    for (std::size_t i = 0; i + 1 < reads.size(); ++i) {
      if (reads[i] == read) {
        *agreed = read;
        return end;
      }
    }
  }
  ReadPassEnd disagreed;
  disagreed.code = kReceiveChecksum;
  return disagreed;
}

WorkerEnd ReadRoutine(const ArgBlock& args) {
  const auto* request = reinterpret_cast<const ReadRequest*>(args.first);
  auto* result = reinterpret_cast<ReadResult*>(args.second);
  SetProgress(10);
  Settings& settings = CurrentSettings();
  if (settings.passwordAccepted == 0) {
    settings.readFailed = 1;
    return WorkerEnd::Done(kNoAccess);
  }
  if (request == nullptr || result == nullptr ||
      (request->length != 0 && result->destination == nullptr)) {
    settings.readFailed = 1;
    return WorkerEnd::Done(kFailed);
  }
  result->received = 0;

  const uint32_t length = request->length;
  std::vector<uint8_t> data(length);
  uint64_t received = 0;
  uint32_t done = 0;
  do {
    if (StopRequested()) {
      settings.readFailed = 1;
      return WorkerEnd::Stopped();
    }
    if (length != 0) SetProgress(static_cast<uint32_t>(uint64_t{done} * 100 / length));
    const uint32_t take = std::min(length - done, kReadDataPerAnswer);
    PieceRead piece;
    const ReadPassEnd end = ReadPieceChecked(request->start + done, take, &piece);
    if (end.code != kOk) return ReadFailure(args, end.code, !end.rearmFailed);
    std::memcpy(data.data() + done, piece.bytes.data(), take);
    received += piece.received;
    done += take;
  } while (done < length);

  const std::size_t copied = static_cast<std::size_t>(std::min<uint64_t>(received, length));
  result->received = static_cast<uint32_t>(copied);
  if (copied > 0) std::memcpy(result->destination, data.data(), copied);
  settings.readFailed = 0;
  return WorkerEnd::Done(kOk);
}

WorkerSlot g_readSlot{&ReadRoutine, {}};

}  // namespace
}  // namespace zk::cmd

using namespace zk;

ZK_EXPORT uint32_t CmmReadFlash(ReadRequest* request, ReadResult* result,
                                WorkerThreadInfo* threadInfo) {
  return cmd::StartWorker(cmd::g_readSlot, reinterpret_cast<uintptr_t>(request),
                          reinterpret_cast<uintptr_t>(result), threadInfo);
}

ZK_EXPORT uint32_t CmmReadFlashOnce(ReadRequest* request, ReadResult* result) {
  cmd::Settings& settings = cmd::CurrentSettings();
  if (settings.passwordAccepted == 0) {
    settings.readFailed = 1;
    return kNoAccess;
  }
  if (request == nullptr || result == nullptr || (request->length != 0 && result->destination == nullptr)) {
    settings.readFailed = 1;
    return kFailed;
  }
  result->received = 0;
  const cmd::ReadPassEnd end = cmd::ReadPass(request->start, request->length, result->destination);
  if (end.code != kOk) {
    if (!end.rearmFailed) settings.readFailed = 1;
    return end.code;
  }
  result->received = end.received;
  settings.readFailed = 0;
  return kOk;
}
