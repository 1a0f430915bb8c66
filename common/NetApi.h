#pragma once
// The transport interface: the C-ABI entry points any transport library
// exports, and the pointer types its callers resolve them into by name.
// Every result is an unsigned byte.
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

// Receive status values of NetGetRxStatus that callers distinguish.
inline constexpr uint8_t kRxComplete = 0;
inline constexpr uint8_t kRxRestart = 251;
inline constexpr uint8_t kRxPending = 253;
inline constexpr uint8_t kRxIdle = 254;

// Bit 7 of the NetInitialize mode byte asks for raw mode.
inline constexpr uint8_t kInitRaw = 0x80;
inline constexpr uint8_t kShutDownValue = 0xFF;

using SelectParamsFn = uint8_t (*)(const char* iniFile, const char* section);
using SelectPropertyFn = uint8_t (*)(const char* iniFile, const char* section);
using SelectNodeFn = uint8_t (*)(const char* iniFile, const char* unused);
using InitializeFn = uint8_t (*)(uint8_t mode, NetInfo** infoOut);
using ShutDownFn = uint8_t (*)(uint8_t value);
using SendDataFn = uint8_t (*)(const uint8_t* data, uint16_t length, uint8_t type, uint32_t unused);
using RecDataFn = uint8_t (*)(uint8_t* buffer, uint16_t capacity, uint8_t type, uint32_t timeoutMs);
using GetRxStatusFn = uint8_t (*)(void);
using RestartRxTimeOutFn = void (*)(uint32_t timeoutMs);

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
}
