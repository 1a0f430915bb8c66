#include "modsim/CommandDispatcher.h"

#include "modsim/Bytes.h"
#include "modsim/FaultInjector.h"
#include "modsim/Trace.h"

#include <algorithm>
#include <cstdio>

namespace zk::modsim {
namespace {

// Longest pieces of the list answers.
constexpr std::size_t kStatusFirst = 251;
constexpr std::size_t kStatusNext = 253;
constexpr std::size_t kEraseFirst = 252;
constexpr std::size_t kEraseNext = 254;
constexpr std::size_t kReadPiece = 250;
constexpr std::size_t kReadHeader = 6;  // echo, status, count (2), two unused bytes
constexpr std::size_t kListHeader = 4;  // echo, status, count (2)
constexpr std::size_t kEntrySize = 5;   // 32-bit address, status byte
constexpr std::size_t kAnswerLimit = 4096;
constexpr std::size_t kHostileAnswerSize = 5000;
constexpr uint32_t kDefaultFaultDelayMs = 1000;
constexpr uint32_t kDefaultSlowEraseMs = 5000;
constexpr uint32_t kDefaultCountOverrun = 1;
constexpr uint32_t kDefaultExtraEntries = 60;
constexpr uint32_t kDefaultStxFlood = 5000;
constexpr uint32_t kDefaultGarbage = 1000;
// The entries a hostile module adds to a list: no sector of any flash.
constexpr uint32_t kBogusEntryAddress = 0xFFFFFF00;
constexpr uint8_t kBogusEntryStatus = 0x21;
constexpr std::size_t kChipListFits = (kAnswerLimit - kListHeader) / kEntrySize;
constexpr uint8_t kListContinues = 1;
constexpr uint8_t kListEnded = 0;

std::vector<uint8_t> StatusAnswer(Command echo, uint8_t status) { return {static_cast<uint8_t>(echo), status}; }

std::vector<uint8_t> EntryBytes(const std::vector<SectorOutcome>& entries) {
  std::vector<uint8_t> bytes;
  bytes.reserve(entries.size() * kEntrySize);
  for (const auto& entry : entries) {
    AppendLe32(bytes, entry.address);
    bytes.push_back(entry.status);
  }
  return bytes;
}

std::string Text(const char* format, uint32_t a, uint32_t b = 0, uint32_t c = 0) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, format, a, b, c);
  return buffer;
}

bool HasCountField(uint8_t echo) {
  switch (static_cast<Command>(echo)) {
    case Command::SectorStatus:
    case Command::Read:
    case Command::ReadNext:
    case Command::EraseSectors:
    case Command::EraseBlocks:
    case Command::EraseChip: return true;
    default: return false;
  }
}

}  // namespace

std::optional<std::size_t> ExpectedRequestLength(std::span<const uint8_t> request) {
  if (request.empty()) return std::nullopt;
  switch (static_cast<Command>(request[0])) {
    case Command::Login:
    case Command::EraseChip:
    case Command::FirmwareGeneration: return 1;
    case Command::FindFlashLib:
    case Command::BaseAddress: return 7;
    case Command::SectorStatus:
    case Command::EraseSectors:
    case Command::EraseBlocks:
    case Command::SectorStatusNext:
    case Command::EraseSectorsNext:
    case Command::EraseBlocksNext: return 13;
    case Command::SelectFlashLib:
    case Command::Exit: return 6;
    case Command::Read:
    case Command::ReadNext: return 9;
    case Command::Program: return request.size() < 7 ? 7 : 7 + static_cast<std::size_t>(ReadLe16(&request[5]));
    case Command::Password: return request.size() < 5 ? 5 : 5 + static_cast<std::size_t>(ReadLe32(&request[1]));
  }
  return std::nullopt;
}

CommandDispatcher::CommandDispatcher(const FirmwareParams& params, FlashModel& flash, FaultInjector* faults,
                                     Trace* trace)
    : params_(params), flash_(flash), faults_(faults), trace_(trace) {}

void CommandDispatcher::Reset() {
  passwordAccepted_ = false;
  selected_.reset();
  currentBank_ = 0;
  findCursor_ = 0;
  statusPager_.Clear();
  erasePager_.Clear();
  blockPager_.Clear();
  readRemaining_ = 0;
}

void CommandDispatcher::Note(std::string_view text, TimePoint now) {
  if (trace_) trace_->Note(std::string("firmware: ") + std::string(text), now);
}

