#pragma once
// The 3964R link interface of Tarnlink: its records, flag bits and result
// codes, and the exported TN3964R_* functions.
#include <cstddef>
#include <cstdint>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the records are little-endian");

namespace zk::link {

// What TN3964R_Initialize takes. The natural layout has no padding, so it
// is the byte-packed layout as well.
struct LinkParams {
  uint16_t port;  // COM port number; bit 15 is cleared in the caller's record
  uint16_t baudRate;
  uint8_t parity;    // checked only
  uint8_t stopBits;  // checked only
  uint8_t priority;  // 1 high, 0 low
  uint8_t retries;
  uint16_t charTimeout;
  uint16_t ackTimeout;
  uint16_t retryDelay;
};
static_assert(sizeof(LinkParams) == 14);
static_assert(offsetof(LinkParams, baudRate) == 2 && offsetof(LinkParams, parity) == 4 &&
              offsetof(LinkParams, stopBits) == 5 && offsetof(LinkParams, priority) == 6 &&
              offsetof(LinkParams, retries) == 7 && offsetof(LinkParams, charTimeout) == 8 &&
              offsetof(LinkParams, ackTimeout) == 10 && offsetof(LinkParams, retryDelay) == 12);

struct ECB;
using EcbCallback = void (*)(ECB* ecb);

// Event control block of one message, owned by the caller. The engine
// changes flags and count from its link thread: read them with
// LoadFlags/LoadCount (EcbAccess.h) while the ECB is queued. Keep the record
// at its natural alignment.
struct ECB {
  uint8_t* buffer;
  uint16_t length;     // send: bytes to send; receive: capacity of buffer
  uint16_t count;      // receive: bytes received
  uint16_t blockSize;  // send: most data bytes per frame; 0 = length
  uint16_t flags;
  EcbCallback callback;
  ECB* next;  // receive queue link, owned by the engine
};
static_assert(sizeof(ECB) == 32 && alignof(ECB) == 8);
static_assert(offsetof(ECB, length) == 8 && offsetof(ECB, count) == 10 && offsetof(ECB, blockSize) == 12 &&
              offsetof(ECB, flags) == 14 && offsetof(ECB, callback) == 16 && offsetof(ECB, next) == 24);

enum EcbFlag : uint16_t {
  ECB_DONE = 0x01,
  ECB_NAKED = 0x02,
  ECB_TIMEOUT = 0x04,
  ECB_EXHAUSTED = 0x08,
  ECB_REFUSE = 0x10,
  ECB_BADCHAR = 0x20,
  ECB_FAILED = 0x40,
  ECB_BUSY = 0x80,
};

// Sent to the window registered with TN3964R_PassCallBack when a message
// has arrived: wParam 0, lParam the completed ECB.
inline constexpr uint32_t TN3964R_MSG_RECEIVED = 0x8000 + 0x0FF1;

enum LinkResult : uint8_t {
  kLinkOk = 0,
  kRetryDelayRefused = 245,
  kAckTimeoutRefused = 246,
  kCharTimeoutRefused = 247,
  kRetriesRefused = 248,
  kPriorityRefused = 249,
  kStopBitsRefused = 250,
  kParityRefused = 251,
  kBaudRateRefused = 252,
  kLinkOpenFailed = 253,
  kLinkNotOpen = 254,
  kLinkSendFailed = 255,
};

}  // namespace zk::link

extern "C" {
uint8_t TN3964R_Initialize(zk::link::LinkParams* params);
uint8_t TN3964R_Shutdown();
uint8_t TN3964R_Send(zk::link::ECB* ecb);
uint8_t TN3964R_Receive(zk::link::ECB* ecb);
zk::link::ECB* TN3964R_GetCurrentECB();
void TN3964R_ProcessEvents();
void* TN3964R_PassCallBack(void* window);
}
