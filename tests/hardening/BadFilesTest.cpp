// Absurd and broken files through the real programs against the module
// simulator: module descriptions, flash descriptions, HEX images and
// scripts. Each either works or ends the run with exit code 1 and the
// failing step's messages; nothing crashes or hangs, and a failed run
// programs nothing.
#include "dm/ByteStreams.h"
#include "dm/HexWriter.h"
#include "platform/Ini.h"
#include "tests/hardening/Installation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>

namespace zk::hardening {
namespace {

constexpr uint32_t kImageAddress = 0x10000;

std::string Hex(const std::vector<uint8_t>& image, uint32_t base) {
  dm::MemorySink sink;
  dm::WriteHex(image.data(), static_cast<uint32_t>(image.size()), base, sink, {});
  return sink.bytes;
}

std::vector<uint8_t> RandomBytes(std::size_t n, unsigned seed) {
  std::vector<uint8_t> bytes(n);
  std::mt19937 random(seed);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// How a run is to end: exit code 0 with the image in the flash, or exit
// code 1 after these two messages.
struct Expected {
  std::string step;      // empty: the run succeeds
  std::string failure;   // the command's own message
  std::string before{};  // a message of a library before them
};

const Expected kSucceeds{};
// Stands for the simulator's terminal in an expected message.
constexpr std::string_view kPortMark = "<port>";
// Stands for the image file in an expected message.
constexpr std::string_view kImageMark = "<image>";
const Expected kLoginFails{"Login failed", "Error connecting"};
const Expected kNoLayout{"GetSectorInfos", "Error erasing sector"};
const Expected kNotLoaded{"LoadFile", "Error loading hex file"};
// Not loaded, with the file's fault named under the runner's message.
Expected NotLoaded(const std::string& problem) { return {kNotLoaded.step + "\n" + problem, kNotLoaded.failure}; }
// The problem at the last line of text, where a cut file ends.
Expected EndsAtLastLine(const std::string& text, const std::string& problem) {
  return NotLoaded("line " + std::to_string(std::count(text.begin(), text.end(), '\n') + 1) + ": " + problem);
}

// The run's messages are the expected ones, and the flash holds the image
// exactly when the run succeeded.
void Check(const Installation& inst, const runner::test::RunResult& run, const std::vector<uint8_t>& image,
           const Expected& expected, const std::string& name) {
  const bool flashed = inst.Flash(kImageAddress, image.size()) == Text(image);
  if (expected.step.empty()) {
    EXPECT_EQ(run.exitCode, 0) << name << ": " << run.err;
    EXPECT_TRUE(flashed) << name;
    return;
  }
  EXPECT_EQ(run.exitCode, 1) << name;
  std::string before = expected.before.empty() ? "" : "Quillrun: " + expected.before + "\n";
  if (const std::size_t at = before.find(kPortMark); at != std::string::npos) {
    before.replace(at, kPortMark.size(), inst.PortPath());
  }
  if (const std::size_t at = before.find(kImageMark); at != std::string::npos) {
    before.replace(at, kImageMark.size(), inst.Dir() + "/image.hex");
  }
  EXPECT_EQ(run.err, before + "Quillrun: " + expected.step + "\nQuillrun: " + expected.failure + "\n") << name;
  EXPECT_FALSE(flashed) << name;
}

struct Edit {
  std::string section, key, value;
};

struct DescriptionCase {
  std::string name;
  Edit edit;
  Expected expected;
};

void RunDescriptionCases(const std::vector<DescriptionCase>& cases, bool flashDescription) {
  const std::vector<uint8_t> image = RandomBytes(0x1000, 1);
  for (const DescriptionCase& c : cases) {
    Installation inst;
    ASSERT_TRUE(inst.Ready());
    const std::string file = flashDescription ? inst.FlashDescription() : inst.ModuleDescription();
    ASSERT_TRUE(ini::WriteString(file, c.edit.section, c.edit.key, c.edit.value));
    WriteFile(inst.Dir() + "/image.hex", Hex(image, kImageAddress));
    Check(inst, inst.Run(inst.DownloadScript(inst.Dir() + "/image.hex")), image, c.expected, c.name);
  }
}

TEST(BadFiles, AbsurdModuleDescriptionValues) {
  const std::string long99(99, 'K');
  RunDescriptionCases(
      {
          // Counts far beyond what is described: the described part is used.
          {"FlashBanks 1000", {"FlashConfig", "FlashBanks", "1000"}, kSucceeds},
          {"FlashBanks -3", {"FlashConfig", "FlashBanks", "-3"}, kSucceeds},
          {"NumberOfNonAccessAreas -1", {"General", "NumberOfNonAccessAreas", "-1"}, kSucceeds},
          {"NumberOfNonAccessAreas 100000", {"General", "NumberOfNonAccessAreas", "100000"}, kSucceeds},
          {"NumberOfProtectedAreas 2000000", {"General", "NumberOfProtectedAreas", "2000000"}, kSucceeds},
          // 99 characters: the longest value the buffers of 100 take whole.
          {"FlashEnd of 99 digits", {"FlashConfig", "FlashEnd", std::string(99, '9')}, kSucceeds},
          {"DmDLL of 99 characters",
           {"General", "DmDLL", long99},
           {"Connect: Data modul dll not loaded.", "Error connecting"}},
          {"ProtocolToUse of 99 characters", {"General", "ProtocolToUse", long99}, kLoginFails},
          {"DllName of 99 characters", {"RS232", "DllName", long99}, kLoginFails},
          // The port's own message names what is wrong with it.
          {"COM of 99 characters",
           {"RS232", "COM", "COM" + std::string(96, '1')},
           {"Login failed", "Error connecting", "Serial port: COM0 is not a port: ports are COM1 to COM256."}},
          {"Baud of 99 digits",
           {"RS232", "Baud", std::string(99, '5')},
           {"Login failed", "Error connecting", "Serial port: COM1: <port> does not take the rate 3671472355 baud."}},
          {"BootFile of 99 characters", {"Boot", "BootFile", long99}, kLoginFails},
      },
      false);
}

TEST(BadFiles, FlashDescriptionsWithAbsurdOrMissingValues) {
  RunDescriptionCases(
      {
          {"NumberOfSectors -4", {"Block 1", "NumberOfSectors", "-4"}, kNoLayout},
          {"NumberOfSectors 70000", {"Block 1", "NumberOfSectors", "70000"}, kNoLayout},
          {"NumberOfBlocks -1", {"General", "NumberOfBlocks", "-1"}, kNoLayout},
          {"SectorSize 0", {"Block 2", "SectorSize", "0"}, kNoLayout},
          {"SectorSize empty", {"Block 1", "SectorSize", ""}, kNoLayout},
          {"Offset empty", {"Block 2", "Offset", ""}, kNoLayout},
          // Blocks beyond the bank's end are not read.
          {"NumberOfBlocks 1000", {"General", "NumberOfBlocks", "1000"}, kSucceeds},
          {"Mode of 99 characters",
           {"General", "Mode", std::string(99, 'E')},
           {"no lib found on mc", "Error connecting"}},
      },
      true);
}

TEST(BadFiles, ModuleDescriptionsWithoutASection) {
  const std::vector<uint8_t> image = RandomBytes(0x1000, 1);
  const std::vector<std::pair<std::string, Expected>> cases = {
      {"FlashConfig", kNoLayout}, {"RS232", kLoginFails}, {"General", kLoginFails},
      {"Boot", kLoginFails},      {"Banks", kSucceeds},   {"Disconnect", kSucceeds},
  };
  for (const auto& [section, expected] : cases) {
    Installation inst;
    ASSERT_TRUE(inst.Ready());
    std::string text = ReadFile(inst.ModuleDescription());
    const std::size_t at = text.find("[" + section + "]");
    ASSERT_NE(at, std::string::npos) << section;
    const std::size_t next = text.find("\n[", at);
    text.erase(at, next == std::string::npos ? std::string::npos : next + 1 - at);
    WriteFile(inst.ModuleDescription(), text);
    WriteFile(inst.Dir() + "/image.hex", Hex(image, kImageAddress));
    Check(inst, inst.Run(inst.DownloadScript(inst.Dir() + "/image.hex")), image, expected, "without " + section);
  }
}

TEST(BadFiles, BrokenHexImages) {
  const std::vector<uint8_t> image = RandomBytes(0x1000, 1);
  const std::string good = Hex(image, kImageAddress);
  const std::string garbage = Text(RandomBytes(200000, 3));
  const std::size_t secondLine = good.find('\n') + 1;
  const std::string inRecord = good.substr(0, good.size() / 2 + 7);
  const std::string beforeEnd = good.substr(0, good.size() - 12);
  const std::string inEnd = good.substr(0, good.size() - 4);
  const Expected kChecksumLine2{kNotLoaded.step, kNotLoaded.failure,
                                "DEBUG BOX: CheckSum falsch !\nline 2 of " + std::string(kImageMark)};
  const std::vector<std::tuple<std::string, std::string, Expected>> cases = {
      {"empty", "", NotLoaded("the file is empty")},
      {"cut inside a record", inRecord, EndsAtLastLine(inRecord, "the file ends inside a record")},
      {"cut before the end record", beforeEnd,
       EndsAtLastLine(beforeEnd, "the file ends before its end-of-file record")},
      {"cut inside the end record", inEnd, EndsAtLastLine(inEnd, "the file ends inside a record")},
      // The first line of the garbage that starts with ':' (of this seed).
      {"binary garbage", garbage, NotLoaded("line 591: a character that is not a hex digit 0-9 or A-F")},
      {"garbage holding colons before the records", garbage + good,
       NotLoaded("line 591: a character that is not a hex digit 0-9 or A-F")},
      {"a checksum wrong", good.substr(0, 20) + (good[20] == '0' ? "1" : "0") + good.substr(21), kChecksumLine2},
      // A data record spoilt into a start address record is no record to pass over.
      {"a data record's type spoilt into 03", good.substr(0, secondLine + 7) + "03" + good.substr(secondLine + 9),
       kChecksumLine2},
      // Text between records is passed over, however long.
      {"10 MB of text between two records",
       good.substr(0, secondLine) + std::string(10 << 20, 'x') + "\n" + good.substr(secondLine), kSucceeds},
      // 4 MB far above the flash: loaded, and refused when programming.
      {"4 MB image above the flash",
       Hex(RandomBytes(4 << 20, 4), 0x1000000),
       {"DOWNLOAD: the image has bytes at 0x1000000-0x13FFFFF, outside the module's flash banks; nothing was "
        "erased or programmed",
        "Error programming"}},
  };
  for (const auto& [name, text, expected] : cases) {
    Installation inst;
    ASSERT_TRUE(inst.Ready());
    WriteFile(inst.Dir() + "/image.hex", text);
    Check(inst, inst.Run(inst.DownloadScript(inst.Dir() + "/image.hex")), image, expected, name);
  }
}

TEST(BadFiles, LongAndBrokenScripts) {
  std::string manyLines;
  for (int i = 0; i < 10000; ++i) manyLines += "SELECTBANK 0 ; line " + std::to_string(i + 1) + "\n";
  std::string fullLines;
  for (int i = 0; i < 10000; ++i) fullLines += "; " + std::string(252, 'z') + "\n";  // 254 characters each
  const std::string k100(100 << 10, 'A');
  const std::vector<std::tuple<std::string, std::string, int, std::string>> cases = {
      {"10,000 lines", manyLines, 0, ""},
      {"10,000 lines of the longest length", fullLines, 0, ""},
      {"a bad command after 10,000 lines", manyLines + "BOGUS\n", 1, "Unknown command in line 10001"},
      {"a line of 100 KB", k100 + "\nSELECTBANK 1\n", 1, "Line 1 to long"},
      {"a comment of 100 KB", "; " + k100 + "\n", 1, "Line 1 to long"},
      {"a quoted word of 100 KB", "MESSAGE \"" + k100 + "\"\n", 1, "Line 1 to long"},
      {"100 KB without a line end", "SELECTBANK 0\nSELECTBANK " + k100, 1, "Line 2 to long"},
      {"NUL bytes", std::string("SELECTBANK 0\n\0\0SELECTBANK 1\n", 28), 1, "Unknown command in line 2"},
  };
  Installation inst;
  ASSERT_TRUE(inst.Ready());
  for (const auto& [name, script, exitCode, message] : cases) {
    const auto run = inst.Run(script);
    EXPECT_EQ(run.exitCode, exitCode) << name;
    EXPECT_EQ(run.err, message.empty() ? "" : "Quillrun: " + message + "\n") << name;
  }
  // Binary garbage ends with one of the script messages, whatever it is.
  const auto run = inst.Run(Text(RandomBytes(5000, 9)));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(LastMessage(run).find("ine "), std::string::npos) << run.err;
}

}  // namespace
}  // namespace zk::hardening
