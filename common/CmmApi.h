#pragma once
// The C-ABI entry points of the command layer library, and the pointer types
// its callers resolve them into by name.
#include "common/Records.h"

#include <cstdint>

extern "C" {

uint32_t CmmLogin(const char* modulePath, zk::LoginInfo* loginInfo, zk::WorkerThreadInfo* threadInfo);
uint32_t CmmExitZelkor(zk::ExitRequest* request);
uint32_t CmmCheckOldZelkor(void);
uint32_t CmmSendPassword(zk::PasswordBlock* block);
uint32_t CmmSetFlashBaseAddress(zk::BaseAddressRecord* record);

uint32_t CmmFindFlashLib(zk::FlashLibRequest* request, zk::FlashLibInfo* info);
uint32_t CmmSelectFlashLib(zk::FlashLibSelection* selection);
uint32_t CmmEraseChip(zk::SectorList* result);
uint32_t CmmEraseSectors(zk::RangeRequest* range, zk::SectorList* result, zk::WorkerThreadInfo* threadInfo);
uint32_t CmmEraseBlocks(zk::RangeRequest* range, zk::SectorList* result, zk::WorkerThreadInfo* threadInfo);
uint32_t CmmGetSectorStatus(zk::RangeRequest* range, zk::SectorList* result, zk::WorkerThreadInfo* threadInfo);
uint32_t CmmReadFlash(zk::ReadRequest* request, zk::ReadResult* result, zk::WorkerThreadInfo* threadInfo);
uint32_t CmmProgFlash(zk::ProgRequest* request);
// Synchronous: reads request->length bytes at request->start once into
// result->destination, without the second read that CmmReadFlash compares
// with; for a caller that checks the data against what it expects. 0 and
// result->received set; 69 without an accepted password; the codes of the
// read worker otherwise. Must not be called while a worker runs.
uint32_t CmmReadFlashOnce(zk::ReadRequest* request, zk::ReadResult* result);

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
using FindFlashLibFn = uint32_t (*)(FlashLibRequest*, FlashLibInfo*);
using SelectFlashLibFn = uint32_t (*)(FlashLibSelection*);
using EraseChipFn = uint32_t (*)(SectorList*);
using RangeWorkerFn = uint32_t (*)(RangeRequest*, SectorList*, WorkerThreadInfo*);  // erase, status
using ReadFlashFn = uint32_t (*)(ReadRequest*, ReadResult*, WorkerThreadInfo*);
using ProgFlashFn = uint32_t (*)(ProgRequest*);
using ReadFlashOnceFn = uint32_t (*)(ReadRequest*, ReadResult*);
using GetCurrentThreadStatusFn = uint32_t (*)(void);
using GetProgressFn = uint8_t (*)(void);
using StopCurrentThreadFn = uint32_t (*)(void);
using FreeMemoryFn = uint32_t (*)(void*);
using SetEndOfFlashFn = uint8_t (*)(uint32_t);
using EnableProtectedAreasFn = uint32_t (*)(uint32_t);

}  // namespace zk::cmm
