#pragma once
// A serial port opened "not shared": raw 8N1 at any rate from 300 to
// 115200, DTR and RTS lowered before any byte, RTS/DTR control, purge, queue levels, writes that wait for room, reads
// and waits with a time-out or without limit. Every wait also ends when Wake is called (an eventfd), so a thread
// blocked on the port can be stopped without closing the descriptor under it. A hang-up (the far end of a pseudo
// terminal closed, an adapter unplugged) is a line error: the first read, write or wait to find it fails at once, later
// ones fail after their time, so no caller spins.
//
// Ports are opened through OpenSerialPort, which tests can redirect to a
// fake with SetSerialPortOpener.
#include "platform/Api.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace zk::com {

inline constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

enum class IoStatus {
  Ok,         // data moved (or, for a wait, data is there to read)
  TimedOut,   // nothing within the time
  Woken,      // Wake was called
  LineError,  // hang-up or another line failure
};

struct ReadResult {
  IoStatus status = IoStatus::TimedOut;
  std::size_t count = 0;  // bytes read; more than 0 only with Ok
};

enum class PurgeWhat { Input, Output, Both };

struct QueueLevels {
  std::size_t input = 0;   // received bytes not yet read
  std::size_t output = 0;  // written bytes not yet sent
};

enum class OpenError {
  None,
  NoSuchPort,        // the number is outside 1..256 or the device does not exist
  InUse,             // another opener holds the port (a remote one: its server says so)
  PermissionDenied,  // the device is there, but this user may not open it
  CannotOpen,        // any other failure to open the device
  NotSerial,         // the device is not a terminal
  BadRate,           // outside 300..115200, or refused by the device
  CannotConfigure,
  // Remote ports (rfc2217://HOST:PORT):
  RemoteBadUrl,       // the URL is no rfc2217://HOST:PORT (no port, or not a number)
  RemoteUnknownHost,  // the host's name does not resolve (systemError: the resolver's code)
  RemoteNoAnswer,     // the host does not answer
  RemoteRefused,      // the host refuses the connection
  RemoteNoComPort,    // the host answers without the COM-PORT-OPTION of RFC 2217
  RemoteClosed,       // the host closed the connection while it was set up
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  virtual bool SetBaudRate(uint32_t rate) = 0;
  // Without modem lines (a pseudo terminal) these succeed without effect.
  virtual bool SetRts(bool on) = 0;
  virtual bool SetDtr(bool on) = 0;
  // Holds the line in the break state (on) or ends it.
  virtual bool SetBreak(bool) { return false; }
  virtual bool Purge(PurgeWhat what) = 0;
  virtual std::optional<QueueLevels> Levels() = 0;

  // Writes all of data, waiting for room as long as it takes; false on a
  // line error or when woken before everything was written.
  virtual bool Write(std::span<const uint8_t> data) = 0;
  bool WriteByte(uint8_t byte) { return Write(std::span<const uint8_t>(&byte, 1)); }

  // Waits until the output has left the driver, at most maxMs; false when
  // it has not (time, line error, woken).
  virtual bool Drain(uint32_t maxMs) = 0;

  // Reads what is there, at least one byte, waiting at most timeoutMs
  // (kWaitForever: no limit) for the first.
  virtual ReadResult Read(std::span<uint8_t> out, uint32_t timeoutMs) = 0;

  // Waits at most timeoutMs until a byte can be read.
  virtual IoStatus WaitReadable(uint32_t timeoutMs) = 0;

  // Ends every current and later wait with Woken until ClearWake.
  virtual void Wake() = 0;
  virtual void ClearWake() = 0;

  // Once the line has gone (the first read, write or wait to find it
  // returns at once with the failure), shows "connection to <device> lost"
  // the first time it is called; otherwise nothing. Callers call it after
  // they have acted on the failure.
  virtual void ReportLoss() {}

  // Reads exactly out.size() bytes within timeoutMs in all (kWaitForever:
  // no limit); the count says how many arrived.
  ReadResult ReadExact(std::span<uint8_t> out, uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    ReadResult total{IoStatus::Ok, 0};
    while (total.count < out.size()) {
      uint32_t wait = kWaitForever;
      if (timeoutMs != kWaitForever) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        wait = left.count() > 0 ? static_cast<uint32_t>(left.count()) : 0;
      }
      const ReadResult part = Read(out.subspan(total.count), wait);
      total.count += part.count;
      if (part.status != IoStatus::Ok) {
        total.status = part.status;
        break;
      }
    }
    return total;
  }
};

// Opens COMn (resolved through DevicePath) at rate, raw 8N1, exclusively:
// a device another program has locked is not opened at all (InUse), since
// the open alone would raise its modem lines; once locked, the device also
// refuses other programs' opens (TIOCEXCL; root's pass) until the port
// closes. A port that cannot be opened also gives a message box naming the
// port, its device and the cause (ReportPortFailure).
ZK_PLATFORM_API std::unique_ptr<SerialPort> OpenSerialPort(unsigned port, uint32_t rate, OpenError* error = nullptr);

// Opens a device path directly, the same way.
ZK_PLATFORM_API std::unique_ptr<SerialPort> OpenSerialDevice(const std::string& path, uint32_t rate,
                                                             OpenError* error = nullptr);

// Whether COMn could be opened "not shared" right now. A port another
// program holds is not touched; any other is opened and closed again
// (through the opener when one is plugged in), its settings untouched; DTR
// and RTS, which the open raised, are lowered.
ZK_PLATFORM_API bool PortAvailable(unsigned port);

inline constexpr uint32_t kLowestRate = 300;
inline constexpr uint32_t kHighestRate = 115200;

// Whether rate is one of the table rates 300, 600, ... 115200.
ZK_PLATFORM_API bool IsStandardRate(uint32_t rate);
// Whether a port may be opened at rate: any rate from 300 to 115200, set
// exactly also where the table has none (7200, 14400, 28800, 56000).
ZK_PLATFORM_API bool IsSupportedRate(uint32_t rate);

// Replaces what OpenSerialPort does (an empty function restores the real
// ports). The opener reports its own failures through error.
using SerialPortOpener = std::function<std::unique_ptr<SerialPort>(unsigned port, uint32_t rate, OpenError* error)>;
ZK_PLATFORM_API void SetSerialPortOpener(SerialPortOpener opener);

}  // namespace zk::com
