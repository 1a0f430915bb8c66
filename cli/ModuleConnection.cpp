#include "cli/ModuleConnection.h"

#include "cli/Cancel.h"
#include "cli/ModuleTree.h"
#include "cli/StandardStreams.h"
#include "client/ImageType.h"
#include "client/PortListing.h"
#include "common/IniFileAccess.h"
#include "platform/AsciiText.h"
#include "platform/ComPort.h"
#include "platform/Environment.h"
#include "platform/Ini.h"

#include <cstdlib>
#include <ctime>
#include <fstream>

namespace zk::cli {
namespace {

constexpr std::size_t kKeyBuffer = 100;

// The waiting loop's face: no events of its own, Ctrl-C as the stop
// request, the progress of the running phase in bytes.
class CliWaitUi : public client::WaitUi {
 public:
  CliWaitUi(Reporter& reporter, uint64_t bytes) : reporter_(reporter), bytes_(bytes) {}
  bool PumpOneEvent(client::EventFilter) override { return false; }
  bool TakeStopRequest() override { return CancelRequested(); }
  void WaitForEvent(uint32_t milliseconds) override {
    const timespec pause{0, static_cast<long>(milliseconds) * 1000000L};
    nanosleep(&pause, nullptr);
  }
  void ShowProgress(uint32_t percent) override { reporter_.Progress(bytes_ * percent / 100); }
  void ShowStopRefused(std::string_view text) override { reporter_.Detail(text); }

