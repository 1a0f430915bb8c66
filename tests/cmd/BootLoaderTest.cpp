#include "cmd/BootFile.h"
#include "cmd/BootLoader.h"
#include "tests/cmd/BootPeer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace zk::cmd::test {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Seq(std::size_t n, uint8_t first = 0) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
  return v;
}

class BootLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guard_ = line_.Install();
    line_.peer = peer_.Peer();
    hooks_.timing = line_.Timing();
    request_.port = 1;
    request_.baud = 57600;
    request_.line.autoBoot = 0;
  }

  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  // A download whose boot file holds bootSize bytes and whose flash file is given.
  ResultCode Download(std::size_t bootSize, const std::vector<uint8_t>& flash) {
    peer_.bootCodeSize = bootSize;
    request_.bootFile = WriteFile("boot.bin", BootFileBuilder().Memory(0, Seq(bootSize)).End().bytes);
    request_.flashFile = WriteFile("flash.bin", flash);
    return RunBootDownload(request_, hooks_);
  }

  zk::test::TempDir temp_{"zk-boot"};
  fs::path dir_ = temp_.path();
  FakeLine line_;
  BootPeer peer_;
  std::shared_ptr<void> guard_;
  BootHooks hooks_;
  BootRequest request_;
};

TEST_F(BootLoaderTest, HandshakeDrivesTheLinesThenSendsTheRateIndex) {
  request_.line = {.autoBoot = 1, .releaseResetDelay = 100, .releaseBootDelay = 1000};
  EXPECT_EQ(RunBaudHandshake(request_, hooks_), kOk);
  EXPECT_EQ(line_.openedRate, 57600u);
  EXPECT_EQ(line_.LineChanges(), (std::vector<std::string>{"RTS1@0", "DTR1@0", "RTS0@100", "DTR0@1100"}));
  EXPECT_EQ(line_.Writes(), (std::vector<std::vector<uint8_t>>{{0x00, 0x00}, {9}}));
}

TEST_F(BootLoaderTest, APartnerEchoingTheIndexIsNoBootLoader) {
  peer_.echoIndexUnchanged = true;
  EXPECT_EQ(RunBaudHandshake(request_, hooks_), kBootLoaderNotActive);
  EXPECT_EQ(line_.Writes().size(), 11u);  // 00 00, then ten index bytes
  EXPECT_EQ(line_.events.back().what, "CLOSE");
}

TEST_F(BootLoaderTest, HandshakeRefusesRatesOutsideItsTable) {
  request_.baud = 14400;
  EXPECT_EQ(RunBaudHandshake(request_, hooks_), kInvalidFileFormat);
  EXPECT_EQ(line_.opens, 0);
}

TEST_F(BootLoaderTest, APortThatCannotBeOpenedIs228) {
  line_.failOpen = true;
  EXPECT_EQ(RunBaudHandshake(request_, hooks_), kComPortOpen);
  EXPECT_EQ(RunBootDownload(request_, hooks_), kComPortOpen);
}

struct LineCase {
  LineSettings settings;
  std::vector<std::string> changes;
};

class BootLines : public BootLoaderTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(BootLines, ReleaseOrderFollowsTheDelays) {
  request_.line = GetParam().settings;
  Download(4, BootFileBuilder().Memory(0x100, Seq(4)).End().bytes);
  EXPECT_EQ(line_.LineChanges(), GetParam().changes);
}

INSTANTIATE_TEST_SUITE_P(Delays, BootLines,
                         ::testing::Values(LineCase{{.autoBoot = 1, .releaseResetDelay = 300, .releaseBootDelay = 200},
                                                    {"RTS1@0", "DTR1@0", "DTR0@200", "RTS0@300"}},
                                           LineCase{{.autoBoot = 1, .releaseResetDelay = 100, .releaseBootDelay = 1000},
                                                    {"RTS1@0", "DTR1@0", "RTS0@100", "DTR0@1000"}},
                                           LineCase{{.autoBoot = 1, .releaseResetDelay = 250, .releaseBootDelay = 250},
                                                    {"RTS1@0", "DTR1@0", "DTR0@250", "RTS0@250"}},
                                           LineCase{{.autoBoot = 1,
                                                     .releaseResetDelay = 100,
                                                     .releaseBootDelay = 50,
                                                     .resetInverted = 1,
                                                     .bootInverted = 0},
                                                    {"RTS0@0", "DTR1@0", "DTR0@50", "RTS1@100"}},
                                           LineCase{{.autoBoot = 0}, {}}));

