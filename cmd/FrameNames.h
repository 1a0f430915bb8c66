#pragma once
// The names the trace gives the frames of the module protocol: the command
// and its fields of a request, the command it echoes and its status or
// count of an answer ("05 Program 0x00002000 +248", "05 Program status 0").
#include "platform/FrameTrace.h"
#include "platform/NonCopyable.h"

#include <cstdint>
#include <span>

namespace zk::cmd {

// The name of a command code; nullptr for a code the protocol does not have.
const char* CommandName(uint8_t code);

// Not the bytes behind a password's length.
trace::FrameName NameFrame(trace::Direction direction, std::span<const uint8_t> frame);

// Lends NameFrame to the trace while at least one FrameNaming lives (each
// session has one; a test may own a session beside the library's): the link
// that carries the frames does not know what they mean.
class FrameNaming : private NonCopyable {
 public:
  FrameNaming();
  ~FrameNaming();
};

}  // namespace zk::cmd
