#include "platform/Tick.h"

#include <atomic>
#include <chrono>

namespace zk {
namespace {

std::atomic<TickSource> gTickSource{nullptr};

}  // namespace

uint32_t GetTickCount() {
  if (const TickSource source = gTickSource.load()) return source();
  const auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count());
}

void SetTickSource(TickSource source) { gTickSource.store(source); }

}  // namespace zk
