#include "fuzz/PageChecks.h"

#include "fuzz/FuzzInput.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zk::fuzz {
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

void CheckPages(const PageImage& image) {
  uint64_t bytes = 0;
  uint32_t previous = 0;
  for (const Page& p : image.Pages()) {
    ZK_FUZZ_CHECK(p.address >= previous);
    previous = p.address;
    bytes += p.length;
    // Reading every byte lets ASan see a page that points outside its arena.
    volatile uint8_t sink = 0;
    for (uint8_t i = 0; i < p.length; ++i) sink = static_cast<uint8_t>(sink + p.data[i]);
  }
  ZK_FUZZ_CHECK(bytes == image.ByteCount());
  ZK_FUZZ_CHECK(image.PageCount() == image.Pages().size());
}

void CheckRoundTrip(const PageImage& image, PageReader read, PageWriter write) {
  std::vector<uint8_t> flat;
  uint32_t base = 0;
  if (!Flatten(image, flat, base)) return;
  MemorySink sink;
  ZK_FUZZ_CHECK(write(flat.data(), static_cast<uint32_t>(flat.size()), base, sink, {}) == HexSave::Done);
  MemorySource again(sink.bytes);
  const HexReadResult reread = read(again, {});
  ZK_FUZZ_CHECK(reread.outcome == HexLoad::Complete);
  std::vector<uint8_t> flatAgain;
  uint32_t baseAgain = 0;
  ZK_FUZZ_CHECK(Flatten(reread.pages, flatAgain, baseAgain));
  ZK_FUZZ_CHECK(baseAgain == base);
  ZK_FUZZ_CHECK(flatAgain == flat);
}

}  // namespace zk::fuzz
