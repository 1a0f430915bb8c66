// Verification and checked read-back through Quillrun, the real libraries
// and ModSim, with the line faults the 3964R check character cannot see.
#include "tests/e2e/ModSimProcess.h"
#include "tests/runner/RunnerFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace zk::runner::test {
namespace {

using ::testing::ElementsAre;

constexpr std::size_t kImageSize = 0x1000;

// Random bytes, every fourth one 0x00 (bytes a lost 0x00 can hide in).
std::string Image() {
  std::string bytes(kImageSize, '\0');
  std::mt19937 random(14);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = i % 4 == 3 ? '\0' : static_cast<char>(random());
  return bytes;
}

class VerifyEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(module_);
    e2e::FastModuleCopy("ZkSim-Download", module_);
    WriteMachineRegistry(dir_.Path() + "/machine.reg", e2e::BinDir());
    WriteFile(dir_.Path() + "/image.bin", image_);
  }

  // Runs script (after CONNECT) against a simulator started with faults.
  RunResult Run(const std::vector<std::string>& faults, const std::string& script) {
    e2e::ModSimProcess sim(faults);
    EXPECT_TRUE(sim.Running());
    WriteFile(dir_.Path() + "/script.qrs",
              "CONNECT EXTERNAMD " + module_ + "\nERASESECTOR 0 0\nLOADHEX " + dir_.Path() + "/image.bin\n" + script);
    RunOptions options;
    options.args = {"--console", dir_.Path() + "/script.qrs"};
    options.env["ZELKOR_MACHINE_REGISTRY"] = dir_.Path() + "/machine.reg";
    options.timeoutMs = 60000;
    const RunResult run = RunQuillrun(options);
    flash_ = ReadFile(sim.Dir() + "/flash.img");
    return run;
  }

  TempDir dir_;
  const std::string module_ = dir_.Path() + "/ZkSim";
  const std::string image_ = Image();
  std::string flash_;
};

TEST_F(VerifyEndToEnd, VerifyFindsWhatACancellingCorruptionProgrammed) {
  // The third program request (bytes 0x1F0..) arrives with bit 0 of its
  // first two data bytes flipped, which leaves its check character right.
  const RunResult run = Run({"--fault", "cancel-rx@3"}, "PASSWORD zelkor\nENABLE VERIFY\nDOWNLOAD\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(Messages(run.err), ElementsAre("Verify failed: 2 bytes differ from the image, the first at 0x000001F0",
                                             "Error programming"));
  EXPECT_NE(flash_.substr(0, kImageSize), image_);
}

TEST_F(VerifyEndToEnd, LineErrorsWhileVerifyingAreNoMismatch) {
  // The last spoils the same place of every answer, so that a read again
  // cut as the first would agree with it.
  for (const char* fault : {"cancel-tx@1", "drop-zero@2", "cancel-tx@*"}) {
    const RunResult run = Run({"--fault", fault}, "PASSWORD zelkor\nDOWNLOAD\nVERIFY\n");
    EXPECT_EQ(run.exitCode, 0) << fault << run.err;
    EXPECT_EQ(flash_.substr(0, kImageSize), image_);
  }
}

TEST_F(VerifyEndToEnd, VerifyWithoutReadAccessGivesTheReadsRefusal) {
  const RunResult run = Run({}, "DOWNLOAD\nVERIFY\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(Messages(run.err), ElementsAre("Verify: You have no access to this area.", "Error verifying"));
}

TEST_F(VerifyEndToEnd, UploadHandsOverWhatTheFlashHoldsDespiteInvisibleLineErrors) {
  // The faults hit the second answer of the first pass and the fourth of
  // the second (17 answers each), one of them losing a 0x00.
  const std::string saved = dir_.Path() + "/saved.bin";
  const RunResult run =
      Run({"--fault", "cancel-tx@2", "--fault", "drop-zero@21"},
          "DOWNLOAD\nPASSWORD zelkor\nUPLOAD 0 FFF " + saved + "\nUPLOAD 0x0 0xfff " + saved + ".hex\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadFile(saved), image_);
  EXPECT_EQ(ReadFile(saved + ".hex").substr(0, 1), ":");
}

TEST_F(VerifyEndToEnd, AnUploadIsRightWhenEveryAnswerIsSpoiltAtTheSamePlace) {
  // Every answer goes out with bit 0 flipped in its first two data bytes
  // that may be flipped: two reads cut alike would agree on those bytes.
  const std::string saved = dir_.Path() + "/saved.bin";
  const RunResult run = Run({"--fault", "cancel-tx@*"}, "DOWNLOAD\nPASSWORD zelkor\nUPLOAD 0 FFF " + saved + "\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(ReadFile(saved) == image_);
}

}  // namespace
}  // namespace zk::runner::test
