// DmProgFlash: programs the memory image on an own worker.
#include "common/DmApi.h"
#include "common/Export.h"
#include "common/WorkerThread.h"
#include "dm/CommandLayer.h"
#include "dm/OwnWorker.h"
#include "dm/OwnWorkerSteps.h"
#include "dm/Programmer.h"
#include "dm/ReadOutcome.h"
#include "dm/State.h"

namespace zk::dm {
namespace {

// The target that programs through the command layer: each request is one
// CmmProgFlash.
class CommandLayerTarget : public OwnWorkerSteps<ProgramTarget> {
 public:
  explicit CommandLayerTarget(cmm::ProgFlashFn progFlash) : progFlash_(progFlash) {}

  ResultCode Program(uint32_t address, const uint8_t* data, uint16_t length) override {
    ProgRequest request{address, length, data};
    return progFlash_(&request);
  }
  ResultCode CheckChunk(uint32_t address, uint32_t length) override { return Guard(address, length); }

 private:
  cmm::ProgFlashFn progFlash_;
};

// Every page is checked before the first is sent, so that a refused image
// leaves the flash untouched. Pages programmed in blocks are checked with
// the whole blocks that carry them.
ResultCode CheckPages(std::span<const Page> pages, uint32_t offset, CommandLayerTarget& target) {
  for (const Page& page : pages) {
    uint64_t start = uint32_t{page.address + offset};
    uint64_t end = start + page.length;  // one past the last byte
    if (start >= kBlockBoundary && page.length > 0) {
      start &= ~uint64_t{kBlockSize - 1};
      end = (end + kBlockSize - 1) & ~uint64_t{kBlockSize - 1};
    }
    if (const ResultCode refused = target.CheckChunk(static_cast<uint32_t>(start), static_cast<uint32_t>(end - start));
        refused != kOk) {
      return refused;
    }
  }
  return kOk;
}

ResultCode ProgramImage(uint32_t address) {
  const auto progFlash = Cmd().Require<cmm::ProgFlashFn>("CmmProgFlash");
  if (progFlash == nullptr) return kCmdDllError;
  const MemoryImage& image = State().image;
  if (image.Empty()) return kFileNotFound;
  CommandLayerTarget target(progFlash);
  if (image.HasFlat()) {
    const FlatImage& flat = image.Flat();
    return ProgramFlat(flat.buffer.get(), flat.length, address, target);
  }
  if (const ResultCode refused = CheckPages(image.Pages().Pages(), address, target); refused != kOk) return refused;
  const ResultCode rc = ProgramPages(image.Pages().Pages(), address, target);
  if (rc != kOk) return rc;
  if (const auto statusByte = Cmd().Find<ProgStatusByteFn>("CmmProgStatusByte")) statusByte(0);
  return kOk;
}

}  // namespace
}  // namespace zk::dm

using namespace zk;

ZK_EXPORT uint32_t DmProgFlash(uint32_t address, WorkerThreadInfo* threadInfo) {
  dm::SettleRead();
  return dm::StartOwnWorker([address] { return dm::ProgramImage(address); }, threadInfo);
}
