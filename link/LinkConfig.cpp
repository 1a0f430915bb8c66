#include "link/LinkConfig.h"

namespace zk::link {
namespace {

struct Range {
  unsigned low;
  unsigned high;
  bool Holds(unsigned value) const { return value >= low && value <= high; }
};

constexpr Range kBaudRates{4800, 57600};
constexpr Range kLineOption{0, 2};
constexpr Range kPriorities{0, 1};
constexpr Range kRetries{1, 10};
constexpr Range kCharTimeouts{1, 1000};
constexpr Range kAckTimeouts{1, 6000};
constexpr Range kRetryDelays{1, 3000};

}  // namespace

LinkResult CheckLinkParams(const LinkParams& params) {
  if (!kBaudRates.Holds(params.baudRate)) return kBaudRateRefused;
  if (!kLineOption.Holds(params.parity)) return kParityRefused;
  if (!kLineOption.Holds(params.stopBits)) return kStopBitsRefused;
  if (!kPriorities.Holds(params.priority)) return kPriorityRefused;
  if (!kRetries.Holds(params.retries)) return kRetriesRefused;
  if (!kCharTimeouts.Holds(params.charTimeout)) return kCharTimeoutRefused;
  if (!kAckTimeouts.Holds(params.ackTimeout)) return kAckTimeoutRefused;
  if (!kRetryDelays.Holds(params.retryDelay)) return kRetryDelayRefused;
  return kLinkOk;
}

LinkConfig ConfigFrom(const LinkParams& params) {
  return LinkConfig{params.baudRate,    params.priority,   params.retries,
                    params.charTimeout, params.ackTimeout, params.retryDelay};
}

}  // namespace zk::link
