// A scripted command layer: records every call and answers as the test says.
// Built in three forms: with every function (FAKE_CMD_FULL), like the command
// layer of this system (no CmmAddOwnPages, no CmmProgStatusByte), and with
// CmmLogin alone (FAKE_CMD_LOGIN_ONLY).
#include "tests/dm/fakecmd/FakeCmd.h"

#include "platform/Messages.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr uint32_t kHoldLimitMs = 20000;  // a broken test must not hang
constexpr uint32_t kFakeThreadId = 0x4D2;

struct State {
  std::mutex mutex;
  std::vector<FakeCmdCall> calls;
  std::map<std::string, uint32_t> results;
  std::map<std::string, std::deque<uint32_t>> scripted;
  std::deque<zk::FlashLibInfo> flashLibs;
  std::set<void*> blocks;
  uint16_t sectorEntries = 0;
  std::vector<uint8_t> readPattern{0xA5};
  uint32_t threadStatus = 0;
  uint8_t progress = 0;
  uint32_t holdCall = 0;
  uint32_t progCalls = 0;
  std::atomic<int> holding{0};
};

State& S() {
  static State state;
  return state;
}

// Records a call and returns its scripted result.
uint32_t Record(const char* name, std::initializer_list<uint32_t> args, const void* data = nullptr, size_t length = 0) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  FakeCmdCall call{};
  std::strncpy(call.name, name, kFakeCallNameSize - 1);
  size_t n = 0;
  for (const uint32_t arg : args) {
    if (n < 3) call.args[n++] = arg;
  }
  call.dataLength = static_cast<uint32_t>(length);
  if (data != nullptr) std::memcpy(call.data, data, std::min(length, kFakeCallDataSize));
  s.calls.push_back(call);
  auto& queue = s.scripted[name];
  if (!queue.empty()) {
    const uint32_t result = queue.front();
    queue.pop_front();
    return result;
  }
  const auto it = s.results.find(name);
  return it == s.results.end() ? 0 : it->second;
}

[[maybe_unused]] void FillList(zk::SectorList* list) {
  if (list == nullptr) return;
  State& s = S();
  std::lock_guard lock(s.mutex);
  void* block = std::calloc(s.sectorEntries == 0 ? 1 : s.sectorEntries, sizeof(zk::SectorEntry));
  s.blocks.insert(block);
  list->count = s.sectorEntries;
  list->entries = block;
}

void FillThreadInfo(zk::WorkerThreadInfo* info) {
  if (info == nullptr) return;
  info->threadId = kFakeThreadId;
  info->threadHandle = nullptr;
}

// The range calls (erase, sector status): a list handed out and the call recorded.
[[maybe_unused]] uint32_t RangeCall(const char* name, zk::RangeRequest* range, zk::SectorList* result,
                                    zk::WorkerThreadInfo* info) {
  FillList(result);
  FillThreadInfo(info);
  return Record(name, {range->start, range->end, range->third});
}

[[maybe_unused]] void HoldIfAsked() {
  State& s = S();
  {
    std::lock_guard lock(s.mutex);
    if (++s.progCalls != s.holdCall) return;
  }
  s.holding = 1;
  zk::WaitForThreadMessage(kHoldLimitMs);
  s.holding = 0;
}

}  // namespace

FAKE_EXPORT void FakeCmdReset(void) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.calls.clear();
  s.results.clear();
  s.scripted.clear();
  s.flashLibs.clear();
  for (void* block : s.blocks) std::free(block);
  s.blocks.clear();
  s.sectorEntries = 0;
  s.readPattern = {0xA5};
  s.threadStatus = 0;
  s.progress = 0;
  s.holdCall = 0;
  s.progCalls = 0;
}

FAKE_EXPORT void FakeCmdSetResult(const char* name, uint32_t result) {
  std::lock_guard lock(S().mutex);
  S().results[name] = result;
}

FAKE_EXPORT void FakeCmdScriptResults(const char* name, const uint32_t* results, size_t count) {
  std::lock_guard lock(S().mutex);
  S().scripted[name].assign(results, results + count);
}

FAKE_EXPORT size_t FakeCmdCallCount(void) {
  std::lock_guard lock(S().mutex);
  return S().calls.size();
}

FAKE_EXPORT int FakeCmdGetCall(size_t index, FakeCmdCall* out) {
  std::lock_guard lock(S().mutex);
  if (index >= S().calls.size() || out == nullptr) return 0;
  *out = S().calls[index];
  return 1;
}

// Exports that set one field (or one list) of the state under its lock.
#define FAKE_CMD_SETTER(name, type, field) \
  FAKE_EXPORT void name(type value) {      \
    std::lock_guard lock(S().mutex);       \
    S().field = value;                     \
  }
#define FAKE_CMD_LIST_SETTER(name, type, field)            \
  FAKE_EXPORT void name(const type* items, size_t count) { \
    std::lock_guard lock(S().mutex);                       \
    S().field.assign(items, items + count);                \
  }

FAKE_CMD_LIST_SETTER(FakeCmdScriptFlashLibs, zk::FlashLibInfo, flashLibs)
FAKE_CMD_LIST_SETTER(FakeCmdSetReadPattern, uint8_t, readPattern)
FAKE_CMD_SETTER(FakeCmdSetSectorEntries, uint16_t, sectorEntries)
FAKE_CMD_SETTER(FakeCmdSetThreadStatus, uint32_t, threadStatus)
FAKE_CMD_SETTER(FakeCmdSetProgress, uint8_t, progress)
FAKE_CMD_SETTER(FakeCmdHoldProgFlash, uint32_t, holdCall)

