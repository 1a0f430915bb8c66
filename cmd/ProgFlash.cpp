// Programming: command 0x05 per bank piece of the request.
#include "cmd/BankMap.h"
#include "cmd/CommandBuffer.h"
#include "cmd/NonAccessAreas.h"
#include "cmd/Session.h"
#include "cmd/Settings.h"
#include "cmd/Transaction.h"
#include "cmd/WorkerState.h"
#include "common/CmmApi.h"
#include "common/Export.h"

#include <algorithm>
#include <cstring>

namespace zk::cmd {
namespace {

// Data bytes one request can carry in the command buffer.
constexpr std::size_t kMaxProgramData = kCommandBufferSize - kProgramHeaderLength;

ResultCode NotInFlash() {
  WorkerState& state = Worker();
  state.running = 0;
  state.status = kInvalidSector;
  return kInvalidSector;
}

}  // namespace
}  // namespace zk::cmd

using namespace zk;
using cmd::Command;

ZK_EXPORT uint32_t CmmProgFlash(ProgRequest* request) {
  cmd::Settings& settings = cmd::CurrentSettings();
  if (settings.readFailed != 0) return kFileNotFound;
  if (request == nullptr || (request->length != 0 && request->data == nullptr)) return kFailed;
  if (request->length == 0) return kOk;
  const uint64_t wantedEnd = uint64_t{request->address} + request->length - 1;
  if (wantedEnd > 0xFFFFFFFFu) return cmd::NotInFlash();
  const auto last = static_cast<uint32_t>(wantedEnd);
  const std::string modulePath = cmd::CurrentSession().ModulePath();
  const uint8_t* data = request->data;
  cmd::CommandBufferBytes& buffer = cmd::CommandBuffer();

  for (;;) {
    const uint32_t address = request->address;
    uint32_t end = last;
    if (cmd::MapToBank(modulePath, address, end) == cmd::BankOutcome::NotInFlash)
      return cmd::NotInFlash();

    cmd::AddressArea area;
    switch (cmd::ProgramArea(modulePath, settings.endOfFlash, area)) {
      case cmd::ProgramAreaResult::NeedsEndOfFlash:
        return kNoModuleSelected;
      case cmd::ProgramAreaResult::Area:
        if (address <= area.end && end >= area.start) return kNotAccessible;
        break;
      case cmd::ProgramAreaResult::None:
        break;
    }

    const auto count =
        static_cast<uint16_t>(std::min<uint64_t>(uint64_t{end} - address + 1, cmd::kMaxProgramData));
    buffer[0] = cmd::Code(Command::Program);
    buffer.PutU32(1, address);
    buffer.PutU16(5, count);
    std::memcpy(buffer.data() + cmd::kProgramHeaderLength, data, count);
    const cmd::ExchangeEnd sent =
        cmd::Exchange(Command::Program, static_cast<uint16_t>(cmd::kProgramHeaderLength + count));
    if (sent != cmd::ExchangeEnd::Answered) return cmd::ExchangeFailure(sent);

    request->address = address + count;
    data += count;
    // Every piece is judged, so that a refused piece is never hidden by a
    // later one that succeeds.
    const ResultCode rc = cmd::JudgeAnswer(Command::Program);
    if (rc != kOk) return rc;
    if (uint64_t{address} + count > last) return kOk;
  }
}
