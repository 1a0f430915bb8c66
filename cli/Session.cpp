#include "cli/Session.h"

#include "cli/Cancel.h"
#include "cli/ModuleTree.h"
#include "client/ImageType.h"
#include "client/ModuleConnect.h"
#include "platform/AsciiText.h"
#include "platform/ComPort.h"
#include "platform/Ini.h"

#include <cstdlib>
#include <ctime>
#include <fstream>

namespace zk::cli {
namespace {

constexpr std::size_t kKeyBuffer = 100;

// The waiting loop's face: no events of its own, Ctrl-C as the stop
// request, the progress of the running phase in bytes.
class CliWaitUi : public WaitUi {
 public:
  CliWaitUi(Reporter& reporter, uint64_t bytes) : reporter_(reporter), bytes_(bytes) {}
  bool PumpOneEvent(EventFilter) override { return false; }
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

bool IsHexPath(std::string_view path) {
  const std::optional<std::string_view> extension = client::ExtensionOf(path);
  if (!extension || extension->find('/') != std::string_view::npos) return false;
  return client::ImageTypeOfExtension(*extension) == client::ImageType::kHex;
}

Session::Session(const Options& options, Reporter& reporter) : options_(options), reporter_(reporter) {}

Session::~Session() { Disconnect(); }

ExitCode Session::OverridePort() {
  // The port of the module's protocol section, pointed at the given device
  // through this process's environment: nothing on disk changes.
  const std::string section = ini::GetString(modulePath_, "General", "ProtocolToUse", "", kKeyBuffer);
  const std::string name = ini::GetString(modulePath_, section, "COM", "", kKeyBuffer);
  const std::optional<unsigned> n = com::ParsePortName(text::TrimBlanks(name));
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
  setenv(("ZELKOR_COM" + std::to_string(*n)).c_str(), port_.c_str(), 1);
  reporter_.Detail(name + " is " + port_ + " for this run");
  return ExitCode::kDone;
}

ExitCode Session::Connect() {
  const std::optional<std::string> dir = ResolveModule(options_.module);
  if (!dir) {
    reporter_.Error("no module " + options_.module + " (see zelkor modules)");
    return ExitCode::kUsage;
  }
  moduleDir_ = *dir;
  modulePath_ = ModuleDescriptionPath(moduleDir_);
  if (const ExitCode code = OverridePort(); code != ExitCode::kDone) return code;
  reporter_.BeginPhase("connect", 0);
  const ConnectOutcome outcome =
      ConnectModule(dm_, moduleDir_, kExternalAmd, [this](ResultCode started) { return Wait(started, 0); });
  reporter_.EndPhase(outcome.step == ConnectStep::kConnected);
  switch (outcome.step) {
    case ConnectStep::kConnected:
      connected_ = true;
      return ExitCode::kDone;
    case ConnectStep::kLibraryName:
      lastError_ = "connect: " + outcome.refusal;
      reporter_.Error(lastError_);
      return ExitCode::kFailed;
    case ConnectStep::kLoad:
      return Fail("connect: loading the data manager", kDmDllNotLoaded);
    case ConnectStep::kLogin:
      // A stopped login may have left a connection half made; a failed one
      // made none.
      if (outcome.login.end == WaitEnd::kStopped) {
        connected_ = true;
        return Fail("connect", kOk);
      }
      return Fail("connect: login on " + port_, outcome.login.status);
    case ConnectStep::kOldFirmware:
      connected_ = true;
      return Fail("connect", kOldFirmware);
    case ConnectStep::kNoFlashLibrary:
      return Fail("connect: no flash library found on the module", kNoFlashLibrary);
  }
  return ExitCode::kFailed;
}

void Session::Remember(std::string text) { lastError_ = std::move(text); }

ExitCode Session::SendPassword() {
  std::string password;
  if (!options_.passwordFile.empty()) {
    std::ifstream probe(options_.passwordFile);
    if (!probe) {
      reporter_.Error("cannot read the password file " + options_.passwordFile);
      return ExitCode::kUsage;
    }
    password = ReadPassword(options_.passwordFile);
  } else if (const char* env = std::getenv("ZELKOR_PASSWORD")) {
    password = env;
  } else {
    reporter_.Error("the module's password is needed: --password-file F or ZELKOR_PASSWORD");
    return ExitCode::kUsage;
  }
  PasswordBlock block{static_cast<uint32_t>(password.size()), reinterpret_cast<const uint8_t*>(password.data())};
  if (const ResultCode code = dm_.SendPassword(&block); code != kOk) return Fail("password", code);
  return ExitCode::kDone;
}

WaitOutcome Session::Wait(ResultCode started, uint64_t bytes) {
  if (started != kOk) return {WaitEnd::kEnded, started};
  CliWaitUi ui(reporter_, bytes);
  WaitOptions options;
  options.showProgress = bytes != 0;
  options.cancellable = true;
  return WaitForWorker(dm_, ui, options);
}

ExitCode Session::Fail(std::string_view operation, ResultCode code) {
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

ExitCode Session::Check(std::string_view operation, const WaitOutcome& outcome) {
  if (outcome.end == WaitEnd::kStopped || CancelRequested()) return Fail(operation, outcome.status);
  return outcome.status == kOk ? ExitCode::kDone : Fail(operation, outcome.status);
}

void Session::Disconnect() {
  if (!connected_) return;
  connected_ = false;
  reporter_.BeginPhase("disconnect", 0);
  ExitRequest request = options_.disconnect;
  dm_.ExitZelkor(&request);
  reporter_.EndPhase(true);
}

}  // namespace zk::cli

namespace zk::cli {

int Session::Finish(ExitCode code, const std::function<void(JsonObject&)>& fields) {
  Disconnect();
  if (reporter_.Json()) {
    JsonObject summary;
    summary.Add("event", "summary").Add("module", options_.module).Add("port", port_);
    if (fields) fields(summary);
    summary.AddRaw("phases", reporter_.PhasesJson())
        .Add("result", static_cast<int64_t>(Code(code)))
        .Add("text", code == ExitCode::kDone ? std::string("done") : lastError_);
    reporter_.Event(summary);
  }
  return Code(code);
}

}  // namespace zk::cli
