#pragma once
// The port selection and the transport on a LinePair, with a clock the test moves by hand and
// module descriptions written into a temporary directory.
#include "link/NetTransport.h"
#include "tests/link/LinkFixture.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace zk::test {

// Time stands still unless the test moves it (or autoStep moves it at
// every reading); sleeping moves it by the time slept.
class ManualServices : public link::NetServices {
 public:
  uint32_t Now() override { return now.fetch_add(autoStep.load()); }
  void Sleep(uint32_t ms) override {
    std::lock_guard lock(mutex_);
    sleeps_.push_back(ms);
    now += ms;
  }
  void Beep() override { ++beeps; }
  std::vector<uint32_t> sleeps() {
    std::lock_guard lock(mutex_);
    return sleeps_;
  }

  std::atomic<uint32_t> now{0xFFFFFF00u};  // close to the wrap
  std::atomic<uint32_t> autoStep{0};
  std::atomic<int> beeps{0};

 private:
  std::mutex mutex_;
  std::vector<uint32_t> sleeps_;
};

class NetFixture : public ::testing::Test {
 protected:
  static constexpr unsigned kPort = 77;
  static constexpr const char* kSection = "RS232";

  void SetUp() override {
    line.BindPort(kPort);
    CallbackLog::Clear();
  }
  void TearDown() override { net.ShutDown(link::kNetShutDownHard); }

  // A module description with the port on the line; extra lines are added
  // to its section.
  std::string Module(const std::string& extra = "", const std::string& name = "modul.ini") {
    return dir.Write(name, "[RS232]\nCOM=COM77\nBaud=57600\nBaudList=9600, 57600\n" + extra);
  }
  void Open(uint8_t mode, const std::string& extra = "SendLockTime=1\n") {
    ini = Module(extra);
    ASSERT_EQ(ports.SelectParams(ini.c_str(), kSection), 1);
    ASSERT_EQ(net.Initialize(mode, nullptr), link::kNetOk);
  }
  // Polls the receive status on another thread until it is final.
  std::future<uint8_t> FinalStatusAsync() {
    return std::async(std::launch::async, [this] {
      uint8_t status = link::kNetRxPending;
      WaitFor([&] { return (status = net.GetRxStatus()) != link::kNetRxPending; });
      return status;
    });
  }
  std::future<uint8_t> SendAsync(std::vector<uint8_t> data, uint8_t type = 2) {
    return std::async(std::launch::async, [this, data = std::move(data), type] {
      return net.SendData(data.data(), static_cast<uint16_t>(data.size()), type);
    });
  }

  LinePair line;
  Peer3964 peer{line};
  TempDir dir;
  std::string ini;
  std::vector<unsigned> availablePorts;
  ManualServices services;
  link::LinkDriver link;
  link::PortSelection ports{[this](unsigned n) {
    return std::find(availablePorts.begin(), availablePorts.end(), n) != availablePorts.end();
  }};
  link::NetTransport net{link, services, ports};
};

}  // namespace zk::test
