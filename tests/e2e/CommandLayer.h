#pragma once
// The real command layer library of the build, bound by name as the data
// manager binds it.
#include "common/CmmApi.h"
#include "common/ResultCodes.h"
#include "platform/Library.h"
#include "tests/support/Entry.h"

#include <gtest/gtest.h>

namespace zk::e2e {

struct CommandLayer {
  CommandLayer();
  ~CommandLayer();

  template <typename Fn>
  Fn Get(const char* name) {
    return zk::test::Entry<Fn>(library, name);
  }
  // Starts the login and waits for its worker.
  uint32_t Login(const std::string& modulePath, LoginInfo* info = nullptr);
  uint32_t WaitWorker();

  LibraryHandle library = nullptr;
  cmm::LoginFn login = nullptr;
  cmm::ExitZelkorFn exit = nullptr;
  cmm::GetCurrentThreadStatusFn status = nullptr;
  cmm::SendPasswordFn sendPassword = nullptr;
  cmm::CheckOldZelkorFn checkOld = nullptr;
  cmm::FindFlashLibFn findFlashLib = nullptr;
  cmm::SelectFlashLibFn selectFlashLib = nullptr;
  cmm::RangeWorkerFn eraseSectors = nullptr;
  cmm::RangeWorkerFn sectorStatus = nullptr;
  cmm::ReadFlashFn readFlash = nullptr;
  cmm::ProgFlashFn progFlash = nullptr;
  cmm::EraseChipFn eraseChip = nullptr;
  cmm::FreeMemoryFn freeMemory = nullptr;
  cmm::SetEndOfFlashFn setEndOfFlash = nullptr;
  cmm::EnableProtectedAreasFn enableProtectedAreas = nullptr;
};

}  // namespace zk::e2e
