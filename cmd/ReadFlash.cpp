// Reading flash back. The worker of CmmReadFlash hands over only data it
// has seen twice (cmd/CheckedRead); CmmReadFlashOnce reads a range once,
// for callers that check the data themselves (verification against the
// image). Both read bank by bank, as the module reads within one bank only.
#include "cmd/BankMap.h"
#include "cmd/CheckedRead.h"
#include "cmd/Progress.h"
#include "cmd/ReadPass.h"
#include "cmd/Session.h"
#include "common/CmmApi.h"
#include "common/Export.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zk::cmd {
namespace {

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
    const ReadPassEnd end = ReadChecked(piece.start, piece.length, data.data() + done, [&](uint64_t got) {
      if (StopRequested()) return true;
      SetProgress(progress::kReadPasses.At(2 * done + got, 2 * uint64_t{request.length}));
      return false;
    });
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
