// A scripted data manager: records every call and answers as the test says.
//
// FAKE_DM_IDENTITY=n: DmGetProgress always answers n (which library is it?).
// FAKE_DM_POLL_ONLY: only the progress, stop and status queries exist.
#include "tests/support/fakedm/FakeDm.h"

#include "common/DmApi.h"
#include "common/Export.h"
#include "platform/Ini.h"

#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

constexpr uint32_t kRunning = 192;
constexpr uint32_t kStopped = 1;
[[maybe_unused]] constexpr uint8_t kBlank = 34;
[[maybe_unused]] constexpr uint8_t kNotBlank = 33;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

__attribute__((format(printf, 2, 3))) void Log(FakeDmState& s, const char* format, ...) {
  char line[1200];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  s.calls.emplace_back(line);
  const std::string path = Env("FAKE_DM_LOG");
  if (path.empty()) return;
  if (std::FILE* file = std::fopen(path.c_str(), "ab")) {
    std::fprintf(file, "%s\n", line);
    std::fclose(file);
  }
}

// The state, which frees at unload what the caller did not give back.
struct Library {
  FakeDmState state;
  std::string config;
  ~Library() {
    if (!state.handouts.empty()) Log(state, "unreturned %lu", static_cast<unsigned long>(state.handouts.size()));
    for (void* buffer : state.handouts) std::free(buffer);
  }
};

// Groups of numbers separated by ';', numbers by blanks (0x for hex).
std::vector<std::vector<uint32_t>> Groups(const std::string& text) {
  std::vector<std::vector<uint32_t>> groups;
  std::stringstream all(text);
  std::string group;
  while (std::getline(all, group, ';')) {
    std::stringstream numbers(group);
    std::string number;
    std::vector<uint32_t> values;
    while (numbers >> number) values.push_back(static_cast<uint32_t>(std::stoul(number, nullptr, 0)));
    if (!values.empty()) groups.push_back(values);
  }
  return groups;
}

template <typename Field>
struct Key {
  const char* name;
  Field FakeDmState::*field;
};

constexpr Key<uint32_t> kResults[] = {{"Progress", &FakeDmState::progress},
                                      {"LoginResult", &FakeDmState::loginResult},
                                      {"LoginStatus", &FakeDmState::loginStatus},
                                      {"CheckOld", &FakeDmState::checkOld},
                                      {"FindEndResult", &FakeDmState::findEndResult},
                                      {"SectorInfosResult", &FakeDmState::sectorInfosResult},
                                      {"EraseResult", &FakeDmState::eraseResult},
                                      {"EraseStatus", &FakeDmState::eraseStatus},
                                      {"EraseChipResult", &FakeDmState::eraseChipResult},
                                      {"LoadResult", &FakeDmState::loadResult},
                                      {"LoadStatus", &FakeDmState::loadStatus},
                                      {"ProgResult", &FakeDmState::progResult},
                                      {"ProgStatus", &FakeDmState::progStatus}};
constexpr Key<int> kCounts[] = {{"Polls", &FakeDmState::polls},
                                {"InterruptAtPoll", &FakeDmState::interruptAtPoll},
                                {"InterruptsInEraseChip", &FakeDmState::interruptsInEraseChip}};

// The answers of section [Fake] of the file path; a key not there has its
// default. A failed erase hands out one entry.
void Script(FakeDmState& s, const std::string& path) {
  static const FakeDmState defaults;
  for (const auto& key : kResults) {
    s.*key.field =
        static_cast<uint32_t>(zk::ini::GetInt(path, "Fake", key.name, static_cast<int>(defaults.*key.field)));
  }
  for (const auto& key : kCounts) s.*key.field = zk::ini::GetInt(path, "Fake", key.name, defaults.*key.field);
  s.interruptInStop = zk::ini::GetInt(path, "Fake", "InterruptInStop", 0) != 0;
  const auto text = [&path](const char* key, const char* fallback) {
    return zk::ini::GetString(path, "Fake", key, fallback, 1000);
  };
  s.loadProblem = text("LoadProblem", "");
  const auto stops = Groups(text("StopResults", "0"));
  s.stopResults = stops.empty() ? std::vector<uint32_t>{0} : stops.front();
  s.defaultLibraries.clear();
  for (const auto& words : Groups(text("Libraries", "1 0x2101 0xa7 1"))) {
    zk::FlashLibInfo info{};
    for (std::size_t i = 0; i < 4 && i < words.size(); ++i) info.words[i] = static_cast<uint16_t>(words[i]);
    s.defaultLibraries.push_back(info);
  }
  s.defaultBlocks.clear();
  for (const auto& block : Groups(text("Blocks", "0 0x4000 4; 0x10000 0x10000 3"))) {
    s.defaultBlocks.push_back(zk::FlashBlock{block.at(0), block.at(1), static_cast<uint16_t>(block.at(2))});
  }
  s.eraseEntries.assign(s.eraseStatus != 0 ? 1 : 0, zk::SectorEntry{});
  s.eraseChipEntries.assign(s.eraseChipResult != 0 ? 1 : 0, zk::SectorEntry{});
}

