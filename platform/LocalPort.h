#pragma once
// A serial device of this machine (not a remote port), opened "not shared"
// at a supported rate: raw 8N1, DTR and RTS lowered, both queues empty.
#include "platform/PortFailure.h"
#include "platform/SerialPort.h"

#include <memory>
#include <string>

namespace zk::com::detail {

// nullptr and failure set (error and the system's code) when any step fails.
std::unique_ptr<SerialPort> OpenLocalPort(const std::string& path, uint32_t rate, OpenFailure& failure);

// Whether the device could be opened "not shared" right now; it is closed
// again with DTR and RTS lowered.
bool LocalPortAvailable(const std::string& path);

}  // namespace zk::com::detail
