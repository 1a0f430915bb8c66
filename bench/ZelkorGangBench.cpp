// Gang programming against one module: four simulated modules at 57600 with
// line-rate emulation, 64 KB each, programmed and verified by one
// `zelkor flash` with four ports, one of them with a seeded fault, against
// the same image on one module alone. The gang's wall time is held against
// the single module's; the table and the log must show the seeded module
// failed and the other three verified.
//   ZelkorGangBench [KB]
#include "bench/Figures.h"
#include "tests/e2e/ModSimProcess.h"
#include "tests/runner/RunnerProcess.h"
#include "tests/support/TempDir.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using zk::runner::test::RunOptions;
using zk::runner::test::RunResult;

constexpr std::size_t kGang = 4;
constexpr std::size_t kDefaultKb = 64;
constexpr double kTargetRatio = 1.15;
// A bit flipped twice in a program request: the check character passes it,
// verification does not.
constexpr const char* kSeededFault = "cancel-rx@40";

struct Run {
  RunResult result;
  double seconds = 0;
};

Run Zelkor(const fs::path& dir, std::vector<std::string> args) {
  RunOptions options;
  options.program = zk::e2e::BinDir() + "/zelkor";
  options.args = std::move(args);
  options.env["ZELKOR_MACHINE_REGISTRY"] = (dir / "machine.reg").string();
  options.env["ZELKOR_PASSWORD"] = "zelkor";
  options.timeoutMs = 600000;
  const auto start = zk::bench::Clock::now();
  Run run{zk::runner::test::RunQuillrun(options), 0};
  run.seconds = zk::bench::SecondsSince(start);
  return run;
}

// Counts of each result word in the production log.
std::size_t Count(const std::string& log, const std::string& result) {
  std::size_t n = 0;
  for (std::size_t at = 0; (at = log.find("\"result\":\"" + result + "\"", at)) != std::string::npos; ++at) ++n;
  return n;
}

// Whether the table row of port says result.
bool RowSays(const std::string& table, const std::string& port, const std::string& result) {
  std::istringstream in(table);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string first;
    std::string second;
    fields >> first >> second;
    if (first == port && second == result) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t kb = argc > 1 ? zk::bench::ParseSize(argv[1]).value_or(kDefaultKb * 1024) / 1024 : kDefaultKb;
  const zk::test::TempDir scratch("zk-gang-bench");
  const fs::path dir = scratch.path();
  {
    std::ofstream reg(dir / "machine.reg");
    reg << "[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zelkor3.exe]\nPATH=" << zk::e2e::BinDir() << "\n";
  }
  fs::create_directory(dir / "ZkSim");
  zk::e2e::FastModuleCopy("ZkSim-Download", (dir / "ZkSim").string());
  std::string image(kb * 1024, '\0');
  std::mt19937 random(11);
  for (char& c : image) c = static_cast<char>(random());
  std::ofstream(dir / "image.bin", std::ios::binary) << image;

  std::vector<std::unique_ptr<zk::e2e::ModSimProcess>> sims;
  for (std::size_t i = 0; i < kGang; ++i) {
    std::vector<std::string> args{"--baud-emulation", "--baud", "57600"};
    if (i == kGang - 1) args.insert(args.end(), {"--fault", kSeededFault});
    sims.push_back(std::make_unique<zk::e2e::ModSimProcess>(args));
  }
  const std::vector<std::string> flash{"flash",    (dir / "image.bin").string(), "--address", "0x10000", "--verify",
                                       "--module", (dir / "ZkSim").string()};
  zk::bench::PrintMachineLoad();

  std::vector<std::string> single = flash;
  single.insert(single.end(), {"--port", sims[0]->PortPath(), "-q"});
  const Run one = Zelkor(dir, single);

  std::vector<std::string> gang = flash;
  for (const auto& sim : sims) gang.insert(gang.end(), {"--port", sim->PortPath()});
  gang.insert(gang.end(), {"--log", (dir / "log.jsonl").string()});
  const Run all = Zelkor(dir, gang);
  std::fputs(all.result.out.c_str(), stderr);

  std::stringstream log;
  log << std::ifstream(dir / "log.jsonl").rdbuf();
  const bool seeded = one.result.exitCode == 0 && Count(log.str(), "verified") == kGang - 1 &&
                      Count(log.str(), "failed") == 1 && RowSays(all.result.out, sims[kGang - 1]->PortPath(), "failed");
  if (!seeded) std::fprintf(stderr, "unexpected outcome: single exit %d\n%s", one.result.exitCode, log.str().c_str());
  const double ratio = one.seconds > 0 ? all.seconds / one.seconds : 0;
  std::printf("zelkor gang of %zu, %zu KB each  %.1f s  one module  %.1f s  ratio %.3f (at most %.2f)  %s\n", kGang, kb,
              all.seconds, one.seconds, ratio, kTargetRatio, ratio <= kTargetRatio && seeded ? "met" : "MISSED");
  sims.clear();
  return 0;
}
