// Gang programming: zelkor flash on many ports at once, one child zelkor
// per port (the libraries hold one connection per process). The parent
// only starts the children, reads their event lines, shows one live line
// per port and the table at the end, and appends each module's line to the
// production log the moment that module ends; a child that fails or hangs
// holds up no other.
#include "cli/Cancel.h"
#include "cli/Commands.h"
#include "cli/ExitCode.h"
#include "cli/GangChild.h"
#include "cli/ProductionLog.h"
#include "cli/SameDevice.h"
#include "cli/Sha256.h"
#include "platform/Files.h"
#include "platform/Trace.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace zk::cli {
namespace {

constexpr auto kPollPause = std::chrono::milliseconds(100);
constexpr auto kRedrawPause = std::chrono::milliseconds(200);
// How long a child has to disconnect after it was asked to stop.
constexpr auto kStopGrace = std::chrono::milliseconds(10000);

// trace: the child's own trace file, empty for none.
std::vector<std::string> ChildArgs(const Options& o, const std::string& port, const std::string& trace) {
  std::vector<std::string> args{"flash", o.image, "--module", o.module, "--port", port, "--json"};
  if (!trace.empty()) args.insert(args.end(), {"--trace", trace});
  args.insert(args.end(), {"--erase", o.erase == EraseMode::kChip   ? "chip"
                                      : o.erase == EraseMode::kNone ? "none"
                                                                    : "needed"});
  if (o.bank) args.insert(args.end(), {"--bank", std::to_string(*o.bank)});
  if (o.address) args.insert(args.end(), {"--address", std::to_string(*o.address)});
  if (o.format) args.insert(args.end(), {"--format", std::string(FormatWord(*o.format))});
  if (o.verify) args.push_back("--verify");
  if (!o.passwordFile.empty()) args.insert(args.end(), {"--password-file", o.passwordFile});
  args.insert(args.end(), {"--disconnect", o.disconnectText});
  return args;
}

std::string LiveText(const GangChild& c, std::size_t width) {
  char text[256];
  if (c.Ended()) {
    std::snprintf(text, sizeof text, "%-*s  %-10s %6.1f s  %s", static_cast<int>(width), c.Port().c_str(),
                  c.Outcome().c_str(), c.Seconds(), c.Text().c_str());
  } else if (c.Total() > 0) {
    std::snprintf(text, sizeof text, "%-*s  %-10s %3d%%  %llu of %llu bytes", static_cast<int>(width), c.Port().c_str(),
                  c.Phase().c_str(), static_cast<int>(c.Done() * 100 / c.Total()),
                  static_cast<unsigned long long>(c.Done()), static_cast<unsigned long long>(c.Total()));
  } else {
    std::snprintf(text, sizeof text, "%-*s  %-10s", static_cast<int>(width), c.Port().c_str(), c.Phase().c_str());
  }
  return text;
}

class Gang {
 public:
  Gang(const Options& options, Reporter& reporter) : options_(options), reporter_(reporter) {
    for (const std::string& port : options.ports) {
      width_ = std::max(width_, port.size());
      children_.push_back(std::make_unique<GangChild>(port));
    }
  }

  int Run() {
    if (const std::optional<std::string> twice = DeviceNamedTwice(options_.ports)) {
      reporter_.Error(*twice);
      return Code(ExitCode::kUsage);
    }
    const std::optional<std::string> image = files::ReadAll(options_.image);
    if (!image) {
      reporter_.Error("cannot read the image " + options_.image);
      return Code(ExitCode::kUsage);
    }
    sha_ = Sha256Hex(*image);
    // Each child traces into a file of its own, named after this one's.
    const std::optional<std::string> trace = trace::Destination();
    if (trace && trace->empty()) {
      reporter_.Error("a gang traces into files: --trace FILE gives FILE.1, FILE.2, ... one per port");
      return Code(ExitCode::kUsage);
    }
    const std::string self = files::HostProgramPath();
    for (std::size_t i = 0; i < children_.size(); ++i) {
      GangChild& child = *children_[i];
      const std::string childTrace = trace ? *trace + "." + std::to_string(i + 1) : std::string();
      if (!childTrace.empty()) trace::Line("gang %s traces into %s", child.Port().c_str(), childTrace.c_str());
      child.Start(self, ChildArgs(options_, child.Port(), childTrace));
    }
    Watch();
    Table();
    return Finish();
  }

