#include "cmd/Requests.h"

#include <cstring>
#include <iterator>

namespace zk::cmd {
namespace {

// Puts the fields of one request into the buffer in order.
class Writer {
 public:
  Writer(CommandBufferBytes& buffer, Command command) : buffer_(buffer), command_(command) { U8(Code(command)); }
  Writer& U8(uint8_t value) {
    buffer_[at_++] = value;
    return *this;
  }
  Writer& U16(uint16_t value) {
    buffer_.PutU16(at_, value);
    at_ += 2;
    return *this;
  }
  Writer& U32(uint32_t value) {
    buffer_.PutU32(at_, value);
    at_ += 4;
    return *this;
  }
  Writer& Bytes(std::span<const uint8_t> bytes) {
    if (!bytes.empty()) std::memcpy(buffer_.data() + at_, bytes.data(), bytes.size());
    at_ += bytes.size();
    return *this;
  }
  // The row's fixed length; the header of a request that carries data.
  Request Fixed() const { return {command_, RowOf(command_).length}; }
  Request WithData() const { return {command_, static_cast<uint16_t>(at_)}; }

 private:
  CommandBufferBytes& buffer_;
  Command command_;
  std::size_t at_ = 0;
};

}  // namespace

namespace request {

Request CodeOnly(CommandBufferBytes& buffer, Command command) { return Writer(buffer, command).Fixed(); }

Request FindFlashLib(CommandBufferBytes& buffer, const FlashLibRequest& lib, uint8_t bankMode) {
  return Writer(buffer, Command::FindFlashLib).U8(lib.selector).U32(lib.flashStart).U8(bankMode).Fixed();
}

Request SelectFlashLib(CommandBufferBytes& buffer, const FlashLibSelection& selection) {
  return Writer(buffer, Command::SelectFlashLib).Bytes(selection.bytes).U16(0).Fixed();
}

Request Range(CommandBufferBytes& buffer, Command command, uint32_t first, uint32_t last, uint32_t third) {
  return Writer(buffer, command).U32(first).U32(last).U32(third).Fixed();
}

Request Program(CommandBufferBytes& buffer, uint32_t address, std::span<const uint8_t> data) {
  return Writer(buffer, Command::Program).U32(address).U16(static_cast<uint16_t>(data.size())).Bytes(data).WithData();
}

Request Read(CommandBufferBytes& buffer, uint32_t start, uint32_t length) {
  return Writer(buffer, Command::Read).U32(start).U32(length).Fixed();
}

Request Exit(CommandBufferBytes& buffer, const ExitRequest& exit) {
  return Writer(buffer, Command::Exit).U8(exit.mode).U32(exit.address).Fixed();
}

Request Password(CommandBufferBytes& buffer, std::span<const uint8_t> password) {
  return Writer(buffer, Command::Password).U32(static_cast<uint32_t>(password.size())).Bytes(password).WithData();
}

Request BaseAddress(CommandBufferBytes& buffer, const BaseAddressRecord& record) {
  return Writer(buffer, Command::BaseAddress).U32(record.baseAddress).U8(record.mode).U8(0).Fixed();
}

}  // namespace request

namespace answer {
namespace {

// Both answers carry their fields right behind byte 0, in record order.
constexpr std::size_t kFields = 1;

}  // namespace

LoginInfo Login(const CommandBufferBytes& buffer) {
  LoginInfo info{};
  info.word = buffer.U16(kFields);
  for (std::size_t i = 0; i < sizeof info.bytes; ++i) info.bytes[i] = buffer.Byte(kFields + 2 + i);
  return info;
}

FlashLibInfo FlashLib(const CommandBufferBytes& buffer) {
  FlashLibInfo info{};
  for (std::size_t i = 0; i < std::size(info.words); ++i) info.words[i] = buffer.U16(kFields + 2 * i);
  return info;
}

}  // namespace answer
}  // namespace zk::cmd
