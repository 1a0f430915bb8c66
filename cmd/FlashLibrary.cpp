// Finding and selecting the module's flash library.
#include "cmd/BankMap.h"
#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "common/CmmApi.h"
#include "common/Export.h"

using namespace zk;

ZK_EXPORT uint32_t CmmFindFlashLib(FlashLibRequest* request, FlashLibInfo* info) {
  if (request == nullptr) return kFailed;
  cmd::Session& session = cmd::CurrentSession();
  const uint8_t mode = cmd::BankModeOf(session.ModulePath(), request->flashStart);
  const auto build = [&] { return cmd::request::FindFlashLib(session.buffer, *request, mode); };
  if (ResultCode rc = cmd::RunRepeatable(session, build, "flash library query"); rc != kOk) return rc;
  if (info != nullptr) *info = cmd::answer::FlashLib(session.buffer);
  return kOk;
}

ZK_EXPORT uint32_t CmmSelectFlashLib(FlashLibSelection* selection) {
  if (selection == nullptr) return kFailed;
  cmd::Session& session = cmd::CurrentSession();
  return cmd::RunRepeatable(
      session, [&session, selection] { return cmd::request::SelectFlashLib(session.buffer, *selection); },
      "flash library selection");
}
