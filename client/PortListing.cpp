#include "client/PortListing.h"

namespace zk {
namespace {

constexpr const char* kIndent = "        ";

std::string SourceText(const com::ListedPort& port) {
  switch (port.mapping.source) {
    case com::PortSource::Environment:
      return "ZELKOR_COM" + std::to_string(port.port);
    case com::PortSource::UserHive:
      return "user hive " + std::string(com::kUserPortsKey);
    case com::PortSource::SettingsFile:
      return "[Ports] of Zelkor.ini";
    case com::PortSource::Default:
      break;
  }
  return "default";
}

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

std::string FormatPortListing(const com::PortListing& listing) {
  std::string text;
  if (listing.ports.empty()) text += "No COM port names a device that is there.\n";
  for (const com::ListedPort& port : listing.ports) {
    std::string device = port.mapping.device;
    if (port.device != device) device += " -> " + port.device;
    text += Padded("COM" + std::to_string(port.port), std::string(kIndent).size()) + device + "  (" +
            SourceText(port) + ")";
    if (port.hostAnswers) text += *port.hostAnswers ? "  host answers" : "  host does not answer";
    text += "\n";
    for (const std::string& name : port.stableNames) text += kIndent + name + "\n";
  }
  if (!listing.unmapped.empty()) {
    text += "Not named by any COM port (map one with ZELKOR_COMn, the user hive or [Ports]):\n";
    for (const com::StableName& name : listing.unmapped) text += kIndent + name.link + " -> " + name.device + "\n";
  }
  return text;
}

}  // namespace zk
