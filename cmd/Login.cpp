// CmmLogin: binds the transport named by the module description, brings
// the boot loader up and logs in to the firmware.
#include "cmd/BootLoader.h"
#include "cmd/ModuleKeys.h"
#include "cmd/Progress.h"
#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "common/CmmApi.h"
#include "common/Export.h"
#include "common/IniFileAccess.h"
#include "platform/ComPort.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Library.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"

namespace zk::cmd {
namespace {

constexpr std::string_view kPatchKey = "SOFTWARE\\Korvane\\Zelkor\\Zelkor3";
constexpr std::string_view kPatchValue = "Win2KPatch";
constexpr uint32_t kAutoBaudRate = 19200;

// What the worker must undo when it ends early: the transport it bound and,
// once opened, the link.
class TransportGuard {
 public:
  explicit TransportGuard(TransportBinding& transport) : transport_(transport) {}
  ~TransportGuard() {
    if (keep_) return;
    if (initialized_) {
      if (auto shutDown = transport_.Lookup<net::ShutDownFn>("NetShutDown")) shutDown(net::kShutDownValue);
    }
    transport_.Release();
  }
  void Initialized() { initialized_ = true; }
  void Keep() { keep_ = true; }

 private:
  TransportBinding& transport_;
  bool initialized_ = false;
  bool keep_ = false;
};

LineSettings ReadLineSettings(const std::string& modulePath) {
  const IniFileAccess access(modulePath);
  LineSettings line;
  line.autoBoot = access.AutoBoot();
  if (line.autoBoot != 0) {
    line.releaseResetDelay = access.ReleaseResetDelay();
    line.releaseBootDelay = access.ReleaseBootDelay();
    line.resetInverted = access.ResetInverted();
    line.bootInverted = access.BootInverted();
  }
  return line;
}

std::string TransportPath(const std::string& dllName) {
  const std::string self = ModuleFileName(reinterpret_cast<const void*>(&CmmLogin));
  return files::Join(files::DirName(self), files::ToNative(dllName));
}

// Steps 6 and 7: the boot loader dialogue on the raw port.
ResultCode BringUpBootLoader(Session& session, const std::string& modulePath, const std::string& protocol) {
  const PortKeys port = ReadPortKeys(modulePath, kComBuffer);
  if (port.com.empty() || port.baud.empty()) return kInvalidFileFormat;
  const uint32_t baud = DecimalValue(port.baud);
  const int32_t download = ini::GetInt(modulePath, kBootSection, "Download", kDownloadAbsent);
  if (download == kDownloadAbsent) return kInvalidFileFormat;
  const uint32_t autoBaud = DecimalValue(ini::GetString(modulePath, protocol, "AutoBaudRadu", "", kAutoBaudBuffer));
  session.settings.autoBaud = autoBaud;

  BootRequest request;
  // A name that is not COM1..COM256 names no port: opening it fails.
  request.port = com::ParsePortName(port.com).value_or(0);
  request.baud = (autoBaud == 1 && (baud == 38400 || baud == 57600)) ? kAutoBaudRate : baud;
  request.line = ReadLineSettings(modulePath);
  request.retryOnFailure = reg::QueryDword(reg::Hive::CurrentUser, kPatchKey, kPatchValue) == 1u;
  request.autoBaud = autoBaud == 1;
  request.targetBaud = baud;

  OperationWorker& worker = session.worker;
  BootHooks hooks;
  hooks.setProgress = [&worker](uint32_t percent) { worker.SetProgress(percent); };
  hooks.addProgress = [&worker](uint32_t increment) { worker.SetProgress(worker.Progress() + increment); };
  hooks.timing = session.bootTiming;

  if (download != kDownloadBootFiles) return RunBaudHandshake(request, hooks);
  const std::string dir = files::DirName(files::ToNative(modulePath));
  const std::string bootFile = ini::GetString(modulePath, kBootSection, "BootFile", "", kBootFileBuffer);
  const std::string flashFile = ini::GetString(modulePath, kBootSection, "FlashFile", "", kBootFileBuffer);
  if (bootFile.empty() || flashFile.empty()) return kInvalidFileFormat;
  request.bootFile = files::Join(dir, files::ToNative(bootFile));
  request.flashFile = files::Join(dir, files::ToNative(flashFile));
  return RunBootDownload(request, hooks);
}

WorkerEnd LoginRoutine(Session& session, const std::string& modulePath, LoginInfo* loginInfo) {
  OperationWorker& worker = session.worker;
  TransportBinding& transport = session.transport;
  session.SetModulePath(modulePath);

  const std::string protocol = ini::GetString(modulePath, kGeneralSection, "ProtocolToUse", "", kProtocolBuffer);
  if (protocol.empty()) return WorkerEnd::Done(kInvalidFileFormat);
  const std::string dllName = ini::GetString(modulePath, protocol, "DllName", "", kDllNameBuffer);
  if (dllName.empty()) return WorkerEnd::Done(kInvalidFileFormat);
  if (!IsPlainLibraryName(dllName)) {
    MessageBox(LibraryNameRefusal(modulePath, "[" + protocol + "] DllName", dllName), "Login", MB_OK | MB_ICONERROR);
    return WorkerEnd::Done(kNetDllNotLoaded);
  }

  LibraryHandle library = LoadLibrary(TransportPath(dllName));
  if (library == nullptr) return WorkerEnd::Done(kNetDllNotLoaded);
  transport.Bind(library);
  TransportGuard guard(transport);

  if (StopRequested()) return WorkerEnd::Stopped();
  auto initialize = transport.Lookup<net::InitializeFn>("NetInitialize");
  if (initialize == nullptr) return WorkerEnd::Done(kNetDllError);
  if (StopRequested()) return WorkerEnd::Stopped();

  worker.SetProgress(progress::kTransportLoaded);
  auto selectParams = transport.Lookup<net::SelectParamsFn>("NetSelectParams");
  if (selectParams == nullptr) return WorkerEnd::Done(kNetDllError);

  if (ResultCode rc = BringUpBootLoader(session, modulePath, protocol); rc != kOk) return WorkerEnd::Done(rc);

  if (StopRequested()) return WorkerEnd::Stopped();
  worker.SetProgress(progress::kBootLoaderUp);
  const uint8_t accepted = selectParams(modulePath.c_str(), protocol.c_str());
  if (StopRequested()) return WorkerEnd::Stopped();
  worker.SetProgress(progress::kLineParamsSelected);
  if (accepted == 0) return WorkerEnd::Done(kFailed);

  initialize(net::kInitRaw, nullptr);
  guard.Initialized();
  if (StopRequested()) return WorkerEnd::Stopped();

  worker.SetProgress(progress::kLinkOpen);
  if (!transport.ResolveEntries()) return WorkerEnd::Done(kNetDllError);
  if (ResultCode rc = RunTransaction(session, request::CodeOnly(session.buffer, Command::Login)); rc != kOk) {
    return WorkerEnd::Done(rc);
  }

  if (loginInfo != nullptr) *loginInfo = answer::Login(session.buffer);
  if (StopRequested()) return WorkerEnd::Stopped();
  guard.Keep();
  return WorkerEnd::Done(kOk);
}

}  // namespace
}  // namespace zk::cmd

using namespace zk;

ZK_EXPORT uint32_t CmmLogin(const char* modulePath, LoginInfo* loginInfo, WorkerThreadInfo* threadInfo) {
  // Copied before the worker starts, so that the caller's string may go
  // away at once.
  std::string path = modulePath != nullptr ? modulePath : "";
  cmd::Session& session = cmd::CurrentSession();
  return session.worker.Start(
      [&session, path = std::move(path), loginInfo](ThreadId) { return cmd::LoginRoutine(session, path, loginInfo); },
      threadInfo);
}
