#include "cmd/Transaction.h"

#include "cmd/CommandBuffer.h"
#include "cmd/TransportBinding.h"

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

bool Arm(const TransportEntries& net, uint32_t armTime) {
  return net.recData(CommandBuffer().data(), static_cast<uint16_t>(kCommandBufferSize), kFrameType,
                     armTime) == 0;
}

}  // namespace

WaitProfile ProfileOf(Command command) {
  switch (command) {
    case Command::Login:
    case Command::FindFlashLib:
    case Command::SelectFlashLib:
    case Command::BaseAddress:
      return {.armTime = 0, .wait = 40000, .maxWaits = 3};
    case Command::SectorStatus:
      return {.armTime = 100000, .wait = 80000, .maxWaits = 31, .restartAfterWait = 40000};
    case Command::Exit:
      return {.armTime = 0, .wait = 40000, .maxWaits = 2};
    case Command::EraseSectors:
      return {.armTime = 40000, .wait = 40000, .maxWaits = 11};
    case Command::EraseBlocks:
      return {.armTime = 40000, .wait = 10000, .maxWaits = 3, .rearmTime = 100000,
              .restartAfterWait = 10000};
    case Command::SectorStatusNext:
      return {.armTime = 100000, .wait = 10000, .maxWaits = 1};
    case Command::EraseSectorsNext:
      return {.armTime = 40000, .wait = 20000, .maxWaits = 2, .rearmTime = 100000,
              .restartAfterWait = 10000};
    case Command::EraseBlocksNext:
      return {.armTime = 40000, .wait = 10000, .maxWaits = 2, .rearmTime = 100000,
              .restartAfterWait = 10000};
    case Command::Program:
    case Command::Read:
    case Command::EraseChip:
    case Command::Password:
    case Command::FirmwareGeneration:
    case Command::ReadNext:
      return {.armTime = 40000, .wait = 40000, .maxWaits = 3};
  }
  return {};
}

ExchangeEnd Exchange(Command command, uint16_t length, const std::function<void()>& afterSend) {
  const TransportEntries net = Transport().Entries();
  if (!net.Complete()) return ExchangeEnd::NoTransport;
  const WaitProfile profile = ProfileOf(command);

  if (!Arm(net, profile.armTime)) return ExchangeEnd::ArmFailed;
  if (net.sendData(CommandBuffer().data(), length, kFrameType, kUnusedArgument) != 0)
    return ExchangeEnd::SendFailed;
  if (afterSend) afterSend();

  uint8_t status = 0;
  for (uint32_t waits = 0;;) {
    net.restartRxTimeOut(profile.wait);
    status = PollUntilSettled(net);
    if (profile.restartAfterWait != 0) net.restartRxTimeOut(profile.restartAfterWait);
    if (status == net::kRxRestart) {
      if (!Arm(net, profile.rearmTime)) return ExchangeEnd::RearmFailed;
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
  const CommandBufferBytes& answer = CommandBuffer();
  const uint8_t byte0 = answer.Byte(0);
  const uint8_t status = answer.Byte(1);
  const bool echoed = byte0 == Code(command);
  switch (command) {
    case Command::Login:
    case Command::FindFlashLib:
    case Command::Exit:
    case Command::BaseAddress:
      return kOk;
    case Command::SectorStatus:
    case Command::EraseSectors:
    case Command::EraseBlocks:
    case Command::EraseChip:
      if (!echoed) return kReceiveTimeout;
      return status == kNoFlashLibrarySelected ? ResultCode{kNoFlashLibrarySelected} : ResultCode{kOk};
    case Command::SelectFlashLib:
      return echoed ? kOk : kSendFailed;
    case Command::Program:
    case Command::Password:
    case Command::Read:
      return echoed ? ModuleByteAsResult(status) : EchoByteAsResult(byte0);
    case Command::ReadNext:
      return echoed ? ModuleByteAsResult(status) : ResultCode{kReceiveTimeout};
    case Command::FirmwareGeneration:
      return byte0 == kCurrentFirmwareMarker ? kOk : kOldFirmware;
    case Command::SectorStatusNext:
    case Command::EraseSectorsNext:
    case Command::EraseBlocksNext:
      return echoed ? kOk : kReceiveTimeout;
  }
  return kReceiveTimeout;
}

ResultCode RunTransaction(Command command, uint16_t length) {
  const ExchangeEnd end = Exchange(command, length);
  if (end != ExchangeEnd::Answered) return ExchangeFailure(end);
  return JudgeAnswer(command);
}

void SetPollPause(PollPause pause) {
  std::lock_guard lock(g_pauseMutex);
  g_pause = std::move(pause);
}

}  // namespace zk::cmd
