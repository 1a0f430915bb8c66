#include "cmd/Transaction.h"

#include "cmd/FrameNames.h"
#include "cmd/Session.h"
#include "platform/Trace.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace zk::cmd {
namespace {

// The fixed arguments of every transport call.
constexpr uint8_t kFrameType = 2;
constexpr uint32_t kUnusedArgument = 0;

// A reception still running is polled again after this pause: short against
// any answer time on a serial line, long enough not to burn a core.
constexpr auto kPollInterval = std::chrono::microseconds(500);

void Pause(const Session& session) {
  if (session.pollPause) {
    session.pollPause();
  } else {
    std::this_thread::sleep_for(kPollInterval);
  }
}

uint8_t PollUntilSettled(const Session& session, const TransportEntries& net) {
  for (;;) {
    const uint8_t status = net.getRxStatus();
    if (status != net::kRxPending) return status;
    Pause(session);
  }
}

bool Arm(const TransportEntries& net, CommandBufferBytes& buffer, uint32_t armTime) {
  return net.recData(buffer.data(), static_cast<uint16_t>(kCommandBufferSize), kFrameType, armTime) == 0;
}

// Moves a complete answer from the receive buffer into the command buffer,
// over the request, as far as the transport says it reaches.
void TakeAnswer(const TransportEntries& net, Session& session) {
  std::size_t length = kCommandBufferSize;
  if (net.getRxLength != nullptr) {
    length = std::min<std::size_t>(net.getRxLength(), kCommandBufferSize);
    session.answerLength = static_cast<uint16_t>(length);
  }
  std::memcpy(session.buffer.data(), session.received.data(), length);
}

// The byte 0 of an answer that echoes command.
uint8_t EchoOf(Command command) {
  return command == Command::FirmwareGeneration ? kCurrentFirmwareMarker : Code(command);
}

// An answer of the request before, which the module sent again (it ran a
// repeated block twice) or sent late: its byte 0 echoes that request and
// not this one. A module's error byte never counts, as only an echo is
// remembered.
bool IsStray(const TransportEntries& net, const Session& session, Command command) {
  if (!session.lastEcho || *session.lastEcho == EchoOf(command)) return false;
  if (net.getRxLength != nullptr && net.getRxLength() == 0) return false;
  return session.received.Byte(0) == *session.lastEcho;
}

// Strays dropped at most in one exchange; a module that sends more has its
// next frame judged.
constexpr uint32_t kMostStrayAnswers = 4;

// "05 Program", for the trace.
std::string Named(Command command) {
  char text[40];
  const char* name = CommandName(Code(command));
  std::snprintf(text, sizeof text, "%02X %s", Code(command), name != nullptr ? name : "?");
  return text;
}

}  // namespace

