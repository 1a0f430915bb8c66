#include "modsim/Config.h"
#include "modsim/FlashImageFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace zk::modsim {
namespace {

namespace fs = std::filesystem;

using zk::test::TempDir;

const char* kLayout = "[General]\nNumberOfBlocks=1\n[Block 1]\nOffset=0\nSectorSize=0x1000\nNumberOfSectors=4\n";

TEST(Config, TheInstalledConfigurationDescribesTheDemoModule) {
  const char* bin = std::getenv("ZK_BIN_DIR");
  ASSERT_NE(bin, nullptr);
  std::string error;
  const auto ini = IniFile::Load(std::string(bin) + "/ModSim.ini", &error);
  ASSERT_TRUE(ini) << error;
  const SimConfig config = LoadConfig(*ini, bin);
  ASSERT_EQ(config.banks.size(), 2u);
  EXPECT_EQ(config.banks[0].End(), 0x03FFFFu);
  EXPECT_EQ(config.banks[1].start, 0x040000u);
  EXPECT_EQ(config.banks[1].End(), 0x0BFFFFu);
  EXPECT_EQ(config.banks[1].firmwareUsed.at(0).start, 0x0B0000u);
  ASSERT_TRUE(config.boot.bootCode);
  EXPECT_EQ(config.boot.bootCode->size(), 512u);
  ASSERT_TRUE(config.boot.firmware);
  EXPECT_EQ(config.firmware.password, "zelkor");
}

TEST(Config, ABanksLayoutComesFromItsLibrarysDescriptionFileFoundIgnoringCase) {
  TempDir dir;
  dir.Write("Info/00A7X0001X0002.INI", kLayout);
  const IniFile ini = IniFile::Parse(
      "[Flash]\nFlashInfoDir=Info\n[Bank0]\nStart=0x8000\nMode=0\nLibraries=4\n"
      "[Library4]\nWords=5, 0x0001, 0x00a7, 2\n");
  const SimConfig config = LoadConfig(ini, dir.path());
  ASSERT_EQ(config.banks.size(), 1u);
  EXPECT_EQ(config.banks[0].layout.Size(), 0x8000u);  // mode 0: two chips side by side
  EXPECT_EQ(config.banks[0].libraries[0].words[0], 5);
}

TEST(Config, BadValuesNameTheirSectionAndKey) {
  TempDir dir;
  dir.Write("FlashInfo/layout.ini", kLayout);
  auto message = [&](const std::string& text) -> std::string {
    try {
      LoadConfig(IniFile::Parse(text), dir.path());
    } catch (const ConfigError& e) {
      return e.what();
    }
    return "";
  };
  EXPECT_NE(message("[Link]\nAckTimeout=2s\n").find("[Link] AckTimeout"), std::string::npos);
  EXPECT_NE(message("[Boot]\nExpect=maybe\n").find("Expect"), std::string::npos);
  EXPECT_NE(message("[Boot]\nBootFile=missing.bin\n").find("missing.bin"), std::string::npos);
  EXPECT_NE(message("[Bank0]\nStart=0\nLibraries=1\n[Library1]\nWords=1,2,3\n").find("Words"), std::string::npos);
  EXPECT_NE(message("[Bank0]\nStart=0\nLayout=FlashInfo/layout.ini\n[Bank1]\nStart=0x2000\nLayout=FlashInfo/"
                    "layout.ini\n")
                .find("overlaps"),
            std::string::npos);
  EXPECT_NE(message("[Bank0]\nStart=0\nLibraries=1\n[Library1]\nWords=1,2,3,4\n").find("0003x0002x0004.ini"),
            std::string::npos);
  EXPECT_EQ(message("[Bank0]\nStart=0\nLayout=FlashInfo\\layout.ini\nFirmwareUsed=0x100-0x1FF, 0x300\n"), "");
}

TEST(FlashImageFile, KeepsTheContentAcrossRunsAndRefusesAFileOfAnotherSize) {
  TempDir dir;
  const std::string path = dir.path() + "/flash.img";
  std::vector<uint8_t> content(16, 0xFF);
  {
    FlashImageFile file;
    ASSERT_TRUE(file.Open(path, content, nullptr));
    content[3] = 0x12;
    ASSERT_TRUE(file.Store(content, 3, 1));
  }
  std::vector<uint8_t> again(16, 0xFF);
  FlashImageFile file;
  ASSERT_TRUE(file.Open(path, again, nullptr));
  EXPECT_EQ(again[3], 0x12);

  std::vector<uint8_t> bigger(32, 0xFF);
  FlashImageFile other;
  std::string error;
  EXPECT_FALSE(other.Open(path, bigger, &error));
  EXPECT_NE(error.find("16 bytes"), std::string::npos);
  EXPECT_EQ(fs::file_size(path), 16u);
}

}  // namespace
}  // namespace zk::modsim
