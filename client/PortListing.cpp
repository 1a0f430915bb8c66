#include "client/PortListing.h"

#include "platform/AsciiText.h"
#include "platform/Ini.h"

namespace zk::client {
namespace {

constexpr const char* kIndent = "        ";
constexpr std::size_t kKeyBuffer = 100;

std::string SourceText(const com::ListedPort& port) { return PortSourceText(port.port, port.mapping.source); }

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

std::string PortSourceText(unsigned port, com::PortSource source) {
  switch (source) {
    case com::PortSource::Environment: return "ZELKOR_COM" + std::to_string(port);
    case com::PortSource::UserHive: return "user hive " + std::string(com::kUserPortsKey);
    case com::PortSource::SettingsFile: return "[Ports] of Zelkor.ini";
    case com::PortSource::Default: break;
  }
  return "default";
}

std::string ModulePortName(const std::string& modulePath) {
  const std::string section = ini::GetString(modulePath, "General", "ProtocolToUse", "", kKeyBuffer);
  return std::string(text::TrimBlanks(ini::GetString(modulePath, section, "COM", "", kKeyBuffer)));
}

std::string DescribeModulePort(const std::string& modulePath, std::string_view stableNameDir) {
  const std::string name = ModulePortName(modulePath);
  if (name.empty()) return "The module description names no COM port.";
  const std::optional<unsigned> n = com::ParsePortName(name);
  const std::optional<com::PortLookup> lookup = n ? com::LookUpPort(*n, stableNameDir) : std::nullopt;
  if (!lookup) return name + " is no COM port name (COM1 to COM256): the connect cannot open it.";
  const com::ListedPort& port = lookup->port;
  const std::string source = PortSourceText(port.port, port.mapping.source);
  if (lookup->remote) return name + " is the remote port " + port.mapping.device + " (" + source + ").";
  std::string text;
  if (port.mapping.source == com::PortSource::Default) {
    text = name + " has no mapping: it falls back to " + port.mapping.device + ". Map it with ZELKOR_" + name +
           ", the user hive or [Ports] of Zelkor.ini.";
  } else {
    text = name + " is " + port.mapping.device + " (" + source + ").";
  }
  if (!lookup->present) return text + " " + port.mapping.device + " is not there.";
  if (lookup->placeholder) return text + " No serial port is behind " + port.mapping.device + ".";
  if (port.device != port.mapping.device) text += "\nDevice: " + port.device;
  for (const std::string& stable : port.stableNames) {
    if (stable != port.mapping.device) text += "\nStable name: " + stable;
  }
  return text;
}

std::string FormatPortListing(const com::PortListing& listing) {
  std::string text;
  if (listing.ports.empty()) text += "No COM port names a device that is there.\n";
  for (const com::ListedPort& port : listing.ports) {
    std::string device = port.mapping.device;
    if (port.device != device) device += " -> " + port.device;
    text += Padded("COM" + std::to_string(port.port), std::string(kIndent).size()) + device + "  (" + SourceText(port) +
            ")";
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

}  // namespace zk::client