Reply CommandDispatcher::Handle(std::span<const uint8_t> request, TimePoint now) {
  if (request.empty()) {
    Note("empty request ignored", now);
    return {};
  }
  if (faults_ && faults_->Check(FaultKind::kIgnoreCommand)) {
    Note(Text("fault: command 0x%02X ignored", request[0]), now);
    return {};
  }
  Reply reply = Dispatch(request, now);
  if (!reply.bytes.empty()) ApplyAnswerFaults(static_cast<Command>(request[0]), reply, now);
  return reply;
}

Reply CommandDispatcher::Dispatch(std::span<const uint8_t> request, TimePoint now) {
  const auto command = static_cast<Command>(request[0]);
  const auto expected = ExpectedRequestLength(request);
  if (!expected) {
    Note(Text("unknown command 0x%02X", request[0]), now);
    return {StatusAnswer(command, kStatusUnsupported)};
  }
  if (*expected != request.size()) {
    Note(Text("command 0x%02X with %u bytes where its fields ask for %u", request[0],
              static_cast<uint32_t>(request.size()),
              static_cast<uint32_t>(std::min<std::size_t>(*expected, 0xFFFFFFFF))),
         now);
    return {StatusAnswer(command, kStatusTooFewBytes)};
  }
  switch (command) {
    case Command::Login: return Login();
    case Command::FindFlashLib: return FindFlashLib(request, now);
    case Command::SelectFlashLib: return SelectFlashLib(request);
    case Command::SectorStatus: return SectorStatus(request, now);
    case Command::SectorStatusNext: return ListMore(command, statusPager_);
    case Command::Program: return Program(request);
    case Command::Read: return Read(request);
    case Command::ReadNext: return ReadMore();
    case Command::EraseSectors:
    case Command::EraseBlocks: return Erase(command, request, now);
    case Command::EraseSectorsNext: return ListMore(command, erasePager_);
    case Command::EraseBlocksNext: return ListMore(command, blockPager_);
    case Command::EraseChip: return EraseChip(now);
    case Command::Exit: return Exit(request, now);
    case Command::Password: return Password(request, now);
    case Command::BaseAddress: return BaseAddress(request, now);
    case Command::FirmwareGeneration: return Generation();
  }
  return {StatusAnswer(command, kStatusUnsupported)};
}

void CommandDispatcher::ApplyAnswerFaults(Command command, Reply& reply, TimePoint now) {
  if (!faults_) return;
  if (const auto hit = faults_->Check(FaultKind::kCountOverrun);
      hit && HasCountField(reply.bytes[0]) && reply.bytes.size() >= kListHeader) {
    // A chip erase list already fills one answer; any other count grows
    // past what the answer and its request hold.
    const uint32_t base = command == Command::EraseChip ? kChipListFits : ReadLe16(&reply.bytes[2]);
    const auto claimed = static_cast<uint16_t>(std::min<uint32_t>(base + hit->ValueOr(kDefaultCountOverrun), 0xFFFF));
    Note(Text("fault: answer count %u claimed as %u", ReadLe16(&reply.bytes[2]), claimed), now);
    reply.bytes[2] = static_cast<uint8_t>(claimed);
    reply.bytes[3] = static_cast<uint8_t>(claimed >> 8);
  }
  if (const auto hit = faults_->Check(FaultKind::kWrongEcho)) {
    const uint8_t wrong = static_cast<uint8_t>(hit->ValueOr(reply.bytes[0] ^ 0x80u));
    Note(Text("fault: answer byte 0 0x%02X sent as 0x%02X", reply.bytes[0], wrong), now);
    reply.bytes[0] = wrong;
  }
  if (faults_->Check(FaultKind::kHostileLength)) {
    if (HasCountField(reply.bytes[0]) && reply.bytes.size() >= kListHeader) {
      Note("fault: answer count claims 0xFFFF", now);
      reply.bytes[2] = 0xFF;
      reply.bytes[3] = 0xFF;
    } else {
      Note(Text("fault: answer stretched to %u bytes", kHostileAnswerSize), now);
      reply.bytes.resize(kHostileAnswerSize, 0);
    }
  }
  if (const auto hit = faults_->Check(FaultKind::kDelayAnswer)) {
    const uint32_t ms = hit->ValueOr(kDefaultFaultDelayMs);
    Note(Text("fault: answer delayed by %u ms", ms), now);
    reply.busy += Milliseconds(ms);
  }
  if (const auto hit = faults_->Check(FaultKind::kShortAnswer);
      hit && HasCountField(reply.bytes[0]) && reply.bytes.size() > kListHeader) {
    const bool read = reply.bytes[0] == static_cast<uint8_t>(Command::Read) ||
                      reply.bytes[0] == static_cast<uint8_t>(Command::ReadNext);
    const std::size_t header = read ? kReadHeader : kListHeader;
    const std::size_t carried = reply.bytes.size() - std::min(header, reply.bytes.size());
    const std::size_t kept = std::min<std::size_t>(hit->ValueOr(static_cast<uint32_t>(carried / 2)), carried);
    Note(Text("fault: answer carries %u of its %u bytes", static_cast<uint32_t>(kept), static_cast<uint32_t>(carried)),
         now);
    reply.bytes.resize(header + kept);
  }
  if (const auto hit = faults_->Check(FaultKind::kRepeatAnswer)) {
    reply.repeatAfter = Milliseconds(hit->ValueOr(0));
    Note(Text("fault: answer 0x%02X goes out twice, %u ms apart", reply.bytes[0], hit->ValueOr(0)), now);
  }
  if (const auto hit = faults_->Check(FaultKind::kStxFlood)) {
    reply.stxFlood = hit->ValueOr(kDefaultStxFlood);
    Note(Text("fault: %u STX in place of the answer", reply.stxFlood), now);
  }
  if (command == Command::Login) {
    if (const auto hit = faults_->Check(FaultKind::kGarbageAfterLogin)) {
      reply.rawAfter.resize(hit->ValueOr(kDefaultGarbage));
      for (uint8_t& b : reply.rawAfter) b = static_cast<uint8_t>(garbage_.Next());
      Note(Text("fault: %u bytes of garbage after the login answer", static_cast<uint32_t>(reply.rawAfter.size())),
           now);
    }
  }
}

