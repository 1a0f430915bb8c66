#pragma once
// Trace lines of the bytes that cross the line: "<lead> [n] 05 00 20 ...".
// A frame of the module's protocol is named by the decoder its command
// layer registers, since the link that carries it does not know what it
// means: "-> 05 Program 0x00002000 +248 [255] 05 00 20 ...".
// Call these only while trace::Enabled().
#include "platform/Api.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

namespace zk::trace {

enum class Direction : uint8_t {
  kToModule,    // "->"
  kFromModule,  // "<-"
};

// What a decoder makes of a frame: its name and fields, and how many of its
// bytes may be shown (a password is not).
struct FrameName {
  std::string text;
  std::size_t shownBytes = std::numeric_limits<std::size_t>::max();
};

// Called from any thread that traces a frame, one call at a time.
using FrameDecoder = FrameName (*)(Direction direction, std::span<const uint8_t> frame);

// The decoder of the frames from now on (nullptr: none); Clear takes the
// decoder away only when it is still the one given. Neither returns while
// the decoder they replace is running.
ZK_PLATFORM_API void SetFrameDecoder(FrameDecoder decoder);
ZK_PLATFORM_API void ClearFrameDecoder(FrameDecoder decoder);

// "<lead> [n] <hex bytes>", at most shown bytes, the rest counted.
ZK_PLATFORM_API void Bytes(std::string_view lead, std::span<const uint8_t> bytes,
                           std::size_t shown = std::numeric_limits<std::size_t>::max());

// One 3964R message: "-> name [n] bytes" or "<- name [n] bytes", named by
// name when given, else by the decoder.
ZK_PLATFORM_API void Frame(Direction direction, std::span<const uint8_t> bytes, std::string_view name = {});

}  // namespace zk::trace
