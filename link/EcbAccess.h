#pragma once
// Flags and count of an ECB are written by the link thread while the
// owner may read them (and may set ECB_REFUSE): every access outside the
// engine's lock goes through these atomic views.
#include "link/LinkApi.h"

#include <atomic>

namespace zk::link {

inline uint16_t LoadFlags(const ECB& ecb) {
  return std::atomic_ref<uint16_t>(const_cast<uint16_t&>(ecb.flags)).load(std::memory_order_acquire);
}
inline void StoreFlags(ECB& ecb, uint16_t flags) {
  std::atomic_ref<uint16_t>(ecb.flags).store(flags, std::memory_order_release);
}
inline void SetFlags(ECB& ecb, uint16_t bits) {
  std::atomic_ref<uint16_t>(ecb.flags).fetch_or(bits, std::memory_order_acq_rel);
}
inline void ClearFlags(ECB& ecb, uint16_t bits) {
  std::atomic_ref<uint16_t>(ecb.flags).fetch_and(static_cast<uint16_t>(~bits), std::memory_order_acq_rel);
}
// Sets and clears bits in one step, so a reader never sees half of it.
inline void ChangeFlags(ECB& ecb, uint16_t set, uint16_t clear) {
  std::atomic_ref<uint16_t> flags(ecb.flags);
  uint16_t old = flags.load(std::memory_order_relaxed);
  while (!flags.compare_exchange_weak(old, static_cast<uint16_t>((old | set) & ~clear), std::memory_order_acq_rel,
                                      std::memory_order_relaxed)) {
  }
}
inline bool HasFlags(const ECB& ecb, uint16_t bits) { return (LoadFlags(ecb) & bits) != 0; }

inline uint16_t LoadCount(const ECB& ecb) {
  return std::atomic_ref<uint16_t>(const_cast<uint16_t&>(ecb.count)).load(std::memory_order_acquire);
}
inline void StoreCount(ECB& ecb, uint16_t count) {
  std::atomic_ref<uint16_t>(ecb.count).store(count, std::memory_order_release);
}

}  // namespace zk::link
