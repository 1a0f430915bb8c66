#pragma once
// The simulator's command line.
#include "modsim/FaultInjector.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zk::modsim {

enum class RateCheck : uint8_t { kOff, kWarn, kGarble };

struct Options {
  std::string configPath;                                      // empty: ModSim.ini beside the program, if any
  std::vector<std::pair<std::string, std::string>> overrides;  // "Section.Key", value
  std::string device;                                          // empty: create a pseudo terminal
  std::string linkPath;
  bool startFirmware = false;
  uint32_t baud = 57600;
  std::string resetInput = "cts";
  bool baudEmulation = false;
  uint32_t usbLatencyMs = 0;  // 0: bytes reach the host as they leave the wire
  bool openReset = true;
  RateCheck rateCheck = RateCheck::kGarble;
  std::optional<bool> headerMode;
  std::string flashFile;
  uint64_t seed = 1;
  LineFaultRates rates;
  std::vector<FaultRule> faults;
  std::string controlPath;
  std::optional<std::string> tracePath;
  bool traceBytes = false;
  bool lineFaultsInFirmware = false;  // line faults spare the boot loader's dialogue
  bool help = false;
  bool version = false;
};

// False and a message for an unknown option or a bad value.
bool ParseOptions(int argc, const char* const* argv, Options& options, std::string* error);
std::string HelpText();

}  // namespace zk::modsim