// The state, scripted again from $FAKE_DM_CONFIG when that file changed.
FakeDmState& S() {
  static Library library;
  const std::string path = Env("FAKE_DM_CONFIG");
  if (!path.empty()) {
    std::ifstream in(path, std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(in), {});
    if (text != library.config) {
      library.config = std::move(text);
      Script(library.state, path);
    }
  }
  return library.state;
}

[[maybe_unused]] void Start(FakeDmState& s, uint32_t endStatus) {
  s.running = true;
  s.pollsLeft = s.polls;
  s.pollCount = 0;
  s.stops = 0;
  s.endStatus = endStatus;
}

template <typename T>
T* HandOut(FakeDmState& s, const std::vector<T>& entries) {
  void* buffer = std::calloc(entries.empty() ? 1 : entries.size(), sizeof(T));
  if (!entries.empty()) std::memcpy(buffer, entries.data(), entries.size() * sizeof(T));
  s.handouts.insert(buffer);
  return static_cast<T*>(buffer);
}

template <typename T>
[[maybe_unused]] void HandOutList(FakeDmState& s, const std::vector<T>& entries, zk::SectorList* list) {
  list->count = static_cast<uint16_t>(entries.size());
  list->entries = HandOut(s, entries);
}

// The sector addresses of a range request {start, end, sector size}.
[[maybe_unused]] std::vector<uint32_t> Sectors(const zk::RangeRequest& range) {
  std::vector<uint32_t> addresses;
  if (range.third == 0) return addresses;
  for (uint64_t address = range.start; address <= range.end; address += range.third) {
    addresses.push_back(static_cast<uint32_t>(address));
  }
  return addresses;
}

[[maybe_unused]] void NoThread(zk::WorkerThreadInfo* thread) {
  if (thread != nullptr) *thread = zk::WorkerThreadInfo{};
}

// Starts a worker that ends with status unless the call fails with result.
[[maybe_unused]] uint32_t StartUnless(FakeDmState& s, uint32_t result, uint32_t status) {
  if (result == 0) Start(s, status);
  return result;
}

}  // namespace

ZK_EXPORT FakeDmState* FakeDmStateOf(void) { return &S(); }

ZK_EXPORT uint32_t DmGetProgress(void) {
#ifdef FAKE_DM_IDENTITY
  return FAKE_DM_IDENTITY;
#else
  return S().running ? S().progress : 100;
#endif
}

ZK_EXPORT uint32_t DmGetCurrentThreadStatus(void) {
  FakeDmState& s = S();
  if (!s.running) return s.status;
  if (s.interruptAtPoll == ++s.pollCount) std::raise(SIGINT);
  if (s.onPoll) s.onPoll();
  if (s.pollsLeft < 0 || s.pollsLeft-- > 0) return kRunning;
  s.running = false;
  s.status = s.endStatus;
  return s.status;
}

ZK_EXPORT uint32_t DmStopCurrentThread(void) {
  FakeDmState& s = S();
  Log(s, "DmStopCurrentThread");
  if (s.interruptInStop) std::raise(SIGINT);
  const uint32_t result = s.stopResults[std::min(s.stops++, s.stopResults.size() - 1)];
  if (result == 0 && s.running) {
    s.running = false;
    s.status = kStopped;
  }
  return result;
}

#ifndef FAKE_DM_POLL_ONLY

