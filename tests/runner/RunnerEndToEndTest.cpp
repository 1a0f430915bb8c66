// The Quillrun program with the real data manager, command layer and link
// driver against the module simulator.
#include "platform/Ini.h"
#include "tests/e2e/ModSimProcess.h"
#include "tests/e2e/Ser2netProcess.h"
#include "tests/runner/RunnerFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <thread>
#include <utility>

namespace zk::runner::test {
namespace {

using ::testing::ElementsAre;

constexpr std::size_t kHexRecord = 16;

// Intel HEX of bytes at address (below 64 KB): data records and the end.
std::string HexText(uint16_t address, const std::vector<uint8_t>& bytes) {
  std::string text;
  char field[16];
  for (std::size_t offset = 0; offset < bytes.size(); offset += kHexRecord) {
    const std::size_t n = std::min(kHexRecord, bytes.size() - offset);
    const auto at = static_cast<uint16_t>(address + offset);
    unsigned sum = static_cast<unsigned>(n) + (at >> 8) + (at & 0xFF);
    std::snprintf(field, sizeof field, ":%02X%04X00", static_cast<unsigned>(n), at);
    text += field;
    for (std::size_t i = 0; i < n; ++i) {
      std::snprintf(field, sizeof field, "%02X", bytes[offset + i]);
      text += field;
      sum += bytes[offset + i];
    }
    std::snprintf(field, sizeof field, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    text += field;
  }
  return text + ":00000001FF\n";
}

std::vector<uint8_t> RandomBytes(std::size_t n, unsigned seed) {
  std::vector<uint8_t> bytes(n);
  std::mt19937 random(seed);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

class RunnerEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Running());
    // The demo module, its send lock at 1 ms so that the line sets the pace.
    const std::filesystem::path source = std::filesystem::path(e2e::ModuleDescription("ZkSim-Download")).parent_path();
    module_ = dir_.Path() + "/ZkSim";
    std::filesystem::copy(source, module_);
    ASSERT_TRUE(ini::WriteString(module_ + "/modul.ini", "RS232", "SendLockTime", "1"));
    WriteMachineRegistry(dir_.Path() + "/machine.reg", e2e::BinDir());
  }

  RunResult Run(const std::string& script, bool closedErr = false) {
    WriteFile(dir_.Path() + "/script.qrs", script);
    RunOptions options;
    options.closedErr = closedErr;
    options.args = {"--console", dir_.Path() + "/script.qrs"};
    options.env["ZELKOR_MACHINE_REGISTRY"] = dir_.Path() + "/machine.reg";
    options.timeoutMs = 30000;
    return RunQuillrun(options);
  }

  std::string Connect() const { return "CONNECT EXTERNAMD " + module_ + "\n"; }

  // The simulator's flash: its banks back to back.
  std::string Flash(std::size_t offset, std::size_t length) const {
    return ReadFile(sim_.Dir() + "/flash.img").substr(offset, length);
  }

