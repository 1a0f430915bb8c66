// Finding and selecting the module's flash library.
#include "cmd/BankMap.h"
#include "cmd/CommandBuffer.h"
#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "common/CmmApi.h"
#include "common/Export.h"

using namespace zk;
using cmd::Command;

ZK_EXPORT uint32_t CmmFindFlashLib(FlashLibRequest* request, FlashLibInfo* info) {
  if (request == nullptr) return kFailed;
  cmd::CommandBufferBytes& buffer = cmd::CommandBuffer();
  const uint8_t mode = cmd::BankModeOf(cmd::CurrentSession().ModulePath(), request->flashStart);
  buffer[0] = cmd::Code(Command::FindFlashLib);
  buffer[1] = request->selector;
  buffer.PutU32(2, request->flashStart);
  buffer[6] = mode;
  if (ResultCode rc = cmd::RunTransaction(Command::FindFlashLib, cmd::kFindFlashLibLength); rc != kOk)
    return rc;
  if (info != nullptr) {
    for (std::size_t i = 0; i < 4; ++i) info->words[i] = buffer.U16(1 + 2 * i);
  }
  return kOk;
}

ZK_EXPORT uint32_t CmmSelectFlashLib(FlashLibSelection* selection) {
  if (selection == nullptr) return kFailed;
  cmd::CommandBufferBytes& buffer = cmd::CommandBuffer();
  buffer[0] = cmd::Code(Command::SelectFlashLib);
  for (std::size_t i = 0; i < 3; ++i) buffer[1 + i] = selection->bytes[i];
  buffer[4] = 0x00;
  buffer[5] = 0x00;
  return cmd::RunTransaction(Command::SelectFlashLib, cmd::kSelectFlashLibLength);
}
