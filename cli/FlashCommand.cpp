// zelkor flash IMAGE: connect, erase, load, program, verify and disconnect
// one module; with more than one port, the gang.
#include "cli/Cancel.h"
#include "cli/Commands.h"
#include "cli/ModuleConnection.h"
#include "cli/ProductionLog.h"
#include "cli/Sha256.h"
#include "cli/StandardStreams.h"
#include "client/ImageType.h"
#include "client/ModuleBanks.h"
#include "platform/Files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

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

// The type IMAGE loads as: the one --format names, or the one its first
// bytes show; its extension decides only where they show none. A build
// product given as binary (its name names no format, or --address is given)
// without --format bin is refused, so that its text or container is never
// programmed as the image.
struct TypeChoice {
  client::ImageType type = client::ImageType::kBinary;
  std::string problem;
};

TypeChoice ChooseType(const Options& o, std::string_view bytes) {
  if (o.format) return {*o.format, ""};
  const ImageFormat shown = FormatOfContent(bytes.substr(0, std::min(bytes.size(), kFormatHeadBytes)));
  const std::optional<ImageFormat> named = FormatOfPath(o.image);
  if (shown == ImageFormat::kBinary) return {named.value_or(ImageFormat::kBinary), ""};
  // Standard input has no name: its content decides.
  if ((named || o.image == kStandardStream) && !o.address) return {shown, ""};
  return {ImageFormat::kBinary, o.image + " looks like an " + std::string(FormatName(shown)) +
                                    " file, not a binary image: give --format " + std::string(FormatWord(shown)) +
                                    " to load it as one, or --format bin to program its bytes as they are"};
}

// Checks the command line against the image before anything connects.
std::string ImageProblem(const Options& o, client::ImageType type) {
  const bool binary = type == client::ImageType::kBinary;
  if (binary && !o.address) return "a binary image needs --address (where its first byte goes)";
  if (!binary && o.address) {
    const char* image = type == client::ImageType::kHex    ? "a HEX"
                        : type == client::ImageType::kSrec ? "an S-record"
                                                           : "an ELF";
    return std::string(image) + " image carries its addresses: use --bank, not --address";
  }
  if (o.bank && !client::BankFits(*o.bank)) return "--bank is too large";
  return "";
}

class FlashRun {
 public:
  FlashRun(const Options& options, Reporter& reporter) : options_(options), connection_(options, reporter) {}

  int Run() {
    const auto started = std::chrono::steady_clock::now();
    const ExitCode code = Steps();
    seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string result = ResultWord(code, options_.verify);
    if (code == ExitCode::kDone) {
      connection_.Report().Note(result + ": " + std::to_string(bytes_) + " bytes of " + options_.image);
    }
    if (!options_.log.empty() &&
        !AppendLog(options_.log, {connection_.PortText(), options_.module, sha256_, result, Code(code), seconds_})) {
      connection_.Report().Error("cannot append to the log " + options_.log);
    }
    return connection_.Finish(code, [&](JsonObject& o) {
      o.Add("image", options_.image)
          .Add("sha256", sha256_)
          .Add("fileBytes", static_cast<int64_t>(fileBytes_))
          .Add("bytes", static_cast<int64_t>(bytes_))
          .Add("outcome", result)
          .Add("seconds", seconds_);
    });
  }

 private:
  ExitCode Usage(const std::string& text) {
    connection_.Remember(text);
    connection_.Report().Error(text);
    return ExitCode::kUsage;
  }

  ExitCode Steps() {
    const bool fromInput = options_.image == kStandardStream;
    const std::optional<std::string> bytes = fromInput ? ReadStandardInput() : files::ReadAll(options_.image);
    if (!bytes) {
      return Usage("cannot read the image " + options_.image + ": " +
                   (fromInput ? std::string("standard input cannot be read") : ReadFailure(options_.image)));
    }
    sha256_ = Sha256Hex(*bytes);
    fileBytes_ = bytes->size();
    const TypeChoice choice = ChooseType(options_, *bytes);
    if (!choice.problem.empty()) return Usage(choice.problem);
    const client::ImageType type = choice.type;
    if (const std::string problem = ImageProblem(options_, type); !problem.empty()) return Usage(problem);
    const uint32_t offset =
        type != client::ImageType::kBinary ? client::BankOffset(options_.bank.value_or(0)) : *options_.address;
    // The libraries load named files: standard input goes through one.
    std::optional<TemporaryFile> copy;
    if (fromInput) {
      copy.emplace(".img");
      if (!files::ReplaceAtomically(copy->Path(), *bytes)) {
        return Usage("cannot keep standard input in " + copy->Path());
      }
    }
    const std::string imagePath = fromInput ? copy->Path() : options_.image;

    // The password is needed to verify: missing, it ends the run before it connects.
    if (options_.verify) {
      if (const ExitCode code = connection_.LoadPassword(); code != ExitCode::kDone) return code;
    }
    // The image is loaded before the module is touched: a bad file ends the
    // run without a reset of the module.
    if (const ExitCode code = connection_.LoadDataManager(); code != ExitCode::kDone) return code;
    client::ModuleFlow& flow = connection_.Flow();
    ExitCode code = connection_.Check(flow.Load(imagePath, type));
    // An image that cannot be read is a file error.
    if (code != ExitCode::kDone) return code == ExitCode::kFailed ? ExitCode::kUsage : code;
    if (const ExitCode connected = connection_.Connect(); connected != ExitCode::kDone) return connected;
    if (options_.verify) {
      if (!connection_.Dm().CanVerify()) return Usage("this data manager cannot verify");
      if (const ExitCode sent = connection_.SendPassword(); sent != ExitCode::kDone) return sent;
    }

    // The whole image is checked against the banks before anything is erased.
    std::vector<client::BankRange> needed;
    uint64_t downloadBytes = 0;
    if (code = connection_.Check(flow.NeededSectors(offset, &needed, &downloadBytes)); code != ExitCode::kDone) {
      return code;
    }
    // What the image programs, which for a HEX file is less than its size.
    bytes_ = downloadBytes != 0 ? downloadBytes : fileBytes_;
    if (options_.erase == EraseMode::kNeeded) code = connection_.Check(flow.EraseRanges(needed));
    if (options_.erase == EraseMode::kChip) code = connection_.Check(flow.EraseChip());
    if (code != ExitCode::kDone) return code;

    if (code = connection_.Check(flow.Program(offset, bytes_)); code != ExitCode::kDone || !options_.verify) {
      return code;
    }

    VerifyResult result{};
    const client::FlowResult verified = flow.Verify(offset, &result, bytes_);
    if (verified.end == client::FlowEnd::kWorkerFailed && verified.code == kVerifyMismatch && !CancelRequested()) {
      char text[128];
      std::snprintf(text, sizeof text, "verify: %u of %u bytes differ, the first at 0x%06X", result.differing,
                    result.compared, result.firstDifference);
      connection_.Remember(text);
      connection_.Report().Error(text);
      return ExitCode::kMismatch;
    }
    return connection_.Check(verified);
  }

  const Options& options_;
  ModuleConnection connection_;
  std::string sha256_;
  uint64_t fileBytes_ = 0;
  uint64_t bytes_ = 0;  // of the image, once it is loaded
  double seconds_ = 0;
};

}  // namespace

int RunFlash(const Options& options, Reporter& reporter) { return FlashRun(options, reporter).Run(); }

}  // namespace zk::cli
