// zelkor flash IMAGE: connect, erase, load, program, verify and disconnect
// one module; with more than one port, the gang.
#include "cli/Cancel.h"
#include "cli/Commands.h"
#include "cli/EraseSteps.h"
#include "cli/ProductionLog.h"
#include "cli/Session.h"
#include "cli/Sha256.h"
#include "client/Banks.h"
#include "platform/Files.h"

#include <chrono>
#include <cstdio>

namespace zk::cli {
namespace {

// The result word of the summary and the log; a mismatch is a failure
// whose text tells the difference.
std::string ResultWord(ExitCode code, bool verified) {
  switch (code) {
    case ExitCode::kDone: return verified ? "verified" : "programmed";
    case ExitCode::kCancelled: return "cancelled";
    default: return "failed";
  }
}

// Checks the command line against the image before anything connects.
std::string ImageProblem(const Options& o, bool hex) {
  if (!hex && !o.address) return "a binary image needs --address (where its first byte goes)";
  if (hex && o.address) return "a HEX image carries its addresses: use --bank, not --address";
  if (o.bank && !client::BankFits(*o.bank)) return "--bank is too large";
  return "";
}

class FlashRun {
 public:
  FlashRun(const Options& options, Reporter& reporter) : options_(options), session_(options, reporter) {}

  int Run() {
    const auto started = std::chrono::steady_clock::now();
    const ExitCode code = Steps();
    seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string result = ResultWord(code, options_.verify);
    if (code == ExitCode::kDone) {
      session_.Report().Note(result + ": " + std::to_string(bytes_) + " bytes of " + options_.image);
    }
    if (!options_.log.empty() &&
        !AppendLog(options_.log, {session_.PortText(), options_.module, sha256_, result, Code(code), seconds_})) {
      session_.Report().Error("cannot append to the log " + options_.log);
    }
    return session_.Finish(code, [&](JsonObject& o) {
      o.Add("image", options_.image)
          .Add("sha256", sha256_)
          .Add("bytes", static_cast<int64_t>(bytes_))
          .Add("outcome", result)
          .Add("seconds", seconds_);
    });
  }

 private:
  ExitCode Usage(const std::string& text) {
    session_.Remember(text);
    session_.Report().Error(text);
    return ExitCode::kUsage;
  }

  ExitCode Steps() {
    const std::optional<std::string> bytes = files::ReadAll(options_.image);
    if (!bytes) return Usage("cannot read the image " + options_.image);
    sha256_ = Sha256Hex(*bytes);
    bytes_ = bytes->size();
    const bool hex = IsHexPath(options_.image);
    if (const std::string problem = ImageProblem(options_, hex); !problem.empty()) return Usage(problem);
    const uint32_t offset = hex ? client::BankOffset(options_.bank.value_or(0)) : *options_.address;

    if (const ExitCode code = session_.Connect(); code != ExitCode::kDone) return code;
    if (options_.verify) {
      if (!session_.Dm().CanVerify()) return Usage("this data manager cannot verify");
      if (const ExitCode code = session_.SendPassword(); code != ExitCode::kDone) return code;
    }
    Reporter& reporter = session_.Report();
    reporter.BeginPhase("load", 0);
    WorkerThreadInfo thread{};
    const WaitOutcome loaded = session_.Wait(session_.Dm().LoadFile(options_.image.c_str(), hex ? 0 : 1, &thread), 0);
    ExitCode code = session_.Check("load " + options_.image, loaded);
    reporter.EndPhase(code == ExitCode::kDone);
    if (code != ExitCode::kDone) return code == ExitCode::kFailed ? ExitCode::kUsage : code;

    NeededSectors needed;
    if (code = FindNeededSectors(session_, offset, &needed); code != ExitCode::kDone) return code;
    if (needed.downloadBytes != 0) bytes_ = needed.downloadBytes;
    if (options_.erase == EraseMode::kNeeded) code = EraseRanges(session_, needed.ranges);
    if (options_.erase == EraseMode::kChip) code = EraseChip(session_);
    if (code != ExitCode::kDone) return code;

    reporter.BeginPhase("program", bytes_);
    const WaitOutcome programmed = session_.Wait(session_.Dm().ProgFlash(offset, &thread), bytes_);
    code = session_.Check("program", programmed);
    reporter.EndPhase(code == ExitCode::kDone);
    if (code != ExitCode::kDone || !options_.verify) return code;

    reporter.BeginPhase("verify", bytes_);
    VerifyResult result{0, 0, kNoDifference};
    const WaitOutcome verified = session_.Wait(session_.Dm().VerifyFlash(offset, &result, &thread), bytes_);
    if (verified.end == WaitEnd::kEnded && verified.status == kVerifyMismatch && !CancelRequested()) {
      reporter.EndPhase(false);
      char text[128];
      std::snprintf(text, sizeof text, "verify: %u of %u bytes differ, the first at 0x%06X", result.differing,
                    result.compared, result.firstDifference);
      session_.Remember(text);
      reporter.Error(text);
      return ExitCode::kMismatch;
    }
    code = session_.Check("verify", verified);
    reporter.EndPhase(code == ExitCode::kDone);
    return code;
  }

  const Options& options_;
  Session session_;
  std::string sha256_;
  uint64_t bytes_ = 0;
  double seconds_ = 0;
};

}  // namespace

int RunFlash(const Options& options, Reporter& reporter) { return FlashRun(options, reporter).Run(); }

}  // namespace zk::cli
