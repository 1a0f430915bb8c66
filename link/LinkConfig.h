#pragma once
// The link settings the engine keeps from LinkParams, and the check of a
// LinkParams record field by field.
#include "link/LinkApi.h"

#include <cstdint>

namespace zk::link {

struct LinkConfig {
  uint16_t baudRate = 9600;
  uint8_t priority = 1;
  uint8_t retries = 3;
  uint16_t charTimeout = 200;
  uint16_t ackTimeout = 1000;
  uint16_t retryDelay = 150;
};

// kLinkOk, or the code of the first refused field in record order.
LinkResult CheckLinkParams(const LinkParams& params);

LinkConfig ConfigFrom(const LinkParams& params);

}  // namespace zk::link
