#include "modsim/BootRecords.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace zk::modsim {
namespace {

void PutRecord(std::vector<uint8_t>& out, RecordType type, std::span<const uint8_t> body) {
  const std::size_t length = body.size() + 1;  // the body and the trailing check byte
  const std::size_t start = out.size();
  out.push_back(static_cast<uint8_t>(type));
  out.push_back(static_cast<uint8_t>(length & 0xFF));
  out.push_back(static_cast<uint8_t>(length >> 8));
  out.insert(out.end(), body.begin(), body.end());
  uint8_t sum = 0;
  for (std::size_t i = start; i < out.size(); ++i) sum = static_cast<uint8_t>(sum + out[i]);
  out.push_back(static_cast<uint8_t>(-sum));
}

}  // namespace

std::vector<uint8_t> RecordFile::Concatenated() const {
  std::vector<uint8_t> bytes;
  bytes.reserve(DataSize());
  for (const auto& record : records) bytes.insert(bytes.end(), record.data.begin(), record.data.end());
  return bytes;
}

std::size_t RecordFile::DataSize() const {
  std::size_t size = 0;
  for (const auto& record : records) size += record.data.size();
  return size;
}

std::optional<RecordFile> ParseRecordFile(std::span<const uint8_t> bytes, std::string* error) {
  auto fail = [&](std::string message) -> std::optional<RecordFile> {
    if (error) *error = std::move(message);
    return std::nullopt;
  };
  RecordFile file;
  std::size_t pos = 0;
  while (pos + kRecordHeaderSize <= bytes.size()) {
    const uint8_t type = bytes[pos];
    const std::size_t length = bytes[pos + 1] | (static_cast<std::size_t>(bytes[pos + 2]) << 8);
    if (pos + kRecordHeaderSize + length > bytes.size()) {
      return fail("record at offset " + std::to_string(pos) + " runs past the end of the file");
    }
    if (type == static_cast<uint8_t>(RecordType::kEnd)) return file;
    if (type == static_cast<uint8_t>(RecordType::kMemory) ||
        type == static_cast<uint8_t>(RecordType::kMemoryExtended)) {
      if (length < kMemoryRecordOverhead) {
        return fail("memory record at offset " + std::to_string(pos) + " is too short");
      }
      const uint8_t* body = bytes.data() + pos + kRecordHeaderSize;
      MemoryRecord record;
      record.type = static_cast<RecordType>(type);
      record.address = (static_cast<uint32_t>(body[0]) << 16) | body[1] | (static_cast<uint32_t>(body[2]) << 8);
      record.data.assign(body + 4, body + 4 + (length - kMemoryRecordOverhead));
      file.records.push_back(std::move(record));
    }
    pos += kRecordHeaderSize + length;
  }
  return fail("no end record");
}

std::optional<RecordFile> ReadRecordFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::string why;
  auto file = ParseRecordFile(bytes, &why);
  if (!file && error) *error = path + ": " + why;
  return file;
}

std::vector<uint8_t> EncodeRecordFile(const RecordFile& file, std::string_view name) {
  std::vector<uint8_t> out;
  PutRecord(out, RecordType::kHeader,
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(name.data()), name.size()));
  for (const auto& record : file.records) {
    std::vector<uint8_t> body;
    body.reserve(record.data.size() + 4);
    body.push_back(static_cast<uint8_t>(record.address >> 16));
    body.push_back(static_cast<uint8_t>(record.address & 0xFF));
    body.push_back(static_cast<uint8_t>((record.address >> 8) & 0xFF));
    body.push_back(0);
    body.insert(body.end(), record.data.begin(), record.data.end());
    PutRecord(out, record.type, body);
  }
  PutRecord(out, RecordType::kEnd, {});
  return out;
}

bool WriteRecordFile(const std::string& path, const RecordFile& file, std::string_view name, std::string* error) {
  for (const auto& record : file.records) {
    if (record.data.size() > kMaxRecordData || record.address > 0xFFFFFF) {
      if (error) *error = "record does not fit the file format";
      return false;
    }
  }
  const auto bytes = EncodeRecordFile(file, name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    if (error) *error = path + ": cannot write";
    return false;
  }
  return true;
}

}  // namespace zk::modsim
