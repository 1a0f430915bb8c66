#pragma once
// The flows every program runs on a module, written once: connect (the
// data manager, the login, and for every bank its flash library, its base
// and its layout), the bank and sector table, erase, load, program, verify,
// read back and disconnect. A program keeps only what it shows, what it
// asks and its options: the flow tells it through FlowFace what it does and
// asks it what it cannot decide (which flash library, whether to stop).
#include "client/DmAccess.h"
#include "client/DmAccessWait.h"
#include "client/FlashTable.h"
#include "client/ImageType.h"
#include "common/ResultCodes.h"
#include "platform/NonCopyable.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zk::client {

enum class FlowPhase : uint8_t { kConnect, kLoad, kErase, kProgram, kVerify, kRead, kSave, kStatus, kDisconnect };

// "connect", "load", "erase", ...
std::string_view PhaseName(FlowPhase phase);

// The steps of a connect a program may show.
enum class ConnectStage : uint8_t { kLoggingIn, kSearchingLibrary, kStartingLibrary };

// How a flow ended.
enum class FlowEnd : uint8_t {
  kDone,
  kStopped,       // the user stopped it
  kRefused,       // nothing was sent: refusal says why
  kCallFailed,    // an export refused to start (code)
  kWorkerFailed,  // its worker ended with a status that is not 0 (code)
};

struct FlowResult {
  FlowEnd end = FlowEnd::kDone;
  ResultCode code = kOk;
  std::string refusal;
  // What failed, for a message: "erase 0x040000-0x04BFFF", "bank 1".
  std::string what;
  // A failed erase: the sectors the data manager listed.
  std::vector<SectorEntry> failedSectors;
  // A failed load: what the data manager found wrong with the file ("line
  // 7: the record's checksum does not match"); what carries it too.
  std::string fileProblem;

  bool Done() const { return end == FlowEnd::kDone; }
};

class FlowFace {
 public:
  virtual ~FlowFace() = default;
  // Waits for the worker an export of phase started; started is the
  // export's own result (not 0: no worker runs).
  virtual WaitOutcome Wait(FlowPhase phase, ResultCode started) = 0;
  // The question of a connect: which of the flash libraries found for bank
  // to select; nullopt selects none and ends the connect.
  virtual std::optional<std::size_t> ChooseFlashLib(int bank, std::span<const FlashLibInfo> found) = 0;

  virtual void PhaseStarted(FlowPhase, uint64_t /*total*/) {}
  virtual void BytesDone(FlowPhase, uint64_t /*done*/) {}
  virtual void PhaseEnded(FlowPhase, bool /*succeeded*/) {}
  virtual void StageReached(ConnectStage) {}
  // A bank's library is selected, its base set and its layout read.
  virtual void BankConnected(const BankRow&) {}
  // One range of an erase is about to go to the module.
  virtual void Erasing(const BankRange&) {}
  // Asked between two steps: whether the user asked to stop.
  virtual bool StopRequested() { return false; }
  // A range of a needed-sector erase failed on its worker: whether the
  // erase goes on with the next range (after the face said so); no stops it.
  virtual bool GoOnAfterFailedErase(const BankRange&, const FlowResult&) { return false; }
};

// The step at which a connection failed, or kConnected.
enum class ConnectStep {
  kConnected,
  kLibraryName,  // the data manager's name is no plain library name
  kLoad,         // the data manager does not load
  kLogin,        // the login failed or was stopped
  kOldFirmware,
  kNoFlashLibrary,  // a bank has none, or none was chosen
  kSelectFailed,    // the library chosen could not be selected
};

struct ConnectOutcome {
  ConnectStep step = ConnectStep::kConnected;
  WaitOutcome login;             // kLogin: how the login worker ended
  std::string refusal;           // kLibraryName: the message
  int bank = 0;                  // kNoFlashLibrary, kSelectFailed: the bank
  bool chooserDeclined = false;  // kNoFlashLibrary: the face chose none of several
  bool Connected() const { return step == ConnectStep::kConnected; }
};

