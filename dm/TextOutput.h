#pragma once
// The output buffer of the writers of text image files: records are
// formatted in place and handed to the sink in large writes.
#include "dm/ByteStreams.h"
#include "dm/HexWriter.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace zk::dm {
namespace text_output {

using PairTable = std::array<std::array<char, 2>, 256>;

constexpr PairTable MakePairs() {
  constexpr char kDigits[] = "0123456789ABCDEF";
  PairTable table{};
  for (int i = 0; i < 256; ++i) table[i] = {kDigits[i >> 4], kDigits[i & 0xF]};
  return table;
}
inline constexpr PairTable kPairs = MakePairs();

}  // namespace text_output

class TextOutput {
 public:
  explicit TextOutput(ByteSink& sink);

  // Room for n characters at the pointer returned, handing the buffer over
  // first when it has less; null when that write failed. Commit says where
  // the characters ended.
  char* Reserve(std::size_t n);
  void Commit(const char* end) { used_ = static_cast<std::size_t>(end - Base()); }
  bool Text(std::string_view text);
  // Hands what is buffered to the sink; false when the write failed.
  bool Flush();

  // Writes value as two upper-case hex digits at p; the end of them.
  static char* PutByte(char* p, uint8_t value) {
    p[0] = text_output::kPairs[value][0];
    p[1] = text_output::kPairs[value][1];
    return p + 2;
  }

 private:
  char* Base() { return reinterpret_cast<char*>(buffer_.data()); }

  ByteSink& sink_;
  std::vector<uint8_t> buffer_;
  std::size_t used_ = 0;
};

// When a writer asks whether to stop: before the first record, then every
// kHexSaveStopInterval bytes of the image.
class StopChecks {
 public:
  StopChecks(const std::function<bool()>& stopRequested, uint32_t length)
      : stopRequested_(stopRequested), length_(length) {}

  // Whether a stop is asked for, done bytes of the image written.
  bool Asked(uint32_t done) {
    if (done < next_) return false;
    next_ = done + std::min(kHexSaveStopInterval, length_ - done);
    return stopRequested_ && stopRequested_();
  }

 private:
  const std::function<bool()>& stopRequested_;
  const uint32_t length_;
  uint32_t next_ = 0;
};

}  // namespace zk::dm
