// The command layer's flash operations fed arbitrary answer frames through
// an in-process transport: whatever the module answers, an operation ends
// with a result code, never reads or writes outside a buffer, hands out
// lists it can vouch for, and reports programming as done only when every
// piece was sent whole and answered with its echo and status 0.
#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "common/CmmApi.h"
#include "common/ResultCodes.h"
#include "fuzz/FakeTransport.h"
#include "fuzz/FuzzInput.h"
#include "platform/Messages.h"
#include "platform/NonCopyable.h"

#include <sched.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace {

using namespace zk;
using fuzz::FakeTransport;
using fuzz::FuzzInput;

constexpr uint8_t kProgramCode = 0x05;
constexpr std::size_t kProgramHeader = 7;
constexpr uint32_t kLongestRead = 3000;

constexpr char kModule[] =
    "[General]\nNumberOfProtectedAreas=0\nNumberOfNonAccessAreas=1\n"
    "[FlashConfig]\nFlashBanks=2\nFlashStart=0x0\nFlashEnd=0x3FFFF\nFlashMode=1\n"
    "FlashStart1=0x40000\nFlashEnd1=0xBFFFF\nFlashMode1=7\n"
    "[Non Access Area 1]\nStartAddress=0xB0000\nEndAddress=0xBFFFF\n";

std::string ModulePath() {
  static const std::string path = [] {
    const std::string dir = "/tmp/zk-fuzz-answers-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    const std::string file = dir + "/modul.ini";
    if (std::FILE* f = std::fopen(file.c_str(), "wb")) {
      std::fputs(kModule, f);
      std::fclose(f);
    }
    return file;
  }();
  return path;
}

void Setup() {
  static const bool done = [] {
    FakeTransport::Bind();
    cmd::CurrentSession().pollPause = [] { sched_yield(); };
    return true;
  }();
  (void)done;
  cmd::CurrentSession().SetModulePath(ModulePath());
}

std::size_t ThreadCount() {
  std::error_code error;
  std::size_t count = 0;
  for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
       it.increment(error)) {
    ++count;
  }
  return count;
}

// Workers run on detached threads whose last clean-up (their thread-local
// state, the start block) follows the published end. The leak check after
// an input must not catch a worker half-way out, so the wait lasts until the
// process is back to the threads it had before the input.
class ThreadsBack : private NonCopyable {
 public:
  ThreadsBack() : before_(ThreadCount()) {}
  ~ThreadsBack() {
    while (ThreadCount() > before_) sched_yield();
  }

 private:
  std::size_t before_;
};

ResultCode WaitForWorker() {
  uint32_t status;
  while ((status = CmmGetCurrentThreadStatus()) == kWorkerRunning) sched_yield();
  return status;
}

