// The real command layer and link driver against a module that breaks the
// protocol's promises: counts beyond what a request or an answer can hold,
// lists longer than announced or without end, an STX flood, garbage after
// the login. Every operation ends with a result code; under AddressSanitizer
// nothing reads or writes outside a buffer.
#include "platform/Threads.h"
#include "tests/e2e/CommandLayer.h"
#include "tests/e2e/ModSimProcess.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace zk::hardening {
namespace {

using e2e::CommandLayer;
using e2e::ModSimProcess;

// The demo module's bank 0: four sectors of 16 KB, then 64 KB sectors; the
// fourth sector (0xC000) is protected in its module description, not in the
// module, and the simulator's flash knows no hardware protection there.
constexpr uint32_t kSector0 = 0x0000;
constexpr uint32_t kSectorSize = 0x4000;
// Answers before the first flash command: login, password, find, select.
constexpr int kSetupAnswers = 4;

// While the module floods the line a request is refused with a code; once
// the line is quiet again the command goes through.
uint32_t UntilAccepted(const std::function<uint32_t()>& command) {
  constexpr int kAttempts = 20;
  uint32_t rc = command();
  for (int attempt = 1; attempt < kAttempts && rc != kOk; ++attempt) {
    Sleep(100);
    rc = command();
  }
  return rc;
}

std::vector<std::string> Fault(const std::string& rule) { return {"--fault", rule}; }

std::vector<std::string> Faults(std::initializer_list<std::string> rules) {
  std::vector<std::string> args;
  for (const std::string& rule : rules) args.insert(args.end(), {"--fault", rule});
  return args;
}

class HostileSession {
 public:
  explicit HostileSession(std::vector<std::string> faults) : sim_(std::move(faults)) {}

  // Login, password, the first bank's library: the answers kSetupAnswers.
  ::testing::AssertionResult Connect() {
    if (!sim_.Running()) return ::testing::AssertionFailure() << "ModSim did not start";
    if (const uint32_t rc = cmd.Login(e2e::FastModuleCopy("ZkSim-Download", sim_.Dir())); rc != 0) {
      return ::testing::AssertionFailure() << "login: " << rc;
    }
    if (const uint32_t rc = Password(); rc != 0) return ::testing::AssertionFailure() << "password: " << rc;
    FlashLibRequest request{0, 0x000000};
    FlashLibInfo info{};
    if (const uint32_t rc = cmd.findFlashLib(&request, &info); rc != 0) {
      return ::testing::AssertionFailure() << "find: " << rc;
    }
    FlashLibSelection selection{{static_cast<uint8_t>(info.words[0]), static_cast<uint8_t>(info.words[0] >> 8),
                                 static_cast<uint8_t>(info.words[3])}};
    if (const uint32_t rc = cmd.selectFlashLib(&selection); rc != 0) {
      return ::testing::AssertionFailure() << "select: " << rc;
    }
    return ::testing::AssertionSuccess();
  }

  uint32_t Password() {
    const std::string password = "zelkor";
    PasswordBlock block{static_cast<uint32_t>(password.size()), reinterpret_cast<const uint8_t*>(password.data())};
    return cmd.sendPassword(&block);
  }

  uint32_t Status(uint32_t start, uint32_t end, uint32_t step, SectorList& list) {
    RangeRequest range{start, end, step};
    cmd.sectorStatus(&range, &list, nullptr);
    return cmd.WaitWorker();
  }
  uint32_t Erase(uint32_t start, uint32_t end, SectorList& list) {
    RangeRequest range{start, end, 0};
    cmd.eraseSectors(&range, &list, nullptr);
    return cmd.WaitWorker();
  }
  uint32_t Read(uint32_t start, std::vector<uint8_t>& into, uint32_t& received) {
    ReadRequest request{start, static_cast<uint32_t>(into.size())};
    ReadResult result{0, into.data()};
    cmd.readFlash(&request, &result, nullptr);
    const uint32_t rc = cmd.WaitWorker();
    received = result.received;
    return rc;
  }
  uint32_t Program(uint32_t address, const std::vector<uint8_t>& data) {
    ProgRequest request{address, static_cast<uint16_t>(data.size()), data.data()};
    return cmd.progFlash(&request);
  }
  void Free(SectorList& list) {
    if (list.entries != nullptr) cmd.freeMemory(list.entries);
    list = SectorList{};
  }