ExchangeEnd Exchange(Session& session, const Request& request, const std::function<void()>& afterSend) {
  session.answerLength.reset();
  session.lineFailure = false;
  const TransportEntries net = session.transport.Entries();
  if (!net.Complete()) return ExchangeEnd::NoTransport;
  const WaitProfile profile = ProfileOf(request.command);

  // The answer is received apart from the request, so the bytes sent are
  // always the request that was built.
  if (!Arm(net, session.received, profile.armTime)) return ExchangeEnd::ArmFailed;
  if (const uint8_t sent = net.sendData(session.buffer.data(), request.length, kFrameType, kUnusedArgument);
      sent != 0) {
    if (trace::Enabled()) trace::Line("cmd %s not sent: transport result %u", Named(request.command).c_str(), sent);
    session.lineFailure = true;
    return ExchangeEnd::SendFailed;
  }
  if (afterSend) afterSend();

  uint8_t status = 0;
  uint32_t strays = 0;
  for (uint32_t waits = 0;;) {
    net.restartRxTimeOut(profile.wait);
    status = PollUntilSettled(session, net);
    if (status == net::kRxComplete && strays < kMostStrayAnswers && IsStray(net, session, request.command)) {
      // Waited for again, as if it had never come.
      if (trace::Enabled()) {
        trace::Line("cmd answer %02X dropped while %s waits: it echoes the request before", *session.lastEcho,
                    Named(request.command).c_str());
      }
      ++strays;
      if (!Arm(net, session.received, profile.armTime)) return ExchangeEnd::RearmFailed;
      continue;
    }
    if (profile.restartAfterWait != 0) net.restartRxTimeOut(profile.restartAfterWait);
    if (status == net::kRxRestart) {
      if (trace::Enabled()) trace::Line("cmd %s: receive armed again (status 251)", Named(request.command).c_str());
      if (!Arm(net, session.received, profile.rearmTime)) return ExchangeEnd::RearmFailed;
      net.restartRxTimeOut(profile.rearmTime);
    }
    ++waits;
    if (status != net::kRxRestart || waits >= profile.maxWaits) break;
  }
  if (status != net::kRxComplete) {
    if (trace::Enabled()) {
      trace::Line("cmd no answer to %s: transport status %u", Named(request.command).c_str(), status);
    }
    // Its answer may still come, late: then it is a stray.
    session.lastEcho = EchoOf(request.command);
    session.lineFailure = true;
    return ExchangeEnd::NoAnswer;
  }
  TakeAnswer(net, session);
  const uint8_t byte0 = answer::Echo(session.buffer);
  session.lastEcho = byte0 == EchoOf(request.command) ? std::optional<uint8_t>(byte0) : std::nullopt;
  return ExchangeEnd::Answered;
}

ExchangeEnd ExchangeOrLateAnswer(Session& session, const Request& request, const std::function<void()>& afterSend) {
  const ExchangeEnd end = Exchange(session, request, afterSend);
  if (end != ExchangeEnd::SendFailed && end != ExchangeEnd::NoAnswer) return end;
  const TransportEntries net = session.transport.Entries();
  if (!Arm(net, session.received, kLateAnswerMs)) return end;
  net.restartRxTimeOut(kLateAnswerMs);
  if (PollUntilSettled(session, net) != net::kRxComplete || session.received.Byte(0) != EchoOf(request.command)) {
    if (trace::Enabled()) trace::Line("cmd no late answer to %s", Named(request.command).c_str());
    return end;
  }
  if (trace::Enabled()) trace::Line("cmd %s answered late, after a line failure", Named(request.command).c_str());
  TakeAnswer(net, session);
  session.lastEcho = EchoOf(request.command);
  session.lineFailure = false;
  return ExchangeEnd::Answered;
}

bool AnswerCarries(const Session& session, std::size_t bytes) {
  const std::optional<uint16_t> length = session.answerLength;
  return !length || *length >= bytes;
}

namespace {

// What the transport says of a failed exchange; none when it cannot tell.
uint8_t LineFault(const Session& session) {
  const TransportEntries net = session.transport.Entries();
  return net.getLineFault != nullptr ? net.getLineFault() : uint8_t{net::kLineFaultNone};
}

}  // namespace

ResultCode ExchangeFailure(const Session& session, ExchangeEnd end) {
  switch (end) {
    case ExchangeEnd::Answered: return kOk;
    case ExchangeEnd::SendFailed:
      switch (LineFault(session)) {
        case net::kLineFaultNoReply: return kNoAnswer;
        case net::kLineFaultRefused: return kBlocksRefused;
        default: return kSendFailed;
      }
    case ExchangeEnd::NoTransport: return kNetDllError;
    case ExchangeEnd::NoAnswer:
      // The answer's blocks were refused at their check character: nothing
      // timed out.
      return LineFault(session) == net::kLineFaultBadCheck ? ResultCode{kReceiveChecksum} : ResultCode{kReceiveTimeout};
    case ExchangeEnd::ArmFailed:
    case ExchangeEnd::RearmFailed: return kReceiveTimeout;
  }
  return kReceiveTimeout;
}

bool IsLineFailure(const Session& session, ResultCode code) { return code != kOk && session.lineFailure; }