  e2e::ModSimProcess sim_;
  TempDir dir_;
  std::string module_;
};

TEST_F(RunnerEndToEnd, BinaryAndHexImagesReachTheFlash) {
  const std::vector<uint8_t> binary = RandomBytes(0x5000, 1);
  const std::vector<uint8_t> hex = RandomBytes(0x3000, 2);
  WriteFile(dir_.Path() + "/image.bin", std::string(binary.begin(), binary.end()));
  WriteFile(dir_.Path() + "/image.hex", HexText(0x2000, hex));
  const RunResult run = Run(Connect() +
                            "ERASESECTOR 0 1\n"
                            "LOADHEX " +
                            dir_.Path() +
                            "/image.bin\n"
                            "DOWNLOAD\n"
                            "ERASESECTOR 4 4\n"
                            "SELECTBANK 1\n"
                            "LOADHEX " +
                            dir_.Path() +
                            "/image.hex\n"
                            "DOWNLOAD\n"
                            "DISCONNECT SWRESET\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Flash(0, binary.size()), std::string(binary.begin(), binary.end()));
  // A HEX image goes to its addresses plus bank x 65536.
  EXPECT_EQ(Flash(0x12000, hex.size()), std::string(hex.begin(), hex.end()));
  EXPECT_EQ(Flash(0x10000, 0x2000), std::string(0x2000, '\xFF')) << "the gap stays erased";
}

TEST_F(RunnerEndToEnd, AClosedOutputDoesNotEndADownload) {
  // As in "Quillrun ... 2>&1 | head": every progress line goes to a pipe
  // nobody reads any more.
  const std::vector<uint8_t> image = RandomBytes(0x3000, 4);
  WriteFile(dir_.Path() + "/image.bin", std::string(image.begin(), image.end()));
  const RunResult run = Run("ENABLE VERBOSE\n" + Connect() + "ERASESECTOR 0 0\nLOADHEX " + dir_.Path() +
                                "/image.bin\nDOWNLOAD\nDISCONNECT SWRESET\n",
                            true);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(Flash(0, image.size()), std::string(image.begin(), image.end()));
}

TEST_F(RunnerEndToEnd, LibraryNamesThatHoldAPathAreRefused) {
  // Each name reaches a library of the installation, but through a path.
  struct Case {
    const char* section;
    const char* key;
    const char* name;
    const char* restored;
  };
  const std::string description = module_ + "/modul.ini";
  for (const Case& c :
       {Case{"General", "DmDLL", "../bin/KORDm", "KORDm"}, Case{"General", "CommandDll", "./KORCmd", ""},
        Case{"RS232", "DllName", "..\\bin\\Tarnlink", "Tarnlink"}}) {
    SCOPED_TRACE(c.key);
    ASSERT_TRUE(ini::WriteString(description, c.section, c.key, c.name));
    const RunResult run = Run(Connect());
    ASSERT_TRUE(ini::WriteString(description, c.section, c.key, c.restored));
    EXPECT_EQ(run.exitCode, 1);
    const std::vector<std::string> messages = Messages(run.err);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "Error connecting");
    EXPECT_THAT(messages.front(), ::testing::AllOf(::testing::HasSubstr(description), ::testing::HasSubstr(c.key),
                                                   ::testing::HasSubstr(c.name)));
  }
}

TEST_F(RunnerEndToEnd, TheProgramEndsCleanlyWithoutDisconnecting) {
  const RunResult run = Run(Connect());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
}

TEST_F(RunnerEndToEnd, ProtectedAreasRefuseTheErase) {
  // Sector 3 (0xC000..0xFFFF) is the module's protected parameter sector.
  RunResult run = Run(Connect() + "ERASESECTOR 3 3\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(Messages(run.err),
              ElementsAre("EraseSector: The specified address is protected by software.", "Error erasing sector"));

  // The run ended connected; the module goes back to its boot loader as
  // its reset line would make it.
  sim_.Signal(SIGUSR1);
  run = Run(Connect() + "ERASECHIP\n");
  EXPECT_EQ(run.exitCode, 1);
  // The whole chip holds them: the message says so and what to do instead.
  EXPECT_THAT(Messages(run.err),
              ElementsAre("EraseChip: the module has protected areas (0xC000-0xFFFF), which erasing the whole chip "
                          "would erase; a script cannot switch their protection off, ERASESECTOR erases the other "
                          "sectors",
                          "Error erasing chip"));
}

TEST_F(RunnerEndToEnd, SectorNumbersTheModuleDoesNotHaveEraseNothing) {
  const std::vector<uint8_t> image = RandomBytes(0x1000, 5);
  WriteFile(dir_.Path() + "/image.bin", std::string(image.begin(), image.end()));
  // Sector 14 is the last of bank 1: the numbers go on through the banks.
  const RunResult run = Run(Connect() + "ERASESECTOR 0 0\nLOADHEX " + dir_.Path() +
                            "/image.bin\nDOWNLOAD\nERASESECTOR 0 15\nERASESECTOR 99 99\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(Messages(run.err), ElementsAre("ERASESECTOR: sector 15 does not exist; the module has sectors 0 to 14",
                                             "Error erasing sector"));
  EXPECT_EQ(Flash(0, image.size()), std::string(image.begin(), image.end()));
}

