#pragma once
// The progress each operation reports at its phases (0..100), named so that
// a flow says which phase it has reached rather than a number.
#include <cstdint>

namespace zk::cmd::progress {

// A phase that runs over a span of the scale in proportion to its work.
struct Span {
  uint32_t from;
  uint32_t to;
  constexpr uint32_t At(uint64_t done, uint64_t total) const {
    return from + static_cast<uint32_t>((to - from) * done / total);
  }
};

// Every worker: its arguments taken, nothing sent yet; and its end.
inline constexpr uint32_t kStarted = 10;
inline constexpr uint32_t kDone = 100;

// Login.
inline constexpr uint32_t kTransportLoaded = 10;
inline constexpr uint32_t kBootLoaderUp = 70;
inline constexpr uint32_t kLineParamsSelected = 80;
inline constexpr uint32_t kLinkOpen = 90;

// Erasing a range.
inline constexpr uint32_t kEraseRequestBuilt = 20;
inline constexpr uint32_t kEraseRequestSent = 40;
inline constexpr uint32_t kEraseAnswered = 60;
inline constexpr Span kEraseFailedList{70, 100};

// Sector status: the walk over the range.
inline constexpr Span kStatusWalk{kStarted, 90};

// Reading: the two passes over the range.
inline constexpr Span kReadPasses{0, 100};

}  // namespace zk::cmd::progress
