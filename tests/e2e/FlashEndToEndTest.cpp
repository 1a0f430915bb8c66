#include "platform/Ini.h"
#include "tests/e2e/CommandLayer.h"
#include "tests/e2e/ModSimProcess.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace zk::e2e {
namespace {

constexpr uint32_t kBank0Size = 0x40000;
constexpr uint16_t kChunk = 248;

class FlashEndToEnd : public ::testing::Test {
 protected:
  explicit FlashEndToEnd(std::vector<std::string> simArgs = {}) : sim_(std::move(simArgs)) {}

  void SetUp() override {
    ASSERT_TRUE(sim_.Running());
    module_ = FastModuleCopy("ZkSim-Download", sim_.Dir());
    ASSERT_EQ(cmd_.Login(module_), 0u);
    const std::string password = "zelkor";
    PasswordBlock block{static_cast<uint32_t>(password.size()), reinterpret_cast<const uint8_t*>(password.data())};
    ASSERT_EQ(cmd_.sendPassword(&block), 0u);
    FlashLibRequest request{0, 0x000000};
    FlashLibInfo info{};
    ASSERT_EQ(cmd_.findFlashLib(&request, &info), 0u);
    ASSERT_NE(info.words[0], 0) << "the first bank offers a flash library";
    FlashLibSelection selection{{static_cast<uint8_t>(info.words[0]), static_cast<uint8_t>(info.words[0] >> 8),
                                 static_cast<uint8_t>(info.words[3])}};
    ASSERT_EQ(cmd_.selectFlashLib(&selection), 0u);
  }

  uint32_t Erase(uint32_t start, uint32_t end, SectorList* list) {
    RangeRequest range{start, end, 0};
    cmd_.eraseSectors(&range, list, nullptr);
    return cmd_.WaitWorker();
  }

  uint32_t Program(uint32_t address, const std::vector<uint8_t>& data) {
    for (std::size_t done = 0; done < data.size(); done += kChunk) {
      const auto n = static_cast<uint16_t>(std::min<std::size_t>(kChunk, data.size() - done));
      ProgRequest request{address + static_cast<uint32_t>(done), n, data.data() + done};
      if (uint32_t rc = cmd_.progFlash(&request); rc != 0) return rc;
    }
    return 0;
  }

  std::vector<uint8_t> Read(uint32_t address, uint32_t length, uint32_t* status) {
    std::vector<uint8_t> out(length);
    ReadRequest request{address, length};
    ReadResult result{0, out.data()};
    cmd_.readFlash(&request, &result, nullptr);
    *status = cmd_.WaitWorker();
    out.resize(result.received);
    return out;
  }

  // The status of every entry of [start, end] in steps of step.
  std::vector<uint8_t> Statuses(uint32_t start, uint32_t end, uint32_t step,
                                std::vector<uint32_t>* addresses = nullptr) {
    RangeRequest range{start, end, step};
    SectorList list{};
    cmd_.sectorStatus(&range, &list, nullptr);
    EXPECT_EQ(cmd_.WaitWorker(), 0u);
    std::vector<uint8_t> statuses;
    const auto* entries = static_cast<const SectorStatusEntry*>(list.entries);
    for (uint16_t i = 0; i < list.count; ++i) {
      statuses.push_back(entries[i].status);
      const uint32_t address = entries[i].address;  // a packed field: copied first
      if (addresses != nullptr) addresses->push_back(address);
    }
    if (list.entries != nullptr) {
      EXPECT_EQ(cmd_.freeMemory(list.entries), 0u);
    }
    return statuses;
  }

