#pragma once
// A link opened on one end of a LinePair, with the scripted peer on the other.
#include "link/EcbAccess.h"
#include "link/LinkApi.h"
#include "link/LinkDriver.h"
#include "tests/link/LinePair.h"
#include "tests/link/Peer3964.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace zk::test {

// Records the ECBs that the engine calls back, in order.
class CallbackLog {
 public:
  static void Record(link::ECB* ecb) {
    std::lock_guard lock(mutex_);
    calls_.push_back(ecb);
  }
  static std::vector<link::ECB*> Calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  static void Clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
  }

 private:
  static inline std::mutex mutex_;
  static inline std::vector<link::ECB*> calls_;
};

// Polls until pred holds, at most a few seconds.
inline bool WaitFor(const std::function<bool()>& pred) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPeerWaitMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// n bytes that include DLE and the other control characters.
inline std::vector<uint8_t> Pattern(std::size_t n) {
  std::vector<uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + 3) % 251);
  return bytes;
}

inline link::ECB MakeEcb(std::vector<uint8_t>& buffer, uint16_t blockSize = 0,
                         link::EcbCallback callback = &CallbackLog::Record) {
  return link::ECB{buffer.data(), static_cast<uint16_t>(buffer.size()), 0, blockSize, 0, callback, nullptr};
}

class LinkFixture : public ::testing::Test {
 protected:
  static constexpr unsigned kPort = 77;

  void SetUp() override {
    line.BindPort(kPort);
    CallbackLog::Clear();
  }
  void TearDown() override { link.Shutdown(); }

  // Opens the link; the time-outs are short where a test waits them out
  // and long where an answer is expected.
  void Open() { ASSERT_EQ(link.Initialize(&params), link::kLinkOk); }

  std::future<uint8_t> SendAsync(link::ECB& ecb) {
    return std::async(std::launch::async, [this, &ecb] { return link.Send(&ecb); });
  }

  // A message on its way out on another thread: its bytes, its ECB, the
  // send's result. A test names the three with auto& [data, ecb, sent].
  struct Outgoing {
    Outgoing(LinkFixture& fixture, std::vector<uint8_t> bytes, uint16_t blockSize = 0)
        : data(std::move(bytes)), ecb(MakeEcb(data, blockSize)), sent(fixture.SendAsync(ecb)) {}
    std::vector<uint8_t> data;
    link::ECB ecb;
    std::future<uint8_t> sent;
  };

  LinePair line;
  Peer3964 peer{line};
  link::LinkParams params{kPort, 57600, 0, 0, 1, 3, 1000, 3000, 5};
  link::LinkDriver link;
};

}  // namespace zk::test
