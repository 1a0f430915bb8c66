// The ELF reader on arbitrary bytes: it must never read outside the file,
// and a complete load must hand out pages in ascending address order that
// end within 4 GB and whose lengths add up to the byte count, at most the
// file's size.
#include "dm/ElfReader.h"
#include "fuzz/FuzzInput.h"

#include <algorithm>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace zk::dm;
  // An exact copy, so that ASan sees a read one past the end.
  const std::unique_ptr<uint8_t[]> file = std::make_unique<uint8_t[]>(size == 0 ? 1 : size);
  std::copy(data, data + size, file.get());
  const ElfReadResult result = ReadElf({file.get(), size});
  if (result.outcome != ElfLoad::Complete) {
    ZK_FUZZ_CHECK(result.pages.Empty());
    return 0;
  }
  ZK_FUZZ_CHECK(!result.pages.Empty());
  uint64_t bytes = 0;
  uint32_t previous = 0;
  for (const Page& p : result.pages.Pages()) {
    ZK_FUZZ_CHECK(p.address >= previous && uint64_t{p.address} + p.length <= (uint64_t{1} << 32));
    previous = p.address;
    bytes += p.length;
    volatile uint8_t sink = 0;
    for (uint8_t i = 0; i < p.length; ++i) sink = static_cast<uint8_t>(sink + p.data[i]);
  }
  ZK_FUZZ_CHECK(bytes == result.pages.ByteCount() && bytes <= size);
  return 0;
}
