// zelkor modules and zelkor ports: what there is to connect to.
#include "cli/Commands.h"
#include "cli/ExitCode.h"
#include "cli/ModuleTree.h"
#include "client/PortListing.h"
#include "platform/PortList.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

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

namespace {

constexpr const char* kUsbSerialDevices = "/sys/bus/usb-serial/devices";

// The latency timer of a USB serial adapter's device, in milliseconds, as
// its driver shows it; empty for other devices.
std::string LatencyTimer(const std::string& device) {
  std::ifstream in(std::string(kUsbSerialDevices) + "/" + std::filesystem::path(device).filename().string() +
                   "/latency_timer");
  std::string value;
  in >> value;
  return value;
}

// With -v: how long an adapter holds a short reply, which every
// acknowledgement of the link is.
void DescribeLatency(const com::PortListing& listing, Reporter& reporter) {
  for (const com::ListedPort& port : listing.ports) {
    const std::string timer = LatencyTimer(port.device);
    if (!timer.empty()) reporter.Detail("COM" + std::to_string(port.port) + ": latency timer " + timer + " ms");
  }
  reporter.Detail(std::string("A USB adapter holds short replies for its latency timer: cat ") + kUsbSerialDevices +
                  "/*/latency_timer shows it (1 is best; zelkor asks the driver for low latency at open, and "
                  "echo 1 > that file, as root, sets it where the driver does not follow).");
}

}  // namespace

int RunPorts(const Options&, Reporter& reporter) {
  const com::PortListing listing = com::ListPorts();
  if (!reporter.Json()) {
    std::fputs(client::FormatPortListing(listing).c_str(), stdout);
    DescribeLatency(listing, reporter);
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
