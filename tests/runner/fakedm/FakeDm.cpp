// A data manager for the runner's tests: every call is appended to the file
// $FAKE_DM_LOG, and the results come from section [Fake] of the INI file
// $FAKE_DM_CONFIG (read at each call). Workers are simulated: after a
// worker starts, the status query answers 192 `Polls` times (-1: until it is
// stopped), then the operation's status.
//
// FAKE_DM_IDENTITY=n: DmGetProgress always answers n (which library is it?).
// FAKE_DM_POLL_ONLY: only the progress, stop and status queries exist.
#include "common/DmApi.h"
#include "common/Export.h"
#include "platform/Ini.h"

#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kRunning = 192;
constexpr uint32_t kStopped = 1;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

int Config(const char* key, int defaultValue) {
  return zk::ini::GetInt(Env("FAKE_DM_CONFIG"), "Fake", key, defaultValue);
}

std::string ConfigText(const char* key, const char* defaultValue) {
  return zk::ini::GetString(Env("FAKE_DM_CONFIG"), "Fake", key, defaultValue, 1000);
}

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

__attribute__((format(printf, 1, 2))) void Log(const char* format, ...) {
  const std::string path = Env("FAKE_DM_LOG");
  if (path.empty()) return;
  std::FILE* file = std::fopen(path.c_str(), "a");
  if (file == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(file, format, args);
  va_end(args);
  std::fputc('\n', file);
  std::fclose(file);
}

struct Worker {
  bool running = false;
  int pollsLeft = 0;
  int polls = 0;
  uint32_t endStatus = 0;
  uint32_t status = 0;
  int stops = 0;
};

Worker gWorker;

[[maybe_unused]] void Start(uint32_t endStatus) {
  gWorker.running = true;
  gWorker.pollsLeft = Config("Polls", 2);
  gWorker.polls = 0;
  gWorker.endStatus = endStatus;
  gWorker.stops = 0;
}

// The buffers handed out and not given back yet.
struct Handouts {
  std::set<void*> buffers;
  ~Handouts() {
    if (!buffers.empty()) Log("unreturned %zu", buffers.size());
    for (void* buffer : buffers) std::free(buffer);
  }
};

Handouts gHandouts;

[[maybe_unused]] void* HandOut(std::size_t bytes) {
  void* buffer = std::calloc(1, bytes == 0 ? 1 : bytes);
  gHandouts.buffers.insert(buffer);
  return buffer;
}

}  // namespace

ZK_EXPORT uint32_t DmGetProgress(void) {
#ifdef FAKE_DM_IDENTITY
  return FAKE_DM_IDENTITY;
#else
  return gWorker.running ? static_cast<uint32_t>(Config("Progress", 50)) : 100;
#endif
}

ZK_EXPORT uint32_t DmGetCurrentThreadStatus(void) {
  if (!gWorker.running) return gWorker.status;
  ++gWorker.polls;
  if (Config("InterruptAtPoll", 0) == gWorker.polls) std::raise(SIGINT);
  if (gWorker.pollsLeft < 0) return kRunning;
  if (gWorker.pollsLeft-- > 0) return kRunning;
  gWorker.running = false;
  gWorker.status = gWorker.endStatus;
  return gWorker.status;
}

ZK_EXPORT uint32_t DmStopCurrentThread(void) {
  Log("DmStopCurrentThread");
  if (Config("InterruptInStop", 0) != 0) std::raise(SIGINT);
  const std::vector<std::vector<uint32_t>> results = Groups(ConfigText("StopResults", "0"));
  const std::vector<uint32_t> sequence = results.empty() ? std::vector<uint32_t>{0} : results.front();
  const uint32_t result = sequence[std::min<std::size_t>(static_cast<std::size_t>(gWorker.stops), sequence.size() - 1)];
  ++gWorker.stops;
  if (result == 0 && gWorker.running) {
    gWorker.running = false;
    gWorker.status = kStopped;
  }
  return result;
}

#ifndef FAKE_DM_POLL_ONLY

ZK_EXPORT uint32_t DmLogin(const char* modulePath, zk::LoginInfo*, zk::WorkerThreadInfo* thread) {
  Log("DmLogin %s", modulePath);
  if (thread != nullptr) *thread = zk::WorkerThreadInfo{};
  const auto result = static_cast<uint32_t>(Config("LoginResult", 0));
  if (result == 0) Start(static_cast<uint32_t>(Config("LoginStatus", 0)));
  return result;
}

