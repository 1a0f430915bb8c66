#include "cli/ProductionLog.h"

#include "cli/Json.h"
#include "platform/AppendLine.h"
#include "platform/CalendarTime.h"
#include "platform/HostName.h"

#include <ctime>

namespace zk::cli {
namespace {

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  UtcTime(now, tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

}  // namespace

bool AppendLog(const std::string& path, const LogEntry& entry) {
  return files::AppendLine(path, JsonObject()
                                     .Add("time", UtcNow())
                                     .Add("host", HostName())
                                     .Add("port", entry.port)
                                     .Add("module", entry.module)
                                     .Add("sha256", entry.sha256)
                                     .Add("result", entry.result)
                                     .Add("exit", static_cast<int64_t>(entry.exitCode))
                                     .Add("seconds", entry.seconds)
                                     .Text());
}

}  // namespace zk::cli
