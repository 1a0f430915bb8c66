#pragma once
// The command layer library of the build, bound by name as the data manager
// binds it, with the entry points the benchmarks drive.
#include "common/CmmApi.h"
#include "platform/Library.h"
#include "platform/NonCopyable.h"

#include <cstdint>
#include <string>

namespace zk::bench {

class CommandLibrary : private NonCopyable {
 public:
  CommandLibrary();  // loads <bin>/KORCmd.dll; Bound() tells whether all was found
  ~CommandLibrary();

  bool Bound() const { return bound_; }
  const std::string& Error() const { return error_; }

  // Waits for the current worker and returns its status; polls finely so
  // that the poll adds next to nothing to a measured time.
  uint32_t WaitWorker() const;
  // Starts the login and waits for its worker.
  uint32_t Login(const std::string& modulePath) const;
  uint32_t Exit() const;
  // Password, then the first flash library of the bank at flashStart.
  uint32_t Unlock(const std::string& password, uint32_t flashStart) const;

  cmm::LoginFn login = nullptr;
  cmm::ExitZelkorFn exit = nullptr;
  cmm::GetCurrentThreadStatusFn status = nullptr;
  cmm::SendPasswordFn sendPassword = nullptr;
  cmm::FindFlashLibFn findFlashLib = nullptr;
  cmm::SelectFlashLibFn selectFlashLib = nullptr;
  cmm::ReadFlashFn readFlash = nullptr;
  cmm::ProgFlashFn progFlash = nullptr;
  cmm::ReadFlashOnceFn readFlashOnce = nullptr;

 private:
  template <typename Fn>
  void Resolve(Fn& fn, const char* name);

  LibraryHandle library_ = nullptr;
  bool bound_ = false;
  std::string error_;
};

}  // namespace zk::bench
