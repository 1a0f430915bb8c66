#include "cmd/TransportBinding.h"

namespace zk::cmd {

void TransportBinding::Bind(LibraryHandle library) {
  Release();
  library_ = library;
}

void TransportBinding::Release() {
  sendData_ = nullptr;
  recData_ = nullptr;
  restartRxTimeOut_ = nullptr;
  getRxStatus_ = nullptr;
  getRxLength_ = nullptr;
  getLineFault_ = nullptr;
  if (LibraryHandle library = library_.exchange(nullptr)) FreeLibrary(library);
}

bool TransportBinding::ResolveEntries() {
  sendData_ = Lookup<net::SendDataFn>("NetSendData");
  recData_ = Lookup<net::RecDataFn>("NetRecData");
  restartRxTimeOut_ = Lookup<net::RestartRxTimeOutFn>("NetRestartRxTimeOut");
  getRxStatus_ = Lookup<net::GetRxStatusFn>("NetGetRxStatus");
  getRxLength_ = Lookup<net::GetRxLengthFn>("NetGetRxLength");
  getLineFault_ = Lookup<net::GetLineFaultFn>("NetGetLineFault");
  return Entries().Complete();
}

TransportEntries TransportBinding::Entries() const {
  return TransportEntries{sendData_.load(),    recData_.load(),     restartRxTimeOut_.load(),
                          getRxStatus_.load(), getRxLength_.load(), getLineFault_.load()};
}

}  // namespace zk::cmd
