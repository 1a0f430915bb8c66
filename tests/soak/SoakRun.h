#pragma once
// One soak run: the demo module simulated with the run's faults, a script
// that connects, erases the image's sector, loads a 64 KB HEX image and
// downloads it through Quillrun --console, and the verdict on how it ended.
#include "tests/soak/SoakFaults.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zk::soak {

enum class Outcome : uint8_t {
  kSucceeded,      // exit code 0 and the flash holds the image
  kFailedCleanly,  // non-zero exit code after the failing command's message
  kWrongData,      // exit code 0 but the flash differs from the image
  kHung,           // still running at the deadline
  kCrashed,        // ended by a signal
  kUnexplained,    // a non-zero exit code without a command's message
};
inline constexpr std::size_t kOutcomeCount = 6;

std::string_view OutcomeName(Outcome outcome);

// Where the image goes: the first 64 KB sector of the demo module's flash.
inline constexpr uint32_t kImageAddress = 0x10000;
inline constexpr uint32_t kImageSize = 0x10000;

struct RunVerdict {
  Outcome outcome = Outcome::kUnexplained;
  double seconds = 0;
  int exitCode = -1;
  std::string lastMessage;  // the runner's last line on standard error
};

struct RunSetup {
  std::string binDir;  // the installation tree of the build
  int deadlineMs = 240000;
  // Where the files of a run that went wrong are kept (empty: nowhere).
  std::string keepDir;
  // The share of bytes the integrity runs' line corrupts or loses.
  std::string lineRate = "0.002";
};

RunVerdict RunOnce(const RunSetup& setup, uint32_t run, const RunFaults& faults, const std::vector<uint8_t>& image);

// Whether a run ended as the invariant allows.
inline bool Acceptable(Outcome outcome) { return outcome == Outcome::kSucceeded || outcome == Outcome::kFailedCleanly; }

// The messages a failing command of the soak script ends the run with.
bool IsCommandFailure(std::string_view message);

}  // namespace zk::soak
