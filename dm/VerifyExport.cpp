// DmVerifyFlash: compares the memory image with the flash on an own worker,
// reading through the command layer's single read (the comparison with the
// image is the check, so the read need not read everything twice).
#include "common/DmApi.h"
#include "common/Export.h"
#include "common/WorkerThread.h"
#include "dm/CommandLayer.h"
#include "dm/OwnWorker.h"
#include "dm/OwnWorkerSteps.h"
#include "dm/State.h"
#include "dm/Verifier.h"

namespace zk::dm {
namespace {

class CommandSource : public OwnWorkerSteps<VerifySource> {
 public:
  explicit CommandSource(cmm::ReadFlashOnceFn readOnce) : readOnce_(readOnce) {}

  ResultCode Read(uint32_t address, uint32_t length, uint8_t* out, uint32_t* received) override {
    ReadRequest request{address, length};
    ReadResult result{0, out};
    const ResultCode rc = readOnce_(&request, &result);
    *received = result.received;
    return rc;
  }
  ResultCode CheckSpan(uint32_t address, uint32_t length) override { return Guard(address, length); }

 private:
  cmm::ReadFlashOnceFn readOnce_;
};

ResultCode VerifyImage(uint32_t address, cmm::ReadFlashOnceFn readOnce, VerifyResult* out) {
  const MemoryImage& image = State().image;
  if (image.Empty()) return kFileNotFound;
  CommandSource source(readOnce);
  ResultCode rc = kOk;
  if (image.HasFlat()) {
    const FlatImage& flat = image.Flat();
    Verifier verifier(source, flat.length);
    rc = verifier.Compare(address, flat.buffer.get(), flat.length);
    *out = verifier.Result();
    return rc != kOk ? rc : verifier.Outcome();
  }
  const std::vector<ImageRun> runs = RunsOfPages(image.Pages().Pages(), address);
  uint64_t total = 0;
  for (const ImageRun& run : runs) total += run.bytes.size();
  Verifier verifier(source, total);
  for (const ImageRun& run : runs) {
    rc = verifier.Compare(run.address, run.bytes.data(), static_cast<uint32_t>(run.bytes.size()));
    if (rc != kOk) break;
  }
  *out = verifier.Result();
  return rc != kOk ? rc : verifier.Outcome();
}

}  // namespace
}  // namespace zk::dm

using namespace zk;

ZK_EXPORT uint32_t DmVerifyFlash(uint32_t address, VerifyResult* result, WorkerThreadInfo* threadInfo) {
  // The record is the running worker's until it ends.
  if (dm::AnyWorkerRunning()) return kWorkerRunning;
  if (result == nullptr) return kFailed;
  *result = VerifyResult{0, 0, kNoDifference};
  if (dm::State().readPermission == 0) return kNoAccess;
  // Found without the missing-function rule: a command layer without the
  // single read cannot verify, and the connection stays as it is.
  const auto readOnce = dm::Cmd().Find<cmm::ReadFlashOnceFn>("CmmReadFlashOnce");
  if (readOnce == nullptr) return kCmdDllError;
  return dm::StartOwnWorker([address, readOnce, result] { return dm::VerifyImage(address, readOnce, result); },
                            threadInfo);
}
