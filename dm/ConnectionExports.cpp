// Binding the command layer at login, and the exports that pass an operation
// on to it.
#include "common/DmApi.h"
#include "common/Export.h"
#include "dm/CommandLayer.h"
#include "dm/CommandLibrary.h"
#include "dm/FlashLayout.h"
#include "dm/Forward.h"
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
  const std::string path = modulePath != nullptr ? modulePath : "";
  if (!Cmd().Bind(dm::CommandLibraryPath(path))) return kCmdDllNotLoaded;
  const auto login = Cmd().Require<cmm::LoginFn>("CmmLogin");
  if (login == nullptr) return kCmdDllError;
  dm::DmState& state = State();
  state.progress = dm::kForwardedProgress;
  state.modulePath = path;
  state.forwarded = 1;
  const ResultCode rc = login(state.modulePath.c_str(), loginInfo, threadInfo);
  state.loggedIn = 1;
  state.currentBank = 0;
  return rc;
}

ZK_EXPORT uint32_t DmExitZelkor(ExitRequest* request) {
  const auto exitZelkor = Cmd().Require<cmm::ExitZelkorFn>("CmmExitZelkor");
  if (exitZelkor == nullptr) return kCmdDllError;
  State().forwarded = 0;
  const ResultCode rc = exitZelkor(request);
  State().loggedIn = 0;
  Cmd().Release();
  return rc;
}

ZK_EXPORT uint32_t DmCheckOldZelkor(void) {
  return dm::Forward<cmm::CheckOldZelkorFn>("CmmCheckOldZelkor");
}

ZK_EXPORT uint32_t DmFindFlashLib(FlashLibRequest* request, FlashLibInfo* info) {
  const auto findFlashLib = Cmd().Require<cmm::FindFlashLibFn>("CmmFindFlashLib");
  if (findFlashLib == nullptr) return kCmdDllError;
  State().forwarded = 0;
  const ResultCode rc = findFlashLib(request, info);
  if (info != nullptr) State().foundFlashes.push_back(*info);  // whatever the result
  return rc;
}

ZK_EXPORT uint32_t DmSelectFlashLib(FlashLibSelection* selection) {
  const auto selectFlashLib = Cmd().Require<cmm::SelectFlashLibFn>("CmmSelectFlashLib");
  if (selectFlashLib == nullptr) return kCmdDllError;
  dm::DmState& state = State();
  state.forwarded = 0;
  const ResultCode rc = selectFlashLib(selection);
  if (selection != nullptr) {
    FlashLibSelectionWords words{};
    std::memcpy(&words, selection, sizeof words);
    for (const FlashLibInfo& found : state.foundFlashes) {
      if (dm::Matches(found, words)) {
        state.currentFlash = found;
        break;
      }
    }
  }
  // Sets the flash window and tells the command layer the end of flash.
  dm::LoadSectorLayout(state.currentFlash);
  state.foundFlashes.clear();
  return rc;
}

ZK_EXPORT uint32_t DmSendPassword(PasswordBlock* block) {
  const auto sendPassword = Cmd().Require<cmm::SendPasswordFn>("CmmSendPassword");
  if (sendPassword == nullptr) return kCmdDllError;
  State().forwarded = 0;
  const ResultCode rc = sendPassword(block);
  State().readPermission = rc == kOk ? 1 : 0;
  return rc;
}

ZK_EXPORT uint32_t DmEnableProtectedAreas(uint32_t enable) {
  const auto enableAreas = Cmd().Require<cmm::EnableProtectedAreasFn>("CmmEnableProtectedAreas");
  if (enableAreas == nullptr) return kCmdDllError;
  State().forwarded = 0;
  State().protectionOverride = enable;
  return enableAreas(enable);
}

ZK_EXPORT uint32_t DmAddOwnPages(uint32_t value) {
  return dm::Forward<dm::AddOwnPagesFn>("CmmAddOwnPages", value);
}

ZK_EXPORT uint32_t DmEraseChip(SectorList* result) {
  return dm::Forward<cmm::EraseChipFn>("CmmEraseChip", result);
}

ZK_EXPORT uint32_t DmGetSectorStatus(RangeRequest* range, SectorList* result, WorkerThreadInfo* threadInfo) {
  return dm::ForwardWorker<cmm::RangeWorkerFn>("CmmGetSectorStatus", range, result, threadInfo);
}
