#pragma once
// What zelkor tells its user while it works: on a terminal one progress bar
// per phase (bytes, rate, time left), otherwise plain lines, with --json one
// JSON object per event line. Progress and messages go to standard error,
// results (tables, JSON) to standard output.
#include "cli/Json.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zk::cli {

enum class OutputMode { kTerminal, kPlain, kJson };

struct PhaseTime {
  std::string phase;
  double seconds = 0;
  bool ok = false;
};

class Reporter {
 public:
  Reporter(OutputMode mode, bool quiet, bool verbose);

  // A phase; bytes 0: a phase without a bar (connect, load, disconnect).
  void BeginPhase(std::string_view phase, uint64_t bytes);
  void Progress(uint64_t done);
  void EndPhase(bool ok);

  void Note(std::string_view text);    // not with -q
  void Detail(std::string_view text);  // only with -v
  void Error(std::string_view text);   // always
  // A JSON line of its own (--json only).
  void Event(JsonObject object);

  OutputMode Mode() const { return mode_; }
  bool Json() const { return mode_ == OutputMode::kJson; }
  bool Quiet() const { return quiet_; }
  // The phases as a JSON array.
  std::string PhasesJson() const;

 private:
  using Clock = std::chrono::steady_clock;
  void Draw(bool final);
  void Line(std::FILE* to, std::string_view text);

  const OutputMode mode_;
  const bool quiet_;
  const bool verbose_;
  std::vector<PhaseTime> phases_;
  std::string phase_;
  uint64_t total_ = 0;
  uint64_t done_ = 0;
  Clock::time_point started_{};
  Clock::time_point drawn_{};
  int lastStep_ = -1;
  bool barShown_ = false;
};

// The mode of this process's output: JSON when asked for, a terminal when
// standard error is one.
OutputMode ChooseMode(bool json);

}  // namespace zk::cli
