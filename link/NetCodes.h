#pragma once
// The result and status codes of this transport and the argument values of
// NetInitialize and NetShutDown. The record and the entry points of the
// interface are in common/NetApi.h.
#include <cstdint>

namespace zk::link {

enum NetResult : uint8_t {
  kNetOk = 0,
  kNetHeaderType = 239,    // header mode: unexpected type code (refused)
  kNetArgument = 243,      // NetInitialize mode or NetShutDown value refused
  kNetHeaderLength = 246,  // header mode: announced length exceeds the buffer (refused)
  kNetNotPosted = 247,     // header mode: the data receive could not be posted
  kNetRxTimeout = 249,
  kNetLinkError = 250,
  kNetRxPending = 253,
  kNetNoReceive = 254,
};

// NetInitialize mode byte.
inline constexpr uint8_t kNetModeRawBit = 0x80;
inline constexpr uint8_t kNetModeMask = 0x3F;
// NetShutDown values.
inline constexpr uint8_t kNetShutDownSoft = 0xFE;
inline constexpr uint8_t kNetShutDownHard = 0xFF;

}  // namespace zk::link
