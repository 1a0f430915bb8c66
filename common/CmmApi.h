#pragma once
// The C-ABI entry points of the command layer library, and the pointer types
// its callers resolve them into by name.
#include "common/Records.h"

#include <cstdint>

extern "C" {

uint32_t CmmLogin(const char* modulePath, zk::LoginInfo* loginInfo,
                  zk::WorkerThreadInfo* threadInfo);
uint32_t CmmExitZelkor(zk::ExitRequest* request);
uint32_t CmmCheckOldZelkor(void);
uint32_t CmmSendPassword(zk::PasswordBlock* block);
uint32_t CmmSetFlashBaseAddress(zk::BaseAddressRecord* record);

uint32_t CmmGetCurrentThreadStatus(void);
uint8_t CmmGetProgress(void);
uint32_t CmmStopCurrentThread(void);
uint32_t CmmFreeMemory(void* block);
uint8_t CmmSetEndOfFlash(uint32_t endOfFlash);
uint32_t CmmEnableProtectedAreas(uint32_t enable);

}  // extern "C"

namespace zk::cmm {

using LoginFn = uint32_t (*)(const char*, LoginInfo*, WorkerThreadInfo*);
using ExitZelkorFn = uint32_t (*)(ExitRequest*);
using CheckOldZelkorFn = uint32_t (*)(void);
using SendPasswordFn = uint32_t (*)(PasswordBlock*);
using SetFlashBaseAddressFn = uint32_t (*)(BaseAddressRecord*);
using GetCurrentThreadStatusFn = uint32_t (*)(void);
using GetProgressFn = uint8_t (*)(void);
using StopCurrentThreadFn = uint32_t (*)(void);
using FreeMemoryFn = uint32_t (*)(void*);
using SetEndOfFlashFn = uint8_t (*)(uint32_t);
using EnableProtectedAreasFn = uint32_t (*)(uint32_t);

}  // namespace zk::cmm
