// Reading flash back: command 0x06 and its continuations, 250 data bytes
// per answer.
#include "cmd/CommandBuffer.h"
#include "cmd/Settings.h"
#include "cmd/Transaction.h"
#include "cmd/Worker.h"
#include "common/CmmApi.h"
#include "common/Export.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zk::cmd {
namespace {

constexpr std::size_t kReadDataOffset = 6;
constexpr std::size_t kReadDataPerAnswer = 250;

// A failure of the read: posted to the caller and remembered, so that
// programming is refused until a read succeeds (a failed re-arming leaves
// the mark as it was).
WorkerEnd ReadFailure(const ArgBlock& args, ResultCode code, bool markFailed = true) {
  if (markFailed) CurrentSettings().readFailed = 1;
  PostWorkerEnd(args, code);
  return WorkerEnd::Done(code);
}

WorkerEnd ReadExchange(const ArgBlock& args, Command command) {
  const ExchangeEnd end = Exchange(command, kReadLength);
  if (end != ExchangeEnd::Answered)
    return ReadFailure(args, ExchangeFailure(end), end != ExchangeEnd::RearmFailed);
  if (ResultCode rc = JudgeAnswer(command); rc != kOk) return ReadFailure(args, rc);
  return WorkerEnd::Done(kOk);
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

  CommandBufferBytes& buffer = CommandBuffer();
  buffer[0] = Code(Command::Read);
  buffer.PutU32(1, request->start);
  buffer.PutU32(5, request->length);
  if (WorkerEnd end = ReadExchange(args, Command::Read); end.code() != kOk) return end;

  const std::size_t length = request->length;
  std::vector<uint8_t> data(length);
  std::size_t remaining = length;
  uint64_t received = 0;
  while (remaining > 0) {
    if (StopRequested()) {
      settings.readFailed = 1;
      return WorkerEnd::Stopped();
    }
    SetProgress(static_cast<uint32_t>((length - remaining) * 100 / length));
    received += buffer.U16(2);
    const std::size_t take = std::min(remaining, kReadDataPerAnswer);
    std::memcpy(data.data() + (length - remaining), buffer.data() + kReadDataOffset, take);
    remaining -= take;
    if (remaining > 0) {
      buffer[0] = Code(Command::ReadNext);
      if (WorkerEnd end = ReadExchange(args, Command::ReadNext); end.code() != kOk) return end;
    }
  }
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
