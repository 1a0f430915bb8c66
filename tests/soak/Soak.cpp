// ZkSoak: downloads of a 64 KB image through Quillrun --console against
// ModSim with seeded line and module faults. Every run must either succeed
// with the image in the simulator's flash or fail with the failing
// command's message, within its deadline. With --integrity N it runs N
// seeded verified downloads and N (or M) uploads of each line fault
// instead, over a line that spoils a share P of the bytes (0.002); with
// --at-least Q a share Q of the runs of each kind must also end with exit
// code 0.
//   ZkSoak [--runs N] [--seed S] [--deadline SECONDS] [--keep DIR]
//          [--integrity N [--uploads M] [--line-rate P] [--at-least Q]]
#include "tests/soak/Integrity.h"
#include "tests/soak/SoakFaults.h"
#include "tests/soak/SoakRun.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace {

using namespace zk::soak;

struct SoakOptions {
  uint32_t runs = 100;
  uint32_t integrityRuns = 0;
  std::optional<uint32_t> uploadRuns;  // of each upload kind; default the downloads' count
  uint64_t seed = 1;
  double leastShare = 0;  // of the integrity runs of each kind that end with exit code 0
  RunSetup setup;
};

bool ParseArgs(int argc, char** argv, SoakOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (arg == "--runs") {
      options.runs = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
    } else if (arg == "--seed") {
      options.seed = std::strtoull(value, nullptr, 10);
    } else if (arg == "--deadline") {
      options.setup.deadlineMs = 1000 * std::atoi(value);
    } else if (arg == "--integrity") {
      options.integrityRuns = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
    } else if (arg == "--uploads") {
      options.uploadRuns = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
    } else if (arg == "--at-least") {
      options.leastShare = std::strtod(value, nullptr);
    } else if (arg == "--line-rate") {
      options.setup.lineRate = value;
    } else if (arg == "--keep") {
      options.setup.keepDir = value;
    } else {
      return false;
    }
  }
  return options.runs > 0 && options.setup.deadlineMs > 0;
}

std::vector<uint8_t> Image(uint64_t seed, uint32_t run) {
  std::vector<uint8_t> image(kImageSize);
  std::mt19937 random(static_cast<uint32_t>(seed * 7919u + run));
  for (uint8_t& b : image) b = static_cast<uint8_t>(random());
  return image;
}

// Every run of each kind must end acceptably; a few downloads are expected
// to find a mismatch.
int RunIntegrityRuns(const SoakOptions& options) {
  bool clean = true;
  for (std::size_t k = 0; k < kIntegrityKindCount; ++k) {
    const auto kind = static_cast<IntegrityKind>(k);
    uint32_t succeeded = 0, failed = 0, mismatches = 0;
    const uint32_t runs = kind == IntegrityKind::kVerifiedDownload ? options.integrityRuns
                                                                   : options.uploadRuns.value_or(options.integrityRuns);
    for (uint32_t run = 0; run < runs; ++run) {
      const uint64_t seed = options.seed * 1000 + run;
      const IntegrityVerdict verdict = RunIntegrity(options.setup, kind, seed);
      (verdict.exitCode == 0 ? succeeded : failed) += 1;
      mismatches += verdict.mismatchReported ? 1 : 0;
      if (!verdict.acceptable) clean = false;
      std::printf("%s, seed %llu: exit %d  %s%s%s\n", std::string(IntegrityName(kind)).c_str(),
                  static_cast<unsigned long long>(seed), verdict.exitCode, verdict.lastMessage.c_str(),
                  verdict.acceptable ? "" : "  UNACCEPTABLE: ", verdict.why.c_str());
    }
    const bool enough = succeeded >= options.leastShare * runs;
    if (!enough) clean = false;
    std::printf("%-32s %u runs: %u exit 0, %u failed (%u verify mismatches reported)%s\n",
                std::string(IntegrityName(kind)).c_str(), runs, succeeded, failed, mismatches,
                enough ? "" : "  TOO FEW EXIT 0");
    std::fflush(stdout);
  }
  return clean ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  SoakOptions options;
  options.setup.binDir = ZK_BIN;
  if (!ParseArgs(argc, argv, options)) {
    std::fputs("usage: ZkSoak [--runs N] [--seed S] [--deadline SECONDS] [--keep DIR]\n", stderr);
    return 2;
  }
  if (options.integrityRuns > 0) return RunIntegrityRuns(options);
  std::array<uint32_t, kOutcomeCount> counts{};
  double longest = 0;
  for (uint32_t run = 0; run < options.runs; ++run) {
    const RunFaults faults = FaultsForRun(run, options.seed);
    const RunVerdict verdict = RunOnce(options.setup, run, faults, Image(options.seed, run));
    ++counts[static_cast<std::size_t>(verdict.outcome)];
    longest = std::max(longest, verdict.seconds);
    std::printf("run %3u  %-15s %6.1f s  exit %2d  %s  [%s]\n", run, std::string(OutcomeName(verdict.outcome)).c_str(),
                verdict.seconds, verdict.exitCode, verdict.lastMessage.c_str(), faults.Describe().c_str());
    std::fflush(stdout);
  }
  std::printf("\nsoak: %u runs, seed %llu, longest %.1f s\n", options.runs,
              static_cast<unsigned long long>(options.seed), longest);
  bool clean = true;
  for (std::size_t i = 0; i < kOutcomeCount; ++i) {
    const auto outcome = static_cast<Outcome>(i);
    std::printf("  %-15s %u\n", std::string(OutcomeName(outcome)).c_str(), counts[i]);
    if (!Acceptable(outcome) && counts[i] != 0) clean = false;
  }
  return clean ? 0 : 1;
}