ZK_EXPORT uint32_t DmExitZelkor(zk::ExitRequest* request) {
  Log("DmExitZelkor %u %u", request->mode, request->address);
  return 0;
}

ZK_EXPORT uint32_t DmCheckOldZelkor(void) {
  Log("DmCheckOldZelkor");
  return static_cast<uint32_t>(Config("CheckOld", 0));
}

ZK_EXPORT uint32_t DmFindFlashLib(zk::FlashLibRequest* request, zk::FlashLibInfo* info) {
  static std::size_t next = 0;
  if (request->selector == 0) next = 0;
  Log("DmFindFlashLib %u %u", request->selector, request->flashStart);
  const auto libraries = Groups(ConfigText("Libraries", "1 0x2101 0xa7 1"));
  *info = zk::FlashLibInfo{};
  if (next >= libraries.size()) return static_cast<uint32_t>(Config("FindEndResult", 0));
  const std::vector<uint32_t>& words = libraries[next++];
  for (std::size_t i = 0; i < 4 && i < words.size(); ++i) info->words[i] = static_cast<uint16_t>(words[i]);
  return 0;
}

ZK_EXPORT uint32_t DmSelectFlashLib(zk::FlashLibSelection* selection) {
  const auto* words = reinterpret_cast<const zk::FlashLibSelectionWords*>(selection);
  Log("DmSelectFlashLib %u %u", words->words[0], words->words[1]);
  return 0;
}

ZK_EXPORT uint32_t DmGetSectorInfos(zk::FlashLibInfo* flash, zk::SectorInfos* out) {
  Log("DmGetSectorInfos %s", flash == nullptr ? "current" : "given");
  const auto blocks = Groups(ConfigText("Blocks", "0 0x4000 4; 0x10000 0x10000 3"));
  out->blockCount = static_cast<uint16_t>(blocks.size());
  out->blocks = static_cast<zk::FlashBlock*>(HandOut(blocks.size() * sizeof(zk::FlashBlock)));
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    out->blocks[i] = zk::FlashBlock{blocks[i].at(0), blocks[i].at(1), static_cast<uint16_t>(blocks[i].at(2))};
  }
  return static_cast<uint32_t>(Config("SectorInfosResult", 0));
}

ZK_EXPORT uint32_t DmEraseChip(zk::SectorList* result) {
  Log("DmEraseChip");
  for (int i = Config("InterruptsInEraseChip", 0); i > 0; --i) std::raise(SIGINT);
  const auto code = static_cast<uint32_t>(Config("EraseChipResult", 0));
  *result = zk::SectorList{};
  if (code != 0) {
    result->count = 1;
    result->entries = HandOut(sizeof(zk::SectorEntry));
  }
  return code;
}

ZK_EXPORT uint32_t DmEraseSectors(zk::RangeRequest* range, zk::SectorList* result, zk::WorkerThreadInfo*) {
  Log("DmEraseSectors %#x %#x %u", range->start, range->end, range->third);
  *result = zk::SectorList{};
  const auto code = static_cast<uint32_t>(Config("EraseResult", 0));
  if (code != 0) return code;
  const auto status = static_cast<uint32_t>(Config("EraseStatus", 0));
  if (status != 0) {
    result->count = 1;
    result->entries = HandOut(sizeof(zk::SectorEntry));
  }
  Start(status);
  return 0;
}

ZK_EXPORT uint32_t DmLoadFile(const char* path, uint32_t mode, zk::WorkerThreadInfo*) {
  Log("DmLoadFile %s %u", path, mode);
  const auto code = static_cast<uint32_t>(Config("LoadResult", 0));
  if (code == 0) Start(static_cast<uint32_t>(Config("LoadStatus", 0)));
  return code;
}

ZK_EXPORT uint32_t DmProgFlash(uint32_t address, zk::WorkerThreadInfo*) {
  Log("DmProgFlash %#x", address);
  const auto code = static_cast<uint32_t>(Config("ProgResult", 0));
  if (code == 0) Start(static_cast<uint32_t>(Config("ProgStatus", 0)));
  return code;
}

ZK_EXPORT uint32_t DmFreeMemory(void* buffer) {
  const bool known = gHandouts.buffers.erase(buffer) == 1;
  Log("DmFreeMemory %s", known ? "known" : "unknown");
  if (known) std::free(buffer);
  return known ? 0 : 1;
}

#endif  // FAKE_DM_POLL_ONLY