ZK_EXPORT uint32_t DmLogin(const char* modulePath, zk::LoginInfo* login, zk::WorkerThreadInfo* thread) {
  FakeDmState& s = S();
  Log(s, "DmLogin %s", modulePath);
  NoThread(thread);
  if (login != nullptr) {
    login->word = 0;
    std::memcpy(login->bytes, s.firmware, sizeof s.firmware);
  }
  return StartUnless(s, s.loginResult, s.loginStatus);
}

ZK_EXPORT uint32_t DmExitZelkor(zk::ExitRequest* request) {
  Log(S(), "DmExitZelkor %u %u", request->mode, request->address);
  return 0;
}

ZK_EXPORT uint32_t DmCheckOldZelkor(void) {
  Log(S(), "DmCheckOldZelkor");
  return S().checkOld;
}

ZK_EXPORT uint32_t DmFindFlashLib(zk::FlashLibRequest* request, zk::FlashLibInfo* info) {
  static std::size_t next = 0;
  FakeDmState& s = S();
  Log(s, "DmFindFlashLib %u %u", request->selector, request->flashStart);
  if (request->selector == 0) next = 0;
  *info = zk::FlashLibInfo{};
  if (s.findResult != 0) return s.findResult;
  const uint32_t start = request->flashStart;  // a packed field: copied, not bound
  const auto listed = s.libraries.find(start);
  const std::vector<zk::FlashLibInfo>& found = listed != s.libraries.end() ? listed->second : s.defaultLibraries;
  if (next >= found.size()) return s.findEndResult;
  *info = found[next++];
  return 0;
}

ZK_EXPORT uint32_t DmSelectFlashLib(zk::FlashLibSelection* selection) {
  const auto* words = reinterpret_cast<const zk::FlashLibSelectionWords*>(selection);
  Log(S(), "DmSelectFlashLib %u %u", words->words[0], words->words[1]);
  return S().selectResult;
}

ZK_EXPORT uint32_t DmSetFlashBaseAddress(zk::BaseAddressRecord* record) {
  Log(S(), "DmSetFlashBaseAddress %u %u", record->baseAddress, record->mode);
  S().base = record->baseAddress;
  return 0;
}

ZK_EXPORT uint32_t DmGetSectorInfos(zk::FlashLibInfo* flash, zk::SectorInfos* out) {
  FakeDmState& s = S();
  Log(s, "DmGetSectorInfos %s", flash == nullptr ? "current" : "given");
  const auto listed = s.blocks.find(s.base);
  const std::vector<zk::FlashBlock>& blocks = listed != s.blocks.end() ? listed->second : s.defaultBlocks;
  out->flashSize = 256;
  out->blockCount = static_cast<uint16_t>(blocks.size());
  out->blocks = HandOut(s, blocks);
  return s.sectorInfosResult;
}

ZK_EXPORT uint32_t DmGetProtectedAreas(zk::ProtectedAreas* out) {
  FakeDmState& s = S();
  Log(s, "DmGetProtectedAreas");
  *out = zk::ProtectedAreas{};
  out->protectedCount = static_cast<uint16_t>(s.protectedAreas.size());
  out->noAccessCount = static_cast<uint16_t>(s.noAccessAreas.size());
  if (!s.protectedAreas.empty()) out->protectedAreas = HandOut(s, s.protectedAreas);
  if (!s.noAccessAreas.empty()) out->noAccessAreas = HandOut(s, s.noAccessAreas);
  return 0;
}

ZK_EXPORT uint32_t DmGetGeneralInfos(zk::GeneralInfos* out) {
  Log(S(), "DmGetGeneralInfos");
  *out = zk::GeneralInfos{};
  std::snprintf(out->moduleName, sizeof out->moduleName, "Fake");
  return 0;
}

ZK_EXPORT uint32_t DmEnableProtectedAreas(uint32_t enable) {
  Log(S(), "DmEnableProtectedAreas %u", enable);
  return S().enableResult;
}

ZK_EXPORT uint32_t DmEraseSectors(zk::RangeRequest* range, zk::SectorList* result, zk::WorkerThreadInfo* thread) {
  FakeDmState& s = S();
  Log(s, "DmEraseSectors %#x %#x %u", range->start, range->end, range->third);
  NoThread(thread);
  *result = zk::SectorList{};
  if (s.eraseResult != 0) return s.eraseResult;
  if (s.eraseStatus == 0) {
    for (const uint32_t address : Sectors(*range)) s.sectorStatus[address] = kBlank;
  } else {
    HandOutList(s, s.eraseEntries, result);
  }
  Start(s, s.eraseStatus);
  return 0;
}

