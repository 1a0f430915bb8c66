#pragma once
// The boot loader's byte protocol on the raw serial port: frames with a
// checksum byte that makes the sum of the frame 0 modulo 256, and the
// reading of its answers.
#include "common/ModuleCodes.h"
#include "common/ResultCodes.h"
#include "platform/SerialPort.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace zk::cmd {

inline constexpr std::size_t kMaxMemoryWriteData = 255;

// Two's complement of the 8-bit sum of bytes.
uint8_t BootChecksum(std::span<const uint8_t> bytes);

// Appends the checksum byte to frame.
void AppendChecksum(std::vector<uint8_t>& frame);

std::vector<uint8_t> MemoryWriteFrame(uint32_t address, std::span<const uint8_t> data);
std::vector<uint8_t> RangeFrame(uint32_t start, uint16_t length);
std::vector<uint8_t> StartFrame(uint32_t start, uint8_t lengthLow, uint8_t rangeChecksum);

// Timing of the dialogue; tests shorten the waits.
struct BootTiming {
  uint32_t readTimeoutMs = 1000;
  std::function<void(uint32_t)> sleep;  // empty: the platform's Sleep
};

class BootLine {
 public:
  BootLine(com::SerialPort& port, const BootTiming& timing) : port_(port), timing_(timing) {}

  com::SerialPort& Port() { return port_; }
  void Sleep(uint32_t ms) const;

  // Writes all bytes; 240 on a failed or short write. what names them in
  // the trace.
  ResultCode Write(std::span<const uint8_t> bytes, std::string_view what);
  ResultCode WriteByte(uint8_t byte, std::string_view what) { return Write(std::span<const uint8_t>(&byte, 1), what); }

  // Reads exactly out.size() bytes, waiting at most the read time-out once
  // our own output has left: 16 when too few arrive, 241 on a line error.
  ResultCode Read(std::span<uint8_t> out, std::string_view what);
  ResultCode ReadByte(uint8_t& byte, std::string_view what) { return Read(std::span<uint8_t>(&byte, 1), what); }

  // Reads and discards input until the input queue is empty.
  void DiscardInput();

  // Reads one answer: 0 for an acknowledge or a data answer copied into
  // answer (when given); 2 when a data answer arrives without a buffer;
  // 178 for a bad checksum; 179/180/181 for negative answers with error
  // bytes 1/2/3; 255 for any other first byte; 16/241 when reading fails.
  ResultCode ReadAnswer(std::vector<uint8_t>* answer);

 private:
  // Read without a trace line.
  ResultCode Take(std::span<uint8_t> out);
  // Reads the rest of an answer whose first bytes are in frame, appending
  // to it.
  ResultCode TakeAnswer(std::vector<uint8_t>& frame, std::vector<uint8_t>* answer);

  com::SerialPort& port_;
  const BootTiming& timing_;
};

}  // namespace zk::cmd
