#pragma once
// The simulator's trace: one line per frame in either direction, per event,
// and optionally per byte, each with the seconds since the trace began.
#include "modsim/Clock.h"
#include "platform/NonCopyable.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace zk::modsim {

enum class Direction : uint8_t { kFromHost, kToHost };

class Trace : private NonCopyable {
 public:
  Trace() = default;
  ~Trace();

  // Starts tracing into `path` ("-" or empty: standard error). False when the
  // file cannot be opened.
  bool Open(const std::string& path, TimePoint start);
  // Traces into an open stream that stays the caller's.
  void Attach(std::FILE* stream, TimePoint start);
  void SetBytes(bool on) { bytes_ = on; }

  bool On() const { return out_ != nullptr; }
  bool BytesOn() const { return out_ != nullptr && bytes_; }

  void Frame(Direction direction, std::string_view kind, const uint8_t* data, std::size_t size, TimePoint at);
  void Byte(Direction direction, uint8_t byte, TimePoint at);
  void Note(std::string_view text, TimePoint at);

 private:
  void Stamp(TimePoint at);

  std::FILE* out_ = nullptr;
  bool owned_ = false;
  bool bytes_ = false;
  TimePoint start_{};
};

}  // namespace zk::modsim
