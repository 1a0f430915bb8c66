#include "dm/CommandLibrary.h"
#include "platform/Files.h"
#include "tests/dm/DmFixture.h"

#include <cstring>

namespace zk::dm::test {
namespace {

using FrameTest = DmTest;

class LoginOnlyCommandLayer : public DmTest {
 protected:
  LoginOnlyCommandLayer() : DmTest(ZK_FAKE_CMD_LOGIN_ONLY) {}
  void SetUp() override {
    DmTest::SetUp();
    Module("", "FakeCmdLoginOnly");
  }
};

TEST_F(FrameTest, EveryForwardingExportAnswers251BeforeLogin) {
  ExitRequest exit{0, 0};
  FlashLibRequest request{0, 0};
  FlashLibInfo info{};
  FlashLibSelectionWords words{};
  BaseAddressRecord base{0, 0};
  PasswordBlock password{0, nullptr};
  SectorList list{};
  RangeRequest range{0, 0xFF, 0};
  int notOurs = 0;
  EXPECT_EQ(DmExitZelkor(&exit), kCmdDllError);
  EXPECT_EQ(DmCheckOldZelkor(), kCmdDllError);
  EXPECT_EQ(DmFindFlashLib(&request, &info), kCmdDllError);
  EXPECT_EQ(DmSelectFlashLib(reinterpret_cast<FlashLibSelection*>(&words)), kCmdDllError);
  EXPECT_EQ(DmSetFlashBaseAddress(&base), kCmdDllError);
  EXPECT_EQ(DmSendPassword(&password), kCmdDllError);
  EXPECT_EQ(DmEnableProtectedAreas(1), kCmdDllError);
  EXPECT_EQ(DmAddOwnPages(0), kCmdDllError);
  EXPECT_EQ(DmEraseChip(&list), kCmdDllError);
  EXPECT_EQ(DmEraseSectors(&range, &list, nullptr), kCmdDllError);
  EXPECT_EQ(DmGetSectorStatus(&range, &list, nullptr), kCmdDllError);
  EXPECT_EQ(DmFreeMemory(&notOurs), kCmdDllError);
  // Answered from the own worker (an earlier test's may have left 100): the
  // check is that it reaches no command layer.
  static_cast<void>(DmGetProgress());
  EXPECT_EQ(DmStopCurrentThread(), kFailed);
  EXPECT_TRUE(fake_.Calls().empty());
}

TEST_F(FrameTest, LoginBindsCommandDllBesideTheDataManager) {
  LoginInfo login{};
  WorkerThreadInfo thread{};
  ASSERT_EQ(DmLogin(modulePath_.c_str(), &login, &thread), kOk);
  const std::vector<FakeCmdCall> calls = fake_.Calls("CmmLogin");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(calls[0].data), calls[0].dataLength), modulePath_);
  EXPECT_EQ(thread.threadId, 0x4D2u);  // written by the command layer
  // The login runs on the command layer's worker: its progress and status.
  fake_.setProgress(42);
  fake_.setThreadStatus(kWorkerRunning);
  EXPECT_EQ(DmGetProgress(), 42u);
  EXPECT_EQ(DmGetCurrentThreadStatus(), kWorkerRunning);
  fake_.setThreadStatus(kBootLoaderNotActive);
  EXPECT_EQ(DmGetCurrentThreadStatus(), kBootLoaderNotActive);
  EXPECT_EQ(DmStopCurrentThread(), kOk);
  EXPECT_EQ(fake_.Calls("CmmStopCurrentThread").size(), 1u);
}

TEST_F(FrameTest, TheCommandLayerIsLookedForBesideTheDataManager) {
  // Here the data manager is part of the test program.
  const std::string dir = files::HostProgramDir();
  EXPECT_EQ(CommandLibraryPath(Module("", "")), files::Join(dir, "KORCmd.dll"));
  EXPECT_EQ(CommandLibraryPath(dir_.Path("missing.ini")), files::Join(dir, "KORCmd.dll"));
}

TEST_F(FrameTest, LoginResultIsTheCommandLayersAndMarksTheConnection) {
  fake_.setResult("CmmLogin", kComPortOpen);
  EXPECT_EQ(DmLogin(modulePath_.c_str(), nullptr, nullptr), kComPortOpen);
  EXPECT_EQ(State().loggedIn.load(), 1u);
  EXPECT_EQ(State().currentBank.load(), 0u);
}

