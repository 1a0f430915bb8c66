#include "client/ModuleFlow.h"

#include "client/HandedOut.h"
#include "client/ModuleBanks.h"
#include "common/FlashDescriptionFile.h"
#include "common/IniFileAccess.h"
#include "platform/AsciiText.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Library.h"

#include <cstdio>
#include <optional>

namespace zk::client {
namespace {

constexpr std::string_view kDefaultDataManager = "KORDm";
constexpr std::string_view kDataManagerKey = "DmDLL";
constexpr std::string_view kModuleDescription = "Modul.ini";
constexpr std::string_view kExternalFlash = "EXTERNAL FLASH";
constexpr std::size_t kModeBuffer = 100;
constexpr uint8_t kFirstLibrary = 0;
constexpr uint8_t kNextLibrary = 1;
// A bank offers a handful of flash libraries; a list that does not end is
// cut here.
constexpr int kMaxFlashLibraries = 256;
constexpr uint64_t kAddressSpaceEnd = 0xFFFFFFFFull;
constexpr uint32_t kNoBankStart = 0xFFFFFFFFu;

bool EndsList(ResultCode result, const FlashLibInfo& info) {
  return result != kOk || (info.words[0] == 0 && info.words[3] == 0);
}

FlowResult CallFailed(ResultCode code, std::string what) {
  FlowResult result;
  result.end = FlowEnd::kCallFailed;
  result.code = code;
  result.what = std::move(what);
  return result;
}

FlowResult Refused(std::string why) {
  FlowResult result;
  result.end = FlowEnd::kRefused;
  result.refusal = std::move(why);
  return result;
}

}  // namespace

std::string_view PhaseName(FlowPhase phase) {
  switch (phase) {
    case FlowPhase::kConnect: return "connect";
    case FlowPhase::kLoad: return "load";
    case FlowPhase::kErase: return "erase";
    case FlowPhase::kProgram: return "program";
    case FlowPhase::kVerify: return "verify";
    case FlowPhase::kRead: return "read";
    case FlowPhase::kSave: return "save";
    case FlowPhase::kStatus: return "sector status";
    case FlowPhase::kDisconnect: return "disconnect";
  }
  return "";
}

std::string ModuleDescriptionPath(const std::string& dir) {
  if (std::optional<std::string> found = files::FindNoCase(dir, kModuleDescription)) return *found;
  return files::Join(dir, kModuleDescription);
}

std::optional<std::size_t> ChooseExternalFlash(std::span<const FlashLibInfo> found, std::string_view flashType) {
  if (flashType != kExternalAmd) return std::nullopt;
  const std::string dir = FlashDescriptionDir(files::HostProgramDir());
  for (std::size_t n = 0; n < found.size(); ++n) {
    const std::string mode = ini::GetString(FlashDescriptionFile(dir, found[n]), "General", "Mode", "", kModeBuffer);
    if (text::EqualsNoCase(mode, kExternalFlash)) return n;
  }
  return std::nullopt;
}

std::string RangeText(uint64_t first, uint64_t last) {
  char text[48];
  std::snprintf(text, sizeof text, "0x%06llX-0x%06llX", static_cast<unsigned long long>(first),
                static_cast<unsigned long long>(last));
  return text;
}

// ---- connect ----------------------------------------------------------

ConnectOutcome ModuleFlow::Connect(const std::string& moduleDir) {
  face_.PhaseStarted(FlowPhase::kConnect, 0);
  const ConnectOutcome outcome = ConnectSteps(moduleDir);
  face_.PhaseEnded(FlowPhase::kConnect, outcome.Connected());
  return outcome;
}

ConnectOutcome ModuleFlow::LoadDataManager(const std::string& moduleDir) {
  ConnectOutcome outcome;
  modulePath_ = ModuleDescriptionPath(moduleDir);
  std::string dataManager = IniFileAccess(modulePath_).DmDll();
  if (dataManager.empty()) dataManager = kDefaultDataManager;
  if (!IsPlainLibraryName(dataManager)) {
    outcome.step = ConnectStep::kLibraryName;
    outcome.refusal = LibraryNameRefusal(modulePath_, kDataManagerKey, dataManager);
  } else if (!dm_.Load(dataManager)) {  // a library already held stays, with its image
    outcome.step = ConnectStep::kLoad;
  }
  return outcome;
}

ConnectOutcome ModuleFlow::ConnectSteps(const std::string& moduleDir) {
  connected_ = false;
  currentBank_.reset();
  table_ = FlashTable();
  ConnectOutcome outcome = LoadDataManager(moduleDir);
  if (!outcome.Connected()) return outcome;
  const IniFileAccess module(modulePath_);
  face_.StageReached(ConnectStage::kLoggingIn);
  login_ = LoginInfo{};
  WorkerThreadInfo thread{};
  outcome.login = face_.Wait(FlowPhase::kConnect, dm_.Login(modulePath_.c_str(), &login_, &thread));
  const auto abandon = [this, &outcome](ConnectStep step) {
    // Whatever the login left open is closed again.
    ExitRequest plain{0, 0};
    dm_.ExitZelkor(&plain);
    outcome.step = step;
    return outcome;
  };
  if (outcome.login.end == WaitEnd::kStopped || outcome.login.status != kOk) return abandon(ConnectStep::kLogin);
  if ((dm_.CheckOldZelkor() & kStatusMask) == kOldFirmware) return abandon(ConnectStep::kOldFirmware);

  // The areas first: a face shows each bank's sectors with them as soon as
  // the bank is connected.
  ReadAreas();
  face_.StageReached(ConnectStage::kSearchingLibrary);
  const int banks = BankCount(module);
  for (int bank = 0; bank < banks; ++bank) {
    if (!ConnectBank(bank, &outcome)) return abandon(outcome.step);
  }
  table_.NumberSectors();
  connected_ = true;
  return outcome;
}

bool ModuleFlow::ConnectBank(int bank, ConnectOutcome* outcome) {
  const IniFileAccess module(modulePath_);
  BankRow row;
  row.bank = bank;
  row.start = BankStart(module, bank);
  row.end = BankEnd(module, bank);
  row.startText = BankStartText(module, bank);
  row.mode = BankMode(module, bank);
  outcome->bank = bank;

  std::vector<FlashLibInfo> found;
  for (int call = 0; call < kMaxFlashLibraries; ++call) {
    // A bank without a start (a description of one bank that names none)
    // asks for the libraries of the flash at 0.
    const uint32_t start = row.start == kNoBankStart ? 0 : row.start;
    FlashLibRequest request{call == 0 ? kFirstLibrary : kNextLibrary, start};
    FlashLibInfo info{};
    const ResultCode result = dm_.FindFlashLib(&request, &info);
    if (EndsList(result, info)) break;
    found.push_back(info);
  }
  const std::optional<std::size_t> chosen = found.empty() ? std::nullopt : face_.ChooseFlashLib(bank, found);
  if (!chosen || *chosen >= found.size()) {
    outcome->step = ConnectStep::kNoFlashLibrary;
    outcome->chooserDeclined = !found.empty();
    return false;
  }
  row.library = found[*chosen];
  face_.StageReached(ConnectStage::kStartingLibrary);
  FlashLibSelectionWords selection{{row.library.words[0], row.library.words[3]}};
  if (dm_.SelectFlashLib(&selection) != kOk) {
    outcome->step = ConnectStep::kSelectFailed;
    return false;
  }
  SelectBank(bank);
  SectorInfos infos{};
  row.layoutCode = dm_.GetSectorInfos(nullptr, &infos);
  if (row.layoutCode == kOk && infos.blocks != nullptr) {
    row.blocks.assign(infos.blocks, infos.blocks + infos.blockCount);
  }
  row.flashId = infos.flashId;
  row.flashSize = infos.flashSize;
  GiveBack(dm_, infos.blocks);
  table_.banks.push_back(row);
  face_.BankConnected(table_.banks.back());
  return true;
}

void ModuleFlow::ReadAreas() {
  ProtectedAreas areas{};
  if (dm_.GetProtectedAreas(&areas) == kOk) {
    if (areas.protectedAreas != nullptr) {
      table_.protectedAreas.assign(areas.protectedAreas, areas.protectedAreas + areas.protectedCount);
    }
    if (areas.noAccessAreas != nullptr) {
      table_.noAccessAreas.assign(areas.noAccessAreas, areas.noAccessAreas + areas.noAccessCount);
    }
  }
  GiveBack(dm_, areas);
}

void ModuleFlow::SelectBank(int bank) {
  // Each change is a command on the line; the data manager keeps the bank
  // until it is told another.
  if (currentBank_ != bank) ForceBank(bank);
}

void ModuleFlow::ForceBank(int bank) {
  SetBankBase(dm_, IniFileAccess(modulePath_), bank);
  currentBank_ = bank;
}

const BankRow* ModuleFlow::Bank(int bank) const {
  for (const BankRow& row : table_.banks) {
    if (row.bank == bank) return &row;
  }
  return nullptr;
}

void ModuleFlow::Disconnect(ExitRequest request) {
  face_.PhaseStarted(FlowPhase::kDisconnect, 0);
  dm_.ExitZelkor(&request);
  connected_ = false;
  currentBank_.reset();
  face_.PhaseEnded(FlowPhase::kDisconnect, true);
}

// ---- one worker ---------------------------------------------------------

FlowResult ModuleFlow::Run(FlowPhase phase, uint64_t total, ResultCode started, std::string what) {
  FlowResult result;
  result.what = std::move(what);
  const WaitOutcome outcome = face_.Wait(phase, started);
  if (started != kOk) {
    result.end = FlowEnd::kCallFailed;
    result.code = started;
  } else if (outcome.end == WaitEnd::kStopped) {
    result.end = FlowEnd::kStopped;
    result.code = outcome.status;
  } else if (outcome.status != kOk) {
    result.end = FlowEnd::kWorkerFailed;
    result.code = outcome.status;
  } else if (total != 0) {
    face_.BytesDone(phase, total);
  }
  return result;
}

// ---- erase ------------------------------------------------------------

FlowResult ModuleFlow::EraseOne(const BankRange& range) {
  SelectBank(range.bank);
  face_.Erasing(range);
  RangeRequest request{range.start, range.end, range.unit};
  SectorList list{};
  WorkerThreadInfo thread{};
  const ResultCode started = dm_.EraseSectors(&request, &list, &thread);
  FlowResult result = Run(FlowPhase::kErase, 0, started, "erase " + RangeText(range.start, range.end));
  if (list.entries != nullptr) {
    if (!result.Done()) {
      const auto* entries = static_cast<const SectorEntry*>(list.entries);
      result.failedSectors.assign(entries, entries + list.count);
    }
    GiveBack(dm_, list.entries);
  }
  return result;
}

FlowResult ModuleFlow::EraseRanges(std::span<const BankRange> ranges) {
  uint64_t total = 0;
  for (const BankRange& r : ranges) total += uint64_t{r.end} - r.start + 1;
  face_.PhaseStarted(FlowPhase::kErase, total);
  uint64_t done = 0;
  for (const BankRange& range : ranges) {
    if (face_.StopRequested()) {
      face_.PhaseEnded(FlowPhase::kErase, false);
      FlowResult stopped;
      stopped.end = FlowEnd::kStopped;
      return stopped;
    }
    FlowResult result = EraseOne(range);
    if (!result.Done()) {
      face_.PhaseEnded(FlowPhase::kErase, false);
      return result;
    }
    done += uint64_t{range.end} - range.start + 1;
    face_.BytesDone(FlowPhase::kErase, done);
  }
  face_.PhaseEnded(FlowPhase::kErase, true);
  return {};
}

FlowResult ModuleFlow::EraseSectorNumbers(uint32_t first, uint32_t last) {
  if (first > last) return {};
  // Numbers count through every bank: one layout missing shifts them all.
  for (const BankRow& bank : table_.banks) {
    if (bank.layoutCode != kOk) {
      return CallFailed(bank.layoutCode, "sector layout of bank " + std::to_string(bank.bank));
    }
  }
  if (last >= table_.sectors.size()) {
    const uint32_t missing = first >= table_.sectors.size() ? first : static_cast<uint32_t>(table_.sectors.size());
    return Refused("sector " + std::to_string(missing) + " does not exist; the module has " + table_.SectorSpanText());
  }
  std::vector<BankRange> ranges;
  for (uint32_t n = first; n <= last; ++n) {
    const SectorRow& row = table_.sectors[n];
    ranges.push_back({row.bank, row.start, row.end});
  }
  return EraseRanges(ranges);
}

FlowResult ModuleFlow::BankNeeds(const BankRow& bank, uint32_t offset, std::vector<BankRange>* needed,
                                 uint64_t* bytes) {
  HexFileInfo info{};
  const ResultCode code = dm_.GetHexFileInfo(offset, &info);
  for (uint32_t i = 0; code == kOk && info.neededSectors != nullptr && i < info.neededSectorCount; ++i) {
    const RangeRequest& sector = info.neededSectors[i];
    needed->push_back({bank.bank, sector.start, sector.end, sector.third});
  }
  if (code == kOk && bytes != nullptr) *bytes = info.byteCount;
  GiveBack(dm_, info.neededSectors);
  return code == kOk ? FlowResult{} : CallFailed(code, "image sectors of bank " + std::to_string(bank.bank));
}

FlowResult ModuleFlow::NeededSectors(uint32_t offset, std::vector<BankRange>* needed, uint64_t* bytes) {
  if (FlowResult checked = CheckImage(offset); !checked.Done()) return checked;
  // The current bank first: one change of bank fewer.
  std::vector<const BankRow*> order;
  for (const BankRow& bank : table_.banks) {
    if (bank.bank == currentBank_) {
      order.insert(order.begin(), &bank);
    } else {
      order.push_back(&bank);
    }
  }
  for (const BankRow* bank : order) {
    SelectBank(bank->bank);
    if (FlowResult found = BankNeeds(*bank, offset, needed, bytes); !found.Done()) return found;
  }
  return {};
}

FlowResult ModuleFlow::EraseNeeded(uint32_t offset) {
  if (FlowResult checked = CheckImage(offset); !checked.Done()) return checked;
  face_.PhaseStarted(FlowPhase::kErase, 0);
  const auto end = [this](FlowResult result) {
    face_.PhaseEnded(FlowPhase::kErase, result.Done());
    return result;
  };
  for (const BankRow& bank : table_.banks) {
    ForceBank(bank.bank);
    std::vector<BankRange> needed;
    if (FlowResult found = BankNeeds(bank, offset, &needed); !found.Done()) return end(found);
    for (const BankRange& range : needed) {
      if (face_.StopRequested()) {
        FlowResult stopped;
        stopped.end = FlowEnd::kStopped;
        return end(stopped);
      }
      FlowResult result = EraseOne(range);
      if (result.end == FlowEnd::kWorkerFailed && face_.GoOnAfterFailedErase(range, result)) continue;
      if (!result.Done()) return end(result);
    }
  }
  return end({});
}

FlowResult ModuleFlow::EraseBankChip(const BankRow& bank) {
  ForceBank(bank.bank);
  SectorList list{};
  FlowResult result;
  result.code = dm_.EraseChip(&list);
  if (result.code != kOk) {
    result.end = FlowEnd::kCallFailed;
    result.what = "erase chip, bank " + std::to_string(bank.bank);
    if (list.entries != nullptr) {
      const auto* entries = static_cast<const SectorEntry*>(list.entries);
      result.failedSectors.assign(entries, entries + list.count);
    }
  }
  GiveBack(dm_, list.entries);
  return result;
}

FlowResult ModuleFlow::EraseBank(int bank) {
  const BankRow* row = Bank(bank);
  if (row == nullptr) return Refused("the module has no bank " + std::to_string(bank));
  const uint64_t size = uint64_t{row->end} - row->start + 1;
  face_.PhaseStarted(FlowPhase::kErase, size);
  FlowResult result = EraseBankChip(*row);
  if (result.Done()) face_.BytesDone(FlowPhase::kErase, size);
  face_.PhaseEnded(FlowPhase::kErase, result.Done());
  return result;
}

FlowResult ModuleFlow::EraseChip() {
  uint64_t total = 0;
  for (const BankRow& bank : table_.banks) total += uint64_t{bank.end} - bank.start + 1;
  face_.PhaseStarted(FlowPhase::kErase, total);
  uint64_t done = 0;
  for (const BankRow& bank : table_.banks) {
    FlowResult result = EraseBankChip(bank);
    if (!result.Done()) {
      face_.PhaseEnded(FlowPhase::kErase, false);
      return result;
    }
    done += uint64_t{bank.end} - bank.start + 1;
    face_.BytesDone(FlowPhase::kErase, done);
  }
  face_.PhaseEnded(FlowPhase::kErase, true);
  return {};
}

FlowResult ModuleFlow::SectorStatus(const BankRange& range, std::vector<SectorStatusEntry>* entries) {
  SelectBank(range.bank);
  RangeRequest request{range.start, range.end, range.unit != 0 ? range.unit : range.end - range.start + 1};
  SectorList list{};
  WorkerThreadInfo thread{};
  const ResultCode started = dm_.GetSectorStatus(&request, &list, &thread);
  FlowResult result = Run(FlowPhase::kStatus, 0, started, "sector status " + RangeText(range.start, range.end));
  if (list.entries != nullptr) {
    if (result.Done()) {
      const auto* listed = static_cast<const SectorStatusEntry*>(list.entries);
      entries->assign(listed, listed + list.count);
    }
    GiveBack(dm_, list.entries);
  }
  return result;
}

// ---- the image ----------------------------------------------------------

FlowResult ModuleFlow::CheckImage(uint32_t offset) {
  ImageSpans spans{};
  const ResultCode code = dm_.GetImageSpans(offset, &spans);
  std::vector<PlacedSpan> placed;
  if (code == kOk && spans.spans != nullptr) placed.assign(spans.spans, spans.spans + spans.count);
  GiveBack(dm_, spans.spans);
  // No image is the program's own failure to report; an older data manager
  // cannot tell.
  if (code != kOk) return {};
  for (const PlacedSpan& span : placed) {
    if (span.last > kAddressSpaceEnd) {
      return Refused("the image reaches " + RangeText(span.first, span.last) +
                     ", past the end of the 4 GB address space; nothing was erased or programmed");
    }
  }
  if (table_.banks.empty()) return {};
  for (const PlacedSpan& span : placed) {
    if (!table_.InsideBanks(span.first, span.last)) {
      return Refused("the image has bytes at " + RangeText(span.first, span.last) +
                     ", outside the module's flash banks; nothing was erased or programmed");
    }
  }
  return {};
}

FlowResult ModuleFlow::Load(const std::string& path, ImageType type) {
  face_.PhaseStarted(FlowPhase::kLoad, 0);
  WorkerThreadInfo thread{};
  FlowResult result = Run(FlowPhase::kLoad, 0, dm_.LoadFile(path.c_str(), LoadModeOf(type), &thread), "load " + path);
  // The file's own fault, where the data manager names it.
  if (result.end == FlowEnd::kWorkerFailed) {
    result.fileProblem = dm_.LoadProblem();
    if (!result.fileProblem.empty()) result.what += " (" + result.fileProblem + ")";
  }
  face_.PhaseEnded(FlowPhase::kLoad, result.Done());
  return result;
}

FlowResult ModuleFlow::Program(uint32_t offset, uint64_t bytes) {
  if (FlowResult checked = CheckImage(offset); !checked.Done()) return checked;
  face_.PhaseStarted(FlowPhase::kProgram, bytes);
  WorkerThreadInfo thread{};
  FlowResult result = Run(FlowPhase::kProgram, bytes, dm_.ProgFlash(offset, &thread), "program");
  face_.PhaseEnded(FlowPhase::kProgram, result.Done());
  return result;
}

FlowResult ModuleFlow::Verify(uint32_t offset, VerifyResult* verified, uint64_t bytes) {
  face_.PhaseStarted(FlowPhase::kVerify, bytes);
  WorkerThreadInfo thread{};
  *verified = VerifyResult{0, 0, kNoDifference};
  FlowResult result = Run(FlowPhase::kVerify, bytes, dm_.VerifyFlash(offset, verified, &thread), "verify");
  face_.PhaseEnded(FlowPhase::kVerify, result.Done());
  return result;
}

FlowResult ModuleFlow::Read(uint32_t start, uint32_t length) {
  face_.PhaseStarted(FlowPhase::kRead, length);
  ReadRequest request{start, length};
  WorkerThreadInfo thread{};
  FlowResult result = Run(FlowPhase::kRead, length, dm_.ReadFlash(&request, &thread), "read");
  face_.PhaseEnded(FlowPhase::kRead, result.Done());
  return result;
}

FlowResult ModuleFlow::Save(const std::string& path, ImageType type) {
  face_.PhaseStarted(FlowPhase::kSave, 0);
  WorkerThreadInfo thread{};
  FlowResult result = Run(FlowPhase::kSave, 0, dm_.SaveFile(path.c_str(), LoadModeOf(type), &thread), "save " + path);
  face_.PhaseEnded(FlowPhase::kSave, result.Done());
  return result;
}

}  // namespace zk::client
