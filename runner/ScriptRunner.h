#pragma once
// One run of a script: reads it line by line and executes each command
// through the data manager, stopping at the first failure.
#include "client/DmAccess.h"
#include "client/DmAccessWait.h"
#include "client/ImageType.h"
#include "client/ModuleFlow.h"
#include "runner/RunnerUi.h"
#include "runner/ScriptLine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zk::runner {

// The program's exit code.
enum class ExitCode : int {
  kCompleted = 0,      // the script ran to its end
  kFailed = 1,         // a command or a word check failed, after its message
  kScriptNotRead = 2,  // the script file cannot be opened
};

// The image mode of LOADHEX and LOADFILE, read by DOWNLOAD.
using LoadMode = client::ImageType;

class CScriptRunner {
 public:
  CScriptRunner(RunnerUi& ui, bool verbose);

  ExitCode Run(const std::string& scriptPath);

 private:
  using Words = std::vector<ScriptWord>;
  enum class CommandResult {
    kSucceeded,
    kFailed,   // the command's own failure message follows
    kRefused,  // a word check failed; its message has been shown
  };
  using Handler = CommandResult (CScriptRunner::*)(const Words&, int line);
  struct Command {
    std::string_view name;
    std::size_t arguments;  // needed at least
    Handler handler;
    const char* failure;  // null: the command never fails
  };

  // A keyword of ENABLE and DISABLE and the switch it sets.
  struct SwitchKeyword {
    std::string_view name;
    bool CScriptRunner::*flag;
  };

  bool Execute(const Words& words, int line);
  // The end of a run the user interrupted: disconnects when connected.
  ExitCode EndInterrupted();

  CommandResult Connect(const Words& words, int line);
  CommandResult EraseSector(const Words& words, int line);
  CommandResult LoadHex(const Words& words, int line);
  CommandResult LoadFile(const Words& words, int line);
  // Loads the file the script names as given, as an image of type.
  CommandResult LoadImage(const std::string& given, LoadMode type);
  CommandResult Download(const Words& words, int line);
  CommandResult EraseChip(const Words& words, int line);
  CommandResult Disconnect(const Words& words, int line);
  CommandResult Message(const Words& words, int line);
  CommandResult SelectBank(const Words& words, int line);
  CommandResult Enable(const Words& words, int line);
  CommandResult Disable(const Words& words, int line);
  CommandResult SetSwitch(const Words& words, int line, bool on);
  CommandResult Password(const Words& words, int line);
  CommandResult Verify(const Words& words, int line);
  CommandResult Upload(const Words& words, int line);

  // Compares the loaded image, as DOWNLOAD placed it at address, with the
  // flash; false after the failure's messages.
  bool VerifyDownload(uint32_t address);
  // A hex address argument; false (after "Invalid address in line %d") otherwise.
  bool Address(const ScriptWord& word, int line, uint32_t* value);

  // The flow's face: the runner's waiting loop, its library rule, a
  // second Ctrl-C between two steps.
  class Face : public client::FlowFace {
   public:
    explicit Face(CScriptRunner& runner) : runner_(runner) {}
    client::WaitOutcome Wait(client::FlowPhase, ResultCode started) override { return runner_.Wait(started); }
    std::optional<std::size_t> ChooseFlashLib(int, std::span<const FlashLibInfo> found) override {
      return client::ChooseExternalFlash(found, runner_.flashType_);
    }
    bool StopRequested() override { return runner_.ui_.EndRequested(); }

   private:
    CScriptRunner& runner_;
  };

  // A flow that did not end well: its message (caption: code text) unless
  // the user stopped it.
  void ReportFlow(const client::FlowResult& result, const char* caption);

  // Waits for the worker of an export that returned started; an export that
  // failed started none, and its result is the outcome.
  client::WaitOutcome Wait(ResultCode started);
  // Wait: true when the worker ended with 0; otherwise false, after failure
  // unless the user stopped the worker.
  bool Completed(ResultCode started, const char* failure);
  void Show(std::string_view text);
  void ShowLine(const char* pattern, int line);
  // A decimal argument; false (after "Invalid number in line %d") otherwise.
  bool Number(const ScriptWord& word, int line, uint32_t* value);

  static const std::vector<Command>& Commands();
  static const std::vector<SwitchKeyword>& Switches();

  RunnerUi& ui_;
  client::CDmAccess dm_;
  Face face_{*this};
  client::ModuleFlow flow_{dm_, face_};
  std::string flashType_;  // CONNECT's first argument
  std::optional<LoadMode> loadMode_;
  uint32_t bank_ = 0;
  bool verbose_;
  bool cancelEnabled_ = true;
  bool connected_ = false;                // logged in and not disconnected since
  bool verifyDownloads_ = false;          // ENABLE VERIFY
  std::optional<uint32_t> downloadedAt_;  // the address of the last DOWNLOAD, for VERIFY
};

// "%s"/"%d" patterns of the runner's texts filled in.
std::string FormatText(const char* pattern, int value);
std::string FormatText(const char* pattern, std::string_view value);

// A number argument by the programs' one rule, bare digits decimal.
std::optional<uint32_t> ParseDecimal(std::string_view text);

}  // namespace zk::runner
