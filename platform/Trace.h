#pragma once
// The wire trace of a process: one line per event, each with the
// milliseconds since the trace started, written whole and at once, so that
// lines of several threads never mix and a crash loses none. Every layer of
// a process writes to the same trace, since this library is loaded once.
//
// The trace is off unless ZELKOR_TRACE names a file ("-": standard error),
// read at the first use, or a program starts it with Start. While it is off
// an event site costs one relaxed atomic load:
//
//   if (trace::Enabled()) trace::Line("link NAK to STX");
#include "platform/Api.h"

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

namespace zk::trace {

namespace detail {

enum State : int { kUnread = -1, kOff = 0, kOn = 1 };
ZK_PLATFORM_API extern std::atomic<int> gState;
// Reads ZELKOR_TRACE once; whether the trace is on.
ZK_PLATFORM_API bool ReadSetting();

}  // namespace detail

inline bool Enabled() {
  const int state = detail::gState.load(std::memory_order_relaxed);
  return state == detail::kOn || (state == detail::kUnread && detail::ReadSetting());
}

// Starts the trace into path for the rest of the process, in place of what
// ZELKOR_TRACE says ("" or "-": standard error). False (and the trace off)
// when the file cannot be written.
ZK_PLATFORM_API bool Start(const std::string& path);

// Where the trace goes: nullopt while it is off, "" for standard error.
ZK_PLATFORM_API std::optional<std::string> Destination();

// One line of the trace, without its time stamp and line end.
ZK_PLATFORM_API void Text(std::string_view text);
// MinGW's printf family follows C99 (%zu, %lld), as the GNU one does.
#if defined(__MINGW32__)
#define ZK_TRACE_FORMAT __attribute__((format(gnu_printf, 1, 2)))
#else
#define ZK_TRACE_FORMAT __attribute__((format(printf, 1, 2)))
#endif
ZK_PLATFORM_API void Line(const char* format, ...) ZK_TRACE_FORMAT;

}  // namespace zk::trace
