// The zelkor program with the real libraries against the module simulator:
// each subcommand once, its JSON lines parsed; the gang with a seeded fault.
#include "cli/Json.h"
#include "cli/Sha256.h"
#include "platform/Ini.h"
#include "tests/e2e/ModSimProcess.h"
#include "tests/runner/RunnerFixture.h"
#include "tests/support/ElfImage.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <csignal>
#include <filesystem>
#include <future>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <sstream>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zk::cli {
namespace {

using runner::test::ReadFile;
using runner::test::RunOptions;
using runner::test::RunResult;
using runner::test::TempDir;
using runner::test::WriteFile;

constexpr uint32_t kImageAddress = 0x10000;  // sector 4, outside the protected area
constexpr std::size_t kImageSize = 4096;
// A block received while the image is programmed (after the connect and the
// erase), counted from the first of the session.
constexpr int kFirstRefusedBlock = 24;
constexpr int kMismatch = 3;

std::vector<std::string> JsonLines(const std::string& out, const std::string& event) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (JsonField(line, "event") == event) lines.push_back(line);
  }
  return lines;
}

std::string Summary(const RunResult& r) {
  const std::vector<std::string> lines = JsonLines(r.out, "summary");
  return lines.empty() ? "" : lines.back();
}

// The state of a sector in the JSON lines of info.
std::string SectorState(const RunResult& r, int sector) {
  for (const std::string& line : JsonLines(r.out, "sector")) {
    if (JsonField(line, "sector") == std::to_string(sector)) return JsonField(line, "state");  // JSON text
  }
  return "absent";
}

// Every line of a run's standard output is an event of the schema in doc/
// for command: its fields all there, none unknown, each of its type.
void ExpectSchema(const RunResult& r, const std::string& command) {
  using nlohmann::json;
  const json schema = json::parse(ReadFile(ZK_EVENT_SCHEMA));
  const auto typeFits = [](const json& value, const std::string& type) {
    if (type == "string") return value.is_string();
    if (type == "integer") return value.is_number_integer();
    if (type == "number") return value.is_number();
    if (type == "boolean") return value.is_boolean();
    if (type == "objects") {
      return value.is_array() && std::all_of(value.begin(), value.end(), [](const json& v) { return v.is_object(); });
    }
    return type == "strings" && value.is_array() &&
           std::all_of(value.begin(), value.end(), [](const json& v) { return v.is_string(); });
  };
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    const json event = json::parse(line, nullptr, false);
    ASSERT_TRUE(event.is_object()) << line;
    const std::string name = event.value("event", "");
    const json* fields = schema[command].contains(name)    ? &schema[command][name]
                         : schema["common"].contains(name) ? &schema["common"][name]
                                                           : nullptr;
    ASSERT_NE(fields, nullptr) << command << ": no event " << name << " in the schema: " << line;
    for (const auto& [key, type] : fields->items()) {
      EXPECT_TRUE(event.contains(key) && typeFits(event[key], type.get<std::string>())) << key << " in " << line;
    }
    for (const auto& [key, value] : event.items()) {
      const bool flag = key.ends_with("NotUtf8") && value.is_boolean();
      EXPECT_TRUE(flag || fields->contains(key)) << key << " is not in the schema: " << line;
    }
  }
}

// The result column of port's row in a gang's table.
std::string TableResult(const std::string& text, const std::string& port) {
  std::istringstream in(text.substr(std::min(text.find("\nPORT "), text.size())));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(port + " ", 0) != 0) continue;
    std::istringstream fields(line.substr(port.size()));
    std::string result;
    fields >> result;
    return result;
  }
  return "absent";
}

