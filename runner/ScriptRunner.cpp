#include "runner/ScriptRunner.h"

#include "client/ModuleBanks.h"
#include "client/Numbers.h"
#include "runner/RunnerTexts.h"
#include "runner/ScriptReader.h"

#include <charconv>
#include <cstdio>

namespace zk::runner {
namespace {

constexpr std::size_t kTextBuffer = 512;

}  // namespace

std::string FormatText(const char* pattern, int value) {
  char text[kTextBuffer];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

std::string FormatText(const char* pattern, std::string_view value) {
  const std::string copy(value);
  const int size = std::snprintf(nullptr, 0, pattern, copy.c_str());
  if (size < 0) return {};
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(text.data(), text.size(), pattern, copy.c_str());
  text.pop_back();
  return text;
}

std::optional<uint32_t> ParseDecimal(std::string_view text) { return client::ParseNumber(text); }

CScriptRunner::CScriptRunner(RunnerUi& ui, bool verbose)
    : ui_(ui), dm_(client::CDmAccess::MissingDirectory::kFail), verbose_(verbose) {
  dm_.SetBusyIndicator(&ui_);
}

const std::vector<CScriptRunner::Command>& CScriptRunner::Commands() {
  static const std::vector<Command> commands{
      {"CONNECT", 2, &CScriptRunner::Connect, texts::kErrorConnecting},
      {"ERASESECTOR", 2, &CScriptRunner::EraseSector, texts::kErrorErasingSector},
      {"LOADHEX", 1, &CScriptRunner::LoadHex, texts::kErrorLoadingHexFile},
      {"LOADFILE", 1, &CScriptRunner::LoadFile, texts::kErrorLoadingFile},
      {"DOWNLOAD", 0, &CScriptRunner::Download, texts::kErrorProgramming},
      {"ERASECHIP", 0, &CScriptRunner::EraseChip, texts::kErrorErasingChip},
      {"DISCONNECT", 0, &CScriptRunner::Disconnect, nullptr},
      {"MESSAGE", 1, &CScriptRunner::Message, nullptr},
      {"SELECTBANK", 1, &CScriptRunner::SelectBank, nullptr},
      {"ENABLE", 1, &CScriptRunner::Enable, nullptr},
      {"DISABLE", 1, &CScriptRunner::Disable, nullptr},
      {"PASSWORD", 1, &CScriptRunner::Password, texts::kErrorSendingPassword},
      {"VERIFY", 0, &CScriptRunner::Verify, texts::kErrorVerifying},
      {"UPLOAD", 3, &CScriptRunner::Upload, texts::kErrorUploading},
  };
  return commands;
}

void CScriptRunner::Show(std::string_view text) { ui_.ShowMessage(text, MessageKind::kError); }

void CScriptRunner::ShowLine(const char* pattern, int line) { Show(FormatText(pattern, line)); }

bool CScriptRunner::Number(const ScriptWord& word, int line, uint32_t* value) {
  const std::optional<uint32_t> parsed = ParseDecimal(word.upper);
  if (!parsed) {
    ShowLine(texts::kInvalidNumber, line);
    return false;
  }
  *value = *parsed;
  return true;
}

ExitCode CScriptRunner::Run(const std::string& scriptPath) {
  ScriptReader reader;
  if (!reader.Open(scriptPath)) {
    Show(FormatText(texts::kFileNotFound, scriptPath));
    return ExitCode::kScriptNotRead;
  }
  std::string text;
  for (;;) {
    switch (reader.Read(&text)) {
      case ScriptReader::Next::kEnd: return ExitCode::kCompleted;
      case ScriptReader::Next::kReadError: Show(FormatText(texts::kReadError, scriptPath)); return ExitCode::kFailed;
      case ScriptReader::Next::kTooLong: ShowLine(texts::kLineTooLong, reader.LineNumber()); return ExitCode::kFailed;
      case ScriptReader::Next::kLine: break;
    }
    if (text.empty()) continue;
    const SplitLine split = SplitWords(text);
    const int line = reader.LineNumber();
    if (split.error == SplitError::kWordTooLong) {
      ShowLine(texts::kLineTooLong, line);
      return ExitCode::kFailed;
    }
    if (split.error == SplitError::kTooManyWords) {
      ShowLine(texts::kTooManyArguments, line);
      return ExitCode::kFailed;
    }
    const bool executed = split.words.empty() || Execute(split.words, line);
    if (ui_.EndRequested()) return EndInterrupted();
    if (!executed) return ExitCode::kFailed;
  }
}

ExitCode CScriptRunner::EndInterrupted() {
  Show(texts::kInterrupted);
  // A worker whose stop was refused is not disconnected under.
  if (connected_ && !client::WorkerRunning(dm_.GetCurrentThreadStatus())) {
    ExitRequest exit{0, 0};
    dm_.ExitZelkor(&exit);
    connected_ = false;
  }
  return ExitCode::kFailed;
}

bool CScriptRunner::Execute(const Words& words, int line) {
  for (const Command& command : Commands()) {
    if (words.front().upper != command.name) continue;
    if (words.size() - 1 < command.arguments) {
      ShowLine(texts::kMissingArgument, line);
      return false;
    }
    switch ((this->*command.handler)(words, line)) {
      case CommandResult::kSucceeded: return true;
      case CommandResult::kRefused: return false;
      case CommandResult::kFailed:
        if (command.failure != nullptr) Show(command.failure);
        return false;
    }
  }
  ShowLine(texts::kUnknownCommand, line);
  return false;
}

client::WaitOutcome CScriptRunner::Wait(ResultCode started) {
  if (started != kOk) return {client::WaitEnd::kEnded, started};
  client::WaitOptions options;
  options.showProgress = verbose_;
  const bool cancellable = cancelEnabled_ && (verbose_ || ui_.CancelsWithoutWindow());
  // Where the user cancels without a window, the face also hears a request
  // to end the run while cancel is disabled.
  options.cancellable = cancellable || ui_.CancelsWithoutWindow();
  ui_.BeginWait(cancellable);
  const client::WaitOutcome outcome = client::WaitForWorker(dm_, ui_, options);
  ui_.EndWait();
  return outcome;
}

bool CScriptRunner::Completed(ResultCode started, const char* failure) {
  const client::WaitOutcome outcome = Wait(started);
  if (outcome.end == client::WaitEnd::kStopped) return false;
  if (outcome.status == kOk) return true;
  Show(failure);
  return false;
}

CScriptRunner::CommandResult CScriptRunner::Message(const Words& words, int) {
  ui_.ShowMessage(words[1].upper, MessageKind::kScript);
  return CommandResult::kSucceeded;
}

CScriptRunner::CommandResult CScriptRunner::SelectBank(const Words& words, int line) {
  uint32_t bank = 0;
  if (!Number(words[1], line, &bank)) return CommandResult::kRefused;
  // A bank's HEX images are programmed at bank x 65536, which must not wrap.
  if (!client::BankFits(bank)) {
    ShowLine(texts::kInvalidNumber, line);
    return CommandResult::kRefused;
  }
  bank_ = bank;
  return CommandResult::kSucceeded;
}

// The switches of ENABLE and DISABLE, by keyword.
const std::vector<CScriptRunner::SwitchKeyword>& CScriptRunner::Switches() {
  static const std::vector<SwitchKeyword> switches{
      {"CANCEL", &CScriptRunner::cancelEnabled_},
      {"VERBOSE", &CScriptRunner::verbose_},
      {"VERIFY", &CScriptRunner::verifyDownloads_},
  };
  return switches;
}

CScriptRunner::CommandResult CScriptRunner::SetSwitch(const Words& words, int line, bool on) {
  for (const SwitchKeyword& keyword : Switches()) {
    if (words[1].upper != keyword.name) continue;
    this->*keyword.flag = on;
    return CommandResult::kSucceeded;
  }
  ShowLine(texts::kInvalidArgument, line);
  return CommandResult::kRefused;
}

CScriptRunner::CommandResult CScriptRunner::Enable(const Words& words, int line) {
  return SetSwitch(words, line, true);
}

CScriptRunner::CommandResult CScriptRunner::Disable(const Words& words, int line) {
  return SetSwitch(words, line, false);
}

}  // namespace zk::runner
