#include "bench/CommandLibrary.h"

#include "common/ResultCodes.h"
#include "tests/e2e/ModSimProcess.h"

#include <chrono>
#include <thread>

namespace zk::bench {
namespace {

constexpr auto kStatusPoll = std::chrono::microseconds(50);

}  // namespace

template <typename Fn>
void CommandLibrary::Resolve(Fn& fn, const char* name) {
  fn = reinterpret_cast<Fn>(GetProcAddress(library_, name));
  if (fn == nullptr) {
    bound_ = false;
    error_ += std::string(error_.empty() ? "" : ", ") + name + " missing";
  }
}

CommandLibrary::CommandLibrary() : library_(LoadLibrary(e2e::BinDir() + "/KORCmd.dll")) {
  if (library_ == nullptr) {
    error_ = LastLibraryError();
    return;
  }
  bound_ = true;
  Resolve(login, "CmmLogin");
  Resolve(exit, "CmmExitZelkor");
  Resolve(status, "CmmGetCurrentThreadStatus");
  Resolve(sendPassword, "CmmSendPassword");
  Resolve(findFlashLib, "CmmFindFlashLib");
  Resolve(selectFlashLib, "CmmSelectFlashLib");
  Resolve(readFlash, "CmmReadFlash");
  Resolve(progFlash, "CmmProgFlash");
  Resolve(readFlashOnce, "CmmReadFlashOnce");
}

CommandLibrary::~CommandLibrary() {
  if (library_ == nullptr) return;
  if (exit != nullptr) Exit();
  FreeLibrary(library_);
}

uint32_t CommandLibrary::WaitWorker() const {
  uint32_t s;
  while ((s = status()) == kWorkerRunning) std::this_thread::sleep_for(kStatusPoll);
  return s;
}

uint32_t CommandLibrary::Login(const std::string& modulePath) const {
  LoginInfo info{};
  if (const uint32_t rc = login(modulePath.c_str(), &info, nullptr); rc != 0) return rc;
  return WaitWorker();
}

uint32_t CommandLibrary::Exit() const {
  ExitRequest request{0, 0};
  return exit(&request);
}

uint32_t CommandLibrary::Unlock(const std::string& password, uint32_t flashStart) const {
  PasswordBlock block{static_cast<uint32_t>(password.size()), reinterpret_cast<const uint8_t*>(password.data())};
  if (const uint32_t rc = sendPassword(&block); rc != 0) return rc;
  FlashLibRequest request{0, flashStart};
  FlashLibInfo info{};
  if (const uint32_t rc = findFlashLib(&request, &info); rc != 0) return rc;
  FlashLibSelection selection{{static_cast<uint8_t>(info.words[0]), static_cast<uint8_t>(info.words[0] >> 8),
                               static_cast<uint8_t>(info.words[3])}};
  return selectFlashLib(&selection);
}

}  // namespace zk::bench
