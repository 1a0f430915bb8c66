// The commands that change the module's flash or the image: ERASESECTOR,
// ERASECHIP, LOADHEX, LOADFILE, DOWNLOAD and DISCONNECT.
#include "runner/ScriptRunner.h"

#include "client/DmAccessReport.h"
#include "client/HandedOut.h"
#include "client/ModuleBanks.h"
#include "common/Records.h"
#include "platform/Files.h"
#include "runner/RunnerTexts.h"
#include "runner/StatusScope.h"

#include <cstdio>
#include <string>
#include <vector>

namespace zk::runner {
namespace {

// Why a chip erase is refused on a module with protected areas: the areas,
// which the erase would wipe, and what a script can do instead.
std::string ProtectedChipText(client::CDmAccess& dm) {
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
  // Sectors are numbered from 0 in bank order, within a bank in block and
  // address order; a number the module does not have erases nothing.
  const client::FlowResult result = flow_.EraseSectorNumbers(first, last);
  if (!result.Done()) {
    if (result.end == client::FlowEnd::kCallFailed && result.what.starts_with("sector layout")) {
      Show(texts::kGetSectorInfos);
    } else {
      // A sector that is not erased must not pass for an erased one.
      ReportFlow(result, result.end == client::FlowEnd::kRefused ? "ERASESECTOR" : texts::kEraseSectorCaption);
    }
    return CommandResult::kFailed;
  }
  status.Close(true);
  return CommandResult::kSucceeded;
}

CScriptRunner::CommandResult CScriptRunner::EraseChip(const Words&, int) {
  StatusScope status(ui_, verbose_, texts::kErasingChip, cancelEnabled_);
  const client::FlowResult result = flow_.EraseChip();
  if (!result.Done()) {
    Show((result.code & client::kStatusMask) == kProtectedBySoftware ? ProtectedChipText(dm_)
                                                                     : std::string(texts::kEraseChip));
    return CommandResult::kFailed;
  }
  status.Close(true);
  return CommandResult::kSucceeded;
}

CScriptRunner::CommandResult CScriptRunner::LoadHex(const Words& words, int) {
  // HEX by the extension .hex or .h86, binary otherwise.
  return LoadImage(words[1].spelling, client::ImageTypeOfPath(files::ToNative(words[1].spelling)));
}

CScriptRunner::CommandResult CScriptRunner::LoadFile(const Words& words, int) {
  // HEX, S-record, ELF or binary by the file's first bytes.
  return LoadImage(words[1].spelling, client::ImageTypeOfFile(files::ToNative(words[1].spelling)));
}

CScriptRunner::CommandResult CScriptRunner::LoadImage(const std::string& given, LoadMode type) {
  // The path keeps the script's spelling (file systems tell case apart);
  // '\' separates its directories.
  const std::string path = files::ToNative(given);
  StatusScope status(ui_, verbose_, std::string(texts::kLoadingFile) + given, cancelEnabled_);
  loadMode_ = type;
  const client::FlowResult result = flow_.Load(path, *loadMode_);
  if (!result.Done()) {
    // The file's fault on a line of its own; a checksum's box has named it.
    const bool named = (result.code & client::kStatusMask) == kReceiveChecksum || result.fileProblem.empty();
    if (result.end != client::FlowEnd::kStopped) {
      Show(std::string(texts::kLoadFile) + (named ? "" : "\n" + result.fileProblem));
    }
    return CommandResult::kFailed;
  }
  status.Close(true);
  return CommandResult::kSucceeded;
}

CScriptRunner::CommandResult CScriptRunner::Download(const Words&, int) {
  StatusScope status(ui_, verbose_, texts::kDownloading, cancelEnabled_);
  const uint32_t address = loadMode_ == LoadMode::kBinary ? 0 : client::BankOffset(bank_);
  const client::FlowResult result = flow_.Program(address);
  if (result.end == client::FlowEnd::kStopped) return CommandResult::kFailed;
  if (result.Done()) {
    downloadedAt_ = address;
    status.Close(true);
    if (verifyDownloads_ && !VerifyDownload(address)) return CommandResult::kFailed;
    return CommandResult::kSucceeded;
  }
  if (result.end == client::FlowEnd::kRefused) {
    ReportFlow(result, "DOWNLOAD");
  } else {
    Show(result.code == kFileNotFound ? texts::kFileNotLoaded : texts::kDownload);
  }
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
  flow_.Disconnect(request);
  connected_ = false;
  status.Close(true);
  return CommandResult::kSucceeded;
}

}  // namespace zk::runner
