#include "cmd/Transaction.h"

#include "cmd/Session.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace zk::cmd {
namespace {

// The fixed arguments of every transport call.
constexpr uint8_t kFrameType = 2;
constexpr uint32_t kUnusedArgument = 0;

// A reception still running is polled again after this pause: short against
// any answer time on a serial line, long enough not to burn a core.
constexpr auto kPollInterval = std::chrono::microseconds(500);

std::mutex g_pauseMutex;
PollPause g_pause;

void Pause() {
  PollPause pause;
  {
    std::lock_guard lock(g_pauseMutex);
    pause = g_pause;
  }
  if (pause)
    pause();
  else
    std::this_thread::sleep_for(kPollInterval);
}

uint8_t PollUntilSettled(const TransportEntries& net) {
  for (;;) {
    const uint8_t status = net.getRxStatus();
    if (status != net::kRxPending) return status;
    Pause();
  }
}

bool Arm(const TransportEntries& net, CommandBufferBytes& buffer, uint32_t armTime) {
  return net.recData(buffer.data(), static_cast<uint16_t>(kCommandBufferSize), kFrameType,
                     armTime) == 0;
}

}  // namespace

ExchangeEnd Exchange(const Request& request, const std::function<void()>& afterSend) {
  Session& session = CurrentSession();
  const TransportEntries net = session.transport.Entries();
  if (!net.Complete()) return ExchangeEnd::NoTransport;
  const WaitProfile profile = ProfileOf(request.command);

  if (!Arm(net, session.buffer, profile.armTime)) return ExchangeEnd::ArmFailed;
  if (net.sendData(session.buffer.data(), request.length, kFrameType, kUnusedArgument) != 0)
    return ExchangeEnd::SendFailed;
  if (afterSend) afterSend();

  uint8_t status = 0;
  for (uint32_t waits = 0;;) {
    net.restartRxTimeOut(profile.wait);
    status = PollUntilSettled(net);
    if (profile.restartAfterWait != 0) net.restartRxTimeOut(profile.restartAfterWait);
    if (status == net::kRxRestart) {
      if (!Arm(net, session.buffer, profile.rearmTime)) return ExchangeEnd::RearmFailed;
      net.restartRxTimeOut(profile.rearmTime);
    }
    ++waits;
    if (status != net::kRxRestart || waits >= profile.maxWaits) break;
  }
  return status == net::kRxComplete ? ExchangeEnd::Answered : ExchangeEnd::NoAnswer;
}

ResultCode ExchangeFailure(ExchangeEnd end) {
  switch (end) {
    case ExchangeEnd::Answered:
      return kOk;
    case ExchangeEnd::SendFailed:
      return kSendFailed;
    case ExchangeEnd::NoTransport:
      return kNetDllError;
    case ExchangeEnd::ArmFailed:
    case ExchangeEnd::RearmFailed:
    case ExchangeEnd::NoAnswer:
      return kReceiveTimeout;
  }
  return kReceiveTimeout;
}

namespace {

// A module byte returned as the result must never read as "worker still
// running": a worker ending with 192 would be polled for ever.
ResultCode ModuleByteAsResult(uint8_t byte) {
  return byte == kWorkerRunning ? ResultCode{kUnknownCode} : ResultCode{byte};
}

// An answer whose echo byte is wrong and whose value is to be returned as
// the result must never read as success: a stray 0x00 there is a mismatch.
ResultCode EchoByteAsResult(uint8_t byte0) {
  return byte0 == 0 ? ResultCode{kSendFailed} : ModuleByteAsResult(byte0);
}

}  // namespace

ResultCode JudgeAnswer(Command command) {
  const CommandBufferBytes& buffer = CurrentSession().buffer;
  const uint8_t byte0 = answer::Echo(buffer);
  const uint8_t status = answer::Status(buffer);
  const bool echoed = byte0 == Code(command);
  switch (RowOf(command).judgement) {
    case Judgement::NotExamined:
      return kOk;
    case Judgement::ListHead:
      if (!echoed) return kReceiveTimeout;
      return status == kNoFlashLibrarySelected ? ResultCode{kNoFlashLibrarySelected} : ResultCode{kOk};
    case Judgement::EchoOrSendFailed:
      return echoed ? kOk : kSendFailed;
    case Judgement::ModuleStatus:
      return echoed ? ModuleByteAsResult(status) : EchoByteAsResult(byte0);
    case Judgement::NextModuleStatus:
      return echoed ? ModuleByteAsResult(status) : ResultCode{kReceiveTimeout};
    case Judgement::FirmwareMarker:
      return byte0 == kCurrentFirmwareMarker ? kOk : kOldFirmware;
    case Judgement::Continuation:
      return echoed ? kOk : kReceiveTimeout;
  }
  return kReceiveTimeout;
}

ResultCode RunTransaction(const Request& request) {
  const ExchangeEnd end = Exchange(request);
  if (end != ExchangeEnd::Answered) return ExchangeFailure(end);
  return JudgeAnswer(request.command);
}
void SetPollPause(PollPause pause) {
  std::lock_guard lock(g_pauseMutex);
  g_pause = std::move(pause);
}

}  // namespace zk::cmd
