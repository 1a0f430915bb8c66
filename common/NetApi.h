#pragma once
// The transport interface: the C-ABI entry points any transport library
// exports, the pointer types its callers resolve them into by name, and the
// result and status codes. Every result is an unsigned byte.
#include <cstdint>

namespace zk::net {

#pragma pack(push, 1)
// The transport's description record, handed out by NetInitialize.
struct NetInfo {
  const char* name;
  const char* description;
  uint16_t reinitCount;
  uint16_t bytesPerSecond;
  uint32_t linkStart;
  uint32_t lastInit;
};
#pragma pack(pop)
static_assert(sizeof(NetInfo) == 2 * sizeof(void*) + 12);

// The result and status codes of a transport.
enum NetResult : uint8_t {
  kNetOk = 0,
  kNetHeaderType = 239,    // header mode: unexpected type code (refused)
  kNetArgument = 243,      // NetInitialize mode or NetShutDown value refused
  kNetHeaderLength = 246,  // header mode: announced length exceeds the buffer (refused)
  kNetNotPosted = 247,     // header mode: the data receive could not be posted
  kNetRxTimeout = 249,
  kNetLinkError = 250,
  kNetRxRestart = 251,  // the receive time-out may be restarted
  kNetRxPending = 253,
  kNetNoReceive = 254,
};

// The NetInitialize mode byte: bit 7 asks for raw mode, the low six bits
// are the mode.
inline constexpr uint8_t kNetModeRawBit = 0x80;
inline constexpr uint8_t kNetModeMask = 0x3F;
// NetShutDown values.
inline constexpr uint8_t kNetShutDownSoft = 0xFE;
inline constexpr uint8_t kNetShutDownHard = 0xFF;

// The receive status values of NetGetRxStatus that callers distinguish,
// and the values they pass, by the names the callers use.
inline constexpr uint8_t kRxComplete = kNetOk;
inline constexpr uint8_t kRxRestart = kNetRxRestart;
inline constexpr uint8_t kRxPending = kNetRxPending;
inline constexpr uint8_t kRxIdle = kNetNoReceive;
inline constexpr uint8_t kInitRaw = kNetModeRawBit;
inline constexpr uint8_t kShutDownValue = kNetShutDownHard;

using SelectParamsFn = uint8_t (*)(const char* iniFile, const char* section);
using SelectPropertyFn = uint8_t (*)(const char* iniFile, const char* section);
using SelectNodeFn = uint8_t (*)(const char* iniFile, const char* unused);
using InitializeFn = uint8_t (*)(uint8_t mode, NetInfo** infoOut);
using ShutDownFn = uint8_t (*)(uint8_t value);
using SendDataFn = uint8_t (*)(const uint8_t* data, uint16_t length, uint8_t type, uint32_t unused);
using RecDataFn = uint8_t (*)(uint8_t* buffer, uint16_t capacity, uint8_t type, uint32_t timeoutMs);
using GetRxStatusFn = uint8_t (*)(void);
using RestartRxTimeOutFn = void (*)(uint32_t timeoutMs);
// Optional entry points; a host treats a transport without them as one that
// does not know how long a block was, and that counts no strays.
// The bytes the last completed receive carried.
using GetRxLengthFn = uint16_t (*)(void);
// The frames dropped because they arrived before the request they would
// have answered had gone out: late or repeated answers of earlier requests.
using GetStrayFramesFn = uint32_t (*)(void);
// Why the last exchange failed on the line, a LineFault; kLineFaultNone
// after one that did not fail or when the transport cannot tell.
using GetLineFaultFn = uint8_t (*)(void);

// The causes NetGetLineFault tells apart. A new exchange starts with the
// posting of its receive.
enum LineFault : uint8_t {
  kLineFaultNone = 0,
  kLineFaultNoReply = 1,      // the peer answered none of the tries to send
  kLineFaultRefused = 2,      // the peer refused every try of a block
  kLineFaultBadCheck = 3,     // the peer's blocks failed the check character
  kLineFaultBrokenFrame = 4,  // a block of the peer broke off or was framed wrongly
  kLineFaultRxTimeout = 5,    // no block came in time
};

}  // namespace zk::net

extern "C" {
uint8_t NetSelectParams(const char* iniFile, const char* section);
uint8_t NetSelectProperty(const char* iniFile, const char* section);
uint8_t NetSelectNode(const char* iniFile, const char* unused);
uint8_t NetInitialize(uint8_t mode, zk::net::NetInfo** infoOut);
uint8_t NetShutDown(uint8_t value);
uint8_t NetSendData(const uint8_t* data, uint16_t length, uint8_t type, uint32_t unused);
uint8_t NetRecData(uint8_t* buffer, uint16_t capacity, uint8_t type, uint32_t timeoutMs);
uint8_t NetGetRxStatus(void);
void NetRestartRxTimeOut(uint32_t timeoutMs);
uint16_t NetGetRxLength(void);
uint32_t NetGetStrayFrames(void);
uint8_t NetGetLineFault(void);
}
