#pragma once
// The text of the port listing (Quillrun --list-ports, zelkor ports): one line per COM port that names a
// device, where the mapping comes from, the device's stable names below it,
// then the stable names that no port names; and the text of one module's
// port (the workbench's connect page).
#include "platform/PortList.h"

#include <string>
#include <string_view>

namespace zk::client {

std::string FormatPortListing(const com::PortListing& listing);

// Where port's mapping comes from: "ZELKOR_COM1", "user hive ...",
// "[Ports] of Zelkor.ini", "default".
std::string PortSourceText(unsigned port, com::PortSource source);

// The COM port a module description names: [<ProtocolToUse>] COM, blanks
// trimmed ("" when it names none).
std::string ModulePortName(const std::string& modulePath);

// What the port a module names maps to, before anything is opened: the
// device (its links followed, its stable names) or the remote URL and
// where the mapping comes from; or that the description names no port,
// that the port has no mapping of its own, or that its device is not there.
std::string DescribeModulePort(const std::string& modulePath, std::string_view stableNameDir = com::kStableNameDir);

}  // namespace zk::client
