// The S-record reader on arbitrary text. A complete load must hand out
// pages in ascending address order whose lengths add up to the byte count;
// an image written by the S-record writer must read back byte for byte.
#include "dm/ByteStreams.h"
#include "dm/SrecReader.h"
#include "dm/SrecWriter.h"
#include "fuzz/FuzzInput.h"

#include <cstring>
#include <vector>

namespace {

using namespace zk::dm;

// The longest span of pages that is laid out flat for the round trip.
constexpr uint64_t kFlatLimit = 64 * 1024;
constexpr uint8_t kGap = 0xFF;

bool Flatten(const PageImage& image, std::vector<uint8_t>& flat, uint32_t& base) {
  const auto pages = image.Pages();
  if (pages.empty()) return false;
  base = pages.front().address;
  uint64_t end = base;
  for (const Page& p : pages) end = std::max<uint64_t>(end, uint64_t{p.address} + p.length);
  if (end == base || end - base > kFlatLimit || end > (uint64_t{1} << 32)) return false;
  flat.assign(static_cast<std::size_t>(end - base), kGap);
  for (const Page& p : pages) std::memcpy(flat.data() + (p.address - base), p.data, p.length);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
  const HexReadResult result = ReadSrec(source, {});
  if (result.outcome != HexLoad::Complete) {
    ZK_FUZZ_CHECK(result.pages.Empty() && result.line >= 1);
    return 0;
  }
  uint64_t bytes = 0;
  uint32_t previous = 0;
  for (const Page& p : result.pages.Pages()) {
    ZK_FUZZ_CHECK(p.address >= previous);
    previous = p.address;
    bytes += p.length;
    volatile uint8_t sink = 0;
    for (uint8_t i = 0; i < p.length; ++i) sink = static_cast<uint8_t>(sink + p.data[i]);
  }
  ZK_FUZZ_CHECK(bytes == result.pages.ByteCount());

  std::vector<uint8_t> flat;
  uint32_t base = 0;
  if (!Flatten(result.pages, flat, base)) return 0;
  MemorySink sink;
  ZK_FUZZ_CHECK(WriteSrec(flat.data(), static_cast<uint32_t>(flat.size()), base, sink, {}) == HexSave::Done);
  MemorySource again(sink.bytes);
  const HexReadResult reread = ReadSrec(again, {});
  ZK_FUZZ_CHECK(reread.outcome == HexLoad::Complete);
  std::vector<uint8_t> flatAgain;
  uint32_t baseAgain = 0;
  ZK_FUZZ_CHECK(Flatten(reread.pages, flatAgain, baseAgain));
  ZK_FUZZ_CHECK(baseAgain == base && flatAgain == flat);
  return 0;
}