class Zelkor : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Running());
    module_ = dir_.Path() + "/ZkSim";
    std::filesystem::create_directory(module_);
    e2e::FastModuleCopy("ZkSim-Download", module_);
    runner::test::WriteMachineRegistry(dir_.Path() + "/machine.reg", e2e::BinDir());
    std::mt19937 random(7);
    image_.resize(kImageSize);
    for (char& c : image_) c = static_cast<char>(random());
    WriteFile(Path("image.bin"), image_);
    WriteFile(Path("password"), "zelkor\n");
  }

  std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }

  RunResult Run(std::vector<std::string> args, const std::string& port = "") {
    RunOptions options;
    options.program = e2e::BinDir() + "/zelkor";
    options.args = std::move(args);
    if (options.args.size() > 1 && options.args[0] != "modules" && options.args[0] != "ports") {
      options.args.insert(options.args.end(), {"--module", module_, "--port", port.empty() ? sim_.PortPath() : port});
    }
    options.env["ZELKOR_MACHINE_REGISTRY"] = Path("machine.reg");
    options.env["ZELKOR_PASSWORD"] = std::nullopt;
    options.env["ZELKOR_TRACE"] = trace_;
    options.timeoutMs = 60000;
    return runner::test::RunQuillrun(options);
  }

  RunResult FlashImage(const std::string& port = "") {
    return Run(
        {"flash", Path("image.bin"), "--address", "0x10000", "--verify", "--password-file", Path("password"), "--json"},
        port);
  }

  std::string Flash(const e2e::ModSimProcess& sim, std::size_t offset, std::size_t length) const {
    return ReadFile(sim.Dir() + "/flash.img").substr(offset, length);
  }

  e2e::ModSimProcess sim_;
  TempDir dir_;
  std::string module_;
  std::string image_;
  std::optional<std::string> trace_;  // ZELKOR_TRACE of the runs; unset by default
};

