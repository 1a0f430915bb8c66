// The blank/used status of the sectors of a range, one entry per step,
// with the steps inside non-access areas reported as unknown (35).
#include "cmd/SectorStatus.h"

#include "cmd/BankMap.h"
#include "cmd/EntryList.h"
#include "cmd/NonAccessAreas.h"
#include "cmd/Progress.h"
#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "common/CmmApi.h"
#include "common/Export.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace zk::cmd {
namespace {

constexpr uint8_t kStatusBlank = 34;
constexpr uint8_t kStatusUnknown = 35;

using WireEntry = std::array<uint8_t, kWireEntrySize>;

WireEntry MakeEntry(uint32_t address, uint8_t status) {
  return {static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address >> 16),
          static_cast<uint8_t>(address >> 24), status};
}

// Walks the range step by step from its start, so that the list holds one
// entry per step whatever the non-access areas: a step inside the areas is
// unknown (35), a run of steps clear of them is asked for in one request,
// and a step the areas cut is asked for piece by piece and gets one entry.
class StatusCollector {
 public:
  StatusCollector(Session& session, std::optional<RangeRequest> request, SectorList* list, ThreadId caller)
      : session_(session), request_(request), list_(list), caller_(caller) {}

  WorkerEnd Run();
  // Every step of the range asked for; nullopt when the walk went through,
  // else how the worker ends.
  std::optional<WorkerEnd> Walk();
  const std::vector<uint8_t>& Wire() const { return wire_; }

 private:
  bool Append(const WireEntry& entry) {
    if (Entries() >= kMaxListEntries) return false;
    wire_.insert(wire_.end(), entry.begin(), entry.end());
    return true;
  }
  // One 0x03 request for [first, last] with step and its continuations; the
  // entries go to bytes. nullopt when the range goes on (listEnded: the
  // module ended the list early, bytes hold the whole entries that came),
  // else how the worker ends.
  std::optional<WorkerEnd> Query(uint32_t first, uint32_t last, uint32_t step, std::vector<uint8_t>& bytes,
                                 bool& listEnded);
  // The steps from stepFirst that no area touches, up to the range end.
  std::optional<WorkerEnd> QueryClearRun(uint32_t stepFirst, uint32_t& runLast, bool& listEnded);
  // The step at stepFirst, cut by the areas into pieces.
  std::optional<WorkerEnd> QueryCutStep(uint32_t stepFirst, const std::vector<AddressArea>& pieces, bool& listEnded);
  WorkerEnd Fail(ResultCode code) {
    if (caller_ != kNoCaller) PostWorkerEnd(caller_, code);
    return WorkerEnd::Done(code);
  }
  WorkerEnd Finish();
  std::size_t Entries() const { return wire_.size() / kWireEntrySize; }

  Session& session_;
  std::optional<RangeRequest> request_;  // the caller's, copied when the worker started
  SectorList* list_;
  ThreadId caller_;
  std::vector<AddressArea> areas_;
  std::vector<uint8_t> wire_;
};

std::optional<WorkerEnd> StatusCollector::Query(uint32_t first, uint32_t last, uint32_t step,
                                                std::vector<uint8_t>& bytes, bool& listEnded) {
  CommandBufferBytes& buffer = session_.buffer;
  // The query changes nothing on the module: after a line failure in its
  // answer or any continuation it is asked again from its start.
  ListPages pages;
  LineRepeats repeats(session_);
  for (;;) {
    if (ResultCode rc = RunWithLateAnswer(session_, request::Range(buffer, Command::SectorStatus, first, last, step));
        rc != kOk) {
      if (repeats.Again(rc)) continue;
      return Fail(rc);
    }

    // A module may claim no more entries than steps in the range (and one
    // for a step cut short), nor more than a list can hold.
    const std::size_t count = answer::Count(buffer);
    const uint64_t steps = (uint64_t{last} - first) / step + 2;
    if (count > steps || Entries() + count > kMaxListEntries) return Fail(kReceiveTimeout);

    pages = CollectList(session_, RowOf(Command::SectorStatus).paging, count,
                        [](std::size_t, std::size_t) { return StopRequested(); });
    if (pages.end != ListEnd::Failed || !repeats.Again(pages.code)) break;
  }
  switch (pages.end) {
    case ListEnd::Stopped: return WorkerEnd::Stopped();
    case ListEnd::Failed: return Fail(pages.code);
    case ListEnd::EndedEarly:
      listEnded = true;  // the entries that came before the end stay in the list
      break;
    case ListEnd::Complete: break;
  }
  bytes = std::move(pages.bytes);
  return std::nullopt;
}

std::optional<WorkerEnd> StatusCollector::QueryClearRun(uint32_t stepFirst, uint32_t& runLast, bool& listEnded) {
  const uint32_t step = request_->third;
  runLast = request_->end;
  // The run ends before the step that holds the first byte of an area.
  if (const std::optional<uint32_t> hit = FirstAreaByte(areas_, stepFirst, runLast)) {
    runLast = static_cast<uint32_t>(stepFirst + uint64_t{(*hit - stepFirst) / step} * step - 1);
  }
  std::vector<uint8_t> bytes;
  if (std::optional<WorkerEnd> done = Query(stepFirst, runLast, step, bytes, listEnded)) return done;
  wire_.insert(wire_.end(), bytes.begin(), bytes.end());
  return std::nullopt;
}

