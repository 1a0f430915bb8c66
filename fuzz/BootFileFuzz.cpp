// The boot and flash file record walker on arbitrary bytes: every record it
// hands out lies inside the file, and a file the simulator's own reader
// accepts is walked to the same records.
#include "cmd/BootFile.h"
#include "fuzz/FuzzInput.h"
#include "modsim/BootRecords.h"

#include <algorithm>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::span<const uint8_t> file(data, size);
  const auto records = zk::cmd::ParseBootFile(file);
  if (records) {
    for (const zk::cmd::MemoryRecord& record : *records) {
      ZK_FUZZ_CHECK(record.address <= 0xFFFFFF);
      ZK_FUZZ_CHECK(record.data.empty() ||
                    (record.data.data() >= data && record.data.data() + record.data.size() <= data + size));
    }
  }

  std::string why;
  const auto simulated = zk::modsim::ParseRecordFile(file, &why);
  if (simulated) {
    ZK_FUZZ_CHECK(records.has_value());
    ZK_FUZZ_CHECK(records->size() == simulated->records.size());
    for (std::size_t i = 0; i < records->size(); ++i) {
      const auto& ours = (*records)[i];
      const auto& theirs = simulated->records[i];
      ZK_FUZZ_CHECK(ours.address == theirs.address);
      ZK_FUZZ_CHECK(std::equal(ours.data.begin(), ours.data.end(), theirs.data.begin(), theirs.data.end()));
    }
  }
  return 0;
}
