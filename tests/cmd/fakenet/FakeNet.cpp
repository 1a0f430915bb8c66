// A scripted transport: records every call and answers as the test says.
#include "tests/cmd/fakenet/FakeNet.h"

#include "common/NetApi.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct State {
  std::mutex mutex;
  FakeNetCounts counts{};
  std::deque<uint8_t> statuses;
  std::deque<uint8_t> armResults;
  std::vector<uint8_t> answer;
  std::vector<uint8_t> lastRequest;
  std::deque<std::vector<uint8_t>> queued;
  std::vector<std::vector<uint8_t>> requests;
  uint8_t sendResult = 0;
  uint8_t selectResult = 1;
  uint8_t* armed = nullptr;
  uint16_t armedCapacity = 0;
};

State& S() {
  static State state;
  return state;
}

}  // namespace

FAKE_EXPORT void FakeNetReset(void) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  s.counts = {};
  s.statuses.clear();
  s.armResults.clear();
  s.answer.clear();
  s.lastRequest.clear();
  s.queued.clear();
  s.requests.clear();
  s.sendResult = 0;
  s.selectResult = 1;
  s.armed = nullptr;
}

FAKE_EXPORT void FakeNetScriptStatuses(const uint8_t* statuses, size_t count) {
  std::lock_guard lock(S().mutex);
  S().statuses.assign(statuses, statuses + count);
}

FAKE_EXPORT void FakeNetSetAnswer(const uint8_t* bytes, size_t count) {
  std::lock_guard lock(S().mutex);
  S().answer.assign(bytes, bytes + count);
}

FAKE_EXPORT void FakeNetScriptArmResults(const uint8_t* results, size_t count) {
  std::lock_guard lock(S().mutex);
  S().armResults.assign(results, results + count);
}

FAKE_EXPORT void FakeNetSetSendResult(uint8_t result) {
  std::lock_guard lock(S().mutex);
  S().sendResult = result;
}

FAKE_EXPORT void FakeNetSetSelectResult(uint8_t result) {
  std::lock_guard lock(S().mutex);
  S().selectResult = result;
}

FAKE_EXPORT void FakeNetGetCounts(FakeNetCounts* out) {
  std::lock_guard lock(S().mutex);
  *out = S().counts;
}

FAKE_EXPORT size_t FakeNetLastRequest(uint8_t* out, size_t capacity) {
  std::lock_guard lock(S().mutex);
  const size_t n = std::min(capacity, S().lastRequest.size());
  std::copy_n(S().lastRequest.begin(), n, out);
  return S().lastRequest.size();
}

FAKE_EXPORT void FakeNetQueueAnswer(const uint8_t* bytes, size_t count) {
  std::lock_guard lock(S().mutex);
  S().queued.emplace_back(bytes, bytes + count);
}

FAKE_EXPORT size_t FakeNetRequestCount(void) {
  std::lock_guard lock(S().mutex);
  return S().requests.size();
}

FAKE_EXPORT size_t FakeNetRequest(size_t index, uint8_t* out, size_t capacity) {
  std::lock_guard lock(S().mutex);
  if (index >= S().requests.size()) return 0;
  const auto& r = S().requests[index];
  const size_t n = std::min(capacity, r.size());
  std::copy_n(r.begin(), n, out);
  return r.size();
}

FAKE_EXPORT uint8_t NetSelectParams(const char*, const char*) {
  std::lock_guard lock(S().mutex);
  ++S().counts.selectParams;
  return S().selectResult;
}

FAKE_EXPORT uint8_t NetInitialize(uint8_t mode, zk::net::NetInfo**) {
  std::lock_guard lock(S().mutex);
  ++S().counts.initialize;
  S().counts.lastInitMode = mode;
  return 0;
}

FAKE_EXPORT uint8_t NetShutDown(uint8_t) {
  std::lock_guard lock(S().mutex);
  ++S().counts.shutDown;
  return 0;
}

FAKE_EXPORT uint8_t NetRecData(uint8_t* buffer, uint16_t capacity, uint8_t, uint32_t timeout) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  ++s.counts.recData;
  s.counts.lastArmTime = timeout;
  uint8_t result = 0;
  if (!s.armResults.empty()) {
    result = s.armResults.front();
    s.armResults.pop_front();
  }
  if (result == 0) {
    s.armed = buffer;
    s.armedCapacity = capacity;
  }
  return result;
}

FAKE_EXPORT uint8_t NetSendData(const uint8_t* data, uint16_t length, uint8_t, uint32_t) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  ++s.counts.sendData;
  s.lastRequest.assign(data, data + length);
  s.requests.push_back(s.lastRequest);
  if (s.sendResult != 0) return s.sendResult;
  std::vector<uint8_t> answer = s.answer;
  if (!s.queued.empty()) {
    answer = std::move(s.queued.front());
    s.queued.pop_front();
  }
  if (s.armed != nullptr && !answer.empty()) {
    std::copy_n(answer.begin(), std::min<size_t>(answer.size(), s.armedCapacity), s.armed);
  }
  return 0;
}

FAKE_EXPORT uint8_t NetGetRxStatus(void) {
  State& s = S();
  std::lock_guard lock(s.mutex);
  ++s.counts.getRxStatus;
  if (s.statuses.empty()) return 0;
  const uint8_t status = s.statuses.front();
  s.statuses.pop_front();
  return status;
}

FAKE_EXPORT void NetRestartRxTimeOut(uint32_t timeout) {
  std::lock_guard lock(S().mutex);
  ++S().counts.restartRxTimeOut;
  S().counts.lastRestart = timeout;
}
