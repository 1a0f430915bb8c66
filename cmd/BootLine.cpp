#include "cmd/BootLine.h"

#include "platform/FrameTrace.h"
#include "platform/Threads.h"
#include "platform/Trace.h"

#include <cstdio>
#include <string>

namespace zk::cmd {
namespace {

enum NegativeError : uint8_t {
  kErrorUnsupported = 1,
  kErrorChecksum = 2,
  kErrorNoRam = 3,
};

void PutAddress24(std::vector<uint8_t>& frame, uint32_t address) {
  frame.push_back(static_cast<uint8_t>(address >> 16));
  frame.push_back(static_cast<uint8_t>(address >> 8));
  frame.push_back(static_cast<uint8_t>(address));
}

}  // namespace

uint8_t BootChecksum(std::span<const uint8_t> bytes) {
  uint8_t sum = 0;
  for (const uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  return static_cast<uint8_t>(-sum);
}

void AppendChecksum(std::vector<uint8_t>& frame) { frame.push_back(BootChecksum(frame)); }

std::vector<uint8_t> MemoryWriteFrame(uint32_t address, std::span<const uint8_t> data) {
  std::vector<uint8_t> frame{kBootMemoryWrite};
  PutAddress24(frame, address);
  frame.push_back(static_cast<uint8_t>(data.size()));
  frame.insert(frame.end(), data.begin(), data.end());
  AppendChecksum(frame);
  return frame;
}

std::vector<uint8_t> RangeFrame(uint32_t start, uint16_t length) {
  std::vector<uint8_t> frame{kBootRange};
  PutAddress24(frame, start);
  frame.push_back(static_cast<uint8_t>(length >> 8));
  frame.push_back(static_cast<uint8_t>(length));
  AppendChecksum(frame);
  return frame;
}

std::vector<uint8_t> StartFrame(uint32_t start, uint8_t lengthLow, uint8_t rangeChecksum) {
  std::vector<uint8_t> frame{kBootStart};
  PutAddress24(frame, start);
  frame.push_back(kBootStartMarker);
  frame.push_back(lengthLow);
  frame.push_back(rangeChecksum);
  AppendChecksum(frame);
  return frame;
}

void BootLine::Sleep(uint32_t ms) const {
  if (timing_.sleep) {
    timing_.sleep(ms);
  } else {
    zk::Sleep(ms);
  }
}

ResultCode BootLine::Write(std::span<const uint8_t> bytes, std::string_view what) {
  if (trace::Enabled()) trace::Bytes("boot -> " + std::string(what), bytes);
  if (port_.Write(bytes)) return kOk;
  port_.ReportLoss();
  return kSendFailed;
}

ResultCode BootLine::Read(std::span<uint8_t> out, std::string_view what) {
  const ResultCode rc = Take(out);
  if (trace::Enabled()) {
    if (rc == kOk) {
      trace::Bytes("boot <- " + std::string(what), out);
    } else {
      trace::Line("boot <- %.*s: nothing within %u ms", static_cast<int>(what.size()), what.data(),
                  timing_.readTimeoutMs);
    }
  }
  return rc;
}

ResultCode BootLine::Take(std::span<uint8_t> out) {
  // The answer time counts from the moment our own bytes have left.
  port_.Drain(timing_.readTimeoutMs);
  const com::ReadResult got = port_.ReadExact(out, timing_.readTimeoutMs);
  if (got.count == out.size()) return kOk;
  if (got.status != com::IoStatus::LineError) return kNoAnswer;
  port_.ReportLoss();
  return kReceiveTimeout;
}

void BootLine::DiscardInput() {
  port_.Purge(com::PurgeWhat::Input);
  uint8_t scratch[256];
  std::size_t discarded = 0;
  for (std::size_t got; (got = port_.Read(scratch, 0).count) > 0;) discarded += got;
  if (discarded > 0 && trace::Enabled()) trace::Line("boot <- %zu bytes discarded", discarded);
}

ResultCode BootLine::ReadAnswer(std::vector<uint8_t>* answer) {
  std::vector<uint8_t> frame;
  const ResultCode rc = TakeAnswer(frame, answer);
  if (trace::Enabled() && frame.empty()) {
    trace::Line("boot <- answer: nothing within %u ms", timing_.readTimeoutMs);
  } else if (trace::Enabled()) {
    char what[64];
    if (frame[0] == kBootAck) {
      std::snprintf(what, sizeof what, "boot <- ack");
    } else if (frame[0] == kBootData && rc != kFlashFileNotSent) {
      std::snprintf(what, sizeof what, "boot <- data%s", rc == kNoAnswer || rc == kReceiveTimeout ? ", cut short" : "");
    } else if (frame[0] == kBootNak && frame.size() > 2) {
      std::snprintf(what, sizeof what, "boot <- negative answer, error %u", frame[2]);
    } else {
      std::snprintf(what, sizeof what, "boot <- answer refused (result %u)", static_cast<unsigned>(rc));
    }
    trace::Bytes(what, frame);
  }
  return rc;
}

ResultCode BootLine::TakeAnswer(std::vector<uint8_t>& frame, std::vector<uint8_t>* answer) {
  uint8_t first = 0;
  if (ResultCode rc = Take(std::span<uint8_t>(&first, 1)); rc != kOk) return rc;
  frame.push_back(first);
  if (first == kBootAck) return kOk;
  uint8_t length = 0;
  if (ResultCode rc = Take(std::span<uint8_t>(&length, 1)); rc != kOk) return rc;
  frame.push_back(length);

  if (first == kBootNak) {
    uint8_t error = 0;
    if (ResultCode rc = Take(std::span<uint8_t>(&error, 1)); rc != kOk) return rc;
    frame.push_back(error);
    const ResultCode known = error == kErrorUnsupported ? kCommandNotSupported
                             : error == kErrorChecksum  ? kReceiveChecksum
                             : error == kErrorNoRam     ? kNoRamArea
                                                        : kOk;
    if (known != kOk) {
      std::vector<uint8_t> detail(length);
      if (ResultCode rc = Take(detail); rc != kOk) return rc;
      frame.insert(frame.end(), detail.begin(), detail.end());
      return known;
    }
  } else if (first != kBootData) {
    return kUnknownCode;
  }
  // The n bytes and the checksum.
  std::vector<uint8_t> rest(static_cast<std::size_t>(length) + 1);
  if (ResultCode rc = Take(rest); rc != kOk) return rc;
  frame.insert(frame.end(), rest.begin(), rest.end());
  if (BootChecksum(frame) != 0) return kFlashFileNotSent;
  if (answer == nullptr) return kBufferTooSmall;
  answer->assign(rest.begin(), rest.end() - 1);
  return kOk;
}

}  // namespace zk::cmd