 private:
  void Watch() {
    std::vector<std::string> shown(children_.size());
    std::vector<bool> logged(children_.size(), false);
    for (;;) {
      if (CancelRequested()) {
        for (auto& child : children_) child->Stop("cancelled", kStopGrace);
      }
      std::vector<process::ChildProcess*> processes;
      bool running = false;
      for (std::size_t i = 0; i < children_.size(); ++i) {
        GangChild* child = children_[i].get();
        if (options_.timeoutSeconds != 0 && child->Running() && child->Seconds() > options_.timeoutSeconds) {
          child->Stop("timed out", kStopGrace);
        }
        child->Enforce();
        child->Read();
        processes.push_back(child->Process());
        if (!child->Reap()) {
          running = true;
        } else if (!logged[i]) {
          logged[i] = true;
          Log(*child);
        }
      }
      Show(shown, !running);
      if (!running) return;
      process::ChildProcess::WaitForOutput(processes, kPollPause);
    }
  }

  // The live lines: redrawn in place on a terminal, otherwise a line for
  // each change of a port's phase.
  void Show(std::vector<std::string>& shown, bool last) {
    if (reporter_.Json()) {
      for (std::size_t i = 0; i < children_.size(); ++i) {
        const GangChild& c = *children_[i];
        if (c.Ended() && shown[i].empty()) {
          shown[i] = "reported";
          reporter_.Event(JsonObject()
                              .Add("event", "module")
                              .Add("port", c.Port())
                              .Add("outcome", c.Outcome())
                              .Add("result", static_cast<int64_t>(c.ExitCode()))
                              .Add("text", c.Text())
                              .Add("seconds", c.Seconds()));
        }
      }
      return;
    }
    if (reporter_.Quiet()) return;
    if (reporter_.Mode() == OutputMode::kTerminal) {
      const auto now = std::chrono::steady_clock::now();
      if (!last && now - drawn_ < kRedrawPause) return;
      drawn_ = now;
      if (drawnLines_ > 0) std::fprintf(stderr, "\x1b[%zuA", drawnLines_);
      for (const auto& child : children_) std::fprintf(stderr, "\r%s\x1b[K\n", LiveText(*child, width_).c_str());
      drawnLines_ = children_.size();
      std::fflush(stderr);
      return;
    }
    for (std::size_t i = 0; i < children_.size(); ++i) {
      const GangChild& c = *children_[i];
      const std::string state = c.Ended() ? c.Outcome() : c.Phase();
      if (state == shown[i]) continue;
      shown[i] = state;
      std::fprintf(stderr, "%s\n", LiveText(c, width_).c_str());
    }
    std::fflush(stderr);
  }

  void Table() const {
    if (reporter_.Json()) return;
    std::printf("\n%-*s  %-10s %10s %9s  %s\n", static_cast<int>(width_), "PORT", "RESULT", "BYTES", "TIME", "MESSAGE");
    for (const auto& child : children_) {
      std::printf("%-*s  %-10s %10llu %7.1f s  %s\n", static_cast<int>(width_), child->Port().c_str(),
                  child->Outcome().c_str(), static_cast<unsigned long long>(child->Bytes()), child->Seconds(),
                  child->Text().c_str());
    }
    std::fflush(stdout);
  }

  void Log(const GangChild& child) {
    if (options_.log.empty()) return;
    if (!AppendLog(options_.log,
                   {child.Port(), options_.module, sha_, child.Outcome(), child.ExitCode(), child.Seconds()})) {
      reporter_.Error("cannot append to the log " + options_.log);
    }
  }

  int Finish() {
    std::size_t failed = 0;
    std::size_t mismatched = 0;
    for (const auto& child : children_) {
      if (child->ExitCode() != 0) ++failed;
      if (child->ExitCode() == Code(ExitCode::kMismatch)) ++mismatched;
    }
    ExitCode code = ExitCode::kDone;
    if (CancelRequested()) {
      code = ExitCode::kCancelled;
    } else if (failed != 0) {
      code = failed == mismatched ? ExitCode::kMismatch : ExitCode::kFailed;
    }
    if (reporter_.Json()) {
      reporter_.Event(JsonObject()
                          .Add("event", "summary")
                          .Add("module", options_.module)
                          .Add("image", options_.image)
                          .Add("sha256", sha_)
                          .Add("modules", static_cast<int64_t>(children_.size()))
                          .Add("failed", static_cast<int64_t>(failed))
                          .Add("result", static_cast<int64_t>(Code(code))));
    } else {
      reporter_.Note(std::to_string(children_.size() - failed) + " of " + std::to_string(children_.size()) +
                     " modules succeeded");
    }
    return Code(code);
  }

  const Options& options_;
  Reporter& reporter_;
  std::vector<std::unique_ptr<GangChild>> children_;
  std::string sha_;  // of the image
  std::size_t width_ = 4;
  std::size_t drawnLines_ = 0;
  std::chrono::steady_clock::time_point drawn_{};
};

}  // namespace

int RunGang(const Options& options, Reporter& reporter) { return Gang(options, reporter).Run(); }

}  // namespace zk::cli