// The end messages the workers post to this thread.
void DrainMessages() {
  Msg msg;
  while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

void TouchList(const SectorList& list, std::size_t entrySize) {
  if (list.count == 0) {
    ZK_FUZZ_CHECK(list.entries == nullptr);
    return;
  }
  ZK_FUZZ_CHECK(list.entries != nullptr);
  const auto* bytes = static_cast<const uint8_t*>(list.entries);
  volatile uint8_t sink = 0;
  for (std::size_t i = 0; i < list.count * entrySize; ++i) sink = static_cast<uint8_t>(sink + bytes[i]);
  CmmFreeMemory(list.entries);
}

// Programming reported as done: every piece went out whole, in order, and
// was answered with its echo and status 0.
void CheckProgrammed(const ProgRequest& original, const std::vector<uint8_t>& data) {
  uint64_t next = original.address;
  std::size_t offset = 0;
  for (const fuzz::SentRequest& sent : FakeTransport::Instance().Requests()) {
    if (sent.bytes.empty() || sent.bytes[0] != kProgramCode) continue;
    ZK_FUZZ_CHECK(sent.bytes.size() >= kProgramHeader);
    const uint32_t address =
        sent.bytes[1] | (sent.bytes[2] << 8) | (sent.bytes[3] << 16) | (uint32_t{sent.bytes[4]} << 24);
    const std::size_t count = sent.bytes[5] | (sent.bytes[6] << 8);
    ZK_FUZZ_CHECK(sent.bytes.size() == kProgramHeader + count);
    ZK_FUZZ_CHECK(address == next);
    ZK_FUZZ_CHECK(offset + count <= data.size());
    ZK_FUZZ_CHECK(std::memcmp(sent.bytes.data() + kProgramHeader, data.data() + offset, count) == 0);
    ZK_FUZZ_CHECK(sent.answered && sent.effective0 == kProgramCode && sent.effective1 == 0);
    next += count;
    offset += count;
  }
  ZK_FUZZ_CHECK(offset == data.size());
}

void Program(FuzzInput& in) {
  const uint32_t address = in.U32() % 0xC0000;
  const std::size_t length = in.U16() % 5000;
  std::vector<uint8_t> data(length);
  for (uint8_t& b : data) b = static_cast<uint8_t>(address + (&b - data.data()));
  ProgRequest request{address, static_cast<uint16_t>(length), data.data()};
  const ProgRequest original = request;
  FakeTransport::Instance().Start(&in);
  const uint32_t rc = CmmProgFlash(&request);
  if (rc == kOk && length > 0) CheckProgrammed(original, data);
}

void Read(FuzzInput& in) {
  ReadRequest request{in.U32() % 0xC0000, in.U16() % kLongestRead};
  auto destination = std::make_unique<uint8_t[]>(request.length + 1);
  ReadResult result{0, request.length ? destination.get() : nullptr};
  cmd::CurrentSession().settings.passwordAccepted = 1;
  FakeTransport::Instance().Start(&in);
  WorkerThreadInfo info{};
  CmmReadFlash(&request, &result, &info);
  if (WaitForWorker() == kOk) ZK_FUZZ_CHECK(result.received <= request.length);
}

RangeRequest Range(FuzzInput& in) {
  const uint32_t start = in.U32() % 0xC0000;
  return RangeRequest{start, start + in.U32() % 0x20000, in.U8() % 2 ? in.U32() : 0x4000u};
}

void Status(FuzzInput& in) {
  RangeRequest range = Range(in);
  SectorList list{};
  FakeTransport::Instance().Start(&in);
  WorkerThreadInfo info{};
  CmmGetSectorStatus(&range, &list, &info);
  WaitForWorker();
  TouchList(list, sizeof(SectorStatusEntry));
}

void Erase(FuzzInput& in, bool blocks) {
  RangeRequest range = Range(in);
  SectorList list{};
  FakeTransport::Instance().Start(&in);
  WorkerThreadInfo info{};
  if (blocks)
    CmmEraseBlocks(&range, &list, &info);
  else
    CmmEraseSectors(&range, &list, &info);
  WaitForWorker();
  TouchList(list, sizeof(SectorEntry));
}

void EraseChip(FuzzInput& in) {
  SectorList list{};
  cmd::CurrentSession().settings.protectedAreasEnabled = in.U8() & 1;
  FakeTransport::Instance().Start(&in);
  CmmEraseChip(&list);
  TouchList(list, sizeof(SectorEntry));
}

void Short(FuzzInput& in) {
  const uint8_t which = in.U8();
  FakeTransport::Instance().Start(&in);
  switch (which % 4) {
    case 0: {
      FlashLibRequest request{in.U8(), in.U8() % 2 ? 0x40000u : 0u};
      FlashLibInfo info{};
      CmmFindFlashLib(&request, &info);
      break;
    }
    case 1: {
      FlashLibSelection selection{{1, 0, 1}};
      CmmSelectFlashLib(&selection);
      break;
    }
    case 2: {
      const uint8_t word[] = {'z', 'k'};
      PasswordBlock block{sizeof word, word};
      CmmSendPassword(&block);
      break;
    }
    default: CmmCheckOldZelkor(); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Setup();
  const ThreadsBack threadsBack;
  FuzzInput in(data, size);
  cmd::CurrentSession().settings.readFailed = 0;
  switch (in.U8() % 7) {
    case 0: Program(in); break;
    case 1: Read(in); break;
    case 2: Status(in); break;
    case 3: Erase(in, false); break;
    case 4: Erase(in, true); break;
    case 5: EraseChip(in); break;
    default: Short(in); break;
  }
  FakeTransport::Instance().Start(nullptr);
  DrainMessages();
  return 0;
}
