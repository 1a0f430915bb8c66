#pragma once
// The Net* transport interface: the record NetInitialize hands out, the
// status codes, and the exported functions with their pointer types for
// hosts that bind a transport library by name.
#include <cstddef>
#include <cstdint>

namespace zk::link {

#pragma pack(push, 1)
struct NetInfo {
  const char* name;
  const char* description;
  uint16_t reinitCount;     // NetInitialize calls with mode 2 since the last mode 0
  uint16_t bytesPerSecond;  // running average of the send rate
  uint32_t linkStart;       // tick of the last mode-0 NetInitialize
  uint32_t lastInit;        // tick of the last NetInitialize
};
#pragma pack(pop)
static_assert(sizeof(NetInfo) == 28);
static_assert(offsetof(NetInfo, reinitCount) == 16 && offsetof(NetInfo, bytesPerSecond) == 18 &&
              offsetof(NetInfo, linkStart) == 20 && offsetof(NetInfo, lastInit) == 24);

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

using NetSelectParamsFn = uint8_t (*)(const char* iniFile, const char* section);
using NetSelectPropertyFn = uint8_t (*)(const char* iniFile, const char* section);
using NetSelectNodeFn = uint8_t (*)(const char* iniFile, const char* unused);
using NetInitializeFn = uint8_t (*)(uint8_t mode, NetInfo** infoOut);
using NetShutDownFn = uint8_t (*)(uint8_t value);
using NetSendDataFn = uint8_t (*)(const uint8_t* data, uint16_t length, uint8_t type, uint32_t unused);
using NetRecDataFn = uint8_t (*)(uint8_t* buffer, uint16_t capacity, uint8_t type, uint32_t timeoutMs);
using NetGetRxStatusFn = uint8_t (*)();
using NetRestartRxTimeOutFn = void (*)(uint32_t timeoutMs);

}  // namespace zk::link

extern "C" {
uint8_t NetSelectParams(const char* iniFile, const char* section);
uint8_t NetSelectProperty(const char* iniFile, const char* section);
uint8_t NetSelectNode(const char* iniFile, const char* unused);
uint8_t NetInitialize(uint8_t mode, zk::link::NetInfo** infoOut);
uint8_t NetShutDown(uint8_t value);
uint8_t NetSendData(const uint8_t* data, uint16_t length, uint8_t type, uint32_t unused);
uint8_t NetRecData(uint8_t* buffer, uint16_t capacity, uint8_t type, uint32_t timeoutMs);
uint8_t NetGetRxStatus();
void NetRestartRxTimeOut(uint32_t timeoutMs);
}