void CommandDispatcher::ExtendList(std::vector<SectorOutcome>& entries, TimePoint now) {
  if (!faults_) return;
  const auto hit = faults_->Check(FaultKind::kLongList);
  if (!hit) return;
  const uint32_t extra = hit->ValueOr(kDefaultExtraEntries);
  Note(Text("fault: %u entries beyond the announced %u", extra, static_cast<uint32_t>(entries.size())), now);
  for (uint32_t i = 0; i < extra; ++i) entries.push_back({kBogusEntryAddress + i, kBogusEntryStatus});
}

bool CommandDispatcher::EndlessList(TimePoint now) {
  if (!faults_ || !faults_->Check(FaultKind::kEndlessList)) return false;
  Note("fault: the continuations of this list never end", now);
  return true;
}

Reply CommandDispatcher::Login() const {
  std::vector<uint8_t> answer{static_cast<uint8_t>(Command::Login)};
  AppendLe16(answer, params_.loginWord);
  answer.insert(answer.end(), {params_.major, params_.minor, params_.build});
  return {answer};
}

std::vector<CommandDispatcher::LibraryRef> CommandDispatcher::LibrariesFor(uint32_t flashStart) const {
  const auto& banks = flash_.Banks();
  const auto only = flash_.BankStartingAt(flashStart);
  std::vector<LibraryRef> refs;
  for (std::size_t b = 0; b < banks.size(); ++b) {
    if (only && *only != b) continue;
    for (std::size_t i = 0; i < banks[b].libraries.size(); ++i) refs.push_back({b, i});
  }
  return refs;
}

Reply CommandDispatcher::FindFlashLib(std::span<const uint8_t> request, TimePoint now) {
  const uint8_t next = request[1];
  const uint32_t flashStart = ReadLe32(&request[2]);
  const uint8_t mode = request[6];
  if (const auto bank = flash_.BankStartingAt(flashStart); bank && flash_.Banks()[*bank].mode != mode) {
    Note(Text("find flash library at 0x%X with mode %u; the bank has mode %u", flashStart, mode,
              flash_.Banks()[*bank].mode),
         now);
  }
  findCursor_ = next == 0 ? 0 : findCursor_ + 1;
  const auto refs = LibrariesFor(flashStart);
  std::vector<uint8_t> answer{static_cast<uint8_t>(Command::FindFlashLib)};
  for (std::size_t w = 0; w < 4; ++w) {
    AppendLe16(answer,
               findCursor_ < refs.size()
                   ? flash_.Banks()[refs[findCursor_].bank].libraries[refs[findCursor_].index].words[w]
                   : 0);  // all words 0: no further library
  }
  return {answer};
}

