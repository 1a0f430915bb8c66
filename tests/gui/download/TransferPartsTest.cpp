// The rules of the download and upload pages that need no page: the transfer
// meter, the bank offset list, file types by name, the upload range, the
// texts of sizes, times and areas, the open dialog's filters, and the file
// watcher's comparison of time stamps.
#include "gui/dialogs/EnterBinAddress.h"
#include "gui/dialogs/FileDialogs.h"
#include "gui/download/BankOffsets.h"
#include "gui/download/DownloadPage.h"
#include "gui/download/FileFacts.h"
#include "gui/download/FileWatcher.h"
#include "gui/download/TransferMeter.h"
#include "gui/flashinfo/ProtectedAreaInfo.h"
#include "gui/upload/SavePage.h"
#include "tests/gui/GuiFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace zk::gui {
namespace {

using test::TempDir;

TEST(TransferMeterTest, BytesDoneOfTheTotalRateAndTimeLeftFromThePercent) {
  using namespace std::chrono_literals;
  CTransferMeter meter;
  const CTransferMeter::Clock::time_point start{};
  meter.Start(40960, start);
  EXPECT_EQ(meter.ProgressText(), "0 of 40960 bytes");
  meter.Update(25, start + 2s);
  EXPECT_EQ(meter.ProgressText(), "10240 of 40960 bytes, 5.0 kB/s, 0:06 left");
  meter.Update(100, start + 8s);
  EXPECT_EQ(meter.ProgressText(), "40960 of 40960 bytes, 5.0 kB/s, 0:00 left");
  EXPECT_EQ(CTransferMeter::RateText(812.4), "812 bytes/s");
  EXPECT_EQ(CTransferMeter::ClockText(725), "12:05");
}
using test::WriteFile;

TEST(BankOffsetsTest, OneEntryPer64KilobytesLeavingOutBanksAProtectedAreaCoversExactly) {
  const std::vector<AddressRange> areas{{0x10000, 0x1FFFF}, {0x20000, 0x2FFFE}, {0x30000, 0x4FFFF}};
  EXPECT_EQ(OfferedBanks(256, areas, false), (std::vector<uint32_t>{0, 2, 3}));
  EXPECT_EQ(OfferedBanks(256, areas, true), (std::vector<uint32_t>{0, 1, 2, 3}));
  EXPECT_TRUE(OfferedBanks(63, {}, false).empty());
  // A size beyond the address space offers no bank beyond it.
  EXPECT_EQ(OfferedBanks(0xFFFFFFFFu, {}, false).size(), 0x10000u);
}

TEST(BankOffsetsTest, EntryTextsAndTheMappedAddress) {
  EXPECT_EQ(BankEntryText(12), "Bank 12");
  EXPECT_EQ(BankOfEntry("Bank 12"), 12u);
  for (const char* text : {"Bank ", "Bank 1x", "bank 1", "Bank -1", "Bank 65536", ""}) {
    EXPECT_FALSE(BankOfEntry(text)) << text;
  }
  EXPECT_EQ(MappedAddressText(0), "0x0");
  EXPECT_EQ(MappedAddressText(0x2A), "0x2A0000");
}

TEST(UploadRangeTest, BothEndsCountAndABackwardsOrInvalidRangeIsRefused) {
  const std::optional<UploadRange> range = ParseUploadRange("0", "FFFF");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->start, 0u);
  EXPECT_EQ(range->length, 0x10000u);
  EXPECT_EQ(ParseUploadRange("0x100", "0x100")->length, 1u);
  std::string problem;
  EXPECT_FALSE(ParseUploadRange("200", "100", &problem));
  EXPECT_FALSE(problem.empty());
  EXPECT_FALSE(ParseUploadRange("0", "FFFFFFFF"));  // 4 GB do not fit the length
  EXPECT_FALSE(ParseUploadRange("12G", "100"));
  EXPECT_FALSE(ParseUploadRange("0", "1 0"));
}