  ModSimProcess sim_;
  std::string module_;
  CommandLayer cmd_;
};

TEST_F(FlashEndToEnd, AWholeBankIsProgrammedAndReadBackIdentically) {
  std::vector<uint8_t> image(kBank0Size);
  std::mt19937 random(42);
  for (auto& b : image) b = static_cast<uint8_t>(random());
  SectorList list{};
  ASSERT_EQ(Erase(0, kBank0Size - 1, &list), 0u);
  ASSERT_EQ(Program(0, image), 0u);
  uint32_t status = 1;
  const std::vector<uint8_t> back = Read(0, kBank0Size, &status);
  ASSERT_EQ(status, 0u);
  ASSERT_EQ(back.size(), image.size());
  EXPECT_TRUE(back == image) << "read-back differs from the programmed image";
}

TEST_F(FlashEndToEnd, SectorStatusFollowsTheContent) {
  SectorList list{};
  ASSERT_EQ(Erase(0, 0xFFFF, &list), 0u);
  ASSERT_EQ(Program(0x4000, std::vector<uint8_t>(16, 0x12)), 0u);
  RangeRequest range{0, 0xFFFF, 0x4000};
  cmd_.sectorStatus(&range, &list, nullptr);
  ASSERT_EQ(cmd_.WaitWorker(), 0u);
  ASSERT_EQ(list.count, 4);
  const auto* entries = static_cast<const SectorStatusEntry*>(list.entries);
  EXPECT_EQ(entries[0].status, kBlank);
  EXPECT_EQ(entries[1].status, kNotBlank);
  EXPECT_EQ(entries[2].status, kBlank);
  EXPECT_EQ(cmd_.freeMemory(list.entries), 0u);
}

TEST_F(FlashEndToEnd, AWriteAcrossTheBankEndLandsInBothBanks) {
  SectorList list{};
  ASSERT_EQ(Erase(0x30000, 0x3FFFF, &list), 0u);
  ASSERT_EQ(Erase(0x40000, 0x4FFFF, &list), 0u);
  std::vector<uint8_t> data(0x300);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  ProgRequest request{0x3FF00, static_cast<uint16_t>(data.size()), data.data()};
  ASSERT_EQ(cmd_.progFlash(&request), 0u);
  // Reading is not split at bank ends: one read per bank.
  uint32_t status = 1;
  std::vector<uint8_t> back = Read(0x3FF00, 0x100, &status);
  EXPECT_EQ(status, 0u);
  const std::vector<uint8_t> second = Read(0x40000, 0x200, &status);
  EXPECT_EQ(status, 0u);
  back.insert(back.end(), second.begin(), second.end());
  EXPECT_EQ(back, data);
}

TEST_F(FlashEndToEnd, AWriteEndingOneByteIntoTheNextBankLandsInBothBanks) {
  SectorList list{};
  ASSERT_EQ(Erase(0x30000, 0x3FFFF, &list), 0u);
  ASSERT_EQ(Erase(0x40000, 0x4FFFF, &list), 0u);
  std::vector<uint8_t> data(0x101);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 3 + 1);
  ProgRequest request{0x3FF00, static_cast<uint16_t>(data.size()), data.data()};
  ASSERT_EQ(cmd_.progFlash(&request), 0u);
  uint32_t status = 1;
  std::vector<uint8_t> back = Read(0x3FF00, 0x100, &status);
  const std::vector<uint8_t> last = Read(0x40000, 1, &status);
  EXPECT_EQ(status, 0u);
  back.insert(back.end(), last.begin(), last.end());
  EXPECT_EQ(back, data);
}

TEST_F(FlashEndToEnd, SectorStatusStaysAlignedAfterANonAccessAreaEndingInsideAStep) {
  ASSERT_TRUE(ini::WriteString(module_, "Non Access Area 1", "StartAddress", "0x2000"));
  ASSERT_TRUE(ini::WriteString(module_, "Non Access Area 1", "EndAddress", "0x5FFF"));
  SectorList list{};
  ASSERT_EQ(Erase(0, 0xFFFF, &list), 0u);
  ASSERT_EQ(Program(0x8000, std::vector<uint8_t>(16, 0x12)), 0u);
  std::vector<uint32_t> addresses;
  EXPECT_EQ(Statuses(0, 0xFFFF, 0x4000, &addresses), (std::vector<uint8_t>{kBlank, kBlank, kNotBlank, kBlank}));
  EXPECT_EQ(addresses, (std::vector<uint32_t>{0x0, 0x4000, 0x8000, 0xC000}));
}

TEST_F(FlashEndToEnd, ProgrammingCannotSetErasedBitsBackWithoutErase) {
  SectorList list{};
  ASSERT_EQ(Erase(0, 0x3FFF, &list), 0u);
  ASSERT_EQ(Program(0x100, std::vector<uint8_t>(8, 0x0F)), 0u);
  EXPECT_NE(Program(0x100, std::vector<uint8_t>(8, 0xF0)), 0u);
}

TEST_F(FlashEndToEnd, AReadWorksOnACopyOfItsRequest) {
  std::vector<uint8_t> image(600);
  std::mt19937 random(5);
  for (auto& b : image) b = static_cast<uint8_t>(random());
  SectorList list{};
  ASSERT_EQ(Erase(0x2000, 0x3FFF, &list), 0u);
  ASSERT_EQ(Program(0x2000, image), 0u);
  std::vector<uint8_t> out(image.size());
  ReadRequest request{0x2000, static_cast<uint32_t>(image.size())};
  ReadResult result{0, out.data()};
  cmd_.readFlash(&request, &result, nullptr);
  request = ReadRequest{0x20000, static_cast<uint32_t>(image.size())};  // the caller's record, changed at once
  ASSERT_EQ(cmd_.WaitWorker(), 0u);
  EXPECT_EQ(result.received, image.size());
  EXPECT_TRUE(out == image) << "the read followed the changed record";
}

TEST_F(FlashEndToEnd, TheFirmwaresAreaIsRefused) {
  std::vector<uint8_t> data(16, 0);
  ProgRequest request{0x0B0000, 16, data.data()};
  EXPECT_EQ(cmd_.progFlash(&request), kNotAccessible);
}

// Every list answer claims one entry more than the module has, so that it
// ends the list in a continuation of its own.
class ShortListEndToEnd : public FlashEndToEnd {
 protected:
  ShortListEndToEnd() : FlashEndToEnd({"--fault", "count-overrun@*"}) {}
};

TEST_F(ShortListEndToEnd, AStatusListEndedEarlyKeepsTheEntriesThatCame) {
  // 202 entries are 1010 bytes: the first answer and three continuations
  // full, then the continuation that ends the list.
  std::vector<uint32_t> addresses;
  EXPECT_EQ(Statuses(0, 202 * 0x100 - 1, 0x100, &addresses), std::vector<uint8_t>(202, kBlank));
  ASSERT_EQ(addresses.size(), 202u);
  EXPECT_EQ(addresses.back(), 201u * 0x100);
}

}  // namespace
}  // namespace zk::e2e
