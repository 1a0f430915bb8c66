// The blank/used status of the sectors of a range, one entry per step,
// with the parts inside non-access areas reported as unknown (35).
#include "cmd/BankMap.h"
#include "cmd/CommandBuffer.h"
#include "cmd/EntryList.h"
#include "cmd/NonAccessAreas.h"
#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "cmd/Worker.h"
#include "common/CmmApi.h"
#include "common/Export.h"

#include <algorithm>
#include <array>
#include <optional>

namespace zk::cmd {
namespace {

constexpr std::size_t kFirstEntryOffset = 4;
constexpr std::size_t kFirstEntryBytes = 251;
constexpr std::size_t kNextEntryOffset = 2;
constexpr std::size_t kNextEntryBytes = 253;
constexpr uint8_t kStatusBlank = 34;
constexpr uint8_t kStatusUnknown = 35;

using WireEntry = std::array<uint8_t, kWireEntrySize>;

class StatusCollector {
 public:
  explicit StatusCollector(const ArgBlock& args) : args_(args) {}

  WorkerEnd Run();

 private:
  // Appends count entries of status 35 numbered by their position.
  bool AppendUnknown(uint64_t count);
  void Append(const WireEntry& entry) { wire_.insert(wire_.end(), entry.begin(), entry.end()); }
  // One 0x03 request for [cur, end] with step and its continuations;
  // nullopt when the range goes on, else how the worker ends.
  std::optional<WorkerEnd> Query(uint32_t cur, uint32_t end, uint32_t step, bool partialStep);
  WorkerEnd Fail(ResultCode code) {
    PostWorkerEnd(args_, code);
    return WorkerEnd::Done(code);
  }
  WorkerEnd Finish();
  std::size_t Entries() const { return wire_.size() / kWireEntrySize; }

