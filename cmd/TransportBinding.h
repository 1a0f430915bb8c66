#pragma once
// The transport library bound at login and the four entry points every
// transaction uses. Written by the login worker, read by the operations that
// follow it (callers serialise them).
#include "common/NetApi.h"
#include "platform/Library.h"

#include <atomic>

namespace zk::cmd {

struct TransportEntries {
  net::SendDataFn sendData = nullptr;
  net::RecDataFn recData = nullptr;
  net::RestartRxTimeOutFn restartRxTimeOut = nullptr;
  net::GetRxStatusFn getRxStatus = nullptr;
  net::GetRxLengthFn getRxLength = nullptr;    // optional
  net::GetLineFaultFn getLineFault = nullptr;  // optional

  bool Complete() const { return sendData && recData && restartRxTimeOut && getRxStatus; }
};

class TransportBinding {
 public:
  // Takes ownership of library (releasing one bound before).
  void Bind(LibraryHandle library);
  // Releases the library and forgets every entry point.
  void Release();

  bool Bound() const { return library_.load() != nullptr; }

  // Looks up one entry point of the bound library by name.
  template <typename Fn>
  Fn Lookup(const char* name) const {
    LibraryHandle library = library_.load();
    return library ? reinterpret_cast<Fn>(GetProcAddress(library, name)) : nullptr;
  }

  // Resolves the four transaction entry points, and the optional length of
  // a received block and cause of a line failure; false when one of the
  // four is missing.
  bool ResolveEntries();
  TransportEntries Entries() const;

 private:
  std::atomic<LibraryHandle> library_{nullptr};
  std::atomic<net::SendDataFn> sendData_{nullptr};
  std::atomic<net::RecDataFn> recData_{nullptr};
  std::atomic<net::RestartRxTimeOutFn> restartRxTimeOut_{nullptr};
  std::atomic<net::GetRxStatusFn> getRxStatus_{nullptr};
  std::atomic<net::GetRxLengthFn> getRxLength_{nullptr};
  std::atomic<net::GetLineFaultFn> getLineFault_{nullptr};
};

}  // namespace zk::cmd
