// Login with the boot download (the demo module ZkSim-Download) through the
// real command layer and link driver against ModSim with line-rate
// emulation, held against the wire time of every byte of the dialogue plus
// the waits the design prescribes.
//
//   LoginBench [--runs N] [--check-trace [--keep-trace]]
//
// --check-trace runs one login with ModSim tracing every byte and compares
// the bytes that crossed the line with the count the bound is built from;
// --keep-trace leaves the trace file for a look at the timing.
#include "bench/CommandLibrary.h"
#include "bench/Figures.h"
#include "bench/TraceCount.h"
#include "bench/WireBudget.h"
#include "cmd/BootFile.h"
#include "common/IniFileAccess.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "tests/e2e/ModSimProcess.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace zk::bench {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t kSettleMs = 50;  // the simulator's wait for a second 0x00
constexpr double kTolerance = 0.10;
constexpr std::size_t kMemoryWriteData = 255;
constexpr uint64_t kMemoryWriteFraming = 6;  // code, address (3), count, checksum
constexpr uint64_t kRangeFrame = 7;
constexpr uint64_t kStartFrame = 8;
constexpr uint32_t kDefaultSendLockMs = 20;
constexpr auto kQuiet = 800ms;
constexpr double kBurstGap = 0.3;

std::vector<std::string> SimArgs() {
  return {"--baud-emulation", "--set", "Boot.SettleTime=" + std::to_string(kSettleMs), "--set",
          "Firmware.AnswerDelay=0"};
}

std::optional<std::vector<cmd::MemoryRecord>> Records(const std::string& path, std::string& storage) {
  const std::optional<std::string> file = files::ReadAll(path);
  if (!file) return std::nullopt;
  storage = *file;
  return cmd::ParseBootFile({reinterpret_cast<const uint8_t*>(storage.data()), storage.size()});
}

// What the login costs at the least, in its parts.
struct LoginBound {
  WireBudget line;         // bytes the simulator paces, and the waits
  ByteCount bootCode;      // raw boot code: not paced on reception by the simulator
  ByteCount atBootRate;    // handshake and boot download before the speed switch
  ByteCount atTargetRate;  // flash file frames after it
  ByteCount frames;        // the login frame over the transport
  uint32_t bootRate = 0;
  uint32_t targetRate = 0;
  double lineDelays = 0;
  double sendLocks = 0;
  double settle = 0;

  ByteCount Total() const {
    ByteCount all = bootCode;
    all += atBootRate;
    all += atTargetRate;
    all += frames;
    return all;
  }
};

std::optional<LoginBound> ComputeBound(const std::string& module, std::string* error) {
  const IniFileAccess access(module);
  LoginBound b;
  const uint32_t baud = static_cast<uint32_t>(ini::GetInt(module, "RS232", "Baud", 0));
  const bool autoBaud = ini::GetInt(module, "RS232", "AutoBaudRadu", 0) == 1;
  b.bootRate = autoBaud && (baud == 38400 || baud == 57600) ? 19200 : baud;
  b.targetRate = autoBaud ? baud : b.bootRate;

  // Reset and boot are asserted together and released after their delays.
  if (access.AutoBoot() != 0) b.lineDelays = std::max(access.ReleaseResetDelay(), access.ReleaseBootDelay()) / 1000.0;
  b.settle = kSettleMs / 1000.0;

  const std::string dir = std::filesystem::path(module).parent_path().string() + "/";
  std::string bootStorage;
  std::string flashStorage;
  const auto boot = Records(dir + ini::GetString(module, "Boot", "BootFile", "", 50), bootStorage);
  const auto flash = Records(dir + ini::GetString(module, "Boot", "FlashFile", "", 50), flashStorage);
  if (!boot || !flash) {
    *error = "boot or flash file of " + module + " unreadable";
    return std::nullopt;
  }

  // 0x00 and the identification byte; the boot code; 0x30 and 0xAA.
  b.atBootRate += {2, 2};
  for (const auto& record : *boot) b.bootCode.fromHost += record.data.size();
  if (autoBaud) b.atBootRate += {2, 1};  // speed switch and its acknowledge

  // Memory write frames of up to 255 bytes, cut where addresses jump.
  std::size_t pending = 0;
  uint32_t next = 0;
  auto flush = [&] {
    if (pending == 0) return;
    b.atTargetRate += {pending + kMemoryWriteFraming, 1};
    pending = 0;
  };
  for (const auto& record : *flash) {
    for (std::size_t i = 0; i < record.data.size(); ++i) {
      const uint32_t address = record.address + static_cast<uint32_t>(i);
      if (pending == kMemoryWriteData || (pending > 0 && address != next)) flush();
      ++pending;
      next = address + 1;
    }
  }
  flush();
  b.atTargetRate += {kRangeFrame, 1};
  b.atTargetRate += {kStartFrame, 1};

  b.line.AddBytes(b.atBootRate, b.bootRate);
  b.line.AddBytes(b.atTargetRate, b.targetRate);
  b.line.AddWait(b.lineDelays + b.settle);

  // The transport opens with its send clock at zero, so the login frame
  // waits the send lock.
  uint32_t lockMs = static_cast<uint32_t>(ini::GetInt(module, "RS232", "SendLockTime", 0));
  if (lockMs == 0) lockMs = kDefaultSendLockMs;
  const std::string sim = e2e::BinDir() + "/ModSim.ini";
  const auto word = static_cast<uint16_t>(ini::GetInt(sim, "Firmware", "LoginWord", 0));
  const std::vector<uint8_t> answer{0x01,
                                    static_cast<uint8_t>(word),
                                    static_cast<uint8_t>(word >> 8),
                                    static_cast<uint8_t>(ini::GetInt(sim, "Firmware", "Major", 0)),
                                    static_cast<uint8_t>(ini::GetInt(sim, "Firmware", "Minor", 0)),
                                    static_cast<uint8_t>(ini::GetInt(sim, "Firmware", "Build", 0))};
  const double waitsBefore = b.line.Waits();
  FrameDialogue dialogue(b.line, b.targetRate, lockMs / 1000.0);
  dialogue.Opened();
  const std::vector<uint8_t> request{0x01};
  dialogue.Exchange(request, answer);
  b.frames = dialogue.Bytes();
  b.sendLocks = b.line.Waits() - waitsBefore;
  return b;
}

