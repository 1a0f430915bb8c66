#include "common/DmApi.h"
#include "common/ResultCodes.h"
#include "platform/Library.h"
#include "platform/Threads.h"
#include "tests/e2e/ModSimProcess.h"
#include "tests/support/Entry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <utility>
#include <vector>

namespace zk::e2e {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class DataManagerEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Running());
    library_ = LoadLibrary(BinDir() + "/KORDm.dll");
    ASSERT_NE(library_, nullptr) << LastLibraryError();
  }
  void TearDown() override {
    if (library_ == nullptr) return;
    ExitRequest exit{0, 0};
    Get<dm::ExitZelkorFn>("DmExitZelkor")(&exit);
    FreeLibrary(library_);
  }
  template <typename Fn>
  Fn Get(const char* name) {
    return zk::test::Entry<Fn>(library_, name);
  }
  uint32_t Wait() {
    auto status = Get<dm::PollFn>("DmGetCurrentThreadStatus");
    uint32_t s;
    while ((s = status()) == kWorkerRunning) Sleep(2);
    return s;
  }
  uint32_t File(const char* name, const std::string& path, uint32_t mode) {
    EXPECT_EQ(Get<dm::FileFn>(name)(path.c_str(), mode, nullptr), 0u);
    return Wait();
  }
  void Connect(const std::vector<uint32_t>& bankStarts = {0}) {
    const std::string module = FastModuleCopy("ZkSim-Download", sim_.Dir());
    LoginInfo info{};
    ASSERT_EQ(Get<dm::LoginFn>("DmLogin")(module.c_str(), &info, nullptr), 0u);
    ASSERT_EQ(Wait(), 0u);
    const std::string password = "zelkor";
    PasswordBlock block{static_cast<uint32_t>(password.size()), reinterpret_cast<const uint8_t*>(password.data())};
    ASSERT_EQ(Get<dm::SendPasswordFn>("DmSendPassword")(&block), 0u);
    // As the workbench connects: each bank's flash library, then its base.
    for (const uint32_t start : bankStarts) {
      FlashLibRequest request{0, start};
      FlashLibInfo lib{};
      ASSERT_EQ(Get<dm::FindFlashLibFn>("DmFindFlashLib")(&request, &lib), 0u);
      FlashLibSelectionWords words{{lib.words[0], lib.words[3]}};
      ASSERT_EQ(Get<dm::SelectFlashLibFn>("DmSelectFlashLib")(reinterpret_cast<FlashLibSelection*>(&words)), 0u);
      SetBank(start);
    }
  }
  void SetBank(uint32_t start) {
    BaseAddressRecord base{start, 1};
    ASSERT_EQ(Get<dm::SetFlashBaseAddressFn>("DmSetFlashBaseAddress")(&base), 0u);
  }
  // The needed sectors of the loaded image at address, as {start, end}.
  std::vector<std::pair<uint32_t, uint32_t>> Needed(uint32_t address) {
    HexFileInfo info{};
    EXPECT_EQ(Get<dm::GetHexFileInfoFn>("DmGetHexFileInfo")(address, &info), 0u);
    std::vector<std::pair<uint32_t, uint32_t>> needed;
    for (uint32_t i = 0; i < info.neededSectorCount; ++i) {
      const RangeRequest sector = info.neededSectors[i];
      needed.emplace_back(uint32_t{sector.start}, uint32_t{sector.end});
    }
    if (info.neededSectors != nullptr) {
      EXPECT_EQ(Get<dm::FreeMemoryFn>("DmFreeMemory")(info.neededSectors), 0u);
    }
    return needed;
  }

  ModSimProcess sim_;
  LibraryHandle library_ = nullptr;
};

