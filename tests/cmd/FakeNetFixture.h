#pragma once
// Binds the scripted transport library as the transport of a command layer
// session: the one the exports use, or one a test owns.
#include "cmd/Session.h"
#include "platform/Library.h"
#include "platform/NonCopyable.h"
#include "tests/cmd/fakenet/FakeNet.h"
#include "tests/support/Entry.h"

#include <gtest/gtest.h>

#include <vector>

namespace zk::cmd::test {

class FakeNet : private NonCopyable {
 public:
  explicit FakeNet(Session& session = CurrentSession()) : session_(session), library_(LoadLibrary(ZK_FAKE_NET)) {
    EXPECT_NE(library_, nullptr) << LastLibraryError();
    reset = Get<decltype(reset)>("FakeNetReset");
    scriptStatuses = Get<decltype(scriptStatuses)>("FakeNetScriptStatuses");
    setAnswer = Get<decltype(setAnswer)>("FakeNetSetAnswer");
    scriptArmResults = Get<decltype(scriptArmResults)>("FakeNetScriptArmResults");
    setSendResult = Get<decltype(setSendResult)>("FakeNetSetSendResult");
    setSelectResult = Get<decltype(setSelectResult)>("FakeNetSetSelectResult");
    getCounts = Get<decltype(getCounts)>("FakeNetGetCounts");
    lastRequest = Get<decltype(lastRequest)>("FakeNetLastRequest");
    queueAnswer = Get<decltype(queueAnswer)>("FakeNetQueueAnswer");
    requestCount = Get<decltype(requestCount)>("FakeNetRequestCount");
    requestAt = Get<decltype(requestAt)>("FakeNetRequest");
    reset();
  }
  ~FakeNet() {
    session_.transport.Release();
    FreeLibrary(library_);
  }

  // Makes the fake the session's bound transport, as a login would.
  void Bind() {
    session_.transport.Bind(LoadLibrary(ZK_FAKE_NET));
    ASSERT_TRUE(session_.transport.ResolveEntries());
  }

  void Statuses(std::vector<uint8_t> s) { scriptStatuses(s.data(), s.size()); }
  void Answer(std::vector<uint8_t> a) { setAnswer(a.data(), a.size()); }
  void ArmResults(std::vector<uint8_t> r) { scriptArmResults(r.data(), r.size()); }
  FakeNetCounts Counts() {
    FakeNetCounts c{};
    getCounts(&c);
    return c;
  }
  void Queue(std::vector<uint8_t> a) { queueAnswer(a.data(), a.size()); }
  // The code bytes of every request so far.
  std::vector<uint8_t> Codes() {
    std::vector<uint8_t> codes;
    for (size_t i = 0; i < requestCount(); ++i) codes.push_back(RequestAt(i).at(0));
    return codes;
  }
  std::vector<uint8_t> RequestAt(size_t i) {
    std::vector<uint8_t> r(5000);
    r.resize(requestAt(i, r.data(), r.size()));
    return r;
  }
  std::vector<uint8_t> Request() {
    std::vector<uint8_t> r(5000);
    r.resize(lastRequest(r.data(), r.size()));
    return r;
  }

  void (*reset)() = nullptr;
  void (*scriptStatuses)(const uint8_t*, size_t) = nullptr;
  void (*setAnswer)(const uint8_t*, size_t) = nullptr;
  void (*scriptArmResults)(const uint8_t*, size_t) = nullptr;
  void (*setSendResult)(uint8_t) = nullptr;
  void (*setSelectResult)(uint8_t) = nullptr;
  void (*getCounts)(FakeNetCounts*) = nullptr;
  size_t (*lastRequest)(uint8_t*, size_t) = nullptr;
  void (*queueAnswer)(const uint8_t*, size_t) = nullptr;
  size_t (*requestCount)() = nullptr;
  size_t (*requestAt)(size_t, uint8_t*, size_t) = nullptr;

 private:
  template <typename Fn>
  Fn Get(const char* name) {
    return zk::test::Entry<Fn>(library_, name);
  }
  Session& session_;
  LibraryHandle library_;
};

}  // namespace zk::cmd::test