TEST_F(FrameTest, AMissingLibraryGives250AndKeepsTheOneBound) {
  Login();
  Module("", "NoSuchCommandLayer");
  EXPECT_EQ(DmLogin(modulePath_.c_str(), nullptr, nullptr), kCmdDllNotLoaded);
  fake_.setResult("CmmCheckOldZelkor", kOldFirmware);
  EXPECT_EQ(DmCheckOldZelkor(), kOldFirmware);
}

TEST_F(FrameTest, ExitEndsTheConnectionAndReleasesTheLibrary) {
  Login();
  ExitRequest exit{2, 0x8000};
  fake_.setResult("CmmExitZelkor", kSendFailed);
  EXPECT_EQ(DmExitZelkor(&exit), kSendFailed);
  const std::vector<FakeCmdCall> calls = fake_.Calls("CmmExitZelkor");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0], 2u);
  EXPECT_EQ(calls[0].args[1], 0x8000u);
  EXPECT_EQ(DmCheckOldZelkor(), kCmdDllError);
  HexFileInfo info{};
  EXPECT_EQ(DmGetHexFileInfo(0, &info), kNoModuleSelected);
}

TEST_F(LikeRealCommandLayer, AddOwnPagesReleasesTheLibraryUntilTheNextLogin) {
  Login();
  EXPECT_EQ(DmCheckOldZelkor(), kOk);
  EXPECT_EQ(DmAddOwnPages(5), kCmdDllError);
  SectorList list{};
  EXPECT_EQ(DmEraseChip(&list), kCmdDllError);
  EXPECT_EQ(DmCheckOldZelkor(), kCmdDllError);
  EXPECT_EQ(fake_.Names(), std::vector<std::string>{"CmmCheckOldZelkor"});
  Login();
  EXPECT_EQ(DmEraseChip(&list), kOk);
  EXPECT_EQ(DmFreeMemory(list.entries), kOk);
}

TEST_F(LoginOnlyCommandLayer, EachMissingFunctionGives251) {
  Login();
  EXPECT_EQ(DmCheckOldZelkor(), kCmdDllError);
  Login();
  SectorInfos infos{};
  FlashDescription("[General]\r\nNumberOfBlocks=1\r\n[Block 1]\r\nOffset=0\r\nSectorSize=100\r\nNumberOfSectors=4\r\n");
  EXPECT_EQ(DmGetSectorInfos(const_cast<FlashLibInfo*>(&kFlash), &infos), kCmdDllError);
  EXPECT_EQ(infos.blockCount, 1u);  // the layout is complete all the same
  EXPECT_EQ(DmFreeMemory(infos.blocks), kOk);
  Login();
  const std::string file = dir_.Write("image.bin", std::string(16, 'x'));
  ASSERT_EQ(Finish(DmLoadFile(file.c_str(), kLoadBinary, nullptr)), kOk);
  EXPECT_EQ(Finish(DmProgFlash(0, nullptr)), kCmdDllError);
  EXPECT_EQ(DmGetProgress(), 0u);
}

TEST_F(FrameTest, SectorStatusForwardsUntilTheNextOwnWorker) {
  Login();
  RangeRequest range{0x1000, 0x1FFF, 0x100};
  SectorList list{};
  fake_.setSectorEntries(3);
  ASSERT_EQ(DmGetSectorStatus(&range, &list, nullptr), kOk);
  const std::vector<FakeCmdCall> calls = fake_.Calls("CmmGetSectorStatus");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[2], 0x100u);
  fake_.setProgress(77);
  fake_.setThreadStatus(kWorkerRunning);
  EXPECT_EQ(DmGetProgress(), 77u);
  EXPECT_EQ(DmGetCurrentThreadStatus(), kWorkerRunning);
  fake_.setThreadStatus(kOk);
  EXPECT_EQ(list.count, 3u);
  EXPECT_EQ(DmFreeMemory(list.entries), kOk);
  EXPECT_EQ(fake_.blocksOutstanding(), 0u);

  fake_.setThreadStatus(kInvalidSector);  // no longer asked
  const std::string missing = dir_.Path("missing.hex");
  EXPECT_EQ(Finish(DmLoadFile(missing.c_str(), 0, nullptr)), kFileLoadError);
  EXPECT_EQ(DmGetProgress(), 0u);
}