  ModSimProcess sim_;
  CommandLayer cmd;
};

TEST(HostileModule, CountsBeyondTheRequestOrTheAnswerAreRefused) {
  // Every answer with a count claims three more entries or bytes than it
  // carries; a chip erase list more than one answer holds.
  HostileSession module(Faults({"count-overrun@*:3", "erase-fail@*"}));
  ASSERT_TRUE(module.Connect());
  SectorList list{};
  // Two steps, five entries claimed: more than the range has.
  EXPECT_EQ(module.Status(kSector0, 2 * kSectorSize - 1, kSectorSize, list), kReceiveTimeout);
  EXPECT_EQ(list.count, 0u);
  module.Free(list);

  std::vector<uint8_t> data(600);
  uint32_t received = 0;
  // Every read answer states three bytes more than it carries: no data.
  EXPECT_EQ(module.Read(kSector0, data, received), kShortAnswer);
  EXPECT_EQ(received, 0u);

  module.cmd.enableProtectedAreas(1);
  EXPECT_EQ(module.cmd.eraseChip(&list), kReceiveTimeout);
  EXPECT_EQ(list.count, 0u);
  module.Free(list);
}

TEST(HostileModule, TheLargestCountsEndWithACode) {
  HostileSession module(Fault("hostile-length@*"));
  ASSERT_FALSE(module.Connect()) << "the login answer stretched to 5000 bytes does not fit the buffer";
}

TEST(HostileModule, ListEntriesBeyondTheCountAreNotHandedOut) {
  // The erase of two sectors fails on both (erase-fail), and the list
  // carries 60 entries more than the two it announces.
  HostileSession module(Faults({"erase-fail@*", "long-list@*:60"}));
  ASSERT_TRUE(module.Connect());
  SectorList list{};
  const uint32_t rc = module.Erase(kSector0, 2 * kSectorSize - 1, list);
  EXPECT_NE(rc, kOk);
  EXPECT_LE(list.count, 2u);
  const auto* entries = static_cast<const SectorEntry*>(list.entries);
  for (uint16_t i = 0; i < list.count; ++i) EXPECT_LT(entries[i].address, 2 * kSectorSize);
  module.Free(list);
}

TEST(HostileModule, AnEndlessListIsReadNoFurtherThanItsCount) {
  // The continuations never end and the count claims 2000 more entries than
  // the list has: the host asks for no more than the count needs.
  HostileSession module(Faults({"erase-fail@*", "endless-list@*", "count-overrun@*:2000"}));
  ASSERT_TRUE(module.Connect());
  SectorList list{};
  const uint32_t rc = module.Erase(kSector0, 2 * kSectorSize - 1, list);
  EXPECT_NE(rc, kOk);
  EXPECT_LE(list.count, 2002u);
  module.Free(list);
  // The status list of the same kind: the count is checked against the range.
  EXPECT_EQ(module.Status(kSector0, 4 * kSectorSize - 1, kSectorSize, list), kReceiveTimeout);
  module.Free(list);
}

TEST(HostileModule, AnStxFloodInPlaceOfAnAnswerEndsTheExchangeAndTheReadBackFindsThePieceProgrammed) {
  HostileSession module(Fault("stx-flood@" + std::to_string(kSetupAnswers + 1) + ":20000"));
  ASSERT_TRUE(module.Connect());
  // The module ran the request and flooded the line in place of its
  // answer: the piece is read back, holds the data, and counts as done.
  const uint32_t rc = module.Program(kSector0, std::vector<uint8_t>(64, 0x5A));
  EXPECT_EQ(rc, kOk);
  EXPECT_EQ(UntilAccepted([&] { return module.Program(kSector0 + 64, std::vector<uint8_t>(64, 0x5A)); }), kOk);
}

TEST(HostileModule, GarbageAfterTheLoginEndsWithACodeAndTheSessionGoesOn) {
  HostileSession module(Fault("garbage-after-login@1:4000"));
  ASSERT_TRUE(module.sim_.Running());
  ASSERT_EQ(module.cmd.Login(e2e::FastModuleCopy("ZkSim-Download", module.sim_.Dir())), kOk);
  EXPECT_EQ(UntilAccepted([&] { return module.Password(); }), kOk);
  std::vector<uint8_t> data(300);
  uint32_t received = 0;
  EXPECT_EQ(module.Read(kSector0, data, received), kNoFlashLibrarySelected);
  EXPECT_EQ(received, 0u);
}

}  // namespace
}  // namespace zk::hardening
