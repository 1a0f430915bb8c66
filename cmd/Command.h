#pragma once
// The commands of the module protocol, one row each: code, request length,
// how long its answer is waited for, how the answer is judged and, for a
// command whose answer is a list, how the list continues. The requests
// themselves are built in cmd/Requests.h.
#include "common/ModuleCodes.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace zk::cmd {

using zk::Code;
using zk::Command;

// Times in milliseconds.
struct WaitProfile {
  uint32_t armTime = 0;           // reception armed before the request is sent
  uint32_t wait = 40000;          // time-out restarted at the start of every wait
  uint32_t maxWaits = 3;          // waits at most
  uint32_t rearmTime = 40000;     // arm time when a wait ends with status 251
  uint32_t restartAfterWait = 0;  // time-out restarted after each wait (0: not)
};

// How an answer is judged (cmd/Transaction.cpp); 0 lets its fields be used.
enum class Judgement : uint8_t {
  NotExamined,       // any answer will do
  ListHead,          // echo, else 241; status 0x81 (no flash library) is passed on
  EchoOrSendFailed,  // echo, else 240
  ModuleStatus,      // echo: the status byte; else the byte 0 (0x00 reads as 240)
  NextModuleStatus,  // echo: the status byte; else 241
  FirmwareMarker,    // byte 0 is 0xEE, else the old-firmware code
  Continuation,      // echo, else 241
};

// A list answer: its entry bytes in the first answer and in each
// continuation, and the command that asks for the next part.
struct ListPaging {
  Command next;
  uint16_t firstBytes;
  uint16_t nextBytes;
};

struct CommandRow {
  Command command;
  uint16_t length;  // the request's fixed part, code byte included
  // The bytes an answer carries at least when its fields are used (an
  // answer that does not echo the code needs only its byte 0).
  uint16_t answerBytes;
  WaitProfile wait;
  Judgement judgement;
  ListPaging paging{};  // list answers only
};

inline constexpr uint32_t kLongArm = 100000;

inline constexpr std::array kCommands = {
    CommandRow{Command::Login, 1, 6, {}, Judgement::NotExamined},
    CommandRow{Command::FindFlashLib, 7, 9, {}, Judgement::NotExamined},
    CommandRow{Command::SectorStatus,
               13,
               2,
               {.armTime = kLongArm, .wait = 80000, .maxWaits = 31, .restartAfterWait = 40000},
               Judgement::ListHead,
               {Command::SectorStatusNext, 251, 253}},
    CommandRow{Command::SelectFlashLib, 6, 1, {}, Judgement::EchoOrSendFailed},
    CommandRow{Command::Program, 7, 2, {.armTime = 40000}, Judgement::ModuleStatus},
    CommandRow{Command::Read, 9, 2, {.armTime = 40000}, Judgement::ModuleStatus, {Command::ReadNext, 250, 250}},
    CommandRow{Command::EraseSectors,
               13,
               2,
               {.armTime = 40000, .maxWaits = 11},
               Judgement::ListHead,
               {Command::EraseSectorsNext, 252, 254}},
    CommandRow{Command::Exit, 6, 0, {.maxWaits = 2}, Judgement::NotExamined},
    CommandRow{Command::EraseBlocks,
               13,
               2,
               {.armTime = 40000, .wait = 10000, .rearmTime = kLongArm, .restartAfterWait = 10000},
               Judgement::ListHead,
               {Command::EraseBlocksNext, 252, 254}},
    CommandRow{Command::EraseChip, 1, 2, {.armTime = 40000}, Judgement::ListHead},
    CommandRow{Command::Password, 5, 2, {.armTime = 40000}, Judgement::ModuleStatus},
    CommandRow{Command::BaseAddress, 7, 0, {}, Judgement::NotExamined},
    CommandRow{Command::FirmwareGeneration, 1, 1, {.armTime = 40000}, Judgement::FirmwareMarker},
    CommandRow{
        Command::SectorStatusNext, 13, 2, {.armTime = kLongArm, .wait = 10000, .maxWaits = 1}, Judgement::Continuation},
    CommandRow{Command::ReadNext, 9, 2, {.armTime = 40000}, Judgement::NextModuleStatus},
    CommandRow{Command::EraseSectorsNext,
               13,
               2,
               {.armTime = 40000, .wait = 20000, .maxWaits = 2, .rearmTime = kLongArm, .restartAfterWait = 10000},
               Judgement::Continuation},
    CommandRow{Command::EraseBlocksNext,
               13,
               2,
               {.armTime = 40000, .wait = 10000, .maxWaits = 2, .rearmTime = kLongArm, .restartAfterWait = 10000},
               Judgement::Continuation},
};

constexpr const CommandRow& RowOf(Command command) {
  for (const CommandRow& row : kCommands) {
    if (row.command == command) return row;
  }
  return kCommands.front();  // unreachable: every command has a row
}

constexpr WaitProfile ProfileOf(Command command) { return RowOf(command).wait; }

// The answer byte 0 of a current firmware to command 0x0F.
inline constexpr uint8_t kCurrentFirmwareMarker = 0xEE;

}  // namespace zk::cmd
