#include "platform/Trace.h"

#include "platform/CalendarTime.h"
#include "platform/Files.h"
#include "platform/Immortal.h"
#include "platform/TraceOutput.h"

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>

namespace zk::trace {

namespace detail {
std::atomic<int> gState{kUnread};
}  // namespace detail

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kVariable = "ZELKOR_TRACE";
constexpr std::size_t kShortLine = 256;

struct Sink {
  std::mutex mutex;
  std::unique_ptr<detail::Output> output;
  std::string destination;
  Clock::time_point start;
};

// Link threads may still trace while the process exits.
Sink& TheSink() {
  static zk::detail::Immortal<Sink> sink;
  return *sink;
}

bool IsStandardError(const std::string& path) { return path.empty() || path == "-"; }

// Called with the sink's lock held.
void WriteLocked(Sink& sink, std::string_view text) {
  const auto since = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sink.start).count();
  char stamp[32];
  const int length = std::snprintf(stamp, sizeof stamp, "%7lld.%03lld ", static_cast<long long>(since / 1000),
                                   static_cast<long long>(since % 1000));
  sink.output->Write(std::string_view(stamp, static_cast<std::size_t>(length)), text, "\n");
}

void WriteHeader(Sink& sink) {
  char when[32] = "";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (zk::LocalTime(now, local)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
  char header[kShortLine];
  std::snprintf(header, sizeof header, "trace of %s, process %ld, started %s",
                files::BaseName(files::HostProgramPath()).c_str(), detail::ProcessId(), when);
  WriteLocked(sink, header);
}

// Called with the sink's lock held; the state follows the outcome.
bool OpenLocked(Sink& sink, const std::string& path) {
  auto output = std::make_unique<detail::Output>(IsStandardError(path) ? std::string() : path);
  if (!output->valid()) {
    detail::gState.store(detail::kOff);
    return false;
  }
  sink.output = std::move(output);
  sink.destination = IsStandardError(path) ? std::string() : path;
  sink.start = Clock::now();
  WriteHeader(sink);
  detail::gState.store(detail::kOn);
  return true;
}

}  // namespace

namespace detail {

bool ReadSetting() {
  Sink& sink = TheSink();
  std::lock_guard lock(sink.mutex);
  if (gState.load() != kUnread) return gState.load() == kOn;
  const char* value = std::getenv(kVariable);
  if (value == nullptr || *value == '\0') {
    gState.store(kOff);
    return false;
  }
  if (OpenLocked(sink, value)) return true;
  const int error = errno;
  std::fprintf(stderr, "%s: cannot write %s: %s\n", kVariable, value, std::strerror(error));
  return false;
}

}  // namespace detail

bool Start(const std::string& path) {
  Sink& sink = TheSink();
  std::lock_guard lock(sink.mutex);
  return OpenLocked(sink, path);
}

std::optional<std::string> Destination() {
  if (!Enabled()) return std::nullopt;
  Sink& sink = TheSink();
  std::lock_guard lock(sink.mutex);
  return sink.destination;
}

void Text(std::string_view text) {
  if (!Enabled()) return;
  Sink& sink = TheSink();
  std::lock_guard lock(sink.mutex);
  if (detail::gState.load() == detail::kOn) WriteLocked(sink, text);
}

void Line(const char* format, ...) {
  if (!Enabled()) return;
  char shortLine[kShortLine];
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(shortLine, sizeof shortLine, format, args);
  va_end(args);
  if (length < 0) {
    va_end(again);
    return;
  }
  if (static_cast<std::size_t>(length) < sizeof shortLine) {
    va_end(again);
    Text(std::string_view(shortLine, static_cast<std::size_t>(length)));
    return;
  }
  std::string longLine(static_cast<std::size_t>(length) + 1, '\0');
  std::vsnprintf(longLine.data(), longLine.size(), format, again);
  va_end(again);
  longLine.pop_back();
  Text(longLine);
}

}  // namespace zk::trace
