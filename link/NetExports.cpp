// The Net* entry points of the library.
#include "common/Export.h"
#include "common/NetApi.h"
#include "link/NetTransport.h"
#include "link/PluginDialog.h"
#include "link/PortSelection.h"
#include "link/ProcessLink.h"
#include "platform/Files.h"
#include "platform/Library.h"
#include "platform/SerialPort.h"

namespace {

// The port selection and the transport of the process. A host that ends (or
// unloads the library) while the link is still open must not leave the link
// thread calling into a transport that is gone: the link is shut down before
// the transport goes.
class ProcessTransport {
 public:
  ProcessTransport() : ports_(&zk::com::PortAvailable), transport_(zk::link::ProcessLink(), services_, ports_) {}
  ~ProcessTransport() { transport_.ShutDown(zk::net::kShutDownValue); }
  zk::link::PortSelection& Ports() { return ports_; }
  zk::link::NetTransport& Transport() { return transport_; }

 private:
  zk::link::SystemNetServices services_;
  zk::link::PortSelection ports_;
  zk::link::NetTransport transport_;
};

ProcessTransport& Process() {
  static ProcessTransport process;
  return process;
}

zk::link::PortSelection& Ports() { return Process().Ports(); }
zk::link::NetTransport& Transport() { return Process().Transport(); }

// The folder of this library, where its dialog plugin lies.
std::string OwnFolder() { return zk::files::DirName(zk::ModuleFileName(reinterpret_cast<const void*>(&Process))); }

}  // namespace

ZK_EXPORT uint8_t NetSelectParams(const char* iniFile, const char* section) {
  return Ports().SelectParams(iniFile, section);
}

ZK_EXPORT uint8_t NetSelectProperty(const char* iniFile, const char* section) {
  zk::link::PluginSettingsDialog dialog(OwnFolder());
  return Ports().SelectProperty(iniFile, section, &dialog);
}

ZK_EXPORT uint8_t NetSelectNode(const char* iniFile, const char*) { return Ports().SelectNode(iniFile); }

ZK_EXPORT uint8_t NetInitialize(uint8_t mode, zk::net::NetInfo** infoOut) {
  return Transport().Initialize(mode, infoOut);
}

ZK_EXPORT uint8_t NetShutDown(uint8_t value) { return Transport().ShutDown(value); }

ZK_EXPORT uint8_t NetSendData(const uint8_t* data, uint16_t length, uint8_t type, uint32_t) {
  return Transport().SendData(data, length, type);
}

ZK_EXPORT uint8_t NetRecData(uint8_t* buffer, uint16_t capacity, uint8_t type, uint32_t timeoutMs) {
  return Transport().RecData(buffer, capacity, type, timeoutMs);
}

ZK_EXPORT uint8_t NetGetRxStatus() { return Transport().GetRxStatus(); }

ZK_EXPORT void NetRestartRxTimeOut(uint32_t timeoutMs) { Transport().RestartRxTimeOut(timeoutMs); }

ZK_EXPORT uint16_t NetGetRxLength() { return Transport().RxLength(); }

ZK_EXPORT uint32_t NetGetStrayFrames() { return Transport().StrayFrames(); }

ZK_EXPORT uint8_t NetGetLineFault() { return Transport().LineFault(); }
