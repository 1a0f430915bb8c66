// A scripted data manager: records every call and answers as the test says.
#include "tests/gui/fakedm/FakeGuiDm.h"

#include "common/DmApi.h"
#include "common/Export.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

constexpr uint32_t kRunning = 192;
constexpr uint8_t kBlank = 34;
constexpr uint8_t kNotBlank = 33;

FakeGuiDmState& S() {
  static FakeGuiDmState state;
  return state;
}

void Log(const std::string& call) { S().calls.push_back(call); }

std::string Numbers(std::initializer_list<uint32_t> values) {
  std::string text;
  for (const uint32_t value : values) text += " " + std::to_string(value);
  return text;
}

void Start(uint32_t endStatus) {
  FakeGuiDmState& s = S();
  s.running = true;
  s.pollsLeft = s.polls;
  s.endStatus = endStatus;
}

template <typename T>
T* HandOut(std::size_t count) {
  void* buffer = std::calloc(count == 0 ? 1 : count, sizeof(T));
  S().handouts.insert(buffer);
  return static_cast<T*>(buffer);
}

template <typename T>
void HandOutList(const std::vector<T>& entries, zk::SectorList* list) {
  list->count = static_cast<uint16_t>(entries.size());
  list->entries = HandOut<T>(entries.size());
  if (!entries.empty()) std::memcpy(list->entries, entries.data(), entries.size() * sizeof(T));
}

// The sector addresses of a range request {start, end, sector size}.
std::vector<uint32_t> Sectors(const zk::RangeRequest& range) {
  std::vector<uint32_t> addresses;
  if (range.third == 0) return addresses;
  for (uint64_t address = range.start; address <= range.end; address += range.third) {
    addresses.push_back(static_cast<uint32_t>(address));
  }
  return addresses;
}

}  // namespace

ZK_EXPORT FakeGuiDmState* FakeGuiDmStateOf(void) { return &S(); }

ZK_EXPORT uint32_t DmGetProgress(void) { return S().running ? S().progress : 100; }

ZK_EXPORT uint32_t DmGetCurrentThreadStatus(void) {
  FakeGuiDmState& s = S();
  if (!s.running) return s.status;
  if (s.onPoll) s.onPoll();
  if (s.pollsLeft-- > 0) return kRunning;
  s.running = false;
  s.status = s.endStatus;
  return s.status;
}

ZK_EXPORT uint32_t DmStopCurrentThread(void) {
  Log("DmStopCurrentThread");
  if (S().stopRefusals > 0) {
    --S().stopRefusals;
    return 1;
  }
  if (S().running) {
    S().running = false;
    S().status = 1;
  }
  return 0;
}

ZK_EXPORT uint32_t DmLogin(const char* modulePath, zk::LoginInfo* login, zk::WorkerThreadInfo* thread) {
  FakeGuiDmState& s = S();
  Log(std::string("DmLogin ") + modulePath);
  if (thread != nullptr) *thread = zk::WorkerThreadInfo{};
  if (login != nullptr) {
    login->word = 0;
    std::memcpy(login->bytes, s.firmware, sizeof s.firmware);
  }
  if (s.loginResult == 0) Start(s.loginStatus);
  return s.loginResult;
}

ZK_EXPORT uint32_t DmExitZelkor(zk::ExitRequest* request) {
  Log("DmExitZelkor" + Numbers({request->mode, request->address}));
  return 0;
}

ZK_EXPORT uint32_t DmCheckOldZelkor(void) {
  Log("DmCheckOldZelkor");
  return S().checkOld;
}

ZK_EXPORT uint32_t DmFindFlashLib(zk::FlashLibRequest* request, zk::FlashLibInfo* info) {
  static std::size_t next = 0;
  FakeGuiDmState& s = S();
  Log("DmFindFlashLib" + Numbers({request->selector, request->flashStart}));
  if (request->selector == 0) next = 0;
  *info = zk::FlashLibInfo{};
  if (s.findResult != 0) return s.findResult;
  const uint32_t start = request->flashStart;  // a packed field: copied, not bound
  const auto found = s.libraries.find(start);
  if (found == s.libraries.end() || next >= found->second.size()) return 0;
  *info = found->second[next++];
  return 0;
}

