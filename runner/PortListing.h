#pragma once
// The text of Quillrun --list-ports: one line per COM port that names a
// device, where the mapping comes from, the device's stable names below it,
// then the stable names that no port names.
#include "platform/PortList.h"

#include <string>

namespace zk::runner {

std::string FormatPortListing(const com::PortListing& listing);

}  // namespace zk::runner
