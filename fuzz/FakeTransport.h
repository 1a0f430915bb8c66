#pragma once
// An in-process transport for the command layer whose answers come from the
// fuzz input. The fuzz program exports the Net* entry points itself; Bind()
// makes the program the command layer's transport library.
//
// Each answer the command layer polls for takes one frame of the input:
//   control byte: bits 0-1 the final receive status (0 or 3: complete,
//                 1: restart 251, 2: time-out 254), bits 2-3 polls that see
//                 "pending" first, bit 4 the send fails, bit 5 the next
//                 arming fails;
//   length (two bytes, little-endian), then that many answer bytes, of
//   which no more than the armed capacity reach the buffer.
// An input that has run out answers nothing more (time-out).
#include "fuzz/FuzzInput.h"

#include <cstdint>
#include <vector>

namespace zk::fuzz {

struct SentRequest {
  std::vector<uint8_t> bytes;
  // What the answer left in the first two bytes of the buffer: the answer's
  // own bytes or, where it was shorter, the request's.
  uint8_t effective0 = 0;
  uint8_t effective1 = 0;
  bool answered = false;  // a frame ended with status 0
};

class FakeTransport {
 public:
  static FakeTransport& Instance();

  // Binds the program as the command layer's transport.
  static void Bind();

  void Start(FuzzInput* input);
  const std::vector<SentRequest>& Requests() const { return requests_; }

  uint8_t RecData(uint8_t* buffer, uint16_t capacity);
  uint8_t SendData(const uint8_t* data, uint16_t length);
  uint8_t GetRxStatus();

 private:
  FuzzInput* input_ = nullptr;
  uint8_t* armed_ = nullptr;
  uint16_t capacity_ = 0;
  bool failNextArm_ = false;
  bool failNextSend_ = false;
  unsigned pendingPolls_ = 0;
  bool haveFinal_ = false;
  uint8_t final_ = 0;
  std::vector<SentRequest> requests_;
};

}  // namespace zk::fuzz
