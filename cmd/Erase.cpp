// Erasing the whole chip, a range of sectors or a range of blocks.
#include "cmd/BankMap.h"
#include "cmd/CommandBuffer.h"
#include "cmd/EntryList.h"
#include "cmd/Session.h"
#include "cmd/Settings.h"
#include "cmd/Transaction.h"
#include "cmd/Worker.h"
#include "common/CmmApi.h"
#include "common/Export.h"
#include "common/IniFileAccess.h"

#include <algorithm>

namespace zk::cmd {
namespace {

// Entry bytes taken from the first answer (from byte 4) and from each
// continuation (from byte 2).
constexpr std::size_t kFirstAnswerEntryOffset = 4;
constexpr std::size_t kFirstAnswerEntryBytes = 252;
constexpr std::size_t kNextAnswerEntryOffset = 2;
constexpr std::size_t kNextAnswerEntryBytes = 254;

struct EraseKind {
  Command command;
  Command next;
  bool mapBanks;
};

constexpr EraseKind kEraseSectors{Command::EraseSectors, Command::EraseSectorsNext, true};
constexpr EraseKind kEraseBlocks{Command::EraseBlocks, Command::EraseBlocksNext, false};

// Collects the list the module announced with status other than 0, asking
// for continuations until 5 bytes per entry have arrived.
WorkerEnd CollectFailedSectors(const EraseKind& kind, SectorList* list) {
  CommandBufferBytes& buffer = CommandBuffer();
  const std::size_t count = buffer.U16(2);
  const std::size_t wanted = count * kWireEntrySize;
  std::vector<uint8_t> bytes;
  bytes.reserve(wanted);
  bool first = true;
  while (bytes.size() < wanted) {
    if (StopRequested()) return WorkerEnd::Stopped();
    SetProgress(70 + static_cast<uint32_t>(30 * bytes.size() / wanted));
    if (!first) {
      buffer[0] = Code(kind.next);
      if (ResultCode rc = RunTransaction(kind.next, kRangeCommandLength); rc != kOk)
        return WorkerEnd::Done(rc);
      if (buffer.Byte(1) == 0) return WorkerEnd::Done(kOk);
    }
    const std::size_t offset = first ? kFirstAnswerEntryOffset : kNextAnswerEntryOffset;
    const std::size_t limit = first ? kFirstAnswerEntryBytes : kNextAnswerEntryBytes;
    CollectEntryBytes(bytes, offset, limit, wanted - bytes.size());
    first = false;
  }
  if (list != nullptr && !HandOutErased(bytes, count, *list)) return WorkerEnd::Done(kFailed);
  return WorkerEnd::Done(kFailed);
}

WorkerEnd EraseRange(const EraseKind& kind, const ArgBlock& args) {
  auto* range = reinterpret_cast<RangeRequest*>(args.first);
  auto* list = reinterpret_cast<SectorList*>(args.second);
  SetProgress(10);
  ClearList(list);
  if (range == nullptr) return WorkerEnd::Done(kFailed);

  if (kind.mapBanks) {
    uint32_t end = range->end;
    if (MapToBank(CurrentSession().ModulePath(), range->start, end) == BankOutcome::NotInFlash)
      return WorkerEnd::Done(kInvalidSector);
    range->end = end;
  }

  CommandBufferBytes& buffer = CommandBuffer();
  buffer[0] = Code(kind.command);
  buffer.PutU32(1, range->start);
  buffer.PutU32(5, range->end);
  buffer.PutU32(9, range->third);
  SetProgress(20);
  const ExchangeEnd end =
      Exchange(kind.command, kRangeCommandLength, [] { SetProgress(40); });
  SetProgress(60);
  if (end != ExchangeEnd::Answered) return WorkerEnd::Done(ExchangeFailure(end));
  if (ResultCode rc = JudgeAnswer(kind.command); rc != kOk) return WorkerEnd::Done(rc);

  if (buffer.Byte(1) == 0) return WorkerEnd::Done(kOk);
  return CollectFailedSectors(kind, list);
}

WorkerEnd EraseSectorsRoutine(const ArgBlock& args) { return EraseRange(kEraseSectors, args); }
WorkerEnd EraseBlocksRoutine(const ArgBlock& args) { return EraseRange(kEraseBlocks, args); }

WorkerSlot g_eraseSectorsSlot{&EraseSectorsRoutine, {}};
WorkerSlot g_eraseBlocksSlot{&EraseBlocksRoutine, {}};

// Entries that fit one answer after its 4 header bytes.
constexpr std::size_t kMaxChipListEntries =
    (kCommandBufferSize - kFirstAnswerEntryOffset) / kWireEntrySize;

}  // namespace
}  // namespace zk::cmd

using namespace zk;
using cmd::Command;

ZK_EXPORT uint32_t CmmEraseChip(SectorList* list) {
  cmd::ClearList(list);
  const IniFileAccess access(cmd::CurrentSession().ModulePath());
  if (cmd::CurrentSettings().protectedAreasEnabled == 0 && access.NumberOfProtectedAreas() != 0)
    return kProtectedBySoftware;

  cmd::CommandBufferBytes& buffer = cmd::CommandBuffer();
  buffer[0] = cmd::Code(Command::EraseChip);
  if (ResultCode rc = cmd::RunTransaction(Command::EraseChip, cmd::kEraseChipLength); rc != kOk)
    return rc;
  if (buffer.Byte(1) == 0) return kOk;

  const std::size_t count = buffer.U16(2);
  if (count > cmd::kMaxChipListEntries) return kReceiveTimeout;
  if (list != nullptr) {
    const std::span<const uint8_t> wire(buffer.data() + cmd::kFirstAnswerEntryOffset,
                                        count * cmd::kWireEntrySize);
    if (!cmd::HandOutErased(wire, count, *list)) return kFailed;
  }
  return kInvalidSector;
}

ZK_EXPORT uint32_t CmmEraseSectors(RangeRequest* range, SectorList* list,
                                   WorkerThreadInfo* threadInfo) {
  return cmd::StartWorker(cmd::g_eraseSectorsSlot, reinterpret_cast<uintptr_t>(range),
                          reinterpret_cast<uintptr_t>(list), threadInfo);
}

ZK_EXPORT uint32_t CmmEraseBlocks(RangeRequest* range, SectorList* list,
                                  WorkerThreadInfo* threadInfo) {
  return cmd::StartWorker(cmd::g_eraseBlocksSlot, reinterpret_cast<uintptr_t>(range),
                          reinterpret_cast<uintptr_t>(list), threadInfo);
}