TEST(BinAddressTest, TheProgramsNumberRuleWithBareHexDigits) {
  EXPECT_EQ(ParseBinAddress("0x1F00"), 0x1F00u);
  EXPECT_EQ(ParseBinAddress(" 8000 "), 0x8000u);
  EXPECT_EQ(ParseBinAddress("10K"), 0x4000u);
  EXPECT_EQ(ParseBinAddress(""), 0u);
  EXPECT_EQ(ParseUploadRange("1M", "0x1FFFFF")->length, 0x100000u);
  EXPECT_FALSE(ParseBinAddress("80G0"));
  EXPECT_FALSE(ParseBinAddress("123456789"));
}

TEST(FileFactsTest, SizesInKilobytesTheDirectoryAndTheTimeText) {
  EXPECT_EQ(KBytesText(0), "0.000 kBytes");
  EXPECT_EQ(KBytesText(1536), "1.500 kBytes");
  EXPECT_EQ(KBytesText(0x10000), "64.000 kBytes");
  EXPECT_EQ(DirectoryWithSeparator("/a/b/c.hex"), "/a/b/");
  EXPECT_EQ(DirectoryWithSeparator("c.hex"), "");
  EXPECT_FALSE(FileTimeText(FileTime{1700000000}).empty());
  EXPECT_FALSE(LocalLastWriteTime("/nonexistent/file"));
  EXPECT_EQ(AreaRangeText({0xC000, 0xFFFF}), "0xC000 - 0xFFFF");
  EXPECT_EQ(AreaRangeText({0, 0xB0000}), "0x0 - 0xB0000");
}

TEST(FileDialogsTest, ClassicFiltersBecomeNameFiltersWithBothCases) {
  const QStringList filters = NameFilters("(extended) HexFiles (*.h86, *.hex)|*.h86; *.hex|all files (*.*)|*.*||");
  ASSERT_EQ(filters.size(), 2);
  EXPECT_EQ(filters[0], "(extended) HexFiles (*.h86, *.hex) (*.h86 *.H86 *.hex *.HEX)");
  EXPECT_EQ(filters[1], "all files (*.*) (*.*)");
  EXPECT_TRUE(NameFilters("").isEmpty());
  EXPECT_EQ(NameFilters("only text").size(), 0);
}

TEST(FileWatcherTest, EachNewTimeIsTakenOnceByOneSide) {
  TempDir dir;
  const std::string file = dir.Path() + "/image.hex";
  WriteFile(file, ":00000001FF\n");
  const auto stamp = std::chrono::floor<std::chrono::seconds>(std::filesystem::last_write_time(file));
  std::filesystem::last_write_time(file, stamp);
  const FileTime written = *LocalLastWriteTime(file);
  std::atomic<int> byThread{0};
  int byGui = 0;
  CFileWatcher watcher;
  watcher.Start(file, written, [&byThread] { ++byThread; });
  EXPECT_TRUE(watcher.Running());
  // The watcher thread and the gui race for a new time; whichever comes
  // first takes it, and the other one sees no change.
  const auto takes = [&](std::chrono::milliseconds patience) {
    const auto until = std::chrono::steady_clock::now() + patience;
    while (byThread + byGui == 0 && std::chrono::steady_clock::now() < until) {
      if (watcher.TakeChange()) {
        ++byGui;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (watcher.TakeChange()) ++byGui;
    const int total = byThread + byGui;
    byThread = 0;
    byGui = 0;
    return total;
  };
  EXPECT_EQ(takes(std::chrono::milliseconds(100)), 0);
  std::filesystem::last_write_time(file, stamp + std::chrono::seconds(5));
  EXPECT_EQ(takes(std::chrono::seconds(5)), 1);
  // Within the same second it is no change.
  std::filesystem::last_write_time(file, stamp + std::chrono::milliseconds(5100));
  EXPECT_EQ(takes(std::chrono::milliseconds(200)), 0);
  watcher.Forget();
  EXPECT_FALSE(watcher.Running());
  std::filesystem::last_write_time(file, stamp + std::chrono::seconds(20));
  EXPECT_FALSE(watcher.TakeChange());
  EXPECT_EQ(byThread, 0);
}

}  // namespace
}  // namespace zk::gui