std::optional<WorkerEnd> StatusCollector::QueryCutStep(uint32_t stepFirst, const std::vector<AddressArea>& pieces,
                                                       bool& listEnded) {
  // Blank only when no piece reported anything else; unknown when none
  // reported at all.
  std::optional<uint8_t> status;
  for (const AddressArea& piece : pieces) {
    std::vector<uint8_t> bytes;
    if (std::optional<WorkerEnd> done = Query(piece.start, piece.end, piece.end - piece.start + 1, bytes, listEnded)) {
      return done;
    }
    if (bytes.size() >= kWireEntrySize && (!status || *status == kStatusBlank)) status = bytes[4];
    if (listEnded) break;
  }
  if (!Append(MakeEntry(stepFirst, status.value_or(kStatusUnknown)))) return Fail(kReceiveTimeout);
  return std::nullopt;
}

WorkerEnd StatusCollector::Finish() {
  if (list_ != nullptr && !HandOutStatus(session_.handouts, wire_, Entries(), *list_)) return Fail(kFailed);
  session_.worker.SetProgress(progress::kDone);
  PostWorkerEnd(caller_, kOk);
  return WorkerEnd::Done(kOk);
}

WorkerEnd StatusCollector::Run() {
  session_.worker.SetProgress(progress::kStarted);
  ClearList(list_);
  if (std::optional<WorkerEnd> failed = Walk()) return *failed;
  return Finish();
}

std::optional<WorkerEnd> StatusCollector::Walk() {
  if (!request_) return WorkerEnd::Done(kFailed);
  const std::string modulePath = session_.ModulePath();
  uint32_t mappedEnd = request_->end;
  if (MapToBank(session_, modulePath, request_->start, mappedEnd) == BankOutcome::NotInFlash) {
    return WorkerEnd::Done(kInvalidSector);
  }
  request_->end = mappedEnd;
  if (request_->third == 0 || request_->end < request_->start) return Fail(kInvalidSector);

  areas_ = ReadNonAccessAreas(modulePath);
  const uint32_t rangeStart = request_->start;
  const uint32_t rangeEnd = request_->end;
  const uint64_t step = request_->third;
  const uint64_t rangeLength = uint64_t{rangeEnd} - rangeStart + 1;
  uint64_t cur = rangeStart;
  while (cur <= rangeEnd) {
    if (StopRequested()) return WorkerEnd::Stopped();
    const auto stepFirst = static_cast<uint32_t>(cur);
    const auto stepLast = static_cast<uint32_t>(std::min<uint64_t>(cur + step - 1, rangeEnd));
    const std::vector<AddressArea> pieces = OpenPieces(areas_, stepFirst, stepLast);
    bool listEnded = false;
    if (pieces.empty()) {
      if (!Append(MakeEntry(stepFirst, kStatusUnknown))) return Fail(kReceiveTimeout);
      cur += step;
    } else if (pieces.size() == 1 && pieces[0].start == stepFirst && pieces[0].end == stepLast) {
      uint32_t runLast = stepLast;
      if (std::optional<WorkerEnd> done = QueryClearRun(stepFirst, runLast, listEnded)) return *done;
      cur = uint64_t{runLast} + 1;
    } else {
      if (std::optional<WorkerEnd> done = QueryCutStep(stepFirst, pieces, listEnded)) return *done;
      cur += step;
    }
    if (listEnded) break;
    const uint64_t done = std::min<uint64_t>(cur, rangeEnd) - rangeStart;
    if (caller_ != kNoCaller) session_.worker.SetProgress(progress::kStatusWalk.At(done, rangeLength));
  }
  return std::nullopt;
}

}  // namespace

std::optional<bool> RangeBlank(Session& session, uint32_t start, uint32_t end, ResultCode& code) {
  const uint32_t step = end - start == 0xFFFFFFFFu ? 0xFFFFFFFFu : end - start + 1;
  StatusCollector collector(session, RangeRequest{start, end, step}, nullptr, kNoCaller);
  if (const std::optional<WorkerEnd> failed = collector.Walk()) {
    code = failed->code();
    return std::nullopt;
  }
  const std::vector<uint8_t>& wire = collector.Wire();
  for (std::size_t at = kWireEntrySize - 1; at < wire.size(); at += kWireEntrySize) {
    if (wire[at] != kStatusBlank && wire[at] != kStatusUnknown) return false;
  }
  return true;
}
}  // namespace zk::cmd

using namespace zk;

ZK_EXPORT uint32_t CmmGetSectorStatus(RangeRequest* range, SectorList* list, WorkerThreadInfo* threadInfo) {
  cmd::Session& session = cmd::CurrentSession();
  return session.worker.Start([&session, copy = cmd::WorkerCopy(session.ModulePath(), range, true), list](
                                  ThreadId caller) { return cmd::StatusCollector(session, copy, list, caller).Run(); },
                              threadInfo);
}
