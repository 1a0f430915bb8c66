// zelkor modules and zelkor ports: what there is to connect to.
#include "cli/Commands.h"
#include "cli/ExitCode.h"
#include "cli/ModuleTree.h"
#include "client/PortListing.h"
#include "platform/PortList.h"

#include <cstdio>

namespace zk::cli {

int RunModules(const Options&, Reporter& reporter) {
  const std::vector<ModuleEntry> modules = ListModules();
  if (modules.empty()) reporter.Note("No module descriptions below " + InstallationDir() + "/target.");
  std::size_t width = 0;
  for (const ModuleEntry& m : modules) width = std::max(width, m.name.size());
  for (const ModuleEntry& m : modules) {
    if (reporter.Json()) {
      reporter.Event(JsonObject().Add("event", "module").Add("module", m.name).Add("description", m.description));
    } else {
      std::printf("%-*s  %s\n", static_cast<int>(width), m.name.c_str(), m.description.c_str());
    }
  }
  return Code(ExitCode::kDone);
}

int RunPorts(const Options&, Reporter& reporter) {
  const com::PortListing listing = com::ListPorts();
  if (!reporter.Json()) {
    std::fputs(FormatPortListing(listing).c_str(), stdout);
    return Code(ExitCode::kDone);
  }
  for (const com::ListedPort& port : listing.ports) {
    reporter.Event(JsonObject()
                       .Add("event", "port")
                       .Add("port", "COM" + std::to_string(port.port))
                       .Add("device", port.device)
                       .Add("mapping", port.mapping.device));
  }
  return Code(ExitCode::kDone);
}

}  // namespace zk::cli