void PrintBound(const LoginBound& b) {
  std::printf(
      "login bound: %llu+%llu bytes at %u (handshake, boot download), %llu+%llu at %u (flash file), "
      "%llu+%llu at %u (login frame), host+module\n",
      static_cast<unsigned long long>(b.atBootRate.fromHost), static_cast<unsigned long long>(b.atBootRate.toHost),
      b.bootRate, static_cast<unsigned long long>(b.atTargetRate.fromHost),
      static_cast<unsigned long long>(b.atTargetRate.toHost), b.targetRate,
      static_cast<unsigned long long>(b.frames.fromHost), static_cast<unsigned long long>(b.frames.toHost),
      b.targetRate);
  std::printf(
      "login bound: wire %.1f ms, line delays %.0f ms, simulator settle %.0f ms, send lock %.0f ms; "
      "total %.1f ms\n",
      b.line.Wire() * 1e3, b.lineDelays * 1e3, b.settle * 1e3, b.sendLocks * 1e3, b.line.Seconds() * 1e3);
  std::printf(
      "login bound: boot code %llu bytes (%.1f ms at %u on a real line) not in the bound: the simulator "
      "takes the raw burst unpaced\n",
      static_cast<unsigned long long>(b.bootCode.fromHost), WireSeconds(b.bootCode.fromHost, b.bootRate) * 1e3,
      b.bootRate);
}

// One login with every byte traced; the first burst of the trace is the login.
bool CheckTrace(const std::string& module, const LoginBound& bound, bool keep) {
  const std::string trace = std::filesystem::temp_directory_path() / "zk-login-bench.trace";
  {
    std::vector<std::string> args = SimArgs();
    args.insert(args.end(), {"--trace", trace, "--trace-bytes"});
    e2e::ModSimProcess sim(args);
    CommandLibrary cmd;
    if (!sim.Running() || !cmd.Bound() || cmd.Login(module) != 0) {
      std::printf("trace check: the traced login failed\n");
      return false;
    }
    Pause(kQuiet);
  }
  const auto bursts = ReadBursts(trace, kBurstGap);
  if (keep) {
    std::printf("trace check: trace kept in %s\n", trace.c_str());
  } else {
    std::filesystem::remove(trace);
  }
  if (!bursts || bursts->empty()) {
    std::printf("trace check: no bytes in the trace\n");
    return false;
  }
  const ByteCount seen = bursts->front().bytes;
  const ByteCount counted = bound.Total();
  const bool same = seen == counted;
  std::printf("trace check: login host->module %llu (counted %llu), module->host %llu (counted %llu): %s\n",
              static_cast<unsigned long long>(seen.fromHost), static_cast<unsigned long long>(counted.fromHost),
              static_cast<unsigned long long>(seen.toHost), static_cast<unsigned long long>(counted.toHost),
              same ? "same" : "DIFFERENT");
  return same;
}

int Run(int argc, char** argv) {
  const std::string module = e2e::ModuleDescription("ZkSim-Download");
  int runs = 3;
  if (const auto value = OptionValue(argc, argv, "--runs")) runs = std::max(1, std::atoi(value->c_str()));
  std::string error;
  const std::optional<LoginBound> bound = ComputeBound(module, &error);
  if (!bound) {
    std::fprintf(stderr, "LoginBench: %s\n", error.c_str());
    return 2;
  }
  PrintMachineLoad();
  PrintBound(*bound);
  if (HasFlag(argc, argv, "--check-trace") && !CheckTrace(module, *bound, HasFlag(argc, argv, "--keep-trace"))) {
    return 1;
  }

  e2e::ModSimProcess sim(SimArgs());
  CommandLibrary cmd;
  if (!sim.Running() || !cmd.Bound()) {
    std::fprintf(stderr, "LoginBench: %s\n", sim.Running() ? cmd.Error().c_str() : "ModSim did not start");
    return 2;
  }
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const Clock::time_point start = Clock::now();
    const uint32_t rc = cmd.Login(module);
    const double seconds = SecondsSince(start);
    if (rc != 0) {
      std::fprintf(stderr, "LoginBench: login failed with %u\n", rc);
      return 1;
    }
    times.push_back(seconds);
    std::printf("login run %d: %.1f ms\n", run + 1, seconds * 1e3);
    cmd.Exit();
    Pause(kQuiet);
  }
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  const double ratio = median / bound->line.Seconds();
  PrintFigure({"login " + std::to_string(bound->targetRate) + " (median)", median * 1e3, bound->line.Seconds() * 1e3,
               "ms", ratio, "within 10%", std::abs(ratio - 1) <= kTolerance});
  return std::abs(ratio - 1) <= kTolerance ? 0 : 1;
}

}  // namespace
}  // namespace zk::bench

int main(int argc, char** argv) { return zk::bench::Run(argc, argv); }