TEST_F(BootLoaderTest, FlashFileFramesAreCutAtFullFramesAndGaps) {
  const auto flash = BootFileBuilder()
                         .Memory(0x1000, Seq(300))
                         .Other(0x42, 7)
                         .Memory(0x112C, Seq(10, 0x80))
                         .Memory(0x2001, Seq(5, 0xC0))
                         .End()
                         .bytes;
  ASSERT_EQ(Download(16, flash), kOk);
  ASSERT_EQ(peer_.frames.size(), 5u);
  const auto& f = peer_.frames;
  EXPECT_EQ(std::vector<uint8_t>(f[0].begin(), f[0].begin() + 5), (std::vector<uint8_t>{0x01, 0x00, 0x10, 0x00, 255}));
  EXPECT_EQ(f[0].size(), 255u + 6);
  EXPECT_EQ(std::vector<uint8_t>(f[1].begin(), f[1].begin() + 5), (std::vector<uint8_t>{0x01, 0x00, 0x10, 0xFF, 55}));
  EXPECT_EQ(f[1][5 + 45], 0x80);  // the second record continues the first frame
  EXPECT_EQ(std::vector<uint8_t>(f[2].begin(), f[2].begin() + 5), (std::vector<uint8_t>{0x01, 0x00, 0x20, 0x01, 5}));
  for (const auto& frame : f) EXPECT_EQ(BootChecksum(frame), 0) << "frame sums to 0";
  // Range 0x1000 .. 0x2006 (odd start 0x2001 + 5 - 1, rounded up to even).
  const std::vector<uint8_t> range = RangeFrame(0x1000, 0x1006);
  EXPECT_EQ(f[3], range);
  EXPECT_EQ(f[4], StartFrame(0x1000, 0x06, range.back()));
  EXPECT_EQ(f[4].size(), 8u);
}

TEST_F(BootLoaderTest, BootCodeGoesOutRawThenItsEndByte) {
  ASSERT_EQ(Download(40, BootFileBuilder().Memory(0x200, Seq(2)).End().bytes), kOk);
  const auto writes = line_.Writes();
  ASSERT_GE(writes.size(), 3u);
  EXPECT_EQ(writes[0], std::vector<uint8_t>{0x00});
  EXPECT_EQ(writes[1], Seq(40));
  EXPECT_EQ(writes[2], std::vector<uint8_t>{0x30});
}

TEST_F(BootLoaderTest, BootCodeOfTheWrongLengthIsRefused) {
  peer_.bootCodeSize = 41;
  request_.bootFile = WriteFile("boot.bin", BootFileBuilder().Memory(0, Seq(40)).End().bytes);
  request_.flashFile = WriteFile("flash.bin", BootFileBuilder().Memory(0, Seq(2)).End().bytes);
  // The peer still waits for a byte, so the end byte is taken as code.
  EXPECT_NE(RunBootDownload(request_, hooks_), kOk);
}

TEST_F(BootLoaderTest, MissingAndDamagedFilesHaveTheirCodes) {
  request_.bootFile = (dir_ / "absent.bin").string();
  request_.flashFile = request_.bootFile;
  EXPECT_EQ(RunBootDownload(request_, hooks_), kFileNotFound);

  peer_ = BootPeer();  // a fresh boot loader for the second attempt
  line_.peer = peer_.Peer();
  std::vector<uint8_t> cut = BootFileBuilder().Memory(0, Seq(10)).bytes;
  cut.resize(cut.size() - 3);
  EXPECT_EQ(Download(4, cut), kFlashFileNotSent);
}

