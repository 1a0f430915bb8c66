#pragma once
// A serial port whose settings and modem lines go into the trace as they
// change (rate, RTS, DTR, break), with its opening and closing. The bytes
// themselves are traced by whoever knows what they mean: the link its
// frames, the boot loader its dialogue.
#include "platform/SerialPort.h"

#include <memory>
#include <string>

namespace zk::com {

// port itself while the trace is off, else port wrapped; name says which
// port it is in the lines (e.g. "COM1 /dev/ttyUSB0").
std::unique_ptr<SerialPort> Traced(std::unique_ptr<SerialPort> port, const std::string& name, uint32_t rate);

}  // namespace zk::com
