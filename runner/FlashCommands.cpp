// The commands that change the module's flash or the image: ERASESECTOR,
// ERASECHIP, LOADHEX, DOWNLOAD and DISCONNECT.
#include "runner/ScriptRunner.h"

#include "client/Banks.h"
#include "client/DmAccessReport.h"
#include "client/HandedOut.h"
#include "common/Records.h"
#include "platform/Files.h"
#include "runner/RunnerTexts.h"
#include "runner/StatusScope.h"

#include <cstdio>
#include <string>
#include <vector>

namespace zk::runner {
namespace {

// The layout's blocks, copied out of the array the data manager handed out.
std::vector<FlashBlock> CopyBlocks(const SectorInfos& infos) {
  if (infos.blocks == nullptr) return {};
  return std::vector<FlashBlock>(infos.blocks, infos.blocks + infos.blockCount);
}

// Why a chip erase is refused on a module with protected areas: the areas,
// which the erase would wipe, and what a script can do instead.
std::string ProtectedChipText(CDmAccess& dm) {
  ProtectedAreas areas{};
  std::string list;
  if (dm.GetProtectedAreas(&areas) == kOk && areas.protectedAreas != nullptr) {
    for (uint16_t i = 0; i < areas.protectedCount; ++i) {
      char range[32];
      std::snprintf(range, sizeof range, "%s0x%X-0x%X", i == 0 ? "" : ", ", areas.protectedAreas[i].start,
                    areas.protectedAreas[i].end);
      list += range;
    }
  }
  client::GiveBack(dm, areas);
  return std::string(texts::kEraseChip) + ": the module has protected areas" + (list.empty() ? "" : " (" + list + ")") +
         ", which erasing the whole chip would erase; a script cannot switch their protection off, "
         "ERASESECTOR erases the other sectors";
}

}  // namespace

CScriptRunner::CommandResult CScriptRunner::EraseSector(const Words& words, int line) {
  uint32_t first = 0;
  uint32_t last = 0;
  if (!Number(words[1], line, &first) || !Number(words[2], line, &last)) return CommandResult::kRefused;
  StatusScope status(ui_, verbose_, texts::kErasingSectors, cancelEnabled_);
  SectorInfos infos{};
  const ResultCode result = dm_.GetSectorInfos(nullptr, &infos);
  const std::vector<FlashBlock> blocks = result == kOk ? CopyBlocks(infos) : std::vector<FlashBlock>{};
  client::GiveBack(dm_, infos.blocks);
  if (result != kOk) {
    Show(texts::kGetSectorInfos);
    return CommandResult::kFailed;
  }
  // Sectors are numbered from 0 in block order, within a block in address
  // order.
  uint32_t number = 0;
  for (const FlashBlock& block : blocks) {
    for (uint32_t k = 0; k < block.sectorCount; ++k, ++number) {
      if (number > last) break;
      if (number < first) continue;
      const uint32_t start = block.start + k * block.sectorSize;
      if (ui_.EndRequested()) return CommandResult::kFailed;
      if (!EraseOneSector(start, start + block.sectorSize - 1)) return CommandResult::kFailed;
    }
  }
  status.Close(true);
  return CommandResult::kSucceeded;
}

bool CScriptRunner::EraseOneSector(uint32_t start, uint32_t end) {
  RangeRequest range{start, end, 0};
  SectorList list{};
  WorkerThreadInfo thread{};
  const WaitOutcome outcome = Wait(dm_.EraseSectors(&range, &list, &thread));
  client::GiveBack(dm_, list);
  if (outcome.end == WaitEnd::kStopped) return false;
  if (outcome.status != kOk) {
    // A sector that is not erased must not pass for an erased one.
    FlashException().Report(ui_, texts::kEraseSectorCaption, outcome.status);
    return false;
  }
  return true;
}

CScriptRunner::CommandResult CScriptRunner::EraseChip(const Words&, int) {
  StatusScope status(ui_, verbose_, texts::kErasingChip, cancelEnabled_);
  SectorList list{};
  const ResultCode result = dm_.EraseChip(&list);
  client::GiveBack(dm_, list);
  if (result != kOk) {
    Show((result & kStatusMask) == kProtectedBySoftware ? ProtectedChipText(dm_) : std::string(texts::kEraseChip));
    return CommandResult::kFailed;
  }
  status.Close(true);
  return CommandResult::kSucceeded;
}

CScriptRunner::CommandResult CScriptRunner::LoadHex(const Words& words, int) {
  // The path keeps the script's spelling (file systems tell case apart);
  // '\' separates its directories.
  const std::string& given = words[1].spelling;
  const std::string path = files::ToNative(given);
  StatusScope status(ui_, verbose_, std::string(texts::kLoadingFile) + given, cancelEnabled_);
  loadMode_ = ModeOfPath(path);
  WorkerThreadInfo thread{};
  if (!Completed(dm_.LoadFile(path.c_str(), static_cast<uint32_t>(*loadMode_), &thread), texts::kLoadFile)) {
    return CommandResult::kFailed;
  }
  status.Close(true);
  return CommandResult::kSucceeded;
}

CScriptRunner::CommandResult CScriptRunner::Download(const Words&, int) {
  StatusScope status(ui_, verbose_, texts::kDownloading, cancelEnabled_);
  const uint32_t address = loadMode_ == LoadMode::kBinary ? 0 : client::BankOffset(bank_);
  WorkerThreadInfo thread{};
  const WaitOutcome outcome = Wait(dm_.ProgFlash(address, &thread));
  if (outcome.end == WaitEnd::kStopped) return CommandResult::kFailed;
  if (outcome.status == kOk) {
    downloadedAt_ = address;
    status.Close(true);
    if (verifyDownloads_ && !VerifyDownload(address)) return CommandResult::kFailed;
    return CommandResult::kSucceeded;
  }
  Show(outcome.status == kFileNotFound ? texts::kFileNotLoaded : texts::kDownload);
  return CommandResult::kFailed;
}

CScriptRunner::CommandResult CScriptRunner::Disconnect(const Words& words, int line) {
  struct ExitKeyword {
    std::string_view name;
    ExitMode mode;
  };
  static constexpr ExitKeyword kKeywords[] = {
      {"SWRESET", ExitMode::kSoftwareReset},
      {"HWRESET", ExitMode::kHardwareReset},
      {"JUMP", ExitMode::kJump},
  };
  ExitRequest request{ModeByte(ExitMode::kNone), 0};
  if (words.size() > 1) {
    const ExitKeyword* keyword = nullptr;
    for (const ExitKeyword& k : kKeywords) {
      if (words[1].upper == k.name) keyword = &k;
    }
    if (keyword == nullptr) {
      ShowLine(texts::kInvalidArgument, line);
      return CommandResult::kRefused;
    }
    request.mode = ModeByte(keyword->mode);
  }
  if (request.mode == ModeByte(ExitMode::kJump)) {
    if (words.size() < 3) {
      ShowLine(texts::kMissingArgument, line);
      return CommandResult::kRefused;
    }
    uint32_t address = 0;
    if (!Number(words[2], line, &address)) return CommandResult::kRefused;
    request.address = address;
  }
  StatusScope status(ui_, verbose_, texts::kDisconnecting, cancelEnabled_);
  dm_.ExitZelkor(&request);
  connected_ = false;
  status.Close(true);
  return CommandResult::kSucceeded;
}

}  // namespace zk::runner
