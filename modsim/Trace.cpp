#include "modsim/Trace.h"

#include "modsim/Numbers.h"

namespace zk::modsim {
namespace {

constexpr std::size_t kFrameBytesShown = 64;

const char* Arrow(Direction direction) { return direction == Direction::kFromHost ? "rx" : "tx"; }

}  // namespace

Trace::~Trace() {
  if (owned_ && out_) std::fclose(out_);
}

bool Trace::Open(const std::string& path, TimePoint start) {
  if (path.empty() || path == "-") {
    Attach(stderr, start);
    return true;
  }
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return false;
  Attach(file, start);
  owned_ = true;
  return true;
}

void Trace::Attach(std::FILE* stream, TimePoint start) {
  if (owned_ && out_) std::fclose(out_);
  out_ = stream;
  owned_ = false;
  start_ = start;
}

void Trace::Stamp(TimePoint at) {
  const auto since = at > start_ ? at - start_ : Duration::zero();
  const auto us = static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(since).count());
  std::fprintf(out_, "%6lld.%06lld ", us / 1000000, us % 1000000);
}

void Trace::Frame(Direction direction, std::string_view kind, const uint8_t* data, std::size_t size, TimePoint at) {
  if (!out_) return;
  Stamp(at);
  std::fprintf(out_, "%s %-8.*s %4zu: %s\n", Arrow(direction), static_cast<int>(kind.size()), kind.data(), size,
               HexBytes(data, size, kFrameBytesShown).c_str());
  std::fflush(out_);
}

void Trace::Byte(Direction direction, uint8_t byte, TimePoint at) {
  if (!BytesOn()) return;
  Stamp(at);
  std::fprintf(out_, "%s byte     %02X\n", Arrow(direction), byte);
}

void Trace::Note(std::string_view text, TimePoint at) {
  if (!out_) return;
  Stamp(at);
  std::fprintf(out_, "-- %.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(out_);
}

}  // namespace zk::modsim
