#include "tests/e2e/CommandLayer.h"

#include "platform/Threads.h"
#include "tests/e2e/ModSimProcess.h"

namespace zk::e2e {

CommandLayer::CommandLayer() : library(LoadLibrary(BinDir() + "/KORCmd.dll")) {
  EXPECT_NE(library, nullptr) << LastLibraryError();
  login = Get<cmm::LoginFn>("CmmLogin");
  exit = Get<cmm::ExitZelkorFn>("CmmExitZelkor");
  status = Get<cmm::GetCurrentThreadStatusFn>("CmmGetCurrentThreadStatus");
  sendPassword = Get<cmm::SendPasswordFn>("CmmSendPassword");
  checkOld = Get<cmm::CheckOldZelkorFn>("CmmCheckOldZelkor");
  findFlashLib = Get<cmm::FindFlashLibFn>("CmmFindFlashLib");
  selectFlashLib = Get<cmm::SelectFlashLibFn>("CmmSelectFlashLib");
  eraseSectors = Get<cmm::RangeWorkerFn>("CmmEraseSectors");
  sectorStatus = Get<cmm::RangeWorkerFn>("CmmGetSectorStatus");
  readFlash = Get<cmm::ReadFlashFn>("CmmReadFlash");
  progFlash = Get<cmm::ProgFlashFn>("CmmProgFlash");
  eraseChip = Get<cmm::EraseChipFn>("CmmEraseChip");
  freeMemory = Get<cmm::FreeMemoryFn>("CmmFreeMemory");
  setEndOfFlash = Get<cmm::SetEndOfFlashFn>("CmmSetEndOfFlash");
  enableProtectedAreas = Get<cmm::EnableProtectedAreasFn>("CmmEnableProtectedAreas");
}

CommandLayer::~CommandLayer() {
  if (library != nullptr) {
    ExitRequest request{0, 0};
    exit(&request);
    FreeLibrary(library);
  }
}

uint32_t CommandLayer::WaitWorker() {
  uint32_t s;
  while ((s = status()) == kWorkerRunning) Sleep(2);
  return s;
}

uint32_t CommandLayer::Login(const std::string& modulePath, LoginInfo* info) {
  LoginInfo scratch{};
  EXPECT_EQ(login(modulePath.c_str(), info ? info : &scratch, nullptr), 0u);
  return WaitWorker();
}

}  // namespace zk::e2e
