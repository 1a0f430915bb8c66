#include "tests/cmd/FakeLine.h"

namespace zk::cmd::test {
namespace {

class FakePort : public com::SerialPort {
 public:
  explicit FakePort(FakeLine& line) : line_(line) {}
  ~FakePort() override { line_.Log("CLOSE"); }

  bool SetBaudRate(uint32_t rate) override {
    line_.Log("RATE", {}, rate);
    return true;
  }
  bool SetRts(bool on) override {
    line_.Log(on ? "RTS1" : "RTS0");
    return true;
  }
  bool SetDtr(bool on) override {
    line_.Log(on ? "DTR1" : "DTR0");
    return true;
  }
  bool Purge(com::PurgeWhat) override { return true; }
  std::optional<com::QueueLevels> Levels() override { return com::QueueLevels{line_.input.size(), 0}; }
  bool Write(std::span<const uint8_t> data) override {
    std::vector<uint8_t> bytes(data.begin(), data.end());
    line_.Log("W", bytes);
    if (line_.peer) line_.peer(line_, bytes);
    return true;
  }
  bool Drain(uint32_t) override { return true; }
  com::ReadResult Read(std::span<uint8_t> out, uint32_t) override {
    if (line_.input.empty() || out.empty()) return {com::IoStatus::TimedOut, 0};
    std::size_t n = 0;
    while (n < out.size() && !line_.input.empty()) {
      out[n++] = line_.input.front();
      line_.input.pop_front();
    }
    return {com::IoStatus::Ok, n};
  }
  com::IoStatus WaitReadable(uint32_t) override {
    return line_.input.empty() ? com::IoStatus::TimedOut : com::IoStatus::Ok;
  }
  void Wake() override {}
  void ClearWake() override {}

 private:
  FakeLine& line_;
};

}  // namespace

std::vector<uint8_t> FakeLine::Written() const {
  std::vector<uint8_t> all;
  for (const LineEvent& e : events) {
    if (e.what == "W") all.insert(all.end(), e.bytes.begin(), e.bytes.end());
  }
  return all;
}

std::vector<std::vector<uint8_t>> FakeLine::Writes() const {
  std::vector<std::vector<uint8_t>> writes;
  for (const LineEvent& e : events) {
    if (e.what == "W") writes.push_back(e.bytes);
  }
  return writes;
}

std::vector<std::string> FakeLine::LineChanges() const {
  std::vector<std::string> changes;
  for (const LineEvent& e : events) {
    if (e.what.starts_with("RTS") || e.what.starts_with("DTR")) changes.push_back(e.what + "@" + std::to_string(e.at));
  }
  return changes;
}

std::shared_ptr<void> FakeLine::Install() {
  com::SetSerialPortOpener(
      [this](unsigned port, uint32_t rate, com::OpenError* error) -> std::unique_ptr<com::SerialPort> {
        if (failOpen) {
          if (error) *error = com::OpenError::NoSuchPort;
          return nullptr;
        }
        openedPort = port;
        openedRate = rate;
        ++opens;
        Log("OPEN", {}, rate);
        return std::make_unique<FakePort>(*this);
      });
  return std::shared_ptr<void>(nullptr, [](void*) { com::SetSerialPortOpener({}); });
}

}  // namespace zk::cmd::test
