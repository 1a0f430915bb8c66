#pragma once
// The device the module talks through: a pseudo terminal it creates, or a
// serial port. Non-blocking; the owner polls Fd().
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zk::modsim {

struct LineRead {
  std::vector<uint8_t> bytes;
  std::optional<std::size_t> breakAt;  // a break arrived before bytes[breakAt]
  bool failed = false;                 // the device is gone
};

enum class ResetLine : uint8_t { kUnchanged, kAsserted, kReleased };

class Line {
 public:
  virtual ~Line() = default;

  virtual int Fd() const = 0;
  // What the host opens.
  virtual const std::string& Path() const = 0;

  virtual LineRead Read() = 0;
  // Bytes written; less than size when the device is full.
  virtual std::size_t Write(const uint8_t* data, std::size_t size) = 0;

  // The module's rate; a serial port is reconfigured, a pseudo terminal has none.
  virtual void SetRate(uint32_t baud) = 0;
  // The rate the host's side is set to; 0 if the device cannot tell.
  virtual uint32_t HostRate() = 0;

  // A serial port's reset input (the host's reset line), looked at when polled.
  virtual ResetLine PollResetLine() { return ResetLine::kUnchanged; }
  // Whether the device must be polled for its modem lines.
  virtual bool HasModemLines() const { return false; }

  // A pseudo terminal tells when the host opens its far end: a descriptor to
  // poll (-1: none) and the number of opens since the last call.
  virtual int OpenWatchFd() const { return -1; }
  virtual int TakeHostOpens() { return 0; }
};

// Writes what a non-blocking descriptor takes now; the count written.
std::size_t WriteAvailable(int fd, const uint8_t* data, std::size_t size);

// Rates of the termios speed constants, and back; 0 for others.
uint32_t RateOfSpeed(unsigned speed);
unsigned SpeedOfRate(uint32_t rate);

}  // namespace zk::modsim
