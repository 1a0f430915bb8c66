// The synchronous commands of a connection: disconnect, firmware
// generation, password and flash base address.
#include "cmd/CommandBuffer.h"
#include "cmd/ModuleKeys.h"
#include "cmd/Session.h"
#include "cmd/Settings.h"
#include "cmd/Transaction.h"
#include "cmd/TransportBinding.h"
#include "cmd/WorkerState.h"
#include "common/CmmApi.h"
#include "common/Export.h"
#include "platform/ComPort.h"
#include "platform/SerialPort.h"
#include "platform/Threads.h"

namespace zk::cmd {
namespace {

constexpr uint8_t kHardwareResetMode = 3;
constexpr uint32_t kShutDownSettleMs = 100;
constexpr uint32_t kResetPulseMs = 500;

// Mode 3: pulses the reset line through the raw port once the transport has
// let it go: RTS raised for the pulse, then lowered again before the close,
// which leaves the lines as they are.
ResultCode PulseReset(const std::string& modulePath) {
  const PortKeys keys = ReadPortKeys(modulePath, kExitComBuffer);
  if (keys.protocol.empty() || keys.com.empty() || keys.baud.empty()) return kInvalidFileFormat;
  com::OpenError error = com::OpenError::None;
  auto port = com::OpenSerialPort(com::ParsePortName(keys.com).value_or(0),
                                  DecimalValue(keys.baud), &error);
  if (!port) return kComPortInit;
  port->SetRts(true);
  Sleep(kResetPulseMs);
  port->SetRts(false);
  return kOk;
}

}  // namespace
}  // namespace zk::cmd

using namespace zk;
using cmd::Command;

ZK_EXPORT uint32_t CmmExitZelkor(ExitRequest* request) {
  cmd::TransportBinding& transport = cmd::Transport();
  if (!transport.Bound()) return kOk;
  const ExitRequest exit = request != nullptr ? *request : ExitRequest{0, 0};

  cmd::CommandBufferBytes& buffer = cmd::CommandBuffer();
  buffer[0] = cmd::Code(Command::Exit);
  buffer[1] = exit.mode;
  buffer.PutU32(2, exit.address);
  ResultCode result = kOk;
  switch (cmd::Exchange(Command::Exit, cmd::kExitLength)) {
    case cmd::ExchangeEnd::ArmFailed:
      result = kReceiveTimeout;
      break;
    case cmd::ExchangeEnd::RearmFailed: {
      cmd::WorkerState& state = cmd::Worker();
      state.status = kReceiveTimeout;
      state.running = 0;
      return kReceiveTimeout;
    }
    default:
      break;  // the answer is not examined, and a missing one is no failure
  }

  auto shutDown = transport.Lookup<net::ShutDownFn>("NetShutDown");
  if (shutDown == nullptr) {
    transport.Release();
    return kNetDllError;
  }
  shutDown(net::kShutDownValue);
  Sleep(cmd::kShutDownSettleMs);
  transport.Release();

  const std::string modulePath = cmd::CurrentSession().ModulePath();
  if (exit.mode == cmd::kHardwareResetMode) {
    const ResultCode reset = cmd::PulseReset(modulePath);
    if (reset != kOk) return reset;
  }
  cmd::CurrentSession().DropModulePath();
  return result;
}

ZK_EXPORT uint32_t CmmCheckOldZelkor(void) {
  cmd::CommandBuffer()[0] = cmd::Code(Command::FirmwareGeneration);
  return cmd::RunTransaction(Command::FirmwareGeneration, cmd::kFirmwareGenerationLength);
}

ZK_EXPORT uint32_t CmmSendPassword(PasswordBlock* block) {
  if (block == nullptr || (block->length != 0 && block->bytes == nullptr)) return kFailed;
  if (block->length > cmd::kCommandBufferSize - cmd::kPasswordHeaderLength) return kBufferTooSmall;
  cmd::CommandBufferBytes& buffer = cmd::CommandBuffer();
  buffer[0] = cmd::Code(Command::Password);
  buffer.PutU32(1, block->length);
  for (uint32_t i = 0; i < block->length; ++i) buffer[cmd::kPasswordHeaderLength + i] = block->bytes[i];
  const auto length = static_cast<uint16_t>(cmd::kPasswordHeaderLength + block->length);
  const cmd::ExchangeEnd end = cmd::Exchange(Command::Password, length);
  if (end != cmd::ExchangeEnd::Answered) return cmd::ExchangeFailure(end);
  if (buffer.Byte(0) == cmd::Code(Command::Password))
    cmd::CurrentSettings().passwordAccepted = buffer.Byte(1) == 0 ? 1u : 0u;
  return cmd::JudgeAnswer(Command::Password);
}

ZK_EXPORT uint32_t CmmSetFlashBaseAddress(BaseAddressRecord* record) {
  if (record == nullptr) return kFailed;
  cmd::CommandBufferBytes& buffer = cmd::CommandBuffer();
  buffer[0] = cmd::Code(Command::BaseAddress);
  buffer.PutU32(1, record->baseAddress);
  buffer[5] = record->mode;
  buffer[6] = 0;
  return cmd::RunTransaction(Command::BaseAddress, cmd::kBaseAddressLength);
}