  const ArgBlock& args_;
  RangeRequest* request_ = nullptr;
  SectorList* list_ = nullptr;
  std::vector<uint8_t> wire_;
  std::optional<WireEntry> held_;
  uint8_t remembered_ = kStatusBlank;
};

bool StatusCollector::AppendUnknown(uint64_t count) {
  if (Entries() + count > kMaxListEntries) return false;
  for (uint64_t i = 0; i < count; ++i) {
    const auto number = static_cast<uint32_t>(Entries());
    Append({static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
            static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24), kStatusUnknown});
  }
  return true;
}

std::optional<WorkerEnd> StatusCollector::Query(uint32_t cur, uint32_t end, uint32_t step,
                                                bool partialStep) {
  CommandBufferBytes& buffer = CommandBuffer();
  buffer[0] = Code(Command::SectorStatus);
  buffer.PutU32(1, cur);
  buffer.PutU32(5, end);
  buffer.PutU32(9, step);
  if (ResultCode rc = RunTransaction(Command::SectorStatus, kRangeCommandLength); rc != kOk)
    return Fail(rc);

  // A module may claim no more entries than steps in the range (and one for
  // a step cut short), nor more than a list can hold.
  const std::size_t count = buffer.U16(2);
  const uint64_t steps = (uint64_t{end} - cur) / step + 2;
  if (count > steps || Entries() + count > kMaxListEntries) return Fail(kReceiveTimeout);

  const std::size_t wanted = count * kWireEntrySize;
  std::vector<uint8_t> bytes;
  bytes.reserve(wanted);
  bool first = true;
  while (bytes.size() < wanted) {
    if (StopRequested()) return WorkerEnd::Stopped();
    if (!first) {
      buffer[0] = Code(Command::SectorStatusNext);
      if (ResultCode rc = RunTransaction(Command::SectorStatusNext, kRangeCommandLength); rc != kOk)
        return Fail(rc);
      if (buffer.Byte(1) == 0) return Finish();
    }
    CollectEntryBytes(bytes, first ? kFirstEntryOffset : kNextEntryOffset,
                      first ? kFirstEntryBytes : kNextEntryBytes, wanted - bytes.size());
    first = false;
  }
  if (count == 0) return std::nullopt;

  // A sub-range that the trimming cut short of whole steps: its first entry
  // stands for a piece of a step, and the pieces of one step make one entry,
  // blank only when no piece reported anything else.
  std::size_t from = 0;
  if (partialStep) {
    WireEntry firstEntry;
    std::copy_n(bytes.begin(), kWireEntrySize, firstEntry.begin());
    if (firstEntry[4] != kStatusBlank) remembered_ = firstEntry[4];
    const bool endsMidStep = (uint64_t{end} + 1) % request_->third != 0;
    if (endsMidStep) {
      if (!held_) held_ = firstEntry;
      from = kWireEntrySize;
    } else {
      WireEntry entry = held_.value_or(firstEntry);
      if (remembered_ != kStatusBlank) entry[4] = remembered_;
      Append(entry);
      held_.reset();
      remembered_ = kStatusBlank;
      from = kWireEntrySize;
    }
  }
  wire_.insert(wire_.end(), bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end());
  return std::nullopt;
}

WorkerEnd StatusCollector::Finish() {
  if (held_) {
    WireEntry entry = *held_;
    if (remembered_ != kStatusBlank) entry[4] = remembered_;
    Append(entry);
    held_.reset();
  }
  if (list_ != nullptr && !HandOutStatus(wire_, Entries(), *list_)) return Fail(kFailed);
  SetProgress(100);
  PostWorkerEnd(args_, kOk);
  return WorkerEnd::Done(kOk);
}

WorkerEnd StatusCollector::Run() {
  request_ = reinterpret_cast<RangeRequest*>(args_.first);
  list_ = reinterpret_cast<SectorList*>(args_.second);
  SetProgress(10);
  ClearList(list_);
  if (request_ == nullptr) return WorkerEnd::Done(kFailed);
  const std::string modulePath = CurrentSession().ModulePath();
  uint32_t mappedEnd = request_->end;
  if (MapToBank(modulePath, request_->start, mappedEnd) == BankOutcome::NotInFlash)
    return WorkerEnd::Done(kInvalidSector);
  request_->end = mappedEnd;
  if (request_->third == 0 || request_->end < request_->start) return Fail(kInvalidSector);

  const std::vector<AddressArea> areas = ReadNonAccessAreas(modulePath);
  const uint32_t rangeStart = request_->start;
  const uint64_t rangeLength = uint64_t{request_->end} - rangeStart + 1;
  uint32_t cur = request_->start;
  uint32_t end = request_->end;
  uint32_t step = request_->third;
  for (bool firstPass = true;; firstPass = false) {
    if (StopRequested()) return WorkerEnd::Stopped();
    uint32_t trimmedStart = cur;
    uint32_t trimmedEnd = end;
    uint32_t trimmedStep = step;
    if (!TrimRange(areas, trimmedStart, trimmedEnd, trimmedStep)) {
      if (firstPass) {
        if (!AppendUnknown((uint64_t{end} - cur + 1) / step)) return Fail(kReceiveTimeout);
        return Finish();
      }
      cur = end;
    } else {
      if (trimmedStart > cur && !AppendUnknown((trimmedStart - cur) / step))
        return Fail(kReceiveTimeout);
      cur = trimmedStart;
      end = trimmedEnd;
      step = trimmedStep;
      if (cur < end) {
        const bool partial = (uint64_t{end} - cur + 1) % request_->third != 0;
        if (std::optional<WorkerEnd> done = Query(cur, end, step, partial)) return *done;
      }
      // The next sub-range starts after this one (a single byte left by the
      // trimming is passed over rather than ending the whole range).
      if (end < request_->end) {
        cur = end + 1;
        end = request_->end;
        step = request_->third;
      } else {
        cur = end;
      }
    }
    SetProgress(10 + static_cast<uint32_t>(80 * (uint64_t{cur} - rangeStart) / rangeLength));
    if (cur >= end) return Finish();
  }
}

WorkerEnd SectorStatusRoutine(const ArgBlock& args) { return StatusCollector(args).Run(); }

WorkerSlot g_statusSlot{&SectorStatusRoutine, {}};

}  // namespace
}  // namespace zk::cmd

using namespace zk;

ZK_EXPORT uint32_t CmmGetSectorStatus(RangeRequest* range, SectorList* list,
                                      WorkerThreadInfo* threadInfo) {
  return cmd::StartWorker(cmd::g_statusSlot, reinterpret_cast<uintptr_t>(range),
                          reinterpret_cast<uintptr_t>(list), threadInfo);
}