bool LineRepeats::Again(ResultCode code) {
  if (!IsLineFailure(*session_, code) || repeats_ == kLineRepeats) return false;
  if (code == kReceiveTimeout) {
    if (timedOut_) return false;
    timedOut_ = true;
  }
  ++repeats_;
  return true;
}

ResultCode RunRepeatable(Session& session, const std::function<Request()>& build, const char* stage) {
  LineRepeats repeats(session);
  for (;;) {
    const ResultCode rc = RunWithLateAnswer(session, build());
    if (!repeats.Again(rc)) {
      if (repeats.Count() > 0 && rc != kOk && trace::Enabled()) {
        trace::Line("cmd %s given up after %u repeats: result %u", stage, repeats.Count(), static_cast<unsigned>(rc));
      }
      return rc;
    }
    if (trace::Enabled()) {
      trace::Line("cmd %s asked again after result %u, repeat %u", stage, static_cast<unsigned>(rc), repeats.Count());
    }
  }
}

namespace {

// A module byte returned as the result must never read as "worker still
// running": a worker ending with 192 would be polled for ever.
ResultCode ModuleByteAsResult(uint8_t byte) {
  return byte == kWorkerRunning ? ResultCode{kUnknownCode} : ResultCode{byte};
}

// An answer whose echo byte is wrong and whose value is to be returned as
// the result must never read as success: a stray 0x00 there is a mismatch.
ResultCode EchoByteAsResult(uint8_t byte0) { return byte0 == 0 ? ResultCode{kSendFailed} : ModuleByteAsResult(byte0); }

}  // namespace

ResultCode JudgeAnswer(Session& session, Command command) {
  const CommandBufferBytes& buffer = session.buffer;
  const uint8_t byte0 = answer::Echo(buffer);
  const uint8_t status = answer::Status(buffer);
  const bool echoed = byte0 == Code(command);
  const CommandRow& row = RowOf(command);
  // Bytes an answer does not carry are left over from earlier frames: no
  // field may be read from them.
  const bool fieldsUsed =
      echoed || row.judgement == Judgement::NotExamined || row.judgement == Judgement::FirmwareMarker;
  if (!AnswerCarries(session, fieldsUsed ? row.answerBytes : std::min<uint16_t>(row.answerBytes, 1))) {
    session.lineFailure = true;
    return kShortAnswer;
  }
  switch (row.judgement) {
    case Judgement::NotExamined: return kOk;
    case Judgement::ListHead:
      if (!echoed) return kReceiveTimeout;
      return status == kNoFlashLibrarySelected ? ResultCode{kNoFlashLibrarySelected} : ResultCode{kOk};
    case Judgement::EchoOrSendFailed: return echoed ? kOk : kSendFailed;
    case Judgement::ModuleStatus: return echoed ? ModuleByteAsResult(status) : EchoByteAsResult(byte0);
    case Judgement::NextModuleStatus: return echoed ? ModuleByteAsResult(status) : ResultCode{kReceiveTimeout};
    case Judgement::FirmwareMarker: return byte0 == kCurrentFirmwareMarker ? kOk : kOldFirmware;
    case Judgement::Continuation: return echoed ? kOk : kReceiveTimeout;
  }
  return kReceiveTimeout;
}

namespace {

ResultCode Judged(Session& session, const Request& request, ExchangeEnd end) {
  if (end != ExchangeEnd::Answered) return ExchangeFailure(session, end);
  const ResultCode rc = JudgeAnswer(session, request.command);
  if (rc != kOk && trace::Enabled()) {
    trace::Line("cmd answer to %s refused: result %u", Named(request.command).c_str(), static_cast<unsigned>(rc));
  }
  return rc;
}

}  // namespace

ResultCode RunTransaction(Session& session, const Request& request) {
  return Judged(session, request, Exchange(session, request));
}

ResultCode RunWithLateAnswer(Session& session, const Request& request) {
  return Judged(session, request, ExchangeOrLateAnswer(session, request));
}

}  // namespace zk::cmd
