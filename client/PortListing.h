#pragma once
// The text of the port listing (Quillrun --list-ports, zelkor ports): one line per COM port that names a
// device, where the mapping comes from, the device's stable names below it,
// then the stable names that no port names.
#include "platform/PortList.h"

#include <string>

namespace zk {

std::string FormatPortListing(const com::PortListing& listing);

}  // namespace zk
