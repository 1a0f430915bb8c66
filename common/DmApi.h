#pragma once
// The C-ABI entry points of the data manager library, and the pointer types
// its callers resolve them into by name.
#include "common/DmRecords.h"
#include "common/Records.h"

#include <cstdint>

extern "C" {

uint32_t DmLogin(const char* modulePath, zk::LoginInfo* loginInfo, zk::WorkerThreadInfo* threadInfo);
uint32_t DmExitZelkor(zk::ExitRequest* request);
uint32_t DmCheckOldZelkor(void);
uint32_t DmFindFlashLib(zk::FlashLibRequest* request, zk::FlashLibInfo* info);
// selection points at a FlashLibSelectionWords (two 16-bit words).
uint32_t DmSelectFlashLib(zk::FlashLibSelection* selection);
uint32_t DmSetFlashBaseAddress(zk::BaseAddressRecord* record);
uint32_t DmGetSectorInfos(zk::FlashLibInfo* flash, zk::SectorInfos* out);
uint32_t DmGetProtectedAreas(zk::ProtectedAreas* out);
uint32_t DmGetGeneralInfos(zk::GeneralInfos* out);
uint32_t DmSendPassword(zk::PasswordBlock* block);
uint32_t DmEnableProtectedAreas(uint32_t enable);
uint32_t DmAddOwnPages(uint32_t value);
uint32_t DmEraseChip(zk::SectorList* result);
uint32_t DmEraseSectors(zk::RangeRequest* range, zk::SectorList* result, zk::WorkerThreadInfo* threadInfo);
uint32_t DmEraseBlocks(zk::RangeRequest* range, zk::SectorList* result,
                       zk::WorkerThreadInfo* threadInfo);  // the same entry as DmEraseSectors
uint32_t DmGetSectorStatus(zk::RangeRequest* range, zk::SectorList* result, zk::WorkerThreadInfo* threadInfo);
uint32_t DmReadFlash(zk::ReadRequest* request, zk::WorkerThreadInfo* threadInfo);
// mode: low byte kLoadBinary, kLoadSrec, kLoadElf or kLoadByContent (below),
// anything else Intel HEX. DmSaveFile writes HEX, binary and S-record and
// refuses kLoadElf and kLoadByContent with 225.
uint32_t DmLoadFile(const char* path, uint32_t mode, zk::WorkerThreadInfo* threadInfo);
uint32_t DmSaveFile(const char* path, uint32_t mode, zk::WorkerThreadInfo* threadInfo);
// What the last load that failed found wrong with its file ("line 7: the
// record's checksum does not match"), NUL-terminated in text and cut to fit
// capacity; returns the length of the whole text, 0 when there is none.
uint32_t DmGetLoadProblem(char* text, uint32_t capacity);
uint32_t DmGetHexFileInfo(uint32_t address, zk::HexFileInfo* out);
// The stretches of the loaded image placed at address, for a check against
// the flash before anything is erased; 224 without an image.
uint32_t DmGetImageSpans(uint32_t address, zk::ImageSpans* out);
uint32_t DmProgFlash(uint32_t address, zk::WorkerThreadInfo* threadInfo);
// Compares the image, placed as DmProgFlash(address) places it, with the
// flash on an own worker; result is filled when the worker has ended, whose
// status is 0 when the flash holds the image and kVerifyMismatch when it
// does not. Needs read access: 69 without it.
uint32_t DmVerifyFlash(uint32_t address, zk::VerifyResult* result, zk::WorkerThreadInfo* threadInfo);
uint32_t DmFreeMemory(void* buffer);
uint32_t DmGetProgress(void);
uint32_t DmStopCurrentThread(void);
uint32_t DmGetCurrentThreadStatus(void);

}  // extern "C"

namespace zk::dm {

// The low byte of the mode of DmLoadFile / DmSaveFile. A data manager that
// knows only HEX and binary reads the others as HEX, and so refuses such a
// file with 225.
inline constexpr uint32_t kLoadHex = 0;
inline constexpr uint32_t kLoadBinary = 1;
inline constexpr uint32_t kLoadSrec = 2;
inline constexpr uint32_t kLoadElf = 3;        // load only
inline constexpr uint32_t kLoadByContent = 4;  // load only: the format the first bytes show, the extension as hint

using LoginFn = uint32_t (*)(const char*, LoginInfo*, WorkerThreadInfo*);
using ExitZelkorFn = uint32_t (*)(ExitRequest*);
using CheckOldZelkorFn = uint32_t (*)(void);
using FindFlashLibFn = uint32_t (*)(FlashLibRequest*, FlashLibInfo*);
using SelectFlashLibFn = uint32_t (*)(FlashLibSelection*);
using SetFlashBaseAddressFn = uint32_t (*)(BaseAddressRecord*);
using GetSectorInfosFn = uint32_t (*)(FlashLibInfo*, SectorInfos*);
using GetProtectedAreasFn = uint32_t (*)(ProtectedAreas*);
using GetGeneralInfosFn = uint32_t (*)(GeneralInfos*);
using SendPasswordFn = uint32_t (*)(PasswordBlock*);
using FlagFn = uint32_t (*)(uint32_t);  // DmEnableProtectedAreas, DmAddOwnPages
using EraseChipFn = uint32_t (*)(SectorList*);
using RangeWorkerFn = uint32_t (*)(RangeRequest*, SectorList*, WorkerThreadInfo*);
using ReadFlashFn = uint32_t (*)(ReadRequest*, WorkerThreadInfo*);
using FileFn = uint32_t (*)(const char*, uint32_t, WorkerThreadInfo*);  // load, save
using GetLoadProblemFn = uint32_t (*)(char*, uint32_t);
using GetHexFileInfoFn = uint32_t (*)(uint32_t, HexFileInfo*);
using GetImageSpansFn = uint32_t (*)(uint32_t, ImageSpans*);
using ProgFlashFn = uint32_t (*)(uint32_t, WorkerThreadInfo*);
using VerifyFlashFn = uint32_t (*)(uint32_t, VerifyResult*, WorkerThreadInfo*);
using FreeMemoryFn = uint32_t (*)(void*);
using PollFn = uint32_t (*)(void);  // progress, stop, status, check old

}  // namespace zk::dm
