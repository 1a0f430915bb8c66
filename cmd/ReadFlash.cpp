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
WorkerEnd Unsuccessful(Settings& settings, const ReadPassEnd& end, ThreadId caller) {
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
ResultCode Refusal(Settings& settings, const ReadRequest* request, const ReadResult* result) {
  ResultCode code = kOk;
  if (settings.passwordAccepted == 0) {
    code = kNoAccess;
  } else if (request == nullptr || result == nullptr || (request->length != 0 && result->destination == nullptr)) {
    code = kFailed;
  }
  if (code != kOk) settings.readFailed = 1;
  return code;
}

// A read runs bank by bank: the module reads within one bank only.
std::vector<AddressSpan> ReadPieces(const Session& session, const ReadRequest& request) {
  return SplitAtBankEnds(session.ModulePath(), request.start, request.length);
}

WorkerEnd ReadRoutine(Session& session, const ReadRequest request, ReadResult* result, ThreadId caller) {
  session.worker.SetProgress(progress::kStarted);
  if (const ResultCode refused = Refusal(session.settings, &request, result); refused != kOk) {
    return WorkerEnd::Done(refused);
  }
  result->received = 0;

  std::vector<uint8_t> data(request.length);
  uint64_t done = 0;
  for (const AddressSpan& piece : ReadPieces(session, request)) {
    const ReadPassEnd end = ReadChecked(session, piece.start, piece.length, data.data() + done, [&](uint64_t got) {
      if (StopRequested()) return true;
      session.worker.SetProgress(progress::kReadPasses.At(2 * done + got, 2 * uint64_t{request.length}));
      return false;
    });
    if (end.stopped || end.code != kOk) return Unsuccessful(session.settings, end, caller);
    done += piece.length;
  }
  result->received = request.length;
  if (request.length > 0) std::memcpy(result->destination, data.data(), request.length);
  session.settings.readFailed = 0;
  return WorkerEnd::Done(kOk);
}

}  // namespace
}  // namespace zk::cmd

using namespace zk;

ZK_EXPORT uint32_t CmmReadFlash(ReadRequest* request, ReadResult* result, WorkerThreadInfo* threadInfo) {
  // The request is the worker's own copy: the caller's record may change or
  // go once this returns. The result record and its destination are written
  // when the read ends.
  cmd::Session& session = cmd::CurrentSession();
  if (request == nullptr) {
    return session.worker.Start(
        [&session, result](ThreadId) { return cmd::WorkerEnd::Done(cmd::Refusal(session.settings, nullptr, result)); },
        threadInfo);
  }
  return session.worker.Start(
      [&session, copy = *request, result](ThreadId caller) { return cmd::ReadRoutine(session, copy, result, caller); },
      threadInfo);
}

ZK_EXPORT uint32_t CmmReadFlashOnce(ReadRequest* request, ReadResult* result) {
  cmd::Session& session = cmd::CurrentSession();
  cmd::Settings& settings = session.settings;
  if (const ResultCode refused = cmd::Refusal(settings, request, result); refused != kOk) return refused;
  result->received = 0;
  uint32_t done = 0;
  for (const cmd::AddressSpan& piece : cmd::ReadPieces(session, *request)) {
    const cmd::ReadPassEnd end = cmd::ReadPass(session, piece.start, piece.length, result->destination + done);
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
