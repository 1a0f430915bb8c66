// The 3964R receive engine fed arbitrary characters, time-outs, queue
// changes and yields: it never writes outside an ECB's buffer, completes a
// message only with a count its buffer holds, and answers only DLE or NAK.
#include "common/ModuleCodes.h"
#include "fuzz/FuzzInput.h"
#include "link/EcbAccess.h"
#include "link/ReceiveEngine.h"

#include <memory>
#include <vector>

namespace {

using namespace zk::link;
using zk::kDle;
using zk::kNak;

constexpr std::size_t kEcbs = 3;
constexpr uint16_t kLargestCapacity = 600;
// Bytes that stand for an event instead of a character: the escape, then
// which event (an escape twice is the character itself).
constexpr uint8_t kEscape = 0xFF;

class Answers : public ControlOutput {
 public:
  void SendControl(uint8_t c) override { ZK_FUZZ_CHECK(c == kDle || c == kNak); }
};

// One ECB with a buffer of exactly its capacity, so that ASan sees a
// single byte written past it.
struct OwnedEcb {
  std::unique_ptr<uint8_t[]> storage;
  ECB ecb{};

  explicit OwnedEcb(uint16_t capacity) : storage(capacity ? std::make_unique<uint8_t[]>(capacity) : nullptr) {
    ecb.buffer = storage.get();
    ecb.length = capacity;
  }
};

void CheckCompleted(const ECB* done) {
  if (done == nullptr) return;
  ZK_FUZZ_CHECK((LoadFlags(*done) & ECB_DONE) != 0);
  ZK_FUZZ_CHECK(LoadCount(*done) <= done->length);
  ZK_FUZZ_CHECK(done->next == nullptr);
  volatile uint8_t sink = 0;
  for (uint16_t i = 0; i < LoadCount(*done); ++i) sink = static_cast<uint8_t>(sink + done->buffer[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  zk::fuzz::FuzzInput in(data, size);
  LinkConfig config;
  config.retries = static_cast<uint8_t>(1 + in.U8() % 6);
  Answers answers;
  ReceiveEngine engine(config, answers);

  std::vector<std::unique_ptr<OwnedEcb>> ecbs;
  for (std::size_t i = 0; i < kEcbs; ++i) ecbs.push_back(std::make_unique<OwnedEcb>(in.U16() % kLargestCapacity));
  engine.Queue(ecbs[0]->ecb);

  while (!in.Empty()) {
    uint8_t c = in.U8();
    if (c == kEscape && in.Left() > 0) {
      const uint8_t event = in.U8();
      if (event != kEscape) {
        switch (event % 6) {
          case 0: CheckCompleted(engine.OnTimeout().completed); break;
          case 1: engine.Queue(ecbs[(event / 6) % kEcbs]->ecb); break;
          case 2: engine.YieldToPeer(); break;
          case 3: engine.FullReset(); break;
          case 4:
            ZK_FUZZ_CHECK(engine.TakeQueue().size() <= kEcbs);
            ZK_FUZZ_CHECK(engine.Head() == nullptr);
            break;
          case 5:
            if (ECB* head = engine.Head()) SetFlags(*head, ECB_REFUSE);
            break;
        }
        continue;
      }
    }
    const ReceiveEngine::Step step = engine.OnChar(c);
    CheckCompleted(step.completed);
    // The owner takes a completed message and offers its ECB again.
    if (step.completed != nullptr) engine.Queue(*step.completed);
  }
  engine.TakeQueue();
  return 0;
}