Reply CommandDispatcher::SelectFlashLib(std::span<const uint8_t> request) {
  const uint16_t w0 = ReadLe16(&request[1]);
  const uint8_t w3Low = request[3];
  const auto& banks = flash_.Banks();
  for (std::size_t b = 0; b < banks.size(); ++b) {
    for (std::size_t i = 0; i < banks[b].libraries.size(); ++i) {
      const auto& words = banks[b].libraries[i].words;
      if (words[0] == w0 && (words[3] & 0xFF) == w3Low) {
        selected_ = LibraryRef{b, i};
        return {StatusAnswer(Command::SelectFlashLib, kStatusOk)};
      }
    }
  }
  selected_.reset();
  return {StatusAnswer(Command::SelectFlashLib, kFlashNoLibrary)};
}

Reply CommandDispatcher::SectorStatus(std::span<const uint8_t> request, TimePoint now) {
  std::vector<uint8_t> answer{static_cast<uint8_t>(Command::SectorStatus)};
  if (!selected_) {
    answer.insert(answer.end(), {kFlashNoLibrarySelected, 0, 0});
    return {answer};
  }
  std::vector<SectorOutcome> entries;
  const uint8_t status =
      flash_.SectorStatus(ReadLe32(&request[1]), ReadLe32(&request[5]), ReadLe32(&request[9]), entries);
  answer.push_back(status);
  AppendLe16(answer, static_cast<uint16_t>(entries.size()));
  ExtendList(entries, now);
  statusPager_.Start(EntryBytes(entries), kStatusFirst, kStatusNext, EndlessList(now));
  const auto piece = statusPager_.Next();
  answer.insert(answer.end(), piece.begin(), piece.end());
  return {answer};
}

Reply CommandDispatcher::ListMore(Command command, EntryPager& pager) {
  std::vector<uint8_t> answer{static_cast<uint8_t>(command)};
  const auto piece = pager.Next();
  answer.push_back(piece.empty() ? kListEnded : kListContinues);
  answer.insert(answer.end(), piece.begin(), piece.end());
  return {answer};
}

Reply CommandDispatcher::Program(std::span<const uint8_t> request) {
  if (!selected_) return {StatusAnswer(Command::Program, kFlashNoLibrarySelected)};
  const auto data = request.subspan(7);
  Reply reply{StatusAnswer(Command::Program, flash_.Program(ReadLe32(&request[1]), data))};
  reply.busy = params_.programTimePerByte * static_cast<int64_t>(data.size());
  return reply;
}

Reply CommandDispatcher::ReadPiece(Command echo) {
  std::vector<uint8_t> answer{static_cast<uint8_t>(echo), kStatusOk};
  const uint32_t take = std::min<uint32_t>(readRemaining_, kReadPiece);
  AppendLe16(answer, static_cast<uint16_t>(take));
  answer.insert(answer.end(), {0, 0});
  answer.resize(kReadHeader + take);
  flash_.Read(readAddress_, std::span<uint8_t>(answer.data() + kReadHeader, take));
  readAddress_ += take;
  readRemaining_ -= take;
  return {answer};
}

Reply CommandDispatcher::Read(std::span<const uint8_t> request) {
  readRemaining_ = 0;
  auto refuse = [](uint8_t status) { return Reply{{static_cast<uint8_t>(Command::Read), status, 0, 0, 0, 0}}; };
  if (!passwordAccepted_) return refuse(kStatusNoAccess);
  if (!selected_) return refuse(kFlashNoLibrarySelected);
  const uint32_t address = ReadLe32(&request[1]);
  const uint32_t length = ReadLe32(&request[5]);
  if (const uint8_t status = flash_.CheckRead(address, length)) return refuse(status);
  readAddress_ = address;
  readRemaining_ = length;
  return ReadPiece(Command::Read);
}

Reply CommandDispatcher::ReadMore() {
  if (readRemaining_ == 0) {
    return {{static_cast<uint8_t>(Command::ReadNext), kFlashBadAddress, 0, 0, 0, 0}};
  }
  return ReadPiece(Command::ReadNext);
}

Duration CommandDispatcher::EraseTime(uint32_t sectors) {
  Duration time = params_.eraseTimePerSector * static_cast<int64_t>(sectors);
  if (faults_) {
    if (const auto hit = faults_->Check(FaultKind::kSlowErase)) time += Milliseconds(hit->ValueOr(kDefaultSlowEraseMs));
  }
  return time;
}

