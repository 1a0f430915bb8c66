#pragma once
// A real serial port: raw 8N1 at the module's rate. A line break arrives
// marked in the input (PARMRK); the host's reset line is read as one of the
// port's modem inputs (through a null-modem cable the host's RTS is our CTS).
#include "modsim/Line.h"

#include <memory>
#include <string>

namespace zk::modsim {

enum class ModemInput : uint8_t { kNone, kCts, kDsr, kDcd, kRi };

class SerialLine : public Line {
 public:
  static std::unique_ptr<SerialLine> Open(const std::string& path, uint32_t resetRate, ModemInput resetInput,
                                          std::string* error);
  ~SerialLine() override;

  int Fd() const override { return fd_; }
  const std::string& Path() const override { return path_; }
  LineRead Read() override;
  std::size_t Write(const uint8_t* data, std::size_t size) override;
  void SetRate(uint32_t baud) override;
  uint32_t HostRate() override { return rate_; }
  ResetLine PollResetLine() override;
  bool HasModemLines() const override { return resetInput_ != ModemInput::kNone; }

 private:
  SerialLine(int fd, std::string path, uint32_t resetRate, ModemInput resetInput)
      : fd_(fd), path_(std::move(path)), resetRate_(resetRate), rate_(resetRate), resetInput_(resetInput) {}
  bool Apply(uint32_t rate);

  int fd_;
  std::string path_;
  uint32_t resetRate_;
  uint32_t rate_;
  ModemInput resetInput_;
  bool resetHeld_ = false;
  int marks_ = 0;  // bytes of a PARMRK sequence seen so far: 0, or 1 after 0xFF, or 2 after 0xFF 0x00
};

}  // namespace zk::modsim
