#include "common/IniFileAccess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zk {
namespace {

namespace fs = std::filesystem;

class IniFileAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ / "modul.ini";
    access_.SetPath(path_.string());
  }

  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string Read() const { return zk::test::ReadFile(path_); }

  zk::test::TempDir temp_{"zk-ini-access"};
  fs::path dir_ = temp_.path();
  fs::path path_;
  IniFileAccess access_;
};

TEST_F(IniFileAccessTest, MissingFileGivesEveryDefault) {
  access_.SetPath((dir_ / "absent.ini").string());
  EXPECT_EQ(access_.FlashBanks(), -1);
  EXPECT_EQ(access_.FlashStart(0), -1);
  EXPECT_EQ(access_.DefaultBank(), -1);
  EXPECT_EQ(access_.AutoBoot(), -1);
  EXPECT_EQ(access_.UseBanks(), 0);
  EXPECT_EQ(access_.ReleaseResetDelay(), 100);
  EXPECT_EQ(access_.ReleaseBootDelay(), 1000);
  EXPECT_EQ(access_.NumberOfProtectedAreas(), 0);
  EXPECT_EQ(access_.ModulName(), "");
  EXPECT_EQ(access_.DllName("Tarnlink"), "");
}

TEST_F(IniFileAccessTest, BanksUseNumberedKeysAfterTheFirst) {
  Write(
      "[FlashConfig]\nFlashBanks=2\nFlashStart=0x80000\nFlashEnd=0xFFFFF\nFlashMode=1\n"
      "FlashStart1=0x200000\nFlashEnd1=0x27FFFF\nFlashMode1=3\n");
  EXPECT_EQ(access_.FlashBanks(), 2);
  EXPECT_EQ(access_.FlashStart(0), 0x80000);
  EXPECT_EQ(access_.FlashEnd(0), 0xFFFFF);
  EXPECT_EQ(access_.FlashMode(0), 1);
  EXPECT_EQ(access_.FlashStart(1), 0x200000);
  EXPECT_EQ(access_.FlashMode(1), 3);
  EXPECT_EQ(access_.FlashStart(2), -1);  // the bank list ends here
  EXPECT_EQ(BankKey("FlashEnd", 0), "FlashEnd");
  EXPECT_EQ(BankKey("FlashEnd", 12), "FlashEnd12");
}

TEST_F(IniFileAccessTest, LineDelaysOfZeroBecomeTheirDefaults) {
  Write("[RS232]\nReleaseResetDelay=0\nReleaseBootDelay=0\n");
  EXPECT_EQ(access_.ReleaseResetDelay(), 100);
  EXPECT_EQ(access_.ReleaseBootDelay(), 1000);
  Write("[RS232]\nReleaseResetDelay=5\nReleaseBootDelay=250\n");
  EXPECT_EQ(access_.ReleaseResetDelay(), 5);
  EXPECT_EQ(access_.ReleaseBootDelay(), 250);
}

TEST_F(IniFileAccessTest, DisconnectModeKeepsTheLowByte) {
  Write("[RS232]\nDisconnect=0x102\n");
  EXPECT_EQ(access_.DisconnectMode(), 2);
  Write("[RS232]\nDisconnect=-1\n");
  EXPECT_EQ(access_.DisconnectMode(), 0xFF);
}

TEST_F(IniFileAccessTest, NonAccessCountIsFoundInBothSpellings) {
  Write("[General]\nNumberOfNonAccessAreas=3\nNumberOfProtectedAreas=2 areas\n");
  EXPECT_EQ(access_.NumberOfNonAccessAreas(), 3);
  EXPECT_EQ(access_.NumberOfProtectedAreas(), 2);
  Write("[General]\nNumberOfNonAccessAreas =4\n");
  EXPECT_EQ(access_.NumberOfNonAccessAreas(), 4);
}

TEST_F(IniFileAccessTest, AreaAddressesAreTextsOfNumberedSections) {
  Write(
      "[Protected Area 1]\nStartAddress=0x80000\nEndAddress=0x8FFFF\n"
      "[Non Access Area 2]\nStartAddress=-0x1000\nEndAddress=-0x1\n");
  EXPECT_EQ(access_.AreaStart(kProtectedAreaPrefix, 1), "0x80000");
  EXPECT_EQ(access_.AreaEnd(kProtectedAreaPrefix, 1), "0x8FFFF");
  EXPECT_EQ(access_.AreaStart(kNonAccessAreaPrefix, 2), "-0x1000");
  EXPECT_EQ(access_.AreaEnd(kNonAccessAreaPrefix, 1), "");
}

TEST_F(IniFileAccessTest, NamesAreTruncatedToTheirBuffers) {
  const std::string longName(40, 'M');
  Write("[General]\nModulName=" + longName + "\nMicrocontroller=C167\n");
  EXPECT_EQ(access_.ModulName(), std::string(31, 'M'));
  EXPECT_EQ(access_.Microcontroller(), "C167");
}

TEST_F(IniFileAccessTest, WritersKeepTheRestOfTheFile) {
  const std::string original = "; module\r\n[General]\r\nModulName=Sim\r\n\r\n[RS232]\r\nAutoBoot=1\r\nCOM=COM1\r\n";
  Write(original);
  ASSERT_TRUE(access_.WriteDisconnect(258));
  ASSERT_TRUE(access_.WriteJumpAddress(4096));
  ASSERT_TRUE(access_.WriteAutoBoot(0));
  EXPECT_EQ(access_.DisconnectMode(), 2);
  EXPECT_EQ(access_.JumpAddress(), 4096);
  EXPECT_EQ(access_.AutoBoot(), 0);
  const std::string now = Read();
  EXPECT_EQ(now.substr(0, now.find("AutoBoot")), original.substr(0, original.find("AutoBoot")));
  EXPECT_NE(now.find("COM=COM1"), std::string::npos);
  EXPECT_NE(now.find("Disconnect=2"), std::string::npos);
}

TEST_F(IniFileAccessTest, AFailedWriteLeavesTheFileAsItWas) {
  const std::string original = "[RS232]\nDisconnect=1\n";
  Write(original);
  fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_FALSE(access_.WriteDisconnect(3));
  EXPECT_EQ(Read(), original);
}

}  // namespace
}  // namespace zk
