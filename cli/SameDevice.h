#pragma once
// A gang must not name one device twice: its two children would take turns
// at one module. Two spellings of a device count as one (a symbolic link,
// a name under /dev/serial/by-id, "..").
#include <optional>
#include <string>
#include <vector>

namespace zk::cli {

// The usage error for the first two ports that name one device, both
// spellings in it; nullopt when every port names a device of its own.
std::optional<std::string> DeviceNamedTwice(const std::vector<std::string>& ports);

}  // namespace zk::cli