TEST_F(BootLoaderTest, AutoBaudSwitchesTheModuleBeforeTheFlashFile) {
  request_.baud = 19200;
  request_.autoBaud = true;
  request_.targetBaud = 57600;
  ASSERT_EQ(Download(4, BootFileBuilder().Memory(0x10, Seq(3)).End().bytes), kOk);
  EXPECT_EQ(line_.openedRate, 19200u);
  ASSERT_FALSE(peer_.frames.empty());
  EXPECT_EQ(peer_.frames[0], (std::vector<uint8_t>{0x07, 0x03}));
  bool switched = false;
  for (const LineEvent& e : line_.events) switched |= e.what == "RATE" && e.value == 57600;
  EXPECT_TRUE(switched);
}

TEST_F(BootLoaderTest, AutoBaudToARateWithoutSwitchIndexIsInvalid) {
  request_.baud = 19200;
  request_.autoBaud = true;
  request_.targetBaud = 115200;
  EXPECT_EQ(Download(4, BootFileBuilder().Memory(0x10, Seq(3)).End().bytes), kInvalidFileFormat);
}

TEST_F(BootLoaderTest, NegativeAnswersKeepTheirErrorCodes) {
  peer_.nakNextFrameWith = 2;
  EXPECT_EQ(Download(4, BootFileBuilder().Memory(0x10, Seq(3)).End().bytes), kReceiveChecksum);
}

TEST(BootAnswer, FramesAreJudgedByFirstByteAndChecksum) {
  FakeLine line;
  auto guard = line.Install();
  com::OpenError error;
  auto port = com::OpenSerialPort(1, 9600, &error);
  ASSERT_TRUE(port);
  const BootTiming timing = line.Timing();
  BootLine boot(*port, timing);
  std::vector<uint8_t> answer;

  line.Answer({0x02, 2, 0xAB, 0xCD, static_cast<uint8_t>(-(0x02 + 2 + 0xAB + 0xCD))});
  EXPECT_EQ(boot.ReadAnswer(&answer), kOk);
  EXPECT_EQ(answer, (std::vector<uint8_t>{0xAB, 0xCD}));

  line.Answer({0x02, 1, 0x11, 0x00});
  EXPECT_EQ(boot.ReadAnswer(&answer), kFlashFileNotSent);

  line.Answer({0x02, 0, static_cast<uint8_t>(-2)});
  EXPECT_EQ(boot.ReadAnswer(nullptr), kBufferTooSmall);

  line.Answer({0x15, 0, 0x01});
  EXPECT_EQ(boot.ReadAnswer(nullptr), kCommandNotSupported);
  line.Answer({0x15, 0, 0x03});
  EXPECT_EQ(boot.ReadAnswer(nullptr), kNoRamArea);

  line.Answer({0x99, 0});
  EXPECT_EQ(boot.ReadAnswer(nullptr), kUnknownCode);

  line.Answer({0x02, 5, 1});  // cut short
  EXPECT_EQ(boot.ReadAnswer(&answer), kNoAnswer);
}

TEST(BootFile, RecordsAreWalkedToTheEndRecord) {
  const auto file = BootFileBuilder().Other(0x11, 3).Memory(0x123456, {1, 2, 3}).End().Memory(0x999, {9}).bytes;
  const auto records = ParseBootFile(file);
  ASSERT_TRUE(records);
  ASSERT_EQ(records->size(), 1u);
  EXPECT_EQ((*records)[0].address, 0x123456u);
  EXPECT_EQ(std::vector<uint8_t>((*records)[0].data.begin(), (*records)[0].data.end()),
            (std::vector<uint8_t>{1, 2, 3}));
}

TEST(BootFile, ShortRecordsAreRejected) {
  EXPECT_FALSE(ParseBootFile(std::vector<uint8_t>{0xB9, 4, 0, 1, 2, 3, 4}));  // too short for an address
  EXPECT_FALSE(ParseBootFile(std::vector<uint8_t>{0xB9, 10, 0, 1}));          // cut
  EXPECT_FALSE(ParseBootFile(std::vector<uint8_t>{0x11}));
  const auto empty = ParseBootFile(std::vector<uint8_t>{});
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
}

}  // namespace
}  // namespace zk::cmd::test
