#include "link/BlockEncoder.h"

#include "common/ModuleCodes.h"

namespace zk::link {

uint8_t EncodeBlock(std::span<const uint8_t> data, BlockEnd end, std::vector<uint8_t>& out) {
  out.clear();
  out.reserve(data.size() + data.size() / 8 + 2);
  uint8_t bcc = 0;
  const auto put = [&](uint8_t byte) {
    out.push_back(byte);
    bcc ^= byte;
  };
  for (const uint8_t byte : data) {
    put(byte);
    if (byte == kDle) put(byte);
  }
  put(kDle);
  put(end == BlockEnd::Last ? kEtx : kEtb);
  return bcc;
}

}  // namespace zk::link
