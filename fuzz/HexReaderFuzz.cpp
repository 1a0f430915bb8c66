// The Intel HEX reader on arbitrary text: the progress it reports never
// goes back nor past the input, and a complete load passes the page checks
// (fuzz/PageChecks.h) with the HEX writer.
#include "dm/HexReader.h"
#include "dm/HexWriter.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/PageChecks.h"

using namespace zk::dm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
  uint64_t lastProgress = 0;
  HexReadHooks hooks;
  hooks.progress = [&](uint64_t consumed) {
    ZK_FUZZ_CHECK(consumed >= lastProgress && consumed <= size);
    lastProgress = consumed;
  };
  const HexReadResult result = ReadHex(source, hooks);
  if (result.outcome != HexLoad::Complete) {
    ZK_FUZZ_CHECK(result.pages.Empty());
    return 0;
  }
  zk::fuzz::CheckPages(result.pages);
  zk::fuzz::CheckRoundTrip(result.pages, ReadHex, WriteHex);
  return 0;
}