ZK_EXPORT uint32_t DmSelectFlashLib(zk::FlashLibSelection* selection) {
  const auto* words = reinterpret_cast<const zk::FlashLibSelectionWords*>(selection);
  Log("DmSelectFlashLib" + Numbers({words->words[0], words->words[1]}));
  return S().selectResult;
}

ZK_EXPORT uint32_t DmSetFlashBaseAddress(zk::BaseAddressRecord* record) {
  Log("DmSetFlashBaseAddress" + Numbers({record->baseAddress, record->mode}));
  S().base = record->baseAddress;
  return 0;
}

ZK_EXPORT uint32_t DmGetSectorInfos(zk::FlashLibInfo* flash, zk::SectorInfos* out) {
  FakeGuiDmState& s = S();
  Log(std::string("DmGetSectorInfos ") + (flash == nullptr ? "current" : "given"));
  const auto listed = s.blocks.find(s.base);
  const std::vector<zk::FlashBlock>& blocks = listed != s.blocks.end() ? listed->second : s.defaultBlocks;
  out->flashSize = 256;
  out->blockCount = static_cast<uint16_t>(blocks.size());
  out->blocks = HandOut<zk::FlashBlock>(blocks.size());
  if (!blocks.empty()) std::memcpy(out->blocks, blocks.data(), blocks.size() * sizeof(zk::FlashBlock));
  return s.sectorInfosResult;
}

ZK_EXPORT uint32_t DmGetProtectedAreas(zk::ProtectedAreas* out) {
  FakeGuiDmState& s = S();
  Log("DmGetProtectedAreas");
  *out = zk::ProtectedAreas{};
  out->protectedCount = static_cast<uint16_t>(s.protectedAreas.size());
  out->noAccessCount = static_cast<uint16_t>(s.noAccessAreas.size());
  if (!s.protectedAreas.empty()) {
    out->protectedAreas = HandOut<zk::AddressRange>(s.protectedAreas.size());
    std::memcpy(out->protectedAreas, s.protectedAreas.data(), s.protectedAreas.size() * sizeof(zk::AddressRange));
  }
  if (!s.noAccessAreas.empty()) {
    out->noAccessAreas = HandOut<zk::AddressRange>(s.noAccessAreas.size());
    std::memcpy(out->noAccessAreas, s.noAccessAreas.data(), s.noAccessAreas.size() * sizeof(zk::AddressRange));
  }
  return 0;
}

ZK_EXPORT uint32_t DmGetGeneralInfos(zk::GeneralInfos* out) {
  Log("DmGetGeneralInfos");
  *out = zk::GeneralInfos{};
  std::snprintf(out->moduleName, sizeof out->moduleName, "Fake");
  return 0;
}

ZK_EXPORT uint32_t DmEnableProtectedAreas(uint32_t enable) {
  Log("DmEnableProtectedAreas" + Numbers({enable}));
  return S().enableResult;
}

ZK_EXPORT uint32_t DmEraseSectors(zk::RangeRequest* range, zk::SectorList* result, zk::WorkerThreadInfo* thread) {
  FakeGuiDmState& s = S();
  Log("DmEraseSectors" + Numbers({range->start, range->end, range->third}));
  if (thread != nullptr) *thread = zk::WorkerThreadInfo{};
  *result = zk::SectorList{};
  if (s.eraseResult != 0) return s.eraseResult;
  if (s.eraseStatus == 0) {
    for (const uint32_t address : Sectors(*range)) s.sectorStatus[address] = kBlank;
  } else {
    HandOutList(s.eraseEntries, result);
  }
  Start(s.eraseStatus);
  return 0;
}

