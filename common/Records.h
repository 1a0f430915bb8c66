#pragma once
// The byte-packed, little-endian records that cross the library boundaries.
// Pointer and handle fields have the native width of the platform; field
// order and packing are fixed.
#include <cstddef>
#include <cstdint>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the records are little-endian");

namespace zk {

#pragma pack(push, 1)

// Written by every export that starts a worker.
struct WorkerThreadInfo {
  uint32_t threadId;
  void* threadHandle;
};

// Filled from the login answer.
struct LoginInfo {
  uint16_t word;
  uint8_t bytes[3];
};

// What the module does when a program disconnects: ExitRequest's mode byte.
enum class ExitMode : uint8_t { kNone = 0, kJump = 1, kSoftwareReset = 2, kHardwareReset = 3 };

constexpr uint8_t ModeByte(ExitMode mode) { return static_cast<uint8_t>(mode); }

struct ExitRequest {
  uint8_t mode;  // an ExitMode
  uint32_t address;
};

struct PasswordBlock {
  uint32_t length;
  const uint8_t* bytes;
};

struct FlashLibRequest {
  uint8_t selector;
  uint32_t flashStart;
};

// Four words in answer order.
struct FlashLibInfo {
  uint16_t words[4];
};

struct FlashLibSelection {
  uint8_t bytes[3];
};

struct BaseAddressRecord {
  uint32_t baseAddress;
  uint8_t mode;
};

// start and end inclusive; the third value is the step of a sector status.
struct RangeRequest {
  uint32_t start;
  uint32_t end;
  uint32_t third;
};

// Entries are SectorEntry (erase results) or SectorStatusEntry (sector status).
struct SectorList {
  uint16_t count;
  void* entries;
};

struct SectorEntry {
  uint32_t address;
  uint32_t status;
};

struct SectorStatusEntry {
  uint32_t address;
  uint8_t status;
};

struct ReadRequest {
  uint32_t start;
  uint32_t length;
};

struct ReadResult {
  uint32_t received;
  uint8_t* destination;
};

// CmmProgFlash advances address in place.
struct ProgRequest {
  uint32_t address;
  uint16_t length;
  const uint8_t* data;
};

#pragma pack(pop)

inline constexpr std::size_t kPointerSize = sizeof(void*);

static_assert(sizeof(WorkerThreadInfo) == 4 + kPointerSize);
static_assert(offsetof(WorkerThreadInfo, threadHandle) == 4);
static_assert(sizeof(LoginInfo) == 5 && offsetof(LoginInfo, bytes) == 2);
static_assert(sizeof(ExitRequest) == 5 && offsetof(ExitRequest, address) == 1);
static_assert(sizeof(PasswordBlock) == 4 + kPointerSize && offsetof(PasswordBlock, bytes) == 4);
static_assert(sizeof(FlashLibRequest) == 5 && offsetof(FlashLibRequest, flashStart) == 1);
static_assert(sizeof(FlashLibInfo) == 8);
static_assert(sizeof(FlashLibSelection) == 3);
static_assert(sizeof(BaseAddressRecord) == 5 && offsetof(BaseAddressRecord, mode) == 4);
static_assert(sizeof(RangeRequest) == 12 && offsetof(RangeRequest, end) == 4 && offsetof(RangeRequest, third) == 8);
static_assert(sizeof(SectorList) == 2 + kPointerSize && offsetof(SectorList, entries) == 2);
static_assert(sizeof(SectorEntry) == 8 && offsetof(SectorEntry, status) == 4);
static_assert(sizeof(SectorStatusEntry) == 5 && offsetof(SectorStatusEntry, status) == 4);
static_assert(sizeof(ReadRequest) == 8 && offsetof(ReadRequest, length) == 4);
static_assert(sizeof(ReadResult) == 4 + kPointerSize && offsetof(ReadResult, destination) == 4);
static_assert(sizeof(ProgRequest) == 6 + kPointerSize && offsetof(ProgRequest, length) == 4 &&
              offsetof(ProgRequest, data) == 6);

}  // namespace zk
