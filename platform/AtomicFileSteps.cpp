#include "platform/AtomicFileTemp.h"
#include "platform/Files.h"

#include <cerrno>
#include <cstdint>
#include <random>

namespace zk::files {
namespace {

constexpr int kTempNameAttempts = 100;
constexpr std::size_t kMaxTempStem = 200;  // keeps ".<stem>.tmpXXXXXXXX" under NAME_MAX

std::string RandomSuffix() {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  static constexpr char kDigits[] = "0123456789abcdef";
  std::uint64_t bits = generator();
  std::string suffix(8, '0');
  for (char& c : suffix) {
    c = kDigits[bits & 0xF];
    bits >>= 4;
  }
  return suffix;
}

}  // namespace

std::string DirOrDot(const std::string& path) {
  std::string dir = DirName(path);
  return dir.empty() ? std::string(".") : dir;
}

std::unique_ptr<AtomicFile::Temp> AtomicFile::Temp::CreateBeside(const std::string& dir, const std::string& target,
                                                                 int& error) {
  const std::string stem = BaseName(target).substr(0, kMaxTempStem);
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    std::unique_ptr<Temp> temp = Create(Join(dir, "." + stem + ".tmp" + RandomSuffix()), error);
    if (temp) return temp;
    if (error != EEXIST) break;
  }
  if (error == 0) error = EIO;
  return nullptr;
}

AtomicFile::~AtomicFile() = default;

bool AtomicFile::Fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
  temp_.reset();
  return false;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
  if (Failed()) return false;
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    std::size_t written = 0;
    if (const int error = temp_->WriteSome(bytes, size, written); error != 0 || written == 0) return Fail(error);
    bytes += written;
    size -= written;
  }
  return true;
}

bool AtomicFile::Commit() {
  if (Failed()) return false;
  if (const int error = temp_->Flush(); error != 0) return Fail(error);
  if (const int error = temp_->Close(); error != 0) return Fail(error);
  if (const int error = temp_->MoveTo(target_); error != 0) return Fail(error);
  temp_.reset();
  SyncDirectory(dir_);
  return true;
}

}  // namespace zk::files
