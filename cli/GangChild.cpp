#include "cli/GangChild.h"

#include "cli/Json.h"

namespace zk::cli {

bool GangChild::Start(const std::string& program, const std::vector<std::string>& args) {
  if (!process_.Start(program, args)) {
    text_ = process_.Error();
    ended_ = true;
    return false;
  }
  started_ = Clock::now();
  return true;
}

void GangChild::Read() {
  for (const process::Stream stream : {process::Stream::kOut, process::Stream::kErr}) {
    const bool fromStdout = stream == process::Stream::kOut;
    std::string& pending = fromStdout ? outBuffer_ : errBuffer_;
    if (!process_.Open(stream)) continue;
    process_.Read(stream, pending);
    // A line ends at its line feed; a child on Windows writes a carriage
    // return before it.
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
      const std::size_t length = end > 0 && pending[end - 1] == '\r' ? end - 1 : end;
      Line(pending.substr(0, length), fromStdout);
      pending.erase(0, end + 1);
    }
  }
}

void GangChild::Line(const std::string& line, bool fromStdout) {
  if (!fromStdout) {
    // What a library printed: the last such line explains a failure that
    // has no message of its own.
    if (!line.empty()) lastErrorLine_ = line;
    return;
  }
  const std::string event = JsonField(line, "event");
  if (event == "phase") {
    phase_ = JsonField(line, "phase");
    total_ = std::strtoull(JsonField(line, "bytes").c_str(), nullptr, 10);
    done_ = 0;
  } else if (event == "progress") {
    done_ = std::strtoull(JsonField(line, "done").c_str(), nullptr, 10);
  } else if (event == "error") {
    text_ = JsonField(line, "text");
  } else if (event == "summary") {
    outcome_ = JsonField(line, "outcome");
    bytes_ = std::strtoull(JsonField(line, "bytes").c_str(), nullptr, 10);
    if (const std::string text = JsonField(line, "text"); text != "done") text_ = text;
  }
}

bool GangChild::Reap() {
  if (!process_.Running()) return ended_;
  if (process_.Open(process::Stream::kOut) || process_.Open(process::Stream::kErr)) return false;
  const std::optional<process::Exit> exit = process_.Poll();
  if (!exit) return false;
  ended_ = true;
  endedAt_ = Clock::now();
  exitCode_ = exit->code;
  if (exit->signal != 0) {
    const std::string signal = "ended by signal " + std::to_string(exit->signal);
    if (text_.empty()) text_ = stopReason_.empty() ? signal : stopReason_ + ", " + signal;
  }
  if (text_.empty()) text_ = !stopReason_.empty() ? stopReason_ : lastErrorLine_;
  phase_ = "done";
  return true;
}

void GangChild::Stop(const char* reason, std::chrono::milliseconds grace) {
  if (!process_.Running() || !stopReason_.empty()) return;
  stopReason_ = reason;
  process_.Interrupt();
  killAt_ = Clock::now() + grace;
}

void GangChild::Enforce() {
  if (process_.Running() && Clock::now() >= killAt_) {
    process_.Kill();
    killAt_ = Clock::time_point::max();
  }
}

std::string GangChild::Outcome() const {
  if (stopReason_ == "timed out") return "timed out";
  if (exitCode_ == 0) return outcome_.empty() ? "programmed" : outcome_;
  if (exitCode_ == 130) return "cancelled";
  return "failed";
}

double GangChild::Seconds() const {
  const Clock::time_point end = ended_ ? endedAt_ : Clock::now();
  return std::chrono::duration<double>(end - started_).count();
}

}  // namespace zk::cli
