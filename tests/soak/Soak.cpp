// ZkSoak: downloads of a 64 KB image through Quillrun --console against
// ModSim with seeded line and module faults. Every run must either succeed
// with the image in the simulator's flash or fail with the failing
// command's message, within its deadline.
//   ZkSoak [--runs N] [--seed S] [--deadline SECONDS] [--keep DIR]
#include "tests/soak/SoakFaults.h"
#include "tests/soak/SoakRun.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>

namespace {

using namespace zk::soak;

struct SoakOptions {
  uint32_t runs = 100;
  uint64_t seed = 1;
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

}  // namespace

int main(int argc, char** argv) {
  SoakOptions options;
  options.setup.binDir = ZK_BIN;
  if (!ParseArgs(argc, argv, options)) {
    std::fputs("usage: ZkSoak [--runs N] [--seed S] [--deadline SECONDS] [--keep DIR]\n", stderr);
    return 2;
  }
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