// The module description in dir, its name looked up ignoring case.
std::string ModuleDescriptionPath(const std::string& dir);

// The flash type every module of this system uses.
inline constexpr std::string_view kExternalAmd = "EXTERNAMD";

// The script runner's and zelkor's choice: the first library whose flash
// description (in the program's flash description directory) says
// "EXTERNAL FLASH", when the flash type is EXTERNAMD.
std::optional<std::size_t> ChooseExternalFlash(std::span<const FlashLibInfo> found, std::string_view flashType);

// "0x040000-0x04BFFF"
std::string RangeText(uint64_t first, uint64_t last);

class ModuleFlow : private NonCopyable {
 public:
  ModuleFlow(CDmAccess& dm, FlowFace& face) : dm_(dm), face_(face) {}

  // Loads the data manager the description in moduleDir names, logs in and
  // connects every bank. A connect that fails after the login ends the
  // connection again (exit mode 0).
  ConnectOutcome Connect(const std::string& moduleDir);
  // Only the first step of Connect: the data manager, without a word to the
  // module, so that an image can be loaded and judged before it connects.
  ConnectOutcome LoadDataManager(const std::string& moduleDir);
  bool Connected() const { return connected_; }
  const std::string& ModulePath() const { return modulePath_; }
  const LoginInfo& Login() const { return login_; }
  const FlashTable& Table() const { return table_; }

  // Makes bank the one the data manager works on (nothing when it is).
  void SelectBank(int bank);
  // The same, told again even when it is.
  void ForceBank(int bank);

  // Erases the ranges, each in its bank, as one erase phase.
  FlowResult EraseRanges(std::span<const BankRange> ranges);
  // Erases the sectors first..last of the table; numbers the module does
  // not have are refused before anything is erased.
  FlowResult EraseSectorNumbers(uint32_t first, uint32_t last);
  // The sectors the loaded image needs in every bank when it is programmed
  // at offset, after the image was checked against the banks.
  FlowResult NeededSectors(uint32_t offset, std::vector<BankRange>* needed, uint64_t* bytes = nullptr);
  // Bank by bank: the bank set, its needed sectors asked for and erased.
  FlowResult EraseNeeded(uint32_t offset);
  FlowResult EraseBank(int bank);
  // Every bank, stopping at the first that fails.
  FlowResult EraseChip();
  // The blank status of the sectors of range (in its bank).
  FlowResult SectorStatus(const BankRange& range, std::vector<SectorStatusEntry>* entries);

  // Refuses an image that, placed at offset, runs past 4 GB or has bytes
  // outside every bank; nothing is sent. A data manager that cannot tell
  // where the image lies passes.
  FlowResult CheckImage(uint32_t offset);
  FlowResult Load(const std::string& path, ImageType type);
  // Checks the image, then programs it at offset; bytes is the phase's
  // total for the face (0: not known).
  FlowResult Program(uint32_t offset, uint64_t bytes = 0);
  FlowResult Verify(uint32_t offset, VerifyResult* result, uint64_t bytes = 0);
  FlowResult Read(uint32_t start, uint32_t length);
  FlowResult Save(const std::string& path, ImageType type);

  void Disconnect(ExitRequest request);

 private:
  ConnectOutcome ConnectSteps(const std::string& moduleDir);
  bool ConnectBank(int bank, ConnectOutcome* outcome);
  void ReadAreas();
  FlowResult Run(FlowPhase phase, uint64_t total, ResultCode started, std::string what);
  FlowResult EraseOne(const BankRange& range);
  // The needed sectors of the current bank, added to needed.
  FlowResult BankNeeds(const BankRow& bank, uint32_t offset, std::vector<BankRange>* needed, uint64_t* bytes = nullptr);
  FlowResult EraseBankChip(const BankRow& bank);
  const BankRow* Bank(int bank) const;

  CDmAccess& dm_;
  FlowFace& face_;
  std::string modulePath_;
  LoginInfo login_{};
  FlashTable table_;
  bool connected_ = false;
  std::optional<int> currentBank_;  // the bank last made the current one
};

}  // namespace zk::client
