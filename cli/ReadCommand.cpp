// zelkor read START END -o FILE: a checked read-back saved as HEX, S-record or
// binary.
#include "cli/Commands.h"
#include "cli/ModuleConnection.h"
#include "cli/StandardStreams.h"
#include "client/ImageType.h"

#include <optional>

namespace zk::cli {
namespace {

// "(0x00C000-0x01FFFF touches the protected area 0x00C000-0x00FFFF)".
std::string ProtectedTouched(const client::FlashTable& table, uint32_t start, uint32_t end) {
  std::string areas;
  for (const AddressRange& area : table.protectedAreas) {
    if (area.start > end || start > area.end) continue;
    areas += (areas.empty() ? "" : ", ") + client::RangeText(area.start, area.end);
  }
  if (areas.empty()) return "";
  return "(" + client::RangeText(start, end) + " touches the protected area " + areas + ")";
}

}  // namespace

int RunRead(const Options& options, Reporter& reporter) {
  ModuleConnection connection(options, reporter);
  // Without the password nothing can be read: that is known before connecting.
  if (const ExitCode code = connection.LoadPassword(); code != ExitCode::kDone) return connection.Finish(code);
  if (const ExitCode code = connection.Connect(); code != ExitCode::kDone) return connection.Finish(code);
  if (const ExitCode code = connection.SendPassword(); code != ExitCode::kDone) return connection.Finish(code);
  const uint64_t length = uint64_t{options.end} - options.start + 1;
  if (length > 0xFFFFFFFFull) {
    const std::string text = "read: the range is longer than 4 GB";
    connection.Remember(text);
    reporter.Error(text);
    return connection.Finish(ExitCode::kUsage);
  }
  client::ModuleFlow& flow = connection.Flow();
  client::FlowResult read = flow.Read(options.start, static_cast<uint32_t>(length));
  if ((read.code & 0xFF) == kProtectedBySoftware) {
    read.what += " " + ProtectedTouched(flow.Table(), options.start, options.end);
  }
  const ExitCode readCode = connection.Check(read);
  if (readCode != ExitCode::kDone) return connection.Finish(readCode);

  // A stream or a device takes the bytes through a file of its own.
  const bool stream = IsStreamTarget(options.output);
  const client::ImageType type = client::SaveTypeOfPath(options.output);
  std::optional<TemporaryFile> through;
  if (stream) through.emplace(".img");
  ExitCode saveCode = connection.Check(flow.Save(stream ? through->Path() : options.output, type));
  if (saveCode == ExitCode::kDone && stream) {
    if (const std::string failure = CopyToTarget(through->Path(), options.output); !failure.empty()) {
      saveCode = connection.Refuse(ExitCode::kUsage, "cannot write " + options.output + ": " + failure);
    }
  }
  // The file could not be written: a file error.
  if (saveCode == ExitCode::kFailed) saveCode = ExitCode::kUsage;
  if (saveCode == ExitCode::kDone) reporter.Note("saved " + std::to_string(length) + " bytes to " + options.output);
  return connection.Finish(
      saveCode, [&](JsonObject& o) { o.Add("output", options.output).Add("bytes", static_cast<int64_t>(length)); });
}

}  // namespace zk::cli