ZK_EXPORT uint32_t DmGetSectorStatus(zk::RangeRequest* range, zk::SectorList* result, zk::WorkerThreadInfo* thread) {
  FakeDmState& s = S();
  Log(s, "DmGetSectorStatus %u %u %u", range->start, range->end, range->third);
  NoThread(thread);
  *result = zk::SectorList{};
  if (s.statusResult != 0) return s.statusResult;
  std::vector<zk::SectorStatusEntry> entries;
  for (const uint32_t address : Sectors(*range)) {
    const auto known = s.sectorStatus.find(address);
    entries.push_back({address, known != s.sectorStatus.end() ? known->second : kNotBlank});
  }
  HandOutList(s, entries, result);
  Start(s, s.statusFinal);
  return 0;
}

ZK_EXPORT uint32_t DmEraseChip(zk::SectorList* result) {
  FakeDmState& s = S();
  Log(s, "DmEraseChip");
  for (int i = s.interruptsInEraseChip; i > 0; --i) std::raise(SIGINT);
  *result = zk::SectorList{};
  if (s.eraseChipResult != 0) HandOutList(s, s.eraseChipEntries, result);
  return s.eraseChipResult;
}

ZK_EXPORT uint32_t DmFreeMemory(void* buffer) {
  FakeDmState& s = S();
  const bool known = s.handouts.erase(buffer) == 1;
  Log(s, "DmFreeMemory %s", known ? "known" : "unknown");
  if (!known) {
    ++s.unknownFrees;
    return 1;
  }
  std::free(buffer);
  return 0;
}

ZK_EXPORT uint32_t DmLoadFile(const char* path, uint32_t mode, zk::WorkerThreadInfo* thread) {
  FakeDmState& s = S();
  Log(s, "DmLoadFile %s %u", path, mode);
  NoThread(thread);
  return StartUnless(s, s.loadResult, s.loadStatus);
}

ZK_EXPORT uint32_t DmGetLoadProblem(char* text, uint32_t capacity) {
  const std::string& problem = S().loadProblem;
  if (text != nullptr && capacity > problem.size()) std::memcpy(text, problem.c_str(), problem.size() + 1);
  return static_cast<uint32_t>(problem.size());
}

ZK_EXPORT uint32_t DmSaveFile(const char* path, uint32_t mode, zk::WorkerThreadInfo* thread) {
  FakeDmState& s = S();
  Log(s, "DmSaveFile %s %u", path, mode);
  NoThread(thread);
  if (s.saveResult == 0 && s.saveStatus == 0) std::ofstream(path, std::ios::binary) << s.savedContent;
  return StartUnless(s, s.saveResult, s.saveStatus);
}

ZK_EXPORT uint32_t DmProgFlash(uint32_t address, zk::WorkerThreadInfo* thread) {
  FakeDmState& s = S();
  Log(s, "DmProgFlash %#x", address);
  NoThread(thread);
  return StartUnless(s, s.progResult, s.progStatus);
}

ZK_EXPORT uint32_t DmReadFlash(zk::ReadRequest* request, zk::WorkerThreadInfo* thread) {
  FakeDmState& s = S();
  Log(s, "DmReadFlash %u %u", request->start, request->length);
  NoThread(thread);
  return StartUnless(s, s.readResult, s.readStatus);
}

ZK_EXPORT uint32_t DmGetHexFileInfo(uint32_t address, zk::HexFileInfo* out) {
  FakeDmState& s = S();
  Log(s, "DmGetHexFileInfo %u", address);
  out->byteCount = s.imageBytes;
  out->neededSectorCount = static_cast<uint32_t>(s.neededSectors.size());
  out->neededSectors = HandOut(s, s.neededSectors);
  return 0;
}

ZK_EXPORT uint32_t DmSendPassword(zk::PasswordBlock* block) {
  Log(S(), "DmSendPassword %.*s", static_cast<int>(block->length), reinterpret_cast<const char*>(block->bytes));
  return S().passwordResult;
}

#endif  // FAKE_DM_POLL_ONLY