TEST(ZelkorSha256, KnownVectors) {
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST_F(Zelkor, ModulesAndPortsListWhatThereIs) {
  const RunResult modules = Run({"modules", "--json"});
  ASSERT_EQ(modules.exitCode, 0) << modules.err;
  bool found = false;
  for (const std::string& line : JsonLines(modules.out, "module")) {
    if (JsonField(line, "module") == "Simulator/ZkSim-Download") {
      found = true;
      EXPECT_EQ(JsonField(line, "description"), "ZkSim, the simulated module (boot download).");
    }
  }
  EXPECT_TRUE(found) << modules.out;
  ExpectSchema(modules, "modules");
  const RunResult ports = Run({"ports"});
  EXPECT_EQ(ports.exitCode, 0);
  ExpectSchema(Run({"ports", "--json"}), "ports");
  EXPECT_NE(ports.out.find("COM1    " + sim_.PortPath() + "  (ZELKOR_COM1)"), std::string::npos) << ports.out;
}

TEST_F(Zelkor, FlashVerifiesReadSavesItBackAndTheSummaryNamesTheImage) {
  const RunResult flashed = FlashImage();
  ASSERT_EQ(flashed.exitCode, 0) << flashed.out << flashed.err;
  const std::string summary = Summary(flashed);
  EXPECT_EQ(JsonField(summary, "sha256"), Sha256Hex(image_));
  EXPECT_EQ(JsonField(summary, "bytes"), std::to_string(kImageSize));
  EXPECT_EQ(JsonField(summary, "outcome"), "verified");
  EXPECT_EQ(JsonField(summary, "port"), sim_.PortPath());
  ExpectSchema(flashed, "flash");
  for (const char* phase : {"\"connect\"", "\"erase\"", "\"program\"", "\"verify\"", "\"disconnect\""}) {
    EXPECT_NE(summary.find(phase), std::string::npos) << phase << " missing in " << summary;
  }
  EXPECT_EQ(Flash(sim_, kImageAddress, kImageSize), image_);

  const RunResult read =
      Run({"read", "0x10000", "0x10FFF", "-o", Path("back.bin"), "--password-file", Path("password"), "--json"});
  ASSERT_EQ(read.exitCode, 0) << read.err;
  EXPECT_EQ(ReadFile(Path("back.bin")), image_);
  ExpectSchema(read, "read");
  // No password, no read: a usage error before anything is read.
  EXPECT_EQ(Run({"read", "0", "0xFF", "-o", Path("none.bin")}).exitCode, 2);
}

TEST_F(Zelkor, InfoShowsTheSectorsAndEraseBlanksTheChosenOnes) {
  ASSERT_EQ(FlashImage().exitCode, 0);
  const RunResult before = Run({"info", "--json"});
  ASSERT_EQ(before.exitCode, 0) << before.err;
  EXPECT_EQ(SectorState(before, 4), R"(["used"])");
  EXPECT_EQ(SectorState(before, 3), R"(["protected","blank"])");
  ExpectSchema(before, "info");
  EXPECT_EQ(JsonLines(before.out, "bank").size(), 2u);

  const RunResult erased = Run({"erase", "4", "--json"});
  EXPECT_EQ(erased.exitCode, 0);
  ExpectSchema(erased, "erase");
  EXPECT_EQ(SectorState(Run({"info", "--json"}), 4), R"(["blank"])");
  const RunResult refused = Run({"erase", "3"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("erase 0x00C000-0x00FFFF: "), std::string::npos) << refused.err;
  EXPECT_EQ(Run({"erase", "99"}).exitCode, 2);
}

TEST_F(Zelkor, EachBankShowsItsOwnChipAndAnEraseStaysInsideTheRangeItPrints) {
  const auto flashAt = [&](const char* address) {
    return Run({"flash", Path("image.bin"), "--address", address, "-q"}).exitCode;
  };
  ASSERT_EQ(flashAt("0x40000"), 0);
  const RunResult info = Run({"info", "--json"});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  const std::vector<std::string> banks = JsonLines(info.out, "bank");
  ASSERT_EQ(banks.size(), 2u);
  EXPECT_EQ(JsonField(banks[1], "flashId"), std::to_string(0x2202));
  EXPECT_EQ(JsonField(banks[1], "flashSizeKiB"), "512");
  EXPECT_EQ(SectorState(info, 7), R"(["used"])");
  const RunResult erased = Run({"erase", "10", "-v"});
  ASSERT_EQ(erased.exitCode, 0) << erased.err;
  EXPECT_NE(erased.err.find("erasing 0x070000-0x07FFFF"), std::string::npos) << erased.err;
  EXPECT_EQ(Flash(sim_, 0x40000, kImageSize), image_) << "erased outside the printed range";
}

TEST_F(Zelkor, AnImagePastFourGigabytesIsRefusedBeforeAnythingIsErased) {
  ASSERT_EQ(Run({"flash", Path("image.bin"), "--address", "0", "-q"}).exitCode, 0);
  WriteFile(Path("big.bin"), std::string(0x4010, '\x5A'));
  const RunResult binary = Run({"flash", Path("big.bin"), "--address", "0xFFFFFFF0"});
  EXPECT_EQ(binary.exitCode, 2);
  EXPECT_NE(binary.err.find("0xFFFFFFF0-0x100003FFF, past the end of the 4 GB"), std::string::npos) << binary.err;
  // 16 bytes at 0xFFFFFFF8: an extended linear address record, then data.
  WriteFile(Path("top.hex"), ":02000004FFFFFC\n:10FFF8000102030405060708090A0B0C0D0E0F1071\n:00000001FF\n");
  const RunResult hex = Run({"flash", Path("top.hex")});
  EXPECT_EQ(hex.exitCode, 2) << hex.err;
  EXPECT_NE(hex.err.find("0xFFFFFFF8-0x100000007"), std::string::npos) << hex.err;
  EXPECT_EQ(Flash(sim_, 0, kImageSize), image_) << "sector 0 was erased";
}

TEST_F(Zelkor, StandardStreamsLengthsAndTheCausesOfRefusals) {
  RunOptions options;
  options.program = e2e::BinDir() + "/zelkor";
  options.args = {"flash", "-", "--address", "64K", "-q", "--module", module_, "--port", sim_.PortPath()};
  options.env["ZELKOR_MACHINE_REGISTRY"] = Path("machine.reg");
  options.input = image_;
  ASSERT_EQ(runner::test::RunQuillrun(options).exitCode, 0);
  options.args = {"read",           "0x10000+4K", "-o",    "-",      "-q",           "--password-file",
                  Path("password"), "--module",   module_, "--port", sim_.PortPath()};
  options.input.clear();
  const RunResult back = runner::test::RunQuillrun(options);
  ASSERT_EQ(back.exitCode, 0) << back.err;
  EXPECT_TRUE(back.out == image_) << "standard output is not the flash";

  const RunResult protectedRead =
      Run({"read", "0xC000", "0x1FFFF", "-o", Path("p.bin"), "--password-file", Path("password")});
  EXPECT_EQ(protectedRead.exitCode, 1);
  EXPECT_NE(protectedRead.err.find("touches the protected area 0x00C000-0x00FFFF"), std::string::npos)
      << protectedRead.err;
  // Causes named, and known before anything connects.
  const RunResult noPassword = Run({"read", "0", "0xFF", "-o", Path("none.bin")});
  EXPECT_EQ(noPassword.exitCode, 2);
  EXPECT_EQ(noPassword.err.find("connect"), std::string::npos) << noPassword.err;
  EXPECT_NE(Run({"flash", Path("gone.hex")}).err.find("No such file or directory"), std::string::npos);
  // A bad record is named by its line and fault, before the module is reset.
  WriteFile(Path("bad.hex"), ":0100000000FF\n:01000100g0FE\n:00000001FF\n");
  WriteFile(Path("bad.srec"), "S00600004844521B\nS1050000000\n");
  WriteFile(Path("empty.hex"), "");
  for (const auto& [file, cause] : std::vector<std::pair<std::string, std::string>>{
           {"bad.hex", "line 2: a character that is not a hex digit"},
           {"bad.srec", "line 2: the record's length does not match its count"},
           {"empty.hex", "the file is empty"}}) {
    const RunResult bad = Run({"flash", Path(file), "-v"});
    EXPECT_EQ(bad.exitCode, 2) << file;
    EXPECT_NE(bad.err.find(cause), std::string::npos) << bad.err;
    EXPECT_EQ(bad.err.find("connect..."), std::string::npos) << bad.err;
  }
  EXPECT_NE(Run({"read", "0", "1FFFF", "-o", Path("x.bin")}).err.find("hexadecimal with 0x"), std::string::npos);
  const RunResult noPort = Run({"info", "-q"}, "rfc2217://127.0.0.1");
  EXPECT_NE(noPort.err.find("write rfc2217://HOST:PORT"), std::string::npos) << noPort.err;
  EXPECT_NE(Run({"info", "-q"}, "rfc2217://no-such-host.invalid:7000").err.find("does not resolve"), std::string::npos);
}

// The demo image as S-record (objcopy's) and as ELF (its bytes in segments
// whose physical addresses are not their virtual ones, and a segment without
// file bytes) programs the flash byte for byte as its HEX file does; a file
// like these given as binary is refused before anything connects.
TEST_F(Zelkor, TheDemoImageAsSrecordOrElfProgramsTheFlashAsItsHexDoes) {
  if (std::system("command -v objcopy >/dev/null 2>&1") != 0) GTEST_SKIP() << "objcopy is needed";
  const std::string hex = e2e::BinDir() + "/demo/demo.hex";
  ASSERT_EQ(std::system(("objcopy -I ihex -O srec " + hex + " " + Path("demo.srec")).c_str()), 0);
  ASSERT_EQ(std::system(("objcopy -I ihex -O binary --gap-fill 0xff " + hex + " " + Path("demo.img")).c_str()), 0);
  const std::string bytes = ReadFile(Path("demo.img"));
  ASSERT_GT(bytes.size(), 0x8000u);
  std::vector<test::ElfSegment> segments{{0x30000, 0x30000, "", 0x1000}};
  for (std::size_t at = 0; at < bytes.size(); at += 0x2000) {
    const std::string piece = bytes.substr(at, 0x2000);
    if (piece.find_first_not_of('\xFF') != std::string::npos) segments.push_back({at, 0x20000000 + at, piece});
  }
  WriteFile(Path("demo.elf"), test::ElfImage::Build(segments));

  const auto flash = [&](const std::string& image, const e2e::ModSimProcess& sim) {
    return Run({"flash", image, "--verify", "--password-file", Path("password"), "-q"}, sim.PortPath());
  };
  const RunResult fromHex = flash(hex, sim_);
  ASSERT_EQ(fromHex.exitCode, 0) << fromHex.err;
  const std::string expected = ReadFile(sim_.Dir() + "/flash.img");
  EXPECT_TRUE(expected.substr(0, bytes.size()) == bytes);
  for (const char* name : {"demo.srec", "demo.elf"}) {
    const e2e::ModSimProcess sim;
    const RunResult r = flash(Path(name), sim);
    EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
    EXPECT_TRUE(ReadFile(sim.Dir() + "/flash.img") == expected) << name << " programmed other bytes";
  }

  WriteFile(Path("demo.bin"), ReadFile(hex));
  WriteFile(Path("elf.bin"), ReadFile(Path("demo.elf")));
  const std::pair<std::vector<std::string>, std::string> givenAsBinary[] = {
      {{"flash", Path("demo.bin"), "--address", "0"}, "Intel HEX"},
      {{"flash", Path("demo.srec"), "--address", "0"}, "S-record"},
      {{"flash", Path("elf.bin")}, "ELF"},
  };
  for (const auto& [args, looks] : givenAsBinary) {
    const RunResult r = Run(args);
    EXPECT_EQ(r.exitCode, 2) << looks;
    EXPECT_NE(r.err.find("looks like an " + looks + " file, not a binary image"), std::string::npos) << r.err;
  }
}

TEST_F(Zelkor, UsageErrorsEndWithTwoBeforeConnecting) {
  EXPECT_EQ(Run({"flash", Path("image.bin"), "--verify"}).exitCode, 2);  // binary without --address
  EXPECT_EQ(Run({"flash", Path("missing.hex")}).exitCode, 2);
  // A file name of another code page: valid JSON all the same, and the
  // summary names the port although the run never got to it.
  const RunResult latin1 = Run({"flash", Path("caf\xE9.hex"), "--json"}, "/dev/ttyNONE");
  EXPECT_EQ(latin1.exitCode, 2);
  ExpectSchema(latin1, "flash");
  EXPECT_EQ(JsonField(Summary(latin1), "image"), Path("caf\\xE9.hex"));
  EXPECT_EQ(JsonField(Summary(latin1), "imageNotUtf8"), "true");
  EXPECT_EQ(JsonField(Summary(latin1), "port"), "/dev/ttyNONE");
  EXPECT_EQ(Run({"flash", Path("image.bin"), "--password", "zelkor"}).exitCode, 2);
  const RunResult help = Run({"flash", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--verify"), std::string::npos);
  // A gang naming one device twice, once through a link.
  std::filesystem::create_symlink(sim_.PortPath(), Path("link"));
  const RunResult twice = Run({"flash", Path("image.bin"), "--address", "0x10000", "--port", Path("link")});
  EXPECT_EQ(twice.exitCode, 2);
  EXPECT_NE(twice.err.find("--port " + Path("link") + " and --port " + sim_.PortPath()), std::string::npos)
      << twice.err;
}

TEST_F(Zelkor, ASecondZelkorOnAPortInUseIsRefusedAndLeavesTheFirstAlone) {
  // The second starts while the first's boot dialogue runs: opening the
  // port, which stands in for the reset line, would cut that short.
  e2e::ModSimProcess slow({"--baud-emulation", "--trace", Path("trace.txt")});
  auto first = std::async(std::launch::async, [&] { return Run({"info", "--json"}, slow.PortPath()); });
  for (int i = 0; i < 200 && ReadFile(Path("trace.txt")).find("rx boot code") == std::string::npos; ++i) {
    usleep(20000);
  }
  const RunResult second = Run({"info", "--json"}, slow.PortPath());
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_NE(JsonField(Summary(second), "text").find("in use by another program"), std::string::npos) << second.out;
  const RunResult held = first.get();
  EXPECT_EQ(held.exitCode, 0) << held.out << held.err;
}

TEST_F(Zelkor, AFlashThatDiffersEndsWithThree) {
  e2e::ModSimProcess faulty({"--fault", "cancel-rx@5"});
  const RunResult r = FlashImage(faulty.PortPath());
  EXPECT_EQ(r.exitCode, kMismatch) << r.err;
  EXPECT_NE(JsonField(Summary(r), "text").find("bytes differ"), std::string::npos) << Summary(r);
}

TEST_F(Zelkor, BlocksRefusedOnEveryTryAreRecoveredAboveTheLinkOrNamedAsTheCause) {
  // Six blocks in a row refused while the image is programmed: every try of
  // two requests, which go again once the flash shows what they left.
  std::vector<std::string> refusals;
  for (int block = kFirstRefusedBlock; block < kFirstRefusedBlock + 6; ++block) {
    refusals.insert(refusals.end(), {"--fault", "nak-block@" + std::to_string(block)});
  }
  e2e::ModSimProcess poor(refusals);
  trace_ = Path("wire.trace");
  const RunResult flashed = FlashImage(poor.PortPath());
  EXPECT_EQ(flashed.exitCode, 0) << flashed.err;
  EXPECT_EQ(Flash(poor, kImageAddress, kImageSize), image_);
  const std::string trace = ReadFile(*trace_);
  EXPECT_TRUE(trace.find("still blank, sent again") != std::string::npos ||
              trace.find("asked again after result 18") != std::string::npos)
      << trace;
  // Refused on every try from the start: the message says so.
  e2e::ModSimProcess deaf({"--fault", "nak-block@*"});
  trace_.reset();
  const RunResult refused = FlashImage(deaf.PortPath());
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(JsonField(Summary(refused), "text"),
            "connect: login on " + deaf.PortPath() + ": The target refused every try of a block sent to it.");
}

// Faults of a module or a line that must never turn into wrong data: the
// flash holds nothing the image did not, a saved file nothing the flash
// does not.
TEST_F(Zelkor, AnAnswerSentTwiceIsNeverSentOnAsARequest) {
  // Every answer goes out twice, as from a module that ran each request
  // twice; the description's own send lock leaves time for a copy to land
  // before the next request goes out.
  e2e::ModSimProcess twice({"--fault", "repeat-answer@*"});
  const std::string module = dir_.Path() + "/ZkSimSlow";
  std::filesystem::create_directory(module);
  ini::WriteString(e2e::FastModuleCopy("ZkSim-Download", module), "RS232", "SendLockTime", "20");
  RunOptions options;
  options.program = e2e::BinDir() + "/zelkor";
  options.args = {"flash", Path("image.bin"), "--address", "0x10000", "--module", module, "--port", twice.PortPath()};
  options.env["ZELKOR_MACHINE_REGISTRY"] = Path("machine.reg");
  options.timeoutMs = 120000;
  const RunResult r = runner::test::RunQuillrun(options);
  const std::string flash = ReadFile(twice.Dir() + "/flash.img");
  ASSERT_GT(flash.size(), kImageAddress + kImageSize);
  EXPECT_TRUE(flash.substr(kImageAddress, kImageSize) == image_) << "the image is not in the flash: " << r.err;
  std::string outside = flash;
  outside.replace(kImageAddress, kImageSize, kImageSize, '\xFF');
  EXPECT_EQ(outside.find_first_not_of('\xFF'), std::string::npos) << "written outside the image: " << r.err;
}

TEST_F(Zelkor, AnAnswerShorterThanItsCountIsAFailureNeverData) {
  // Each read answer states 250 bytes and carries 100: two reads agree on
  // the stale rest, which no read may hand over.
  e2e::ModSimProcess shortened({"--fault", "short-answer@*:100"});
  const RunResult read =
      Run({"read", "0x10000", "0x10FFF", "-o", Path("back.bin"), "--password-file", Path("password"), "-q"},
          shortened.PortPath());
  EXPECT_EQ(read.exitCode, 1) << read.err;
  EXPECT_NE(read.err.find("fewer bytes than it states"), std::string::npos) << read.err;
  EXPECT_FALSE(std::filesystem::exists(Path("back.bin")));
}

TEST_F(Zelkor, AnImageAcrossTheBankEdgeIsProgrammedVerifiedAndReadBack) {
  // Bank 0 ends at 0x3FFFF, bank 1 starts at 0x40000.
  const RunResult flashed =
      Run({"flash", Path("image.bin"), "--address", "0x3F800", "--verify", "--password-file", Path("password"), "-q"});
  ASSERT_EQ(flashed.exitCode, 0) << flashed.err;
  EXPECT_EQ(Flash(sim_, 0x3F800, kImageSize), image_);
  const RunResult read =
      Run({"read", "0x3F800", "0x407FF", "-o", Path("back.bin"), "--password-file", Path("password"), "-q"});
  ASSERT_EQ(read.exitCode, 0) << read.err;
  EXPECT_EQ(ReadFile(Path("back.bin")), image_);
}

TEST_F(Zelkor, BehindAUsbAdaptersLatencyTimerAFlashStillVerifies) {
  // Every reply of the module comes up to 16 ms late, in packets of 64.
  e2e::ModSimProcess adapter({"--baud-emulation", "--usb-latency", "16"});
  const RunResult r = FlashImage(adapter.PortPath());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(JsonField(Summary(r), "outcome"), "verified");
}

// What InterruptAt does once the trigger shows, besides sending a signal:
// it closes its end of the pipe, as a pager that has quit.
constexpr int kClosePipe = 0;

// The 3964R frames of a trace in each direction, as matched by the first
// group of pattern: [0] to the module, [1] from it.
std::array<int, 2> FramesIn(const std::string& trace, const std::regex& pattern, const char* toModule,
                            std::vector<std::string>* lines = nullptr) {
  std::array<int, 2> frames{};
  std::istringstream in(trace);
  std::smatch match;
  for (std::string line; std::getline(in, line);) {
    if (!std::regex_search(line, match, pattern)) continue;
    ++frames[match[1] == toModule ? 0 : 1];
    if (lines != nullptr) lines->push_back(line);
  }
  return frames;
}

TEST_F(Zelkor, TheWireTraceNamesEveryFrameAndSeesAsManyAsTheModule) {
  e2e::ModSimProcess traced({"--trace", Path("module.trace")});
  const RunResult flashed = Run({"flash", Path("image.bin"), "--address", "0x10000", "--verify", "--password-file",
                                 Path("password"), "-q", "--trace", Path("host.trace")},
                                traced.PortPath());
  ASSERT_EQ(flashed.exitCode, 0) << flashed.err;
  const std::string host = ReadFile(Path("host.trace"));
  std::vector<std::string> lines;
  const std::array<int, 2> hostFrames = FramesIn(host, std::regex(R"(^ *[0-9]+\.[0-9]{3} (->|<-) )"), "->", &lines);
  const std::array<int, 2> moduleFrames =
      FramesIn(ReadFile(Path("module.trace")), std::regex(R"(^ *[0-9.]+ (rx|tx) 3964R )"), "rx");
  EXPECT_GT(hostFrames[0], 10);
  EXPECT_EQ(hostFrames, moduleFrames);
  const std::regex named(R"(^ *[0-9.]+ (->|<-) [0-9A-F]{2} [A-Z][A-Za-z]+( |$))");
  for (const std::string& line : lines) EXPECT_TRUE(std::regex_search(line, named)) << line;
  EXPECT_EQ(host.find("7A 65 6C 6B 6F 72"), std::string::npos) << "the password is in the trace";
  EXPECT_NE(host.find(" port DTR "), std::string::npos);
  EXPECT_NE(host.find(" boot <- "), std::string::npos);

  // The environment does the same for any program, here into standard error.
  trace_ = "-";
  const RunResult info = Run({"info", "-q"}, traced.PortPath());
  EXPECT_EQ(info.exitCode, 0);
  EXPECT_NE(info.err.find(" -> 01 Login [1] 01\n"), std::string::npos) << info.err;
}

// Runs zelkor with args, its standard output and error in one pipe, and
// once that shows trigger sends it action (SIGINT, say); the exit code (-1:
// not by itself, or never interrupted) and all it wrote.
std::pair<int, std::string> InterruptAt(std::vector<std::string> args, const std::string& trigger,
                                        int action = SIGINT) {
  int out[2];
  if (pipe(out) != 0) return {-1, "no pipe"};
  args.insert(args.begin(), e2e::BinDir() + "/zelkor");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(out[1], STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    signal(SIGPIPE, SIG_DFL);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  std::string text;
  bool interrupted = false;
  char buffer[512];
  pollfd fd{out[0], POLLIN, 0};
  while (poll(&fd, 1, 60000) > 0) {
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (!interrupted && text.find(trigger) != std::string::npos) {
      interrupted = true;
      if (action == kClosePipe) break;
      kill(pid, action);
    }
  }
  close(out[0]);
  int status = 0;
  for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
    if (!interrupted || waited == 600) kill(pid, SIGKILL);
    usleep(100000);
  }
  return {interrupted && WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

// Processes whose command line mentions text.
int ProcessesWith(const std::string& text) {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string cmdline = ReadFile(entry.path().string() + "/cmdline");
    if (cmdline.find(text) != std::string::npos) ++n;
  }
  return n;
}

TEST_F(Zelkor, CtrlCStopsTheRunningStepsDisconnectsAndEndsWith130) {
  e2e::ModSimProcess slow({"--baud-emulation"});
  e2e::ModSimProcess slower({"--baud-emulation"});
  const std::vector<std::string> flash{"flash", Path("image.bin"), "--address", "0x10000", "--module", module_};
  std::vector<std::string> single = flash;
  single.insert(single.end(), {"--port", slow.PortPath(), "--json"});
  const auto [code, text] = InterruptAt(single, "\"phase\":\"program\"");
  EXPECT_EQ(code, 130) << text;
  EXPECT_NE(text.find("\"phase\":\"disconnect\""), std::string::npos) << text;
  EXPECT_EQ(JsonField(Summary({0, text, ""}), "outcome"), "cancelled");

  // A gang: every child in its own process group is stopped by the parent,
  // and none is left behind.
  std::vector<std::string> gang = flash;
  gang.insert(gang.end(), {"--port", slow.PortPath(), "--port", slower.PortPath()});
  const auto [gangCode, gangText] = InterruptAt(gang, "  program");
  EXPECT_EQ(gangCode, 130) << gangText;
  EXPECT_EQ(TableResult(gangText, slow.PortPath()), "cancelled") << gangText;
  EXPECT_EQ(TableResult(gangText, slower.PortPath()), "cancelled") << gangText;
  EXPECT_EQ(ProcessesWith(module_), 0);
}

TEST_F(Zelkor, AHangUpCancelsLikeCtrlCAndAClosedOutputEndsNothing) {
  e2e::ModSimProcess slow({"--baud-emulation"});
  const std::vector<std::string> flash{"flash", Path("image.bin"), "--address",     "0x10000", "--module",
                                       module_, "--port",          slow.PortPath(), "--json"};
  const auto [code, text] = InterruptAt(flash, "\"phase\":\"program\"", SIGHUP);
  EXPECT_EQ(code, 130) << text;
  EXPECT_NE(text.find("\"phase\":\"disconnect\""), std::string::npos) << text;
  // zelkor flash | head -1: the module, disconnected above, is programmed
  // whole although nothing reads what zelkor writes.
  const auto [piped, head] = InterruptAt(flash, "\n", kClosePipe);
  EXPECT_EQ(piped, 0) << head;
  EXPECT_TRUE(Flash(slow, kImageAddress, kImageSize) == image_) << "the image is not in the flash";
}

TEST_F(Zelkor, AGangProgramsEveryModuleAndAFaultFailsOnlyItsOwn) {
  e2e::ModSimProcess second;
  e2e::ModSimProcess faulty({"--fault", "cancel-rx@5"});
  RunOptions options;
  options.program = e2e::BinDir() + "/zelkor";
  options.args = {"flash",           Path("image.bin"), "--address",       "0x10000",       "--verify",
                  "--module",        module_,           "--port",          sim_.PortPath(), "--port",
                  second.PortPath(), "--port",          faulty.PortPath(), "--log",         Path("log.jsonl")};
  options.env["ZELKOR_MACHINE_REGISTRY"] = Path("machine.reg");
  options.env["ZELKOR_PASSWORD"] = "zelkor";
  const RunResult r = runner::test::RunQuillrun(options);
  EXPECT_EQ(r.exitCode, kMismatch) << r.out << r.err;
  EXPECT_EQ(Flash(sim_, kImageAddress, kImageSize), image_);
  EXPECT_EQ(Flash(second, kImageAddress, kImageSize), image_);

  std::istringstream log(ReadFile(Path("log.jsonl")));
  std::map<std::string, std::string> results;
  for (std::string line; std::getline(log, line);) {
    EXPECT_EQ(JsonField(line, "sha256"), Sha256Hex(image_));
    results[JsonField(line, "port")] = JsonField(line, "result");
  }
  EXPECT_EQ(results,
            (std::map<std::string, std::string>{
                {sim_.PortPath(), "verified"}, {second.PortPath(), "verified"}, {faulty.PortPath(), "failed"}}));
  EXPECT_EQ(TableResult(r.out, faulty.PortPath()), "failed") << r.out;
  EXPECT_EQ(TableResult(r.out, second.PortPath()), "verified") << r.out;
}

TEST_F(Zelkor, AGangLogsEachModuleTheMomentItEnds) {
  // The parent dies once one module has failed, while the other erases:
  // the failed module's line is in the log, whole.
  e2e::ModSimProcess slow({"--fault", "slow-erase"});
  const std::string missing = Path("no-such-device");
  InterruptAt({"flash", Path("image.bin"), "--address", "0x10000", "--module", module_, "--port", slow.PortPath(),
               "--port", missing, "--log", Path("log.jsonl")},
              "  failed", SIGKILL);
  const std::string log = ReadFile(Path("log.jsonl"));
  EXPECT_EQ(JsonField(log, "port"), missing) << log;
  EXPECT_EQ(JsonField(log, "result"), "failed") << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  EXPECT_TRUE(log.ends_with("}\n")) << log;
}

}  // namespace
}  // namespace zk::cli
