#include "platform/TracedPort.h"

#include "platform/Trace.h"

namespace zk::com {
namespace {

const char* OnOff(bool on) { return on ? "on" : "off"; }

class TracedPort final : public SerialPort {
 public:
  TracedPort(std::unique_ptr<SerialPort> port, std::string name) : port_(std::move(port)), name_(std::move(name)) {}
  ~TracedPort() override { trace::Line("port %s closed", name_.c_str()); }

  bool SetBaudRate(uint32_t rate) override {
    const bool done = port_->SetBaudRate(rate);
    trace::Line("port baud %u%s", rate, done ? "" : " refused");
    return done;
  }
  bool SetRts(bool on) override { return Changed("RTS", on, port_->SetRts(on)); }
  bool SetDtr(bool on) override { return Changed("DTR", on, port_->SetDtr(on)); }
  bool SetBreak(bool on) override { return Changed("break", on, port_->SetBreak(on)); }

  bool Purge(PurgeWhat what) override { return port_->Purge(what); }
  std::optional<QueueLevels> Levels() override { return port_->Levels(); }
  bool Write(std::span<const uint8_t> data) override { return port_->Write(data); }
  bool Drain(uint32_t maxMs) override { return port_->Drain(maxMs); }
  ReadResult Read(std::span<uint8_t> out, uint32_t timeoutMs) override { return port_->Read(out, timeoutMs); }
  IoStatus WaitReadable(uint32_t timeoutMs) override { return port_->WaitReadable(timeoutMs); }
  void Wake() override { port_->Wake(); }
  void ClearWake() override { port_->ClearWake(); }
  void ReportLoss() override { port_->ReportLoss(); }

 private:
  bool Changed(const char* line, bool on, bool done) {
    trace::Line("port %s %s%s", line, OnOff(on), done ? "" : " failed");
    return done;
  }

  std::unique_ptr<SerialPort> port_;
  const std::string name_;
};

}  // namespace

std::unique_ptr<SerialPort> Traced(std::unique_ptr<SerialPort> port, const std::string& name, uint32_t rate) {
  if (!port || !trace::Enabled()) return port;
  trace::Line("port %s open at %u baud", name.c_str(), rate);
  return std::make_unique<TracedPort>(std::move(port), name);
}

}  // namespace zk::com