Reply CommandDispatcher::Erase(Command command, std::span<const uint8_t> request, TimePoint now) {
  std::vector<uint8_t> answer{static_cast<uint8_t>(command)};
  EntryPager& pager = command == Command::EraseSectors ? erasePager_ : blockPager_;
  pager.Clear();
  if (!selected_) {
    answer.insert(answer.end(), {kFlashNoLibrarySelected, 0, 0});
    return {answer};
  }
  const uint32_t start = ReadLe32(&request[1]);
  const uint32_t end = ReadLe32(&request[5]);
  Note(Text("erase 0x%X..0x%X (third value %u)", start, end, ReadLe32(&request[9])), now);
  EraseResult result = command == Command::EraseSectors ? flash_.EraseSectors(start, end, faults_)
                                                        : flash_.EraseBlocks(start, end, faults_);
  answer.push_back(result.status);
  AppendLe16(answer, static_cast<uint16_t>(result.failed.size()));
  ExtendList(result.failed, now);
  pager.Start(EntryBytes(result.failed), kEraseFirst, kEraseNext, EndlessList(now));
  const auto piece = pager.Next();
  answer.insert(answer.end(), piece.begin(), piece.end());
  return {answer, EraseTime(result.erasedSectors)};
}

Reply CommandDispatcher::EraseChip(TimePoint now) {
  std::vector<uint8_t> answer{static_cast<uint8_t>(Command::EraseChip)};
  if (!selected_) {
    answer.insert(answer.end(), {kFlashNoLibrarySelected, 0, 0});
    return {answer};
  }
  Note(Text("chip erase of bank %u", static_cast<uint32_t>(currentBank_)), now);
  EraseResult result = flash_.EraseChip(currentBank_, faults_);
  // The whole list goes in one answer.
  if (result.failed.size() > kChipListFits) result.failed.resize(kChipListFits);
  answer.push_back(result.status);
  AppendLe16(answer, static_cast<uint16_t>(result.failed.size()));
  ExtendList(result.failed, now);
  if (result.failed.size() > kChipListFits) result.failed.resize(kChipListFits);
  const auto bytes = EntryBytes(result.failed);
  answer.insert(answer.end(), bytes.begin(), bytes.end());
  return {answer, EraseTime(result.erasedSectors)};
}

Reply CommandDispatcher::Exit(std::span<const uint8_t> request, TimePoint now) {
  const uint8_t mode = request[1];
  static constexpr const char* kModes[] = {"plain", "jump to address", "software reset", "hardware reset"};
  Note(Text("exit mode %u (", mode) + (mode < 4 ? kModes[mode] : "unknown") +
           Text("), address 0x%X; back to the boot loader", ReadLe32(&request[2])),
       now);
  Reply reply;
  if (mode >= 8 || !(params_.silentExitModes & (1u << mode))) reply.bytes = StatusAnswer(Command::Exit, kStatusOk);
  reply.exitAfter = true;
  return reply;
}

Reply CommandDispatcher::Password(std::span<const uint8_t> request, TimePoint now) {
  const auto given = request.subspan(5);
  passwordAccepted_ = std::equal(given.begin(), given.end(), params_.password.begin(), params_.password.end(),
                                 [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
  Note(passwordAccepted_ ? "password accepted" : "password refused", now);
  return {StatusAnswer(Command::Password, passwordAccepted_ ? kStatusOk : kStatusInvalidPassword)};
}

Reply CommandDispatcher::BaseAddress(std::span<const uint8_t> request, TimePoint now) {
  const uint32_t base = ReadLe32(&request[1]);
  const auto bank = flash_.BankStartingAt(base);
  if (!bank) {
    Note(Text("base address 0x%X is no bank start", base), now);
    return {StatusAnswer(Command::BaseAddress, kFlashBadAddress)};
  }
  if (flash_.Banks()[*bank].mode != request[5]) {
    Note(Text("base address 0x%X with mode %u; the bank has mode %u", base, request[5], flash_.Banks()[*bank].mode),
         now);
  }
  currentBank_ = *bank;
  return {StatusAnswer(Command::BaseAddress, kStatusOk)};
}

Reply CommandDispatcher::Generation() const {
  if (params_.oldFirmware) return {StatusAnswer(Command::FirmwareGeneration, kStatusUnsupported)};
  return {{kCurrentFirmwareMarker, kStatusOk}};
}

}  // namespace zk::modsim
