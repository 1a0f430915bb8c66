#pragma once
// Control interface of the scripted command layer library used by the data
// manager tests. The library exports the Cmm* functions and these controls;
// it records every Cmm* call with the records it was given.
#include "common/Records.h"

#include <cstddef>
#include <cstdint>

extern "C" {

inline constexpr std::size_t kFakeCallNameSize = 32;
inline constexpr std::size_t kFakeCallDataSize = 512;

struct FakeCmdCall {
  char name[kFakeCallNameSize];
  // Integer arguments and record fields, per function:
  //   CmmLogin: -; CmmExitZelkor: mode, address; CmmSetFlashBaseAddress:
  //   base, mode; CmmFindFlashLib: selector, flash start; CmmEraseSectors,
  //   CmmGetSectorStatus: start, end, third; CmmReadFlash: start, length;
  //   CmmProgFlash: address, length; CmmSetEndOfFlash, CmmEnableProtectedAreas,
  //   CmmAddOwnPages, CmmProgStatusByte, CmmFreeMemory: the argument.
  uint32_t args[3];
  // CmmLogin: the module path; CmmSendPassword: the password;
  // CmmSelectFlashLib: the three selection bytes; CmmProgFlash: the data.
  uint32_t dataLength;
  uint8_t data[kFakeCallDataSize];
};

void FakeCmdReset(void);
// The result of every later call of name (default 0).
void FakeCmdSetResult(const char* name, uint32_t result);
// Results of the next calls of name, in order, before the default applies.
void FakeCmdScriptResults(const char* name, const uint32_t* results, size_t count);

size_t FakeCmdCallCount(void);
// Copies call index; 0 when there is no such call.
int FakeCmdGetCall(size_t index, FakeCmdCall* out);

// Answers of the next CmmFindFlashLib calls.
void FakeCmdScriptFlashLibs(const zk::FlashLibInfo* infos, size_t count);
// Entries of the sector lists that CmmEraseChip, CmmEraseSectors and
// CmmGetSectorStatus hand out (allocated by this library).
void FakeCmdSetSectorEntries(uint16_t count);
size_t FakeCmdBlocksOutstanding(void);
// What CmmReadFlash writes to the destination: the pattern, repeated.
void FakeCmdSetReadPattern(const uint8_t* bytes, size_t count);
// Values of CmmGetCurrentThreadStatus and CmmGetProgress.
void FakeCmdSetThreadStatus(uint32_t status);
void FakeCmdSetProgress(uint8_t progress);
// CmmProgFlash call number (from 1) waits until the calling thread's queue
// holds a message, as a request in progress while a stop request arrives.
void FakeCmdHoldProgFlash(uint32_t callNumber);
int FakeCmdHolding(void);
}