TEST_F(RunnerEndToEnd, AMessageOfADataManagerWorkerComesOutBetweenTheRunnersOwn) {
  std::string hex = HexText(0, RandomBytes(32, 3));
  hex[hex.find('\n') - 1] ^= 1;  // the first record's checksum
  WriteFile(dir_.Path() + "/bad.hex", hex);
  const RunResult run = Run(Connect() + "LOADHEX " + dir_.Path() + "/bad.hex\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(Messages(run.err), ElementsAre("DEBUG BOX: CheckSum falsch !", "line 1 of " + dir_.Path() + "/bad.hex",
                                             "LoadFile", "Error loading hex file"));
}

TEST_F(RunnerEndToEnd, APortThatCannotBeOpenedIsNamedWithItsDeviceAndTheCause) {
  // The simulator's terminal held by another program.
  const int holder = ::open(sim_.PortPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  const std::shared_ptr<void> release(nullptr, [holder](void*) { ::close(holder); });
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  const std::string missing = dir_.Path() + "/ttyUSB7";
  using Case = std::pair<std::string, std::string>;
  for (const auto& [device, cause] : {Case{missing, "the device " + missing + " does not exist"},
                                      Case{"/dev/null", "/dev/null is not a serial device"},
                                      Case{sim_.PortPath(), sim_.PortPath() + " is in use by another program"}}) {
    SCOPED_TRACE(device);
    WriteFile(dir_.Path() + "/script.qrs", Connect());
    RunOptions options;
    options.args = {"--console", dir_.Path() + "/script.qrs"};
    options.env["ZELKOR_MACHINE_REGISTRY"] = dir_.Path() + "/machine.reg";
    options.env["ZELKOR_COM1"] = device;
    const RunResult run = RunQuillrun(options);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(Messages(run.err),
                ElementsAre("Serial port: COM1: " + cause + ".", "Login failed", "Error connecting"));
  }
}

// The state of DTR and RTS on the simulator's terminal over one open, from
// the log of the preloaded line recorder.
struct LineChange {
  long long atUs;
  int lines;  // TIOCM_DTR | TIOCM_RTS bits after the change
};
struct LineSession {
  bool loweredBeforeAnyByte = false;
  bool lowLatencyBeforeAnyByte = false;
  std::vector<LineChange> changes;  // after that first lowering
  int lastState = -1;
};

std::vector<LineSession> ReadLineLog(const std::string& path) {
  std::vector<LineSession> sessions;
  std::istringstream in(ReadFile(path));
  long long at = 0;
  std::string what;
  long value = 0;
  int state = 0;
  bool lowered = false;
  bool wrote = false;
  while (in >> at >> what >> value) {
    if (what == "OPEN") {
      sessions.emplace_back();
      state = TIOCM_DTR | TIOCM_RTS;  // as the kernel raises them at open
      lowered = wrote = false;
      continue;
    }
    if (sessions.empty()) continue;
    LineSession& session = sessions.back();
    if (what == "WRITE") {
      wrote = true;
    } else if (what == "LOWLATENCY") {
      session.lowLatencyBeforeAnyByte = value == 1 && !wrote;
    } else if (what == "SET" || what == "CLR") {
      const int next = what == "SET" ? state | static_cast<int>(value) : state & ~static_cast<int>(value);
      if (!lowered && next == 0) {
        lowered = true;
        session.loweredBeforeAnyByte = !wrote;
      } else if (lowered && next != state) {
        session.changes.push_back({at, next});
      }
      state = next;
    } else if (what == "CLOSE") {
      session.lastState = state;
    }
  }
  return sessions;
}

TEST_F(RunnerEndToEnd, EveryOpenAsksForLowLatencyAndLowersTheModemLinesWhichFollowEachSequenceInTime) {
  constexpr int kDtr = TIOCM_DTR;  // boot
  constexpr int kRts = TIOCM_RTS;  // reset
  struct Expected {
    std::vector<int> states;
    std::vector<long long> afterMs;  // of each change, counted from the first
  };
  const std::filesystem::path handshakeDir = dir_.Path() + "/Handshake";
  std::filesystem::create_directory(handshakeDir);
  e2e::FastModuleCopy("ZkSim-Handshake", handshakeDir.string());
  const std::string handshake = handshakeDir.string();
  // Release delays 100 ms (reset) and 200 ms (boot) in both modules.
  const std::vector<std::pair<std::string, Expected>> modules{
      // Both asserted at once, each released after its own delay.
      {module_, {{kRts, kRts | kDtr, kDtr, 0}, {0, 0, 100, 200}}},
      // Reset released after its delay, boot after a further one.
      {handshake, {{kRts, kRts | kDtr, kDtr, 0}, {0, 0, 100, 300}}},
  };
  for (const auto& [module, boot] : modules) {
    SCOPED_TRACE(module);
    const std::string log = dir_.Path() + "/lines.log";
    std::filesystem::remove(log);
    WriteFile(dir_.Path() + "/script.qrs", "CONNECT EXTERNAMD " + module + "\nDISCONNECT HWRESET\n");
    RunOptions options;
    options.args = {"--console", dir_.Path() + "/script.qrs"};
    options.env["ZELKOR_MACHINE_REGISTRY"] = dir_.Path() + "/machine.reg";
    options.env["LD_PRELOAD"] = ZK_MODEM_LINE_SHIM;
    options.env["ASAN_OPTIONS"] = "verify_asan_link_order=0";
    options.env["ZK_LINE_LOG"] = log;
    options.env["ZK_LINE_DEVICE"] = sim_.PortPath();
    const RunResult run = RunQuillrun(options);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const std::vector<LineSession> sessions = ReadLineLog(log);
    // The boot loader dialogue, the link, the reset pulse of mode 3.
    const std::vector<Expected> expected{boot, {{}, {}}, {{kRts, 0}, {0, 500}}};
    ASSERT_EQ(sessions.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_TRUE(sessions[i].loweredBeforeAnyByte);
      // Asked at open; the pseudo terminal's refusal changes nothing.
      EXPECT_TRUE(sessions[i].lowLatencyBeforeAnyByte);
      EXPECT_EQ(sessions[i].lastState, 0);
      const std::vector<LineChange>& changes = sessions[i].changes;
      std::vector<int> states;
      for (const LineChange& change : changes) states.push_back(change.lines);
      EXPECT_EQ(states, expected[i].states);
      if (states != expected[i].states) continue;
      for (std::size_t k = 0; k < changes.size(); ++k) {
        const long long ms = (changes[k].atUs - changes[0].atUs) / 1000;
        EXPECT_GE(ms, expected[i].afterMs[k]) << k;
        EXPECT_LE(ms, expected[i].afterMs[k] + 100) << k;
      }
    }
  }
}

TEST_F(RunnerEndToEnd, ADownloadThroughSer2netOfAnImageFullOfIacBytesIsInTheFlash) {
  e2e::Ser2netProcess server(sim_.PortPath());
  ASSERT_TRUE(server.Running());
  // 0xFF is Telnet's IAC: every one is doubled on the way and undoubled by
  // ser2net. A few other bytes show that the data went through at all.
  std::vector<uint8_t> image(0x4000, 0xFF);
  for (std::size_t i = 63; i < image.size(); i += 64) image[i] = static_cast<uint8_t>(i >> 6);
  WriteFile(dir_.Path() + "/ff.hex", HexText(0, image));
  RunOptions options;
  WriteFile(dir_.Path() + "/script.qrs",
            Connect() + "ERASESECTOR 0 0\nLOADHEX " + dir_.Path() + "/ff.hex\nDOWNLOAD\nDISCONNECT\n");
  options.args = {"--console", dir_.Path() + "/script.qrs"};
  options.env["ZELKOR_MACHINE_REGISTRY"] = dir_.Path() + "/machine.reg";
  options.env["ZELKOR_COM1"] = server.Mapping();
  const RunResult run = RunQuillrun(options);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Flash(0, image.size()), std::string(image.begin(), image.end()));
}

