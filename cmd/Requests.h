#pragma once
// The requests of the module protocol as they are laid out in the command
// buffer, and the fields of their answers. Every request is written from
// byte 0, field after field; a continuation or a one-byte command writes its
// code only and sends its row's fixed length, so what the previous answer
// left behind goes out with it.
#include "cmd/Command.h"
#include "cmd/CommandBuffer.h"
#include "common/Records.h"

#include <cstdint>
#include <span>

namespace zk::cmd {

// A request ready in the command buffer: the command and the bytes to send.
struct Request {
  Command command;
  uint16_t length;
};

// The most data bytes that fit behind the header of a request.
inline constexpr std::size_t kMaxProgramData = kCommandBufferSize - RowOf(Command::Program).length;
inline constexpr std::size_t kMaxPasswordBytes = kCommandBufferSize - RowOf(Command::Password).length;

namespace request {

Request CodeOnly(CommandBufferBytes& buffer, Command command);
Request FindFlashLib(CommandBufferBytes& buffer, const FlashLibRequest& lib, uint8_t bankMode);
Request SelectFlashLib(CommandBufferBytes& buffer, const FlashLibSelection& selection);
// Sector status (third: the step) and the two erase commands.
Request Range(CommandBufferBytes& buffer, Command command, uint32_t first, uint32_t last, uint32_t third);
// data: at most kMaxProgramData bytes.
Request Program(CommandBufferBytes& buffer, uint32_t address, std::span<const uint8_t> data);
Request Read(CommandBufferBytes& buffer, uint32_t start, uint32_t length);
Request Exit(CommandBufferBytes& buffer, const ExitRequest& exit);
// password: at most kMaxPasswordBytes bytes.
Request Password(CommandBufferBytes& buffer, std::span<const uint8_t> password);
Request BaseAddress(CommandBufferBytes& buffer, const BaseAddressRecord& record);

}  // namespace request

namespace answer {

inline uint8_t Echo(const CommandBufferBytes& buffer) { return buffer.Byte(0); }
inline uint8_t Status(const CommandBufferBytes& buffer) { return buffer.Byte(1); }
// A list's entry count, or the data bytes of a read answer.
inline uint16_t Count(const CommandBufferBytes& buffer) { return buffer.U16(2); }

LoginInfo Login(const CommandBufferBytes& buffer);
FlashLibInfo FlashLib(const CommandBufferBytes& buffer);

// Where the entries of a list answer start: behind the count in the first
// answer, behind the status in a continuation.
inline constexpr std::size_t kFirstListEntries = 4;
inline constexpr std::size_t kNextListEntries = 2;
// Where the data of a read answer start.
inline constexpr std::size_t kReadData = 6;

}  // namespace answer
}  // namespace zk::cmd
