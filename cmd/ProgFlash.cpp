// Programming: command 0x05 per bank piece of the request.
#include "cmd/BankMap.h"
#include "cmd/NonAccessAreas.h"
#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "common/CmmApi.h"
#include "common/Export.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace zk::cmd {
namespace {

// Also left as the status, where a poller looks for it.
ResultCode NotInFlash() {
  CurrentSession().worker.MarkEnded(kInvalidSector);
  return kInvalidSector;
}

// One 0x05 command: [address, end], inside one bank when bankStart is set.
struct Piece {
  uint32_t address;
  uint32_t end;
  std::optional<uint32_t> bankStart;
};

// Cuts [address, last] at the bank ends and into what one request carries,
// and checks every piece before anything is sent, so that a write the banks
// or the non-access area refuse programs nothing.
ResultCode PlanPieces(const std::string& modulePath, uint32_t endOfFlash, uint32_t address,
                      uint32_t last, std::vector<Piece>& pieces) {
  AddressArea area;
  const ProgramAreaResult areaResult = ProgramArea(modulePath, endOfFlash, area);
  for (;;) {
    const BankPlace place = PlaceInBank(modulePath, address, last);
    if (place.outcome == BankOutcome::NotInFlash) return NotInFlash();
    if (areaResult == ProgramAreaResult::NeedsEndOfFlash) return kNoModuleSelected;
    if (areaResult == ProgramAreaResult::Area && address <= area.end && place.end >= area.start)
      return kNotAccessible;
    const uint32_t end =
        static_cast<uint32_t>(std::min<uint64_t>(place.end, uint64_t{address} + kMaxProgramData - 1));
    std::optional<uint32_t> bankStart;
    if (place.outcome == BankOutcome::InsideBank) bankStart = place.bankStart;
    pieces.push_back({address, end, bankStart});
    if (end >= last) return kOk;
    address = end + 1;
  }
}

}  // namespace
}  // namespace zk::cmd

using namespace zk;

ZK_EXPORT uint32_t CmmProgFlash(ProgRequest* request) {
  cmd::Session& session = cmd::CurrentSession();
  if (session.settings.readFailed != 0) return kFileNotFound;
  if (request == nullptr || (request->length != 0 && request->data == nullptr)) return kFailed;
  if (request->length == 0) return kOk;
  const uint64_t wantedEnd = uint64_t{request->address} + request->length - 1;
  if (wantedEnd > 0xFFFFFFFFu) return cmd::NotInFlash();
  const std::string modulePath = session.ModulePath();
  std::vector<cmd::Piece> pieces;
  if (const ResultCode rc = cmd::PlanPieces(modulePath, session.settings.endOfFlash, request->address,
                                            static_cast<uint32_t>(wantedEnd), pieces);
      rc != kOk) {
    return rc;
  }

  const uint8_t* data = request->data;
  for (const cmd::Piece& piece : pieces) {
    if (piece.bankStart) cmd::SetBankBase(modulePath, *piece.bankStart);
    const auto count = static_cast<uint16_t>(uint64_t{piece.end} - piece.address + 1);
    const cmd::ExchangeEnd sent =
        cmd::Exchange(cmd::request::Program(session.buffer, piece.address, {data, count}));
    if (sent != cmd::ExchangeEnd::Answered) return cmd::ExchangeFailure(sent);

    request->address = piece.address + count;
    data += count;
    // Every piece is judged, so that a refused piece is never hidden by a
    // later one that succeeds.
    if (const ResultCode rc = cmd::JudgeAnswer(cmd::Command::Program); rc != kOk) return rc;
  }
  return kOk;
}