TEST_F(RunnerEndToEnd, ARemoteHostThatRefusesIsSilentBusyOrGoesAwayIsNamedWithHostAndPort) {
  const auto run = [&](const std::string& mapping, const std::string& more = "") {
    WriteFile(dir_.Path() + "/script.qrs", Connect() + more);
    RunOptions options;
    options.args = {"--console", dir_.Path() + "/script.qrs"};
    options.env["ZELKOR_MACHINE_REGISTRY"] = dir_.Path() + "/machine.reg";
    options.env["ZELKOR_COM1"] = mapping;
    return RunQuillrun(options);
  };
  const std::string refusing = "rfc2217://127.0.0.1:" + std::to_string(e2e::FreeTcpPort());
  RunResult result = run(refusing);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_THAT(Messages(result.err),
              ElementsAre("Serial port: COM1: the host of " + refusing + " refused the connection.", "Login failed",
                          "Error connecting"));

  // A host that takes the connection and never says a word.
  const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(silent, 0);
  const std::shared_ptr<void> closeSilent(nullptr, [silent](void*) { ::close(silent); });
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(silent, 4), 0);
  ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string quiet = "rfc2217://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  result = run(quiet);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_THAT(Messages(result.err),
              ElementsAre("Serial port: COM1: " + quiet + " answers without RFC 2217 (no COM port option).",
                          "Login failed", "Error connecting"));

  // The server goes away in the middle of a download on the emulated line
  // (some seconds for 16 KB).
  WriteFile(dir_.Path() + "/data.hex", HexText(0, RandomBytes(0x4000, 7)));
  e2e::ModSimProcess slow({"--baud-emulation"});
  e2e::Ser2netProcess server(slow.PortPath());
  ASSERT_TRUE(server.Running());
  std::thread stopper([&server] {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    server.Stop();
  });
  const auto started = std::chrono::steady_clock::now();
  result = run(server.Mapping(), "ERASESECTOR 0 0\nLOADHEX " + dir_.Path() + "/data.hex\nDOWNLOAD\n");
  stopper.join();
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_THAT(Messages(result.err), ::testing::Contains("Serial port: connection to " + server.Mapping() + " lost"));

  // A server whose port another client holds.
  e2e::Ser2netProcess busy(sim_.PortPath());
  ASSERT_TRUE(busy.Running());
  const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(holder, 0);
  const std::shared_ptr<void> closeHolder(nullptr, [holder](void*) { ::close(holder); });
  address.sin_port = htons(busy.Port());
  ASSERT_EQ(::connect(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  char greeting = 0;
  ASSERT_EQ(::recv(holder, &greeting, 1, 0), 1);  // the server serves it
  result = run(busy.Mapping());
  EXPECT_THAT(Messages(result.err),
              ElementsAre("Serial port: COM1: " + busy.Mapping() + " is in use by another program.", "Login failed",
                          "Error connecting"));
}

TEST_F(RunnerEndToEnd, AModuleThatDoesNotAnswerFailsTheLogin) {
  sim_.Signal(SIGSTOP);
  RunResult run = Run(Connect());
  sim_.Signal(SIGCONT);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(Messages(run.err), ElementsAre("Login failed", "Error connecting"));
}

}  // namespace
}  // namespace zk::runner::test
