// zelkor read START END -o FILE: a checked read-back saved as HEX, S-record or
// binary.
#include "cli/Commands.h"
#include "cli/Session.h"
#include "client/ImageType.h"

namespace zk::cli {

int RunRead(const Options& options, Reporter& reporter) {
  Session session(options, reporter);
  if (const ExitCode code = session.Connect(); code != ExitCode::kDone) return session.Finish(code);
  if (const ExitCode code = session.SendPassword(); code != ExitCode::kDone) return session.Finish(code);
  const uint64_t length = uint64_t{options.end} - options.start + 1;
  if (length > 0xFFFFFFFFull) {
    const std::string text = "read: the range is longer than 4 GB";
    session.Remember(text);
    reporter.Error(text);
    return session.Finish(ExitCode::kUsage);
  }
  client::ModuleFlow& flow = session.Flow();
  const ExitCode readCode = session.Check(flow.Read(options.start, static_cast<uint32_t>(length)));
  if (readCode != ExitCode::kDone) return session.Finish(readCode);

  ExitCode saveCode = session.Check(flow.Save(options.output, client::SaveTypeOfPath(options.output)));
  // The file could not be written: a file error.
  if (saveCode == ExitCode::kFailed) saveCode = ExitCode::kUsage;
  if (saveCode == ExitCode::kDone) reporter.Note("saved " + std::to_string(length) + " bytes to " + options.output);
  return session.Finish(saveCode, [&](JsonObject& o) {
    o.Add("output", options.output).Add("bytes", static_cast<int64_t>(length));
  });
}

}  // namespace zk::cli