TEST_F(FrameTest, StopDuringProgrammingEndsWithStatusOneAfterTheCurrentRequest) {
  Login();
  const std::string file = dir_.Write("image.bin", std::string(1000, 'p'));
  ASSERT_EQ(Finish(DmLoadFile(file.c_str(), kLoadBinary, nullptr)), kOk);
  fake_.holdProgFlash(2);
  WorkerThreadInfo thread{};
  ASSERT_EQ(DmProgFlash(0x4000, &thread), kOk);
  while (fake_.holding() == 0) Sleep(1);
  EXPECT_EQ(DmGetCurrentThreadStatus(), kWorkerRunning);
  EXPECT_NE(Copy(thread.threadHandle), nullptr);
  EXPECT_EQ(DmStopCurrentThread(), kOk);
  EXPECT_EQ(DmStopCurrentThread(), kFailed);
  EXPECT_EQ(DmGetCurrentThreadStatus(), kFailed);
  EXPECT_EQ(fake_.Calls("CmmProgFlash").size(), 2u);
  EXPECT_EQ(DmGetProgress(), 49u);  // 496 of 1000 bytes
}

TEST_F(FrameTest, AnOwnWorkerIsNotStartedWhileOneRuns) {
  Login();
  const std::string file = dir_.Write("image.bin", std::string(300, 'p'));
  ASSERT_EQ(Finish(DmLoadFile(file.c_str(), kLoadBinary, nullptr)), kOk);
  fake_.holdProgFlash(1);
  ASSERT_EQ(DmProgFlash(0, nullptr), kOk);
  while (fake_.holding() == 0) Sleep(1);
  EXPECT_EQ(DmLoadFile(file.c_str(), kLoadBinary, nullptr), kWorkerRunning);
  ReadRequest read{0, 16};
  EXPECT_EQ(DmReadFlash(&read, nullptr), kWorkerRunning);
  RangeRequest range{0, 0xFF, 0};
  SectorList list{};
  EXPECT_EQ(DmEraseSectors(&range, &list, nullptr), kWorkerRunning);
  EXPECT_EQ(DmStopCurrentThread(), kOk);
  EXPECT_EQ(Finish(DmProgFlash(0, nullptr)), kOk);  // the image is still there
}

TEST_F(FrameTest, NothingStartsWhileACommandLayerWorkerRuns) {
  Login();
  const std::string file = dir_.Write("image.bin", std::string(300, 'p'));
  ASSERT_EQ(Finish(DmLoadFile(file.c_str(), kLoadBinary, nullptr)), kOk);
  State().readPermission = 1;
  fake_.setThreadStatus(kWorkerRunning);  // say, a read still filling the image's buffer
  EXPECT_EQ(DmLoadFile(file.c_str(), kLoadBinary, nullptr), kWorkerRunning);
  EXPECT_EQ(DmSaveFile(dir_.Path("out.bin").c_str(), kLoadBinary, nullptr), kWorkerRunning);
  EXPECT_EQ(DmProgFlash(0, nullptr), kWorkerRunning);
  ReadRequest read{0, 16};
  EXPECT_EQ(DmReadFlash(&read, nullptr), kWorkerRunning);
  RangeRequest range{0, 0xFF, 0x100};
  SectorList list{};
  EXPECT_EQ(DmEraseSectors(&range, &list, nullptr), kWorkerRunning);
  EXPECT_EQ(DmGetSectorStatus(&range, &list, nullptr), kWorkerRunning);
  EXPECT_EQ(DmLogin(modulePath_.c_str(), nullptr, nullptr), kWorkerRunning);
  EXPECT_TRUE(fake_.Names().empty());
  EXPECT_EQ(State().image.ByteCount(), 300u);
  fake_.setThreadStatus(kOk);
  EXPECT_EQ(Finish(DmProgFlash(0, nullptr)), kOk);
}

