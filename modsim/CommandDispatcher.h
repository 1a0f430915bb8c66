#pragma once
// The module's firmware: takes one request message, answers with one message.
// Requests are checked strictly: a request whose length does not match what
// its own fields announce is answered with status 0xA0 and changes nothing.
// The session state (password accepted, library selected, current bank, the
// lists still to be fetched by continuations) lives until the next reset.
#include "modsim/Clock.h"
#include "modsim/CommandCodes.h"
#include "modsim/EntryPager.h"
#include "modsim/FlashModel.h"
#include "modsim/Random.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zk::modsim {

class FaultInjector;
class Trace;

struct FirmwareParams {
  uint16_t loginWord = 0x0301;  // answer bytes 1-2 of the login
  uint8_t major = 3;
  uint8_t minor = 1;
  uint8_t build = 7;
  std::string password;
  bool oldFirmware = false;     // answers the generation query as a firmware before it existed
  uint8_t silentExitModes = 0;  // bit n set: exit mode n is not answered
  Duration eraseTimePerSector{};
  Duration programTimePerByte{};
};

struct Reply {
  std::vector<uint8_t> bytes;             // empty: no answer
  Duration busy{};                        // how long the command runs before it answers
  bool exitAfter = false;                 // back to the boot loader once the answer is out
  uint32_t stxFlood = 0;                  // faults: in place of the answer, this many STX on the raw line
  std::vector<uint8_t> rawAfter{};        // faults: bytes on the raw line once the answer is out
  std::optional<Duration> repeatAfter{};  // faults: the answer goes out again this long after
};

// The length a request must have according to its own fields; nullopt for an
// unknown command.
std::optional<std::size_t> ExpectedRequestLength(std::span<const uint8_t> request);

class CommandDispatcher {
 public:
  CommandDispatcher(const FirmwareParams& params, FlashModel& flash, FaultInjector* faults, Trace* trace);

  Reply Handle(std::span<const uint8_t> request, TimePoint now);
  // A reset forgets the session.
  void Reset();

  bool PasswordAccepted() const { return passwordAccepted_; }
  bool LibrarySelected() const { return selected_.has_value(); }
  std::size_t CurrentBank() const { return currentBank_; }

 private:
  struct LibraryRef {
    std::size_t bank;
    std::size_t index;
  };

  Reply Dispatch(std::span<const uint8_t> request, TimePoint now);
  void ApplyAnswerFaults(Command command, Reply& reply, TimePoint now);
  // Faults of a list about to be handed out: extra entries beyond its count
  // (the count stays), and whether its continuations never end.
  void ExtendList(std::vector<SectorOutcome>& entries, TimePoint now);
  bool EndlessList(TimePoint now);
  void Note(std::string_view text, TimePoint now);

  Reply Login() const;
  Reply FindFlashLib(std::span<const uint8_t> request, TimePoint now);
  Reply SelectFlashLib(std::span<const uint8_t> request);
  Reply SectorStatus(std::span<const uint8_t> request, TimePoint now);
  Reply Program(std::span<const uint8_t> request);
  Reply Read(std::span<const uint8_t> request);
  Reply ReadMore();
  Reply Erase(Command command, std::span<const uint8_t> request, TimePoint now);
  Reply EraseChip(TimePoint now);
  Reply ListMore(Command command, EntryPager& pager);
  Reply Exit(std::span<const uint8_t> request, TimePoint now);
  Reply Password(std::span<const uint8_t> request, TimePoint now);
  Reply BaseAddress(std::span<const uint8_t> request, TimePoint now);
  Reply Generation() const;
  Reply ReadPiece(Command echo);
  Duration EraseTime(uint32_t sectors);

  std::vector<LibraryRef> LibrariesFor(uint32_t flashStart) const;

  FirmwareParams params_;
  FlashModel& flash_;
  FaultInjector* faults_;
  Trace* trace_;

  bool passwordAccepted_ = false;
  std::optional<LibraryRef> selected_;
  std::size_t currentBank_ = 0;
  std::size_t findCursor_ = 0;
  EntryPager statusPager_;
  EntryPager erasePager_;
  EntryPager blockPager_;
  uint32_t readAddress_ = 0;
  uint32_t readRemaining_ = 0;
  Random garbage_{0x6A7B};  // the bytes of garbage-after-login
};

}  // namespace zk::modsim
