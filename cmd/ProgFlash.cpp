// Programming: command 0x05 per bank piece of the request.
#include "cmd/BankMap.h"
#include "cmd/CheckedRead.h"
#include "cmd/NonAccessAreas.h"
#include "cmd/Session.h"
#include "cmd/Transaction.h"
#include "common/CmmApi.h"
#include "common/Export.h"
#include "platform/MessageBox.h"
#include "platform/Trace.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <span>
#include <vector>

namespace zk::cmd {
namespace {

// Also left as the status, where a poller looks for it.
ResultCode NotInFlash(OperationWorker& worker) {
  worker.MarkEnded(kInvalidSector);
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
ResultCode PlanPieces(Session& session, const std::string& modulePath, uint32_t address, uint32_t last,
                      std::vector<Piece>& pieces) {
  const uint32_t endOfFlash = session.settings.endOfFlash;
  AddressArea area;
  const ProgramAreaResult areaResult = ProgramArea(modulePath, endOfFlash, area);
  for (;;) {
    const BankPlace place = PlaceInBank(modulePath, address, last);
    if (place.outcome == BankOutcome::NotInFlash) return NotInFlash(session.worker);
    if (areaResult == ProgramAreaResult::NeedsEndOfFlash) return kNoModuleSelected;
    if (areaResult == ProgramAreaResult::Area && address <= area.end && place.end >= area.start) return kNotAccessible;
    const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(place.end, uint64_t{address} + kMaxProgramData - 1));
    std::optional<uint32_t> bankStart;
    if (place.outcome == BankOutcome::InsideBank) bankStart = place.bankStart;
    pieces.push_back({address, end, bankStart});
    if (end >= last) return kOk;
    address = end + 1;
  }
}

constexpr uint8_t kErasedByte = 0xFF;

// What a piece whose programming failed on the line left in the flash.
enum class PieceState { Programmed, Blank, Other, Unread };

PieceState ReadBack(Session& session, const Piece& piece, std::span<const uint8_t> data) {
  std::vector<uint8_t> flash(data.size());
  const ReadPassEnd read = ReadChecked(session, piece.address, static_cast<uint32_t>(data.size()), flash.data(),
                                       [](uint64_t) { return false; });
  if (read.stopped || read.code != kOk) return PieceState::Unread;
  if (std::equal(flash.begin(), flash.end(), data.begin())) return PieceState::Programmed;
  if (std::all_of(flash.begin(), flash.end(), [](uint8_t b) { return b == kErasedByte; })) return PieceState::Blank;
  return PieceState::Other;
}

// Programs one piece. After a line failure the module may have programmed
// it or not: a checked read of the piece tells, and only a piece that is
// still blank is sent again.
ResultCode ProgramPiece(Session& session, const std::string& modulePath, const Piece& piece,
                        std::span<const uint8_t> data) {
  LineRepeats repeats(session);
  for (;;) {
    if (piece.bankStart) SetBankBase(session, modulePath, *piece.bankStart);
    const ExchangeEnd sent = ExchangeOrLateAnswer(session, request::Program(session.buffer, piece.address, data));
    // Every piece is judged, so that a refused piece is never hidden by a
    // later one that succeeds.
    const ResultCode rc =
        sent == ExchangeEnd::Answered ? JudgeAnswer(session, Command::Program) : ExchangeFailure(session, sent);
    if (rc == kOk || !repeats.Again(rc)) return rc;
    switch (ReadBack(session, piece, data)) {
      case PieceState::Programmed:
        if (trace::Enabled()) {
          trace::Line("cmd program at 0x%08X failed on the line (result %u): the flash holds the data", piece.address,
                      static_cast<unsigned>(rc));
        }
        return kOk;
      case PieceState::Blank:
        if (trace::Enabled()) {
          trace::Line("cmd program at 0x%08X failed on the line (result %u): still blank, sent again", piece.address,
                      static_cast<unsigned>(rc));
        }
        continue;
      case PieceState::Unread: return rc;
      case PieceState::Other: break;
    }
    char text[160];
    std::snprintf(text, sizeof text,
                  "The flash at 0x%08X holds neither the data sent nor erased bytes after programming it "
                  "failed on the line.",
                  piece.address);
    MessageBox(text, "Programming", MB_OK | MB_ICONERROR);
    return kVerifyMismatch;
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
  if (wantedEnd > 0xFFFFFFFFu) return cmd::NotInFlash(session.worker);
  const std::string modulePath = session.ModulePath();
  std::vector<cmd::Piece> pieces;
  if (const ResultCode rc =
          cmd::PlanPieces(session, modulePath, request->address, static_cast<uint32_t>(wantedEnd), pieces);
      rc != kOk) {
    return rc;
  }

  const uint8_t* data = request->data;
  for (const cmd::Piece& piece : pieces) {
    const auto count = static_cast<uint16_t>(uint64_t{piece.end} - piece.address + 1);
    const ResultCode rc = cmd::ProgramPiece(session, modulePath, piece, {data, count});
    if (rc != kOk && cmd::IsLineFailure(session, rc)) return rc;
    request->address = piece.address + count;
    data += count;
    if (rc != kOk) return rc;
  }
  return kOk;
}
