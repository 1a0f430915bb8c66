// Erasing the whole chip, a range of sectors or a range of blocks.
#include "cmd/BankMap.h"
#include "cmd/EntryList.h"
#include "cmd/Progress.h"
#include "cmd/SectorStatus.h"
#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "common/CmmApi.h"
#include "common/Export.h"
#include "common/IniFileAccess.h"
#include "platform/Trace.h"

#include <optional>

namespace zk::cmd {
namespace {

struct EraseKind {
  Command command;
  bool mapBanks;
};

constexpr EraseKind kEraseSectors{Command::EraseSectors, true};
constexpr EraseKind kEraseBlocks{Command::EraseBlocks, false};

// Collects the list of sectors that failed, which the module announced with
// a status other than 0; the erase has failed whatever the list holds, and
// succeeded if a continuation says there is none after all.
WorkerEnd CollectFailedSectors(Session& session, const EraseKind& kind, SectorList* list) {
  const std::size_t count = answer::Count(session.buffer);
  const ListPages pages =
      CollectList(session, RowOf(kind.command).paging, count, [&session](std::size_t done, std::size_t wanted) {
        if (StopRequested()) return true;
        session.worker.SetProgress(progress::kEraseFailedList.At(done, wanted));
        return false;
      });
  switch (pages.end) {
    case ListEnd::Stopped: return WorkerEnd::Stopped();
    case ListEnd::Failed: return WorkerEnd::Done(pages.code);
    case ListEnd::EndedEarly: return WorkerEnd::Done(kOk);
    case ListEnd::Complete: break;
  }
  if (list != nullptr && !HandOutErased(session.handouts, pages.bytes, count, *list)) return WorkerEnd::Done(kFailed);
  return WorkerEnd::Done(kFailed);
}

// One erase command and, when the module announces failed sectors, their
// list.
WorkerEnd EraseOnce(Session& session, const EraseKind& kind, const RangeRequest& range, SectorList* list) {
  OperationWorker& worker = session.worker;
  const Request request = request::Range(session.buffer, kind.command, range.start, range.end, range.third);
  worker.SetProgress(progress::kEraseRequestBuilt);
  const ExchangeEnd end =
      ExchangeOrLateAnswer(session, request, [&worker] { worker.SetProgress(progress::kEraseRequestSent); });
  worker.SetProgress(progress::kEraseAnswered);
  if (end != ExchangeEnd::Answered) return WorkerEnd::Done(ExchangeFailure(session, end));
  if (ResultCode rc = JudgeAnswer(session, kind.command); rc != kOk) return WorkerEnd::Done(rc);

  if (answer::Status(session.buffer) == 0) return WorkerEnd::Done(kOk);
  return CollectFailedSectors(session, kind, list);
}

WorkerEnd EraseRange(Session& session, const EraseKind& kind, std::optional<RangeRequest> range, SectorList* list) {
  session.worker.SetProgress(progress::kStarted);
  ClearList(list);
  if (!range) return WorkerEnd::Done(kFailed);

  if (kind.mapBanks) {
    uint32_t end = range->end;
    if (MapToBank(session, session.ModulePath(), range->start, end) == BankOutcome::NotInFlash) {
      return WorkerEnd::Done(kInvalidSector);
    }
    range->end = end;
  }

  LineRepeats repeats(session);
  for (;;) {
    const WorkerEnd erased = EraseOnce(session, kind, *range, list);
    if (!kind.mapBanks || !repeats.Again(erased.code())) return erased;
    // The module may have erased the range or not: an erase goes again only
    // where the sector status says the range still holds data.
    ResultCode asked = kOk;
    const std::optional<bool> blank = RangeBlank(session, range->start, range->end, asked);
    if (StopRequested()) return WorkerEnd::Stopped();
    if (!blank) return erased;
    if (*blank) return WorkerEnd::Done(kOk);
    if (trace::Enabled()) {
      trace::Line("cmd erase of 0x%08X..0x%08X sent again after result %u: the range is not blank", range->start,
                  range->end, static_cast<unsigned>(erased.code()));
    }
    ClearList(list);
  }
}

ResultCode StartErase(Session& session, const EraseKind& kind, RangeRequest* range, SectorList* list,
                      WorkerThreadInfo* threadInfo) {
  // The worker erases a copy; the caller's record learns the clipped end
  // at once.
  return session.worker.Start([&session, &kind, copy = WorkerCopy(session.ModulePath(), range, kind.mapBanks),
                               list](ThreadId) { return EraseRange(session, kind, copy, list); },
                              threadInfo);
}

// Entries that fit one answer behind its header.
constexpr std::size_t kMaxChipListEntries = (kCommandBufferSize - answer::kFirstListEntries) / kWireEntrySize;

}  // namespace
}  // namespace zk::cmd

using namespace zk;
using cmd::Command;

ZK_EXPORT uint32_t CmmEraseChip(SectorList* list) {
  cmd::ClearList(list);
  cmd::Session& session = cmd::CurrentSession();
  const IniFileAccess access(session.ModulePath());
  if (session.settings.protectedAreasEnabled == 0 && access.NumberOfProtectedAreas() != 0) return kProtectedBySoftware;

  const cmd::CommandBufferBytes& buffer = session.buffer;
  if (ResultCode rc = cmd::RunTransaction(session, cmd::request::CodeOnly(session.buffer, Command::EraseChip));
      rc != kOk) {
    return rc;
  }
  if (cmd::answer::Status(buffer) == 0) return kOk;

  const std::size_t count = cmd::answer::Count(buffer);
  if (count > cmd::kMaxChipListEntries) return kReceiveTimeout;
  if (!cmd::AnswerCarries(session, cmd::answer::kFirstListEntries + count * cmd::kWireEntrySize)) return kShortAnswer;
  if (list != nullptr) {
    const std::span<const uint8_t> wire(buffer.data() + cmd::answer::kFirstListEntries, count * cmd::kWireEntrySize);
    if (!cmd::HandOutErased(session.handouts, wire, count, *list)) return kFailed;
  }
  return kInvalidSector;
}

ZK_EXPORT uint32_t CmmEraseSectors(RangeRequest* range, SectorList* list, WorkerThreadInfo* threadInfo) {
  return cmd::StartErase(cmd::CurrentSession(), cmd::kEraseSectors, range, list, threadInfo);
}

ZK_EXPORT uint32_t CmmEraseBlocks(RangeRequest* range, SectorList* list, WorkerThreadInfo* threadInfo) {
  return cmd::StartErase(cmd::CurrentSession(), cmd::kEraseBlocks, range, list, threadInfo);
}
