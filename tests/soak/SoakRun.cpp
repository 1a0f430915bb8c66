#include "tests/soak/SoakRun.h"

#include "dm/ByteStreams.h"
#include "dm/HexWriter.h"
#include "tests/e2e/ModSimProcess.h"
#include "tests/e2e/QuillrunMessage.h"
#include "tests/runner/RunnerProcess.h"
#include "tests/support/Installation.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <thread>

namespace zk::soak {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCommandFailures[] = {"Error connecting", "Error erasing sector", "Error loading hex file",
                                                 "Error programming"};

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string HexImage(const std::vector<uint8_t>& image) {
  dm::MemorySink sink;
  dm::WriteHex(image.data(), static_cast<uint32_t>(image.size()), kImageAddress, sink, {});
  return sink.bytes;
}

// The demo module, its send lock at 1 ms so that the line sets the pace.
std::string CopyModule(const TempDir& dir) {
  const std::string module = dir.Path() + "/ZkSim";
  fs::create_directories(module);
  e2e::FastModuleCopy("ZkSim-Download", module);
  return module;
}

// Stops the simulator dead after a delay unless the run ends first; lets it
// go on once the run is over, so that it can be ended normally.
class Silencer {
 public:
  Silencer(const e2e::ModSimProcess& sim, uint32_t afterMs) : sim_(sim) {
    if (afterMs == 0) return;
    thread_ = std::thread([this, afterMs] {
      std::unique_lock lock(mutex_);
      if (!done_.wait_for(lock, std::chrono::milliseconds(afterMs), [this] { return over_; })) {
        sim_.Signal(SIGSTOP);
        stopped_ = true;
      }
    });
  }
  ~Silencer() {
    {
      std::lock_guard lock(mutex_);
      over_ = true;
    }
    done_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (stopped_) sim_.Signal(SIGCONT);
  }
  Silencer(const Silencer&) = delete;
  Silencer& operator=(const Silencer&) = delete;

 private:
  const e2e::ModSimProcess& sim_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool over_ = false;
  bool stopped_ = false;
  std::thread thread_;
};

}  // namespace

std::string_view OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kSucceeded: return "succeeded";
    case Outcome::kFailedCleanly: return "failed cleanly";
    case Outcome::kWrongData: return "wrong data";
    case Outcome::kHung: return "hung";
    case Outcome::kCrashed: return "crashed";
    case Outcome::kUnexplained: return "unexplained";
  }
  return "?";
}

bool IsCommandFailure(std::string_view message) {
  for (std::string_view failure : kCommandFailures) {
    if (message == failure) return true;
  }
  return false;
}

RunVerdict RunOnce(const RunSetup& setup, uint32_t runNumber, const RunFaults& faults,
                   const std::vector<uint8_t>& image) {
  RunVerdict verdict;
  TempDir dir("zk-soak");
  const std::string module = CopyModule(dir);
  const std::string hex = dir.Path() + "/image.hex";
  WriteFile(hex, HexImage(image));
  const std::string script = dir.Path() + "/soak.qrs";
  WriteFile(script, "DISABLE VERBOSE\nCONNECT EXTERNAMD " + module + "\nERASESECTOR 4 4\nLOADHEX " + hex +
                        "\nDOWNLOAD\nDISCONNECT SWRESET\n");
  const std::string registry = dir.Path() + "/machine.reg";
  test::WriteMachineRegistry(registry, setup.binDir);

  std::vector<std::string> simArgs = faults.simulatorArgs;
  simArgs.insert(simArgs.end(), {"--trace", dir.Path() + "/modsim.trace"});
  e2e::ModSimProcess sim(simArgs);
  if (!sim.Running()) return verdict;
  runner::test::RunOptions options;
  options.args = {"--console", script};
  options.env["ZELKOR_MACHINE_REGISTRY"] = registry;
  options.timeoutMs = setup.deadlineMs;

  const auto start = std::chrono::steady_clock::now();
  runner::test::RunResult run;
  {
    Silencer silencer(sim, faults.silentAfterMs);
    run = runner::test::RunQuillrun(options);
  }
  verdict.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  verdict.exitCode = run.exitCode;
  verdict.lastMessage = e2e::LastQuillrunMessage(run.err);

  if (run.exitCode == -1) {
    // RunQuillrun gives -1 both for a kill at the deadline and for a signal.
    verdict.outcome = verdict.seconds * 1000 >= setup.deadlineMs ? Outcome::kHung : Outcome::kCrashed;
  } else if (run.exitCode == 0) {
    const std::string flash = ReadFile(sim.Dir() + "/flash.img");
    const bool same = flash.size() >= kImageAddress + kImageSize &&
                      flash.compare(kImageAddress, kImageSize, std::string(image.begin(), image.end())) == 0;
    verdict.outcome = same ? Outcome::kSucceeded : Outcome::kWrongData;
  } else {
    verdict.outcome = IsCommandFailure(verdict.lastMessage) ? Outcome::kFailedCleanly : Outcome::kUnexplained;
  }
  if (!Acceptable(verdict.outcome) && !setup.keepDir.empty()) {
    WriteFile(dir.Path() + "/quillrun.err", run.err);
    std::error_code ec;
    fs::copy_file(sim.Dir() + "/flash.img", dir.Path() + "/flash.img", ec);
    const std::string kept = setup.keepDir + "/run-" + std::to_string(runNumber);
    fs::create_directories(kept, ec);
    fs::copy(dir.Path(), kept, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  }
  return verdict;
}

}  // namespace zk::soak
