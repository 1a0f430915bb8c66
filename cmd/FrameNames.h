#pragma once
// The names the trace gives the frames of the module protocol: the command
// and its fields of a request, the command it echoes and its status or
// count of an answer ("05 Program 0x00002000 +248", "05 Program status 0").
#include "platform/FrameTrace.h"

#include <cstdint>
#include <span>

namespace zk::cmd {

// The name of a command code; nullptr for a code the protocol does not have.
const char* CommandName(uint8_t code);

// Not the bytes behind a password's length.
trace::FrameName NameFrame(trace::Direction direction, std::span<const uint8_t> frame);

// Lends NameFrame to the trace for its own lifetime: the link that carries
// the frames does not know what they mean.
class FrameNaming {
 public:
  FrameNaming() { trace::SetFrameDecoder(&NameFrame); }
  ~FrameNaming() { trace::ClearFrameDecoder(&NameFrame); }
  FrameNaming(const FrameNaming&) = delete;
  FrameNaming& operator=(const FrameNaming&) = delete;
};

}  // namespace zk::cmd
