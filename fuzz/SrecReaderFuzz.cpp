// The S-record reader on arbitrary text: a failed load names a line, and a
// complete load passes the page checks (fuzz/PageChecks.h) with the
// S-record writer.
#include "dm/SrecReader.h"
#include "dm/SrecWriter.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/PageChecks.h"

using namespace zk::dm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
  const HexReadResult result = ReadSrec(source, {});
  if (result.outcome != HexLoad::Complete) {
    ZK_FUZZ_CHECK(result.pages.Empty() && result.line >= 1);
    return 0;
  }
  zk::fuzz::CheckPages(result.pages);
  zk::fuzz::CheckRoundTrip(result.pages, ReadSrec, WriteSrec);
  return 0;
}
