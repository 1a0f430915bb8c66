// The synchronous commands of a connection: disconnect, firmware
// generation, password and flash base address.
#include "cmd/BankMap.h"
#include "cmd/ModuleKeys.h"
#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "common/CmmApi.h"
#include "common/Export.h"
#include "platform/ComPort.h"
#include "platform/SerialPort.h"
#include "platform/Threads.h"

namespace zk::cmd {
namespace {

constexpr uint32_t kShutDownSettleMs = 100;
constexpr uint32_t kResetPulseMs = 500;

// Mode 3: pulses the reset line through the raw port once the transport has
// let it go: RTS raised for the pulse, then lowered again before the close,
// which leaves the lines as they are.
ResultCode PulseReset(const std::string& modulePath) {
  const PortKeys keys = ReadPortKeys(modulePath, kExitComBuffer);
  if (keys.protocol.empty() || keys.com.empty() || keys.baud.empty()) return kInvalidFileFormat;
  com::OpenError error = com::OpenError::None;
  auto port = com::OpenSerialPort(com::ParsePortName(keys.com).value_or(0), DecimalValue(keys.baud), &error);
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
  cmd::Session& session = cmd::CurrentSession();
  cmd::TransportBinding& transport = session.transport;
  if (!transport.Bound()) return kOk;
  const ExitRequest exit = request != nullptr ? *request : ExitRequest{0, 0};

  ResultCode result = kOk;
  switch (cmd::Exchange(session, cmd::request::Exit(session.buffer, exit))) {
    case cmd::ExchangeEnd::ArmFailed: result = kReceiveTimeout; break;
    case cmd::ExchangeEnd::RearmFailed: session.worker.MarkEnded(kReceiveTimeout); return kReceiveTimeout;
    default: break;  // the answer is not examined, and a missing one is no failure
  }

  auto shutDown = transport.Lookup<net::ShutDownFn>("NetShutDown");
  if (shutDown == nullptr) {
    transport.Release();
    return kNetDllError;
  }
  shutDown(net::kShutDownValue);
  Sleep(cmd::kShutDownSettleMs);
  transport.Release();
  session.lastEcho.reset();

  if (exit.mode == ModeByte(ExitMode::kHardwareReset)) {
    const ResultCode reset = cmd::PulseReset(session.ModulePath());
    if (reset != kOk) return reset;
  }
  session.DropModulePath();
  return result;
}

ZK_EXPORT uint32_t CmmCheckOldZelkor(void) {
  cmd::Session& session = cmd::CurrentSession();
  return cmd::RunTransaction(session, cmd::request::CodeOnly(session.buffer, Command::FirmwareGeneration));
}

ZK_EXPORT uint32_t CmmSendPassword(PasswordBlock* block) {
  if (block == nullptr || (block->length != 0 && block->bytes == nullptr)) return kFailed;
  if (block->length > cmd::kMaxPasswordBytes) return kBufferTooSmall;
  cmd::Session& session = cmd::CurrentSession();
  // Sending the password again changes nothing: it is repeated after a line
  // failure.
  cmd::ExchangeEnd end = cmd::ExchangeEnd::NoAnswer;
  for (cmd::LineRepeats repeats(session);;) {
    end = cmd::ExchangeOrLateAnswer(session, cmd::request::Password(session.buffer, {block->bytes, block->length}));
    if (end == cmd::ExchangeEnd::Answered || !repeats.Again(cmd::ExchangeFailure(session, end))) break;
  }
  if (end != cmd::ExchangeEnd::Answered) return cmd::ExchangeFailure(session, end);
  if (cmd::answer::Echo(session.buffer) == cmd::Code(Command::Password)) {
    session.settings.passwordAccepted = cmd::answer::Status(session.buffer) == 0 ? 1u : 0u;
  }
  return cmd::JudgeAnswer(session, Command::Password);
}

ZK_EXPORT uint32_t CmmSetFlashBaseAddress(BaseAddressRecord* record) {
  if (record == nullptr) return kFailed;
  return cmd::SendBaseAddress(cmd::CurrentSession(), *record);
}
