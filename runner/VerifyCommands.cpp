// The commands that read the flash back: PASSWORD (read access), VERIFY
// (the last download against the flash) and UPLOAD (a range of the flash
// into a file).
#include "runner/ScriptRunner.h"

#include "client/DmAccessReport.h"
#include "client/Numbers.h"
#include "common/HexText.h"
#include "platform/Files.h"
#include "runner/RunnerTexts.h"
#include "runner/StatusScope.h"

#include <cstdio>

namespace zk::runner {

bool CScriptRunner::Address(const ScriptWord& word, int line, uint32_t* value) {
  // Bare digits are hexadecimal, as the script's addresses always were.
  const std::optional<uint32_t> parsed = client::ParseNumber(word.spelling, client::BareDigits::kHex);
  if (!parsed) {
    ShowLine(texts::kInvalidAddress, line);
    return false;
  }
  *value = *parsed;
  return true;
}

CScriptRunner::CommandResult CScriptRunner::Password(const Words& words, int) {
  StatusScope status(ui_, verbose_, texts::kSendingPassword, cancelEnabled_);
  // The password as the script spells it: case counts.
  const std::string& password = words[1].spelling;
  PasswordBlock block{static_cast<uint32_t>(password.size()), reinterpret_cast<const uint8_t*>(password.data())};
  if (const ResultCode code = dm_.SendPassword(&block); code != kOk) {
    client::FlashException().Report(ui_, texts::kPasswordCaption, code);
    return CommandResult::kFailed;
  }
  status.Close(true);
  return CommandResult::kSucceeded;
}

CScriptRunner::CommandResult CScriptRunner::Verify(const Words&, int line) {
  if (!downloadedAt_) {
    ShowLine(texts::kNothingToVerify, line);
    return CommandResult::kRefused;
  }
  return VerifyDownload(*downloadedAt_) ? CommandResult::kSucceeded : CommandResult::kFailed;
}

bool CScriptRunner::VerifyDownload(uint32_t address) {
  if (dm_.Loaded() && !dm_.CanVerify()) {
    Show(texts::kVerifyNotAvailable);
    return false;
  }
  StatusScope status(ui_, verbose_, texts::kVerifying, cancelEnabled_);
  VerifyResult result{};
  const client::FlowResult verified = flow_.Verify(address, &result);
  if (verified.end == client::FlowEnd::kStopped) return false;
  if (verified.end == client::FlowEnd::kWorkerFailed && verified.code == kVerifyMismatch) {
    char text[160];
    std::snprintf(text, sizeof text, texts::kVerifyMismatch, result.differing, result.firstDifference);
    Show(text);
    return false;
  }
  if (!verified.Done()) {
    ReportFlow(verified, texts::kVerifyCaption);
    return false;
  }
  status.Close(true);
  return true;
}

CScriptRunner::CommandResult CScriptRunner::Upload(const Words& words, int line) {
  uint32_t start = 0;
  uint32_t end = 0;
  if (!Address(words[1], line, &start) || !Address(words[2], line, &end)) return CommandResult::kRefused;
  if (end < start) {
    ShowLine(texts::kInvalidAddress, line);
    return CommandResult::kRefused;
  }
  const std::string path = files::ToNative(words[3].spelling);
  StatusScope status(ui_, verbose_, texts::kUploading, cancelEnabled_);
  const client::FlowResult read = flow_.Read(start, end - start + 1);
  if (!read.Done()) {
    ReportFlow(read, texts::kReadFlashCaption);
    return CommandResult::kFailed;
  }
  // Saved as the workbench saves: HEX or S-record when the extension names
  // one of them, binary otherwise.
  const client::FlowResult saved = flow_.Save(path, client::SaveTypeOfPath(path));
  if (!saved.Done()) {
    ReportFlow(saved, texts::kSaveFileCaption);
    return CommandResult::kFailed;
  }
  status.Close(true);
  return CommandResult::kSucceeded;
}

}  // namespace zk::runner