FAKE_EXPORT size_t FakeCmdBlocksOutstanding(void) {
  std::lock_guard lock(S().mutex);
  return S().blocks.size();
}

FAKE_EXPORT int FakeCmdHolding(void) { return S().holding.load(); }

// The command layer.

FAKE_EXPORT uint32_t CmmLogin(const char* modulePath, zk::LoginInfo*, zk::WorkerThreadInfo* info) {
  FillThreadInfo(info);
  return Record("CmmLogin", {}, modulePath, modulePath != nullptr ? std::strlen(modulePath) : 0);
}

#ifndef FAKE_CMD_LOGIN_ONLY

FAKE_EXPORT uint32_t CmmExitZelkor(zk::ExitRequest* request) {
  return Record("CmmExitZelkor", {request->mode, request->address});
}

FAKE_EXPORT uint32_t CmmCheckOldZelkor(void) { return Record("CmmCheckOldZelkor", {}); }

FAKE_EXPORT uint32_t CmmSendPassword(zk::PasswordBlock* block) {
  return Record("CmmSendPassword", {}, block->bytes, block->length);
}

FAKE_EXPORT uint32_t CmmSetFlashBaseAddress(zk::BaseAddressRecord* record) {
  return Record("CmmSetFlashBaseAddress", {record->baseAddress, record->mode});
}

FAKE_EXPORT uint32_t CmmFindFlashLib(zk::FlashLibRequest* request, zk::FlashLibInfo* info) {
  {
    std::lock_guard lock(S().mutex);
    if (!S().flashLibs.empty()) {
      *info = S().flashLibs.front();
      S().flashLibs.pop_front();
    }
  }
  return Record("CmmFindFlashLib", {request->selector, request->flashStart});
}

FAKE_EXPORT uint32_t CmmSelectFlashLib(zk::FlashLibSelection* selection) {
  return Record("CmmSelectFlashLib", {}, selection->bytes, sizeof selection->bytes);
}

FAKE_EXPORT uint32_t CmmEraseChip(zk::SectorList* result) {
  FillList(result);
  return Record("CmmEraseChip", {});
}

FAKE_EXPORT uint32_t CmmEraseSectors(zk::RangeRequest* range, zk::SectorList* result, zk::WorkerThreadInfo* info) {
  return RangeCall("CmmEraseSectors", range, result, info);
}

FAKE_EXPORT uint32_t CmmEraseBlocks(zk::RangeRequest* range, zk::SectorList* result, zk::WorkerThreadInfo* info) {
  return RangeCall("CmmEraseBlocks", range, result, info);
}

FAKE_EXPORT uint32_t CmmGetSectorStatus(zk::RangeRequest* range, zk::SectorList* result, zk::WorkerThreadInfo* info) {
  return RangeCall("CmmGetSectorStatus", range, result, info);
}

FAKE_EXPORT uint32_t CmmReadFlash(zk::ReadRequest* request, zk::ReadResult* result, zk::WorkerThreadInfo* info) {
  FillThreadInfo(info);
  const uint32_t rc = Record("CmmReadFlash", {request->start, request->length});
  if (rc == 0) {
    std::lock_guard lock(S().mutex);
    const auto& pattern = S().readPattern;
    for (uint32_t i = 0; i < request->length; ++i) result->destination[i] = pattern[i % pattern.size()];
    result->received = request->length;
  }
  return rc;
}

FAKE_EXPORT uint32_t CmmProgFlash(zk::ProgRequest* request) {
  HoldIfAsked();
  const uint32_t rc = Record("CmmProgFlash", {request->address, request->length}, request->data, request->length);
  if (rc == 0) request->address += request->length;
  return rc;
}

FAKE_EXPORT uint32_t CmmGetCurrentThreadStatus(void) {
  Record("CmmGetCurrentThreadStatus", {});
  std::lock_guard lock(S().mutex);
  return S().threadStatus;
}

FAKE_EXPORT uint8_t CmmGetProgress(void) {
  Record("CmmGetProgress", {});
  std::lock_guard lock(S().mutex);
  return S().progress;
}

FAKE_EXPORT uint32_t CmmStopCurrentThread(void) { return Record("CmmStopCurrentThread", {}); }

FAKE_EXPORT uint32_t CmmFreeMemory(void* block) {
  bool known = false;
  {
    std::lock_guard lock(S().mutex);
    known = S().blocks.erase(block) != 0;
    if (known) std::free(block);
  }
  Record("CmmFreeMemory", {known ? 0u : 1u});
  return known ? 0 : 1;
}

FAKE_EXPORT uint8_t CmmSetEndOfFlash(uint32_t endOfFlash) {
  return static_cast<uint8_t>(Record("CmmSetEndOfFlash", {endOfFlash}));
}

FAKE_EXPORT uint32_t CmmEnableProtectedAreas(uint32_t enable) { return Record("CmmEnableProtectedAreas", {enable}); }

#ifdef FAKE_CMD_FULL
FAKE_EXPORT uint32_t CmmAddOwnPages(uint32_t value) { return Record("CmmAddOwnPages", {value}); }
FAKE_EXPORT uint32_t CmmProgStatusByte(uint32_t value) { return Record("CmmProgStatusByte", {value}); }
#endif

#endif  // FAKE_CMD_LOGIN_ONLY