ZK_EXPORT uint32_t DmGetSectorStatus(zk::RangeRequest* range, zk::SectorList* result, zk::WorkerThreadInfo* thread) {
  FakeGuiDmState& s = S();
  Log("DmGetSectorStatus" + Numbers({range->start, range->end, range->third}));
  if (thread != nullptr) *thread = zk::WorkerThreadInfo{};
  *result = zk::SectorList{};
  if (s.statusResult != 0) return s.statusResult;
  std::vector<zk::SectorStatusEntry> entries;
  for (const uint32_t address : Sectors(*range)) {
    const auto known = s.sectorStatus.find(address);
    entries.push_back({address, known != s.sectorStatus.end() ? known->second : kNotBlank});
  }
  HandOutList(entries, result);
  Start(s.statusFinal);
  return 0;
}

ZK_EXPORT uint32_t DmEraseChip(zk::SectorList* result) {
  FakeGuiDmState& s = S();
  Log("DmEraseChip");
  *result = zk::SectorList{};
  if (s.eraseChipResult != 0) HandOutList(s.eraseChipEntries, result);
  return s.eraseChipResult;
}

ZK_EXPORT uint32_t DmFreeMemory(void* buffer) {
  FakeGuiDmState& s = S();
  Log("DmFreeMemory");
  if (s.handouts.erase(buffer) == 0) {
    ++s.unknownFrees;
    return 1;
  }
  std::free(buffer);
  return 0;
}

ZK_EXPORT uint32_t DmLoadFile(const char* path, uint32_t mode, zk::WorkerThreadInfo* thread) {
  FakeGuiDmState& s = S();
  Log(std::string("DmLoadFile ") + path + Numbers({mode}));
  if (thread != nullptr) *thread = zk::WorkerThreadInfo{};
  if (s.loadResult == 0) Start(s.loadStatus);
  return s.loadResult;
}

ZK_EXPORT uint32_t DmSaveFile(const char* path, uint32_t mode, zk::WorkerThreadInfo* thread) {
  FakeGuiDmState& s = S();
  Log(std::string("DmSaveFile ") + path + Numbers({mode}));
  if (thread != nullptr) *thread = zk::WorkerThreadInfo{};
  if (s.saveResult != 0) return s.saveResult;
  if (s.saveStatus == 0) std::ofstream(path, std::ios::binary) << s.savedContent;
  Start(s.saveStatus);
  return 0;
}

ZK_EXPORT uint32_t DmProgFlash(uint32_t address, zk::WorkerThreadInfo* thread) {
  FakeGuiDmState& s = S();
  Log("DmProgFlash" + Numbers({address}));
  if (thread != nullptr) *thread = zk::WorkerThreadInfo{};
  if (s.progResult == 0) Start(s.progStatus);
  return s.progResult;
}

ZK_EXPORT uint32_t DmReadFlash(zk::ReadRequest* request, zk::WorkerThreadInfo* thread) {
  FakeGuiDmState& s = S();
  Log("DmReadFlash" + Numbers({request->start, request->length}));
  if (thread != nullptr) *thread = zk::WorkerThreadInfo{};
  if (s.readResult == 0) Start(s.readStatus);
  return s.readResult;
}

ZK_EXPORT uint32_t DmGetHexFileInfo(uint32_t address, zk::HexFileInfo* out) {
  FakeGuiDmState& s = S();
  Log("DmGetHexFileInfo" + Numbers({address}));
  out->byteCount = s.imageBytes;
  out->neededSectorCount = static_cast<uint32_t>(s.neededSectors.size());
  out->neededSectors = HandOut<zk::RangeRequest>(s.neededSectors.size());
  if (!s.neededSectors.empty()) {
    std::memcpy(out->neededSectors, s.neededSectors.data(), s.neededSectors.size() * sizeof(zk::RangeRequest));
  }
  return 0;
}

ZK_EXPORT uint32_t DmSendPassword(zk::PasswordBlock* block) {
  Log("DmSendPassword " + std::string(reinterpret_cast<const char*>(block->bytes), block->length));
  return S().passwordResult;
}