TEST_F(DataManagerEndToEnd, AHexImageIsErasedProgrammedReadBackAndSavedIdentically) {
  Connect();
  // 24 KB of data below the protected parameter sector, written as HEX by
  // the reference tool.
  std::string image(0x6000, '\0');
  std::mt19937 random(7);
  for (auto& c : image) c = static_cast<char>(random());
  const std::string dir = sim_.Dir();
  std::ofstream(dir + "/in.bin", std::ios::binary) << image;
  ASSERT_EQ(std::system(("objcopy -I binary -O ihex " + dir + "/in.bin " + dir + "/in.hex").c_str()), 0);

  ASSERT_EQ(File("DmLoadFile", dir + "/in.hex", 0), 0u);
  HexFileInfo info{};
  ASSERT_EQ(Get<dm::GetHexFileInfoFn>("DmGetHexFileInfo")(0, &info), 0u);
  EXPECT_EQ(info.byteCount, image.size());
  ASSERT_EQ(info.neededSectorCount, 2u);  // two 16 KB sectors
  for (uint32_t i = 0; i < info.neededSectorCount; ++i) {
    RangeRequest range = info.neededSectors[i];
    SectorList list{};
    ASSERT_EQ(Get<dm::RangeWorkerFn>("DmEraseSectors")(&range, &list, nullptr), 0u);
    ASSERT_EQ(Wait(), 0u) << "sector " << i;
  }
  EXPECT_EQ(Get<dm::FreeMemoryFn>("DmFreeMemory")(info.neededSectors), 0u);

  ASSERT_EQ(Get<dm::ProgFlashFn>("DmProgFlash")(0, nullptr), 0u);
  ASSERT_EQ(Wait(), 0u);

  ReadRequest read{0, static_cast<uint32_t>(image.size())};
  ASSERT_EQ(Get<dm::ReadFlashFn>("DmReadFlash")(&read, nullptr), 0u);
  ASSERT_EQ(Wait(), 0u);
  ASSERT_EQ(File("DmSaveFile", dir + "/out.bin", dm::kLoadBinary), 0u);
  EXPECT_TRUE(ReadFile(dir + "/out.bin") == image);
  ASSERT_EQ(File("DmSaveFile", dir + "/out.hex", 0), 0u);
  ASSERT_EQ(std::system(("objcopy -I ihex -O binary " + dir + "/out.hex " + dir + "/back.bin").c_str()), 0);
  EXPECT_TRUE(ReadFile(dir + "/back.bin") == image);
}

TEST_F(DataManagerEndToEnd, EachBanksNeededSectorsComeFromItsOwnChip) {
  // 16 KB sectors in bank 0, 64 KB sectors in bank 1.
  Connect({0x0, 0x40000});
  const std::string dir = sim_.Dir();
  std::ofstream(dir + "/small.bin", std::ios::binary) << std::string(0x100, '\x5A');
  ASSERT_EQ(File("DmLoadFile", dir + "/small.bin", dm::kLoadBinary), 0u);
  SetBank(0x0);
  using Sectors = std::vector<std::pair<uint32_t, uint32_t>>;
  EXPECT_EQ(Needed(0x0), (Sectors{{0x0, 0x3FFF}}));
  SetBank(0x40000);
  EXPECT_EQ(Needed(0x40000), (Sectors{{0x40000, 0x4FFFF}}));
}

TEST_F(DataManagerEndToEnd, ProgrammingTheProtectedSectorIsRefused) {
  Connect();
  const std::string dir = sim_.Dir();
  std::ofstream(dir + "/p.bin", std::ios::binary) << std::string(64, '\x11');
  ASSERT_EQ(File("DmLoadFile", dir + "/p.bin", dm::kLoadBinary), 0u);
  RangeRequest range{0xC000, 0xFFFF, 0};
  SectorList list{};
  EXPECT_EQ(Get<dm::RangeWorkerFn>("DmEraseSectors")(&range, &list, nullptr), kProtectedBySoftware);

  // A HEX image with one record in the sector is refused before its first
  // record, at 0, reaches the flash.
  const std::string flashBefore = ReadFile(dir + "/flash.img");
  const std::string data(32, '2');
  std::ofstream(dir + "/p.hex") << ":10000000" << data << "D0\n:10C00000" << data << "10\n:00000001FF\n";
  ASSERT_EQ(File("DmLoadFile", dir + "/p.hex", 0), 0u);
  ASSERT_EQ(Get<dm::ProgFlashFn>("DmProgFlash")(0, nullptr), 0u);
  EXPECT_EQ(Wait(), kProtectedBySoftware);
  EXPECT_TRUE(ReadFile(dir + "/flash.img") == flashBefore) << "nothing is programmed";
}

}  // namespace
}  // namespace zk::e2e
