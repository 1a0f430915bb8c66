// The link's own cost over a pty pair (no line rate): the transport's round
// trip, the engine's throughput in each direction, and the CPU it uses while
// a send waits for a slow peer.
#include "link/EcbAccess.h"
#include "link/LinkDriver.h"
#include "link/NetTransport.h"
#include "platform/SerialPort.h"
#include "tests/link/LinePair.h"
#include "tests/link/Peer3964.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace zk::link;
using zk::test::LinePair;
using zk::test::Peer3964;
using Clock = std::chrono::steady_clock;

constexpr unsigned kPort = 240;
constexpr std::size_t kMessage = 1024;

LinkParams Params() { return LinkParams{kPort, 57600, 0, 0, 1, 3, 200, 1000, 150}; }

bool Open(benchmark::State& state, LinkDriver& link, LinkParams params) {
  if (link.Initialize(&params) == kLinkOk) return true;
  state.SkipWithError("link not opened");
  return false;
}

// The far end as a thread: takes every message, and answers each with a
// message of its own when answer is not empty.
class FastPeer {
 public:
  FastPeer(LinePair& line, std::vector<uint8_t> answer, std::chrono::milliseconds delay = {})
      : peer_(line), answer_(std::move(answer)), delay_(delay), thread_([this] { Run(); }) {}
  ~FastPeer() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Run() {
    while (!stop_) {
      const std::optional<uint8_t> c = peer_.Read(20);
      if (c != zk::kStx) continue;
      std::this_thread::sleep_for(delay_);
      peer_.Write({zk::kDle});
      const Peer3964::Frame frame = peer_.ReadFrameBody();
      peer_.Write({frame.checkOk ? zk::kDle : zk::kNak});
      if (frame.last && frame.checkOk && !answer_.empty()) peer_.SendMessage(answer_, kMessage);
    }
  }

  Peer3964 peer_;
  std::vector<uint8_t> answer_;
  std::chrono::milliseconds delay_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A 2-byte request and a 2-byte answer through NetSendData, NetRecData and
// NetGetRxStatus in raw mode with SendLockTime 1.
void BM_NetRoundTrip(benchmark::State& state) {
  LinePair line;
  line.BindPort(kPort);
  const auto dir = std::filesystem::temp_directory_path() / "tarnlink-bench.ini";
  std::ofstream(dir) << "[RS232]\nCOM=COM240\nBaud=57600\nSendLockTime=1\n";
  LinkDriver link;
  SystemNetServices services;
  PortSelection ports([](unsigned) { return false; });
  NetTransport net(link, services, ports);
  if (ports.SelectParams(dir.c_str(), "RS232") != 1 || net.Initialize(kNetModeRawBit, nullptr) != kNetOk) {
    state.SkipWithError("link not opened");
    return;
  }
  FastPeer peer(line, {0x55, 0xAA});
  const std::vector<uint8_t> request{0x01, 0x02};
  std::vector<uint8_t> answer(64);
  std::vector<double> trips;
  for (auto _ : state) {
    const auto start = Clock::now();
    net.RecData(answer.data(), 64, 2, 0);
    if (net.SendData(request.data(), 2, 2) != kNetOk) {
      state.SkipWithError("send failed");
      break;
    }
    uint8_t status = kNetRxPending;
    while ((status = net.GetRxStatus()) == kNetRxPending) std::this_thread::yield();
    if (status != kNetOk) {
      state.SkipWithError("receive failed");
      break;
    }
    trips.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  net.ShutDown(kNetShutDownHard);
  std::filesystem::remove(dir);
  state.counters["median_ms"] = Median(trips);
}
BENCHMARK(BM_NetRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();

// 1024-byte messages through the sender to a peer that takes them at once.
void BM_SendThroughput(benchmark::State& state) {
  LinePair line;
  line.BindPort(kPort);
  LinkDriver link;
  if (!Open(state, link, Params())) return;
  FastPeer peer(line, {});
  std::vector<uint8_t> data(kMessage);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13);
  for (auto _ : state) {
    ECB ecb{data.data(), static_cast<uint16_t>(data.size()), 0, 1024, 0, nullptr, nullptr};
    if (link.Send(&ecb) != kLinkOk) {
      state.SkipWithError("send failed");
      break;
    }
  }
  link.Shutdown();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMessage));
}
BENCHMARK(BM_SendThroughput)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Completions of the receive benchmark; the callback queues the ECB again.
struct Inbox {
  LinkDriver* link = nullptr;
  std::mutex mutex;
  std::condition_variable arrived;
  std::size_t messages = 0;
};
Inbox gInbox;

void Requeue(ECB* ecb) {
  {
    std::lock_guard lock(gInbox.mutex);
    ++gInbox.messages;
  }
  gInbox.arrived.notify_all();
  gInbox.link->Receive(ecb);
}

// 1024-byte messages from the peer into queued ECBs.
void BM_ReceiveThroughput(benchmark::State& state) {
  LinePair line;
  line.BindPort(kPort);
  LinkDriver link;
  if (!Open(state, link, Params())) return;
  gInbox.link = &link;
  gInbox.messages = 0;
  std::vector<uint8_t> first(kMessage), second(kMessage);
  ECB a{first.data(), kMessage, 0, 0, 0, &Requeue, nullptr};
  ECB b{second.data(), kMessage, 0, 0, 0, &Requeue, nullptr};
  link.Receive(&a);
  link.Receive(&b);

  std::vector<uint8_t> data(kMessage);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  std::atomic<bool> stop{false};
  std::thread sender([&] {
    Peer3964 peer(line);
    while (!stop) peer.SendMessage(data, kMessage);
  });
  std::size_t seen = 0;
  for (auto _ : state) {
    std::unique_lock lock(gInbox.mutex);
    if (!gInbox.arrived.wait_for(lock, std::chrono::seconds(5), [&] { return gInbox.messages > seen; })) {
      state.SkipWithError("no message arrived");
      break;
    }
    ++seen;
  }
  stop = true;
  sender.join();
  // The callbacks called at shutdown find the link closed and queue nothing.
  link.Shutdown();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMessage));
}
BENCHMARK(BM_ReceiveThroughput)->Unit(benchmark::kMicrosecond)->UseRealTime();

// CPU time of the process while a send waits 300 ms for each reply.
void BM_CpuWhileWaiting(benchmark::State& state) {
  LinePair line;
  line.BindPort(kPort);
  LinkDriver link;
  LinkParams params = Params();
  params.ackTimeout = 2000;
  if (!Open(state, link, params)) return;
  FastPeer peer(line, {}, std::chrono::milliseconds(300));
  std::vector<uint8_t> data(16, 0x42);
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    ECB ecb{data.data(), static_cast<uint16_t>(data.size()), 0, 0, 0, nullptr, nullptr};
    const double cpuStart = ProcessCpuSeconds();
    const auto start = Clock::now();
    if (link.Send(&ecb) != kLinkOk) state.SkipWithError("send failed");
    wall += std::chrono::duration<double>(Clock::now() - start).count();
    cpu += ProcessCpuSeconds() - cpuStart;
  }
  link.Shutdown();
  state.counters["cpu_percent"] = wall > 0 ? 100.0 * cpu / wall : 0.0;
}
BENCHMARK(BM_CpuWhileWaiting)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
