#include "tests/soak/SoakFaults.h"

#include <random>

namespace zk::soak {
namespace {

constexpr char kLineRate[] = "0.0001";
// Commands of a download: login, find and select the library, the base
// address and the erase, then a base address and a program request for each
// of the 265 pieces of 248 bytes, and the exit. Each is one block the module
// receives.
constexpr uint32_t kFirstProgramCommand = 6;
constexpr uint32_t kLastCommand = 540;
constexpr uint32_t kBlocksOfADownload = 540;
// A download takes about a second on a pseudo terminal.
constexpr uint32_t kSilentFrom = 100;
constexpr uint32_t kSilentTo = 1000;

std::string Number(uint32_t n) { return std::to_string(n); }

}  // namespace

std::string_view ProfileName(FaultProfile profile) {
  switch (profile) {
    case FaultProfile::kCorruption: return "corruption";
    case FaultProfile::kDrops: return "drops";
    case FaultProfile::kNakBlocks: return "nak-blocks";
    case FaultProfile::kIgnored: return "ignored-command";
    case FaultProfile::kWrongEcho: return "wrong-echo";
    case FaultProfile::kSilent: return "silent";
    case FaultProfile::kMixed: return "mixed";
  }
  return "?";
}

std::string RunFaults::Describe() const {
  std::string text(ProfileName(profile));
  for (const std::string& arg : simulatorArgs) text += " " + arg;
  if (profile == FaultProfile::kSilent) text += " (silent after " + Number(silentAfterMs) + " ms)";
  return text;
}

RunFaults FaultsForRun(uint32_t run, uint64_t seed) {
  std::mt19937_64 random(seed * 1000003u + run);
  auto pick = [&](uint32_t from, uint32_t to) { return std::uniform_int_distribution<uint32_t>(from, to)(random); };
  RunFaults faults;
  faults.profile = static_cast<FaultProfile>(run % kProfileCount);
  auto& args = faults.simulatorArgs;
  args = {"--seed", std::to_string(random())};
  switch (faults.profile) {
    case FaultProfile::kCorruption: args.insert(args.end(), {"--corrupt", kLineRate}); break;
    case FaultProfile::kDrops: args.insert(args.end(), {"--drop", kLineRate}); break;
    case FaultProfile::kNakBlocks:
      for (int i = 0; i < 3; ++i) {
        args.insert(args.end(), {"--fault", "nak-block@" + Number(pick(1, kBlocksOfADownload))});
      }
      break;
    case FaultProfile::kIgnored:
      args.insert(args.end(), {"--fault", "ignore-command@" + Number(pick(kFirstProgramCommand, kLastCommand))});
      break;
    case FaultProfile::kWrongEcho:
      args.insert(args.end(), {"--fault", "wrong-echo@" + Number(pick(1, kLastCommand))});
      break;
    case FaultProfile::kSilent: faults.silentAfterMs = pick(kSilentFrom, kSilentTo); break;
    case FaultProfile::kMixed:
      args.insert(args.end(), {"--corrupt", kLineRate, "--drop", kLineRate, "--fault",
                               "nak-block@" + Number(pick(1, kBlocksOfADownload))});
      break;
  }
  return faults;
}

}  // namespace zk::soak
