// Binding the command layer at login, and the exports that pass an operation
// on to it.
#include "common/DmApi.h"
#include "common/Export.h"
#include "dm/BankFlashes.h"
#include "dm/CommandLayer.h"
#include "dm/CommandLibrary.h"
#include "dm/FlashLayout.h"
#include "dm/Forward.h"
#include "dm/OwnWorker.h"
#include "dm/Progress.h"
#include "dm/ReadOutcome.h"
#include "dm/State.h"

#include <cstring>

namespace zk::dm {
namespace {

bool Matches(const FlashLibInfo& found, const FlashLibSelectionWords& selection) {
  return found.words[0] == selection.words[0] && found.words[3] == selection.words[1];
}

}  // namespace
}  // namespace zk::dm

using namespace zk;
using dm::Cmd;
using dm::State;

ZK_EXPORT uint32_t DmLogin(const char* modulePath, LoginInfo* loginInfo, WorkerThreadInfo* threadInfo) {
  dm::SettleRead();
  const std::string path = modulePath != nullptr ? modulePath : "";
  if (dm::AnyWorkerRunning()) return kWorkerRunning;
  const std::optional<std::string> library = dm::CommandLibraryPath(path);
  if (!library || !Cmd().Bind(*library)) return kCmdDllNotLoaded;
  const auto login = Cmd().Require<cmm::LoginFn>("CmmLogin");
  if (login == nullptr) return kCmdDllError;
  dm::DmState& state = State();
  state.modulePath = path;
  dm::MarkForwarded();
  const ResultCode rc = login(state.modulePath.c_str(), loginInfo, threadInfo);
  state.loggedIn = 1;
  state.currentBank = 0;
  state.bankFlashes.clear();
  return rc;
}

ZK_EXPORT uint32_t DmExitZelkor(ExitRequest* request) {
  dm::SettleRead();
  const std::optional<ResultCode> rc = dm::TryForward<cmm::ExitZelkorFn>("CmmExitZelkor", request);
  if (!rc) return kCmdDllError;
  State().loggedIn = 0;
  Cmd().Release();
  return *rc;
}

ZK_EXPORT uint32_t DmCheckOldZelkor(void) { return dm::Forward<cmm::CheckOldZelkorFn>("CmmCheckOldZelkor"); }

ZK_EXPORT uint32_t DmFindFlashLib(FlashLibRequest* request, FlashLibInfo* info) {
  const std::optional<ResultCode> rc = dm::TryForward<cmm::FindFlashLibFn>("CmmFindFlashLib", request, info);
  if (!rc) return kCmdDllError;
  // Kept whatever the result, with the flash start it was asked for.
  const uint32_t flashStart = request != nullptr ? request->flashStart : 0;
  if (info != nullptr) State().foundFlashes.push_back({*info, flashStart});
  return *rc;
}

ZK_EXPORT uint32_t DmSelectFlashLib(FlashLibSelection* selection) {
  const std::optional<ResultCode> rc = dm::TryForward<cmm::SelectFlashLibFn>("CmmSelectFlashLib", selection);
  if (!rc) return kCmdDllError;
  dm::DmState& state = State();
  if (selection != nullptr) {
    FlashLibSelectionWords words{};
    std::memcpy(&words, selection, sizeof words);
    for (const dm::FoundFlash& found : state.foundFlashes) {
      if (dm::Matches(found.info, words)) {
        state.currentFlash = found.info;
        dm::RememberBankFlash(found.flashStart, found.info);
        break;
      }
    }
  }
  // Sets the flash window and tells the command layer the end of flash.
  dm::LoadSectorLayout(dm::FlashOfCurrentBank());
  state.foundFlashes.clear();
  return *rc;
}

ZK_EXPORT uint32_t DmSendPassword(PasswordBlock* block) {
  const std::optional<ResultCode> rc = dm::TryForward<cmm::SendPasswordFn>("CmmSendPassword", block);
  if (!rc) return kCmdDllError;
  State().readPermission = *rc == kOk ? 1 : 0;
  return *rc;
}

ZK_EXPORT uint32_t DmEnableProtectedAreas(uint32_t enable) {
  const std::optional<ResultCode> rc = dm::TryForward<cmm::EnableProtectedAreasFn>("CmmEnableProtectedAreas", enable);
  if (!rc) return kCmdDllError;
  State().protectionOverride = enable;  // whatever the command layer answered
  return *rc;
}

ZK_EXPORT uint32_t DmAddOwnPages(uint32_t value) { return dm::Forward<dm::AddOwnPagesFn>("CmmAddOwnPages", value); }

ZK_EXPORT uint32_t DmEraseChip(SectorList* result) { return dm::Forward<cmm::EraseChipFn>("CmmEraseChip", result); }

ZK_EXPORT uint32_t DmGetSectorStatus(RangeRequest* range, SectorList* result, WorkerThreadInfo* threadInfo) {
  return dm::ForwardWorker<cmm::RangeWorkerFn>("CmmGetSectorStatus", range, result, threadInfo);
}
