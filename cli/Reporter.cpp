#include "cli/Reporter.h"

#include "platform/Console.h"

#include <cmath>

namespace zk::cli {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawPause = std::chrono::milliseconds(100);
// Plain lines and JSON events: one per this many percent.
constexpr int kPlainStep = 10;
constexpr int kJsonStep = 2;

std::string Bytes(uint64_t n) {
  char text[32];
  if (n >= 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(n) / (1024.0 * 1024.0));
  } else if (n >= 1024) {
    std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(n) / 1024.0);
  } else {
    std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(n));
  }
  return text;
}

std::string Minutes(double seconds) {
  const long s = std::lround(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

}  // namespace

OutputMode ChooseMode(bool json) {
  if (json) return OutputMode::kJson;
  return IsTerminal(stderr) ? OutputMode::kTerminal : OutputMode::kPlain;
}

Reporter::Reporter(OutputMode mode, bool quiet, bool verbose) : mode_(mode), quiet_(quiet), verbose_(verbose) {}

void Reporter::Line(std::FILE* to, std::string_view text) {
  std::fprintf(to, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(to);
}

void Reporter::BeginPhase(std::string_view phase, uint64_t bytes) {
  phase_ = std::string(phase);
  total_ = bytes;
  done_ = 0;
  started_ = Clock::now();
  drawn_ = {};
  lastStep_ = -1;
  barShown_ = false;
  if (Json()) {
    Event(JsonObject().Add("event", "phase").Add("phase", phase).Add("bytes", static_cast<int64_t>(bytes)));
  } else if (!quiet_ && (bytes == 0 || mode_ == OutputMode::kPlain)) {
    Line(stderr, phase_ + (bytes == 0 ? "..." : ": " + Bytes(bytes)));
  }
}

void Reporter::Progress(uint64_t done) {
  if (total_ == 0) return;
  done_ = std::min(done, total_);
  const int percent = static_cast<int>(done_ * 100 / total_);
  if (Json()) {
    if (percent / kJsonStep == lastStep_) return;
    lastStep_ = percent / kJsonStep;
    Event(JsonObject()
              .Add("event", "progress")
              .Add("phase", phase_)
              .Add("done", static_cast<int64_t>(done_))
              .Add("total", static_cast<int64_t>(total_)));
    return;
  }
  if (quiet_) return;
  if (mode_ == OutputMode::kPlain) {
    if (percent / kPlainStep == lastStep_ || percent == 100) return;
    lastStep_ = percent / kPlainStep;
    if (percent == 0) return;
    Line(stderr, phase_ + ": " + std::to_string(percent) + "% (" + Bytes(done_) + " of " + Bytes(total_) + ")");
    return;
  }
  if (Clock::now() - drawn_ < kRedrawPause) return;
  Draw(false);
}

void Reporter::Draw(bool final) {
  drawn_ = Clock::now();
  const double elapsed = std::chrono::duration<double>(drawn_ - started_).count();
  const double rate = elapsed > 0 ? static_cast<double>(done_) / elapsed : 0;
  const int filled = static_cast<int>(done_ * kBarWidth / total_);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kBarWidth - filled), '-');
  std::string tail = final      ? Minutes(elapsed) + "      "
                     : rate > 0 ? Minutes(static_cast<double>(total_ - done_) / rate) + " left"
                                : "--:-- left";
  std::fprintf(stderr, "\r%-8s [%s] %9s / %-9s %8s/s  %s\x1b[K", phase_.c_str(), bar.c_str(), Bytes(done_).c_str(),
               Bytes(total_).c_str(), Bytes(static_cast<uint64_t>(rate)).c_str(), tail.c_str());
  if (final) std::fputc('\n', stderr);
  std::fflush(stderr);
  barShown_ = true;
}

void Reporter::EndPhase(bool ok) {
  const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
  phases_.push_back({phase_, seconds, ok});
  if (Json()) {
    Event(JsonObject().Add("event", "phase-end").Add("phase", phase_).Add("seconds", seconds).Add("ok", ok));
    return;
  }
  if (quiet_ || total_ == 0) return;
  if (mode_ == OutputMode::kTerminal) {
    if (ok) done_ = total_;
    Draw(true);
  } else {
    char text[96];
    std::snprintf(text, sizeof text, "%s: %s, %s in %.1f s", phase_.c_str(), ok ? "done" : "failed",
                  Bytes(ok ? total_ : done_).c_str(), seconds);
    Line(stderr, text);
  }
}

void Reporter::Note(std::string_view text) {
  if (Json()) {
    Event(JsonObject().Add("event", "message").Add("text", text));
  } else if (!quiet_) {
    Line(stderr, text);
  }
}

void Reporter::Detail(std::string_view text) {
  if (verbose_) Note(text);
}

void Reporter::Error(std::string_view text) {
  if (Json()) {
    Event(JsonObject().Add("event", "error").Add("text", text));
  } else {
    if (barShown_ && mode_ == OutputMode::kTerminal) std::fputc('\n', stderr);
    barShown_ = false;
    Line(stderr, "zelkor: " + std::string(text));
  }
}

void Reporter::Event(JsonObject object) {
  if (Json()) Line(stdout, object.Text());
}

std::string Reporter::PhasesJson() const {
  std::string text = "[";
  for (const PhaseTime& p : phases_) {
    if (text.size() > 1) text += ",";
    text += JsonObject().Add("phase", p.phase).Add("seconds", p.seconds).Add("ok", p.ok).Text();
  }
  return text + "]";
}

}  // namespace zk::cli