TEST_F(FrameTest, FreeMemoryGivesBackOwnBuffersThenAsksTheCommandLayer) {
  Login();
  SelectFlash("[Block 1]\r\nOffset=0\r\nSectorSize=1000\r\nNumberOfSectors=8\r\n", 1);
  SectorInfos infos{};
  ASSERT_EQ(DmGetSectorInfos(nullptr, &infos), kOk);
  ASSERT_NE(Copy(infos.blocks), nullptr);
  EXPECT_EQ(DmFreeMemory(infos.blocks), kOk);
  EXPECT_TRUE(fake_.Calls("CmmFreeMemory").empty());
  EXPECT_EQ(DmFreeMemory(infos.blocks), kFailed);
  const std::vector<FakeCmdCall> asked = fake_.Calls("CmmFreeMemory");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].args[0], 1u);
}

TEST_F(FrameTest, SelectingAFoundFlashMakesItCurrent) {
  Login();
  const FlashLibInfo other{{0x0001, 0x0011, 0x2222, 0x0003}};
  const FlashLibInfo found[] = {other, kFlash};
  fake_.scriptFlashLibs(found, 2);
  FlashLibRequest request{1, 0x80000};
  FlashLibInfo info{};
  fake_.setResult("CmmFindFlashLib", kNoFlashLibrary);
  EXPECT_EQ(DmFindFlashLib(&request, &info), kNoFlashLibrary);
  fake_.setResult("CmmFindFlashLib", kOk);
  EXPECT_EQ(DmFindFlashLib(&request, &info), kOk);
  EXPECT_EQ(State().foundFlashes.size(), 2u);
  FlashDescription(
      "[General]\r\nNumberOfBlocks=1\r\n[Block 1]\r\nOffset=0\r\nSectorSize=1000\r\nNumberOfSectors=4\r\n");

  FlashLibSelectionWords words{{0x0001, 0x0004}};
  fake_.setResult("CmmSelectFlashLib", kNoFlashLibrarySelected);
  EXPECT_EQ(DmSelectFlashLib(reinterpret_cast<FlashLibSelection*>(&words)), kNoFlashLibrarySelected);
  EXPECT_EQ(std::memcmp(&State().currentFlash, &kFlash, sizeof kFlash), 0);
  EXPECT_TRUE(State().foundFlashes.empty());
  EXPECT_EQ(State().window.end.load(), 0x4000u);
  const std::vector<FakeCmdCall> told = fake_.Calls("CmmSetEndOfFlash");
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].args[0], 0x4000u);
  const std::vector<FakeCmdCall> selected = fake_.Calls("CmmSelectFlashLib");
  ASSERT_EQ(selected.size(), 1u);
  EXPECT_EQ(selected[0].data[0], 0x01);
  EXPECT_EQ(selected[0].data[2], 0x04);
  EXPECT_EQ(dm::Handouts().Count(), 0u);

  // No match: the current flash stays.
  fake_.scriptFlashLibs(&other, 1);
  EXPECT_EQ(DmFindFlashLib(&request, &info), kOk);
  words = {{0x0009, 0x0009}};
  fake_.setResult("CmmSelectFlashLib", kOk);
  EXPECT_EQ(DmSelectFlashLib(reinterpret_cast<FlashLibSelection*>(&words)), kOk);
  EXPECT_EQ(std::memcmp(&State().currentFlash, &kFlash, sizeof kFlash), 0);
  EXPECT_TRUE(State().foundFlashes.empty());
}

TEST_F(FrameTest, PasswordAndOverrideAreRemembered) {
  Login();
  const uint8_t secret[] = {'a', 'b', 'c'};
  PasswordBlock password{3, secret};
  fake_.setResult("CmmSendPassword", kInvalidPassword);
  EXPECT_EQ(DmSendPassword(&password), kInvalidPassword);
  EXPECT_EQ(State().readPermission.load(), 0u);
  fake_.setResult("CmmSendPassword", kOk);
  EXPECT_EQ(DmSendPassword(&password), kOk);
  EXPECT_EQ(State().readPermission.load(), 1u);
  EXPECT_EQ(fake_.Calls("CmmSendPassword")[0].dataLength, 3u);

  fake_.setResult("CmmEnableProtectedAreas", kFailed);
  EXPECT_EQ(DmEnableProtectedAreas(1), kFailed);
  EXPECT_EQ(State().protectionOverride.load(), 1u);
  EXPECT_EQ(fake_.Calls("CmmEnableProtectedAreas")[0].args[0], 1u);
}

}  // namespace
}  // namespace zk::dm::test