 private:
  Reporter& reporter_;
  const uint64_t bytes_;
};

std::string ReadPassword(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

client::WaitOutcome ModuleConnection::Face::Wait(client::FlowPhase, ResultCode started) {
  if (started != kOk || dm_ == nullptr) return {client::WaitEnd::kEnded, started};
  CliWaitUi ui(reporter_, total_);
  client::WaitOptions options;
  options.showProgress = total_ != 0;
  options.cancellable = true;
  return client::WaitForWorker(*dm_, ui, options);
}

std::optional<std::size_t> ModuleConnection::Face::ChooseFlashLib(int, std::span<const FlashLibInfo> found) {
  return client::ChooseExternalFlash(found, client::kExternalAmd);
}

void ModuleConnection::Face::PhaseStarted(client::FlowPhase phase, uint64_t total) {
  total_ = total;
  reporter_.BeginPhase(client::PhaseName(phase), total);
}

void ModuleConnection::Face::Erasing(const client::BankRange& range) {
  reporter_.Detail("erasing " + client::RangeText(range.start, range.end));
}

bool ModuleConnection::Face::StopRequested() { return CancelRequested(); }

ModuleConnection::ModuleConnection(const Options& options, Reporter& reporter)
    : options_(options), reporter_(reporter), face_(reporter) {
  face_.SetDm(&dm_);
}

ModuleConnection::~ModuleConnection() { Disconnect(); }

ExitCode ModuleConnection::OverridePort() {
  // The port of the module's protocol section, pointed at the given device
  // through this process's environment: nothing on disk changes.
  const std::string name = client::ModulePortName(modulePath_);
  const std::optional<unsigned> n = com::ParsePortName(name);
  if (options_.ports.empty()) {
    const std::optional<std::string> device = n ? com::DevicePath(*n) : std::nullopt;
    port_ = name + (device ? " -> " + *device : "");
    return ExitCode::kDone;
  }
  if (!n) {
    reporter_.Error("the module description names no COM port to point at " + options_.ports.front());
    return ExitCode::kUsage;
  }
  port_ = options_.ports.front();
  SetEnvironmentValue("ZELKOR_COM" + std::to_string(*n), port_);
  reporter_.Detail(name + " is " + port_ + " for this run");
  return ExitCode::kDone;
}

std::string ModuleConnection::SilenceHint(ResultCode code) const {
  // A module that says nothing: what to look at before trying again.
  const ResultCode low = code & 0xFF;
  if (low != kNoAnswer && low != kReceiveTimeout && low != kBootLoaderNotActive && low != kBootFileNotSent) return "";
  const std::string section = ini::GetString(modulePath_, "General", "ProtocolToUse", "RS232", kKeyBuffer);
  const std::string rate = ini::GetString(modulePath_, section, "Baud", "", kKeyBuffer);
  const bool autoBoot = IniFileAccess(modulePath_).AutoBoot() != 0;
  return std::string(" (") + (rate.empty() ? "" : "at " + rate + " baud; ") + "is the module powered and on this port" +
         (autoBoot ? ", its reset and boot lines wired to DTR and RTS" : ", and was it reset into its boot loader") +
         "? zelkor -vv shows the wire)";
}

ExitCode ModuleConnection::ResolveModuleDir() {
  if (!moduleDir_.empty()) return ExitCode::kDone;
  const std::optional<std::string> dir = ResolveModule(options_.module);
  if (!dir) {
    reporter_.Error("no module " + options_.module + " (see zelkor modules)");
    return ExitCode::kUsage;
  }
  moduleDir_ = *dir;
  modulePath_ = client::ModuleDescriptionPath(moduleDir_);
  return ExitCode::kDone;
}

ExitCode ModuleConnection::LoadDataManager() {
  if (const ExitCode code = ResolveModuleDir(); code != ExitCode::kDone) return code;
  return ConnectEnd(flow_.LoadDataManager(moduleDir_));
}

ExitCode ModuleConnection::Connect() {
  if (const ExitCode code = ResolveModuleDir(); code != ExitCode::kDone) return code;
  if (const ExitCode code = OverridePort(); code != ExitCode::kDone) return code;
  const client::ConnectOutcome outcome = flow_.Connect(moduleDir_);
  if (outcome.Connected()) connected_ = true;
  return ConnectEnd(outcome);
}

// kDone for a connected outcome, otherwise its failure's message and code.
ExitCode ModuleConnection::ConnectEnd(const client::ConnectOutcome& outcome) {
  switch (outcome.step) {
    case client::ConnectStep::kConnected: return ExitCode::kDone;
    case client::ConnectStep::kLibraryName:
      lastError_ = "connect: " + outcome.refusal;
      reporter_.Error(lastError_);
      return ExitCode::kFailed;
    case client::ConnectStep::kLoad: return Fail("connect: loading the data manager", kDmDllNotLoaded);
    case client::ConnectStep::kLogin:
      if (outcome.login.end == client::WaitEnd::kStopped) return Fail("connect", kOk);
      return Fail("connect: login on " + port_ + SilenceHint(outcome.login.status), outcome.login.status);
    case client::ConnectStep::kOldFirmware: return Fail("connect", kOldFirmware);
    case client::ConnectStep::kNoFlashLibrary:
    case client::ConnectStep::kSelectFailed:
      return Fail("connect: no flash library found for bank " + std::to_string(outcome.bank), kNoFlashLibrary);
  }
  return ExitCode::kFailed;
}

void ModuleConnection::Remember(std::string text) { lastError_ = std::move(text); }

ExitCode ModuleConnection::LoadPassword() {
  if (password_) return ExitCode::kDone;
  if (!options_.passwordFile.empty()) {
    std::ifstream probe(options_.passwordFile);
    if (!probe) {
      return Refuse(ExitCode::kUsage, "cannot read the password file " + options_.passwordFile + ": " +
                                          ReadFailure(options_.passwordFile));
    }
    password_ = ReadPassword(options_.passwordFile);
  } else if (const char* env = std::getenv("ZELKOR_PASSWORD")) {
    password_ = env;
  } else {
    return Refuse(ExitCode::kUsage, "the module's password is needed: --password-file F or ZELKOR_PASSWORD");
  }
  return ExitCode::kDone;
}

ExitCode ModuleConnection::SendPassword() {
  if (const ExitCode code = LoadPassword(); code != ExitCode::kDone) return code;
  PasswordBlock block{static_cast<uint32_t>(password_->size()), reinterpret_cast<const uint8_t*>(password_->data())};
  if (const ResultCode code = dm_.SendPassword(&block); code != kOk) return Fail("password", code);
  return ExitCode::kDone;
}

ExitCode ModuleConnection::Fail(std::string_view operation, ResultCode code) {
  if (CancelRequested()) {
    lastError_ = std::string(operation) + ": cancelled";
    reporter_.Error(lastError_);
    return ExitCode::kCancelled;
  }
  const std::string portMessage = messages_.PortMessage();
  const bool portFailed = (code == kComPortOpen || code == kComPortInit) && !portMessage.empty();
  lastError_ = std::string(operation) + ": " + (portFailed ? portMessage : ResultMessage(code));
  reporter_.Error(lastError_);
  return ExitCode::kFailed;
}

ExitCode ModuleConnection::Refuse(ExitCode code, std::string text) {
  reporter_.Error(text);
  lastError_ = std::move(text);
  return code;
}

ExitCode ModuleConnection::Check(const client::FlowResult& result) {
  switch (result.end) {
    case client::FlowEnd::kDone: return CancelRequested() ? Fail(result.what, kOk) : ExitCode::kDone;
    case client::FlowEnd::kStopped: return Fail(result.what.empty() ? "stopped" : result.what, kOk);
    case client::FlowEnd::kRefused:
      return Refuse(ExitCode::kUsage, (result.what.empty() ? "" : result.what + ": ") + result.refusal);
    case client::FlowEnd::kCallFailed:
    case client::FlowEnd::kWorkerFailed: return Fail(result.what, result.code);
  }
  return ExitCode::kFailed;
}

void ModuleConnection::Disconnect() {
  if (!connected_) return;
  connected_ = false;
  flow_.Disconnect(options_.disconnect);
}

}  // namespace zk::cli

namespace zk::cli {

int ModuleConnection::Finish(ExitCode code, const std::function<void(JsonObject&)>& fields) {
  Disconnect();
  if (reporter_.Json()) {
    JsonObject summary;
    // A run that ended before its port was resolved names the port it was given.
    const std::string port = !port_.empty() ? port_ : !options_.ports.empty() ? options_.ports.front() : "none";
    summary.Add("event", "summary").Add("module", options_.module).Add("port", port);
    if (fields) fields(summary);
    summary.AddRaw("phases", reporter_.PhasesJson())
        .Add("result", static_cast<int64_t>(Code(code)))
        .Add("text", code == ExitCode::kDone ? std::string("done") : lastError_);
    reporter_.Event(summary);
  }
  return Code(code);
}

}  // namespace zk::cli
