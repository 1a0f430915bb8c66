#include "platform/AtomicFile.h"

#include "platform/Files.h"
#include "platform/NonCopyable.h"
#include "platform/win32/ErrnoOf.h"
#include "platform/win32/Handle.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

#include <cerrno>
#include <random>

namespace zk::files {
namespace {

constexpr int kTempNameAttempts = 100;
constexpr std::size_t kMaxTempStem = 200;

int LastErrno() { return win32::ErrnoOf(::GetLastError()); }

std::string DirOrDot(const std::string& path) {
  std::string dir = DirName(path);
  return dir.empty() ? std::string(".") : dir;
}

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

// The temporary file: removed unless it was moved into place.
class AtomicFile::Temp : private NonCopyable {
 public:
  Temp(std::wstring path, win32::Handle file) : path_(std::move(path)), file_(std::move(file)) {}
  ~Temp() {
    file_.Reset();
    if (!committed_) ::DeleteFileW(path_.c_str());
  }
  HANDLE get() const { return file_.get(); }
  bool Close() { return file_.Reset(); }
  // Takes the old file's place in one step: its attributes and security
  // stay those of the new file, which inherited the directory's.
  bool MoveTo(const std::wstring& target) {
    committed_ = ::MoveFileExW(path_.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    return committed_;
  }

  static std::unique_ptr<Temp> CreateBeside(const std::string& dir, const std::string& target, int& error) {
    const std::string stem = BaseName(target).substr(0, kMaxTempStem);
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
      std::wstring path = win32::WidePath(Join(dir, "." + stem + ".tmp" + RandomSuffix()));
      win32::Handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file.valid()) return std::make_unique<Temp>(std::move(path), std::move(file));
      if (::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    error = LastErrno();
    return nullptr;
  }

 private:
  std::wstring path_;
  win32::Handle file_;
  bool committed_ = false;
};

AtomicFile::AtomicFile(const std::string& path) : target_(path) {
  if (path.empty()) {
    Fail(ENOENT);
    return;
  }
  dir_ = DirOrDot(target_);
  const DWORD dirAttributes = ::GetFileAttributesW(win32::WidePath(dir_).c_str());
  if (dirAttributes == INVALID_FILE_ATTRIBUTES) {
    Fail(LastErrno());
    return;
  }
  if ((dirAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    Fail(ENOTDIR);
    return;
  }
  const DWORD attributes = ::GetFileAttributesW(win32::WidePath(target_).c_str());
  const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
  if (existed && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    Fail(EISDIR);
    return;
  }
  if (existed && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    Fail(EACCES);
    return;
  }
  int error = 0;
  temp_ = Temp::CreateBeside(dir_, target_, error);
  if (!temp_) Fail(error != 0 ? error : EIO);
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
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (::WriteFile(temp_->get(), bytes, chunk, &written, nullptr) == 0) return Fail(LastErrno());
    bytes += written;
    size -= written;
  }
  return true;
}

bool AtomicFile::Commit() {
  if (Failed()) return false;
  if (::FlushFileBuffers(temp_->get()) == 0) return Fail(LastErrno());
  if (!temp_->Close()) return Fail(LastErrno());
  if (!temp_->MoveTo(win32::WidePath(target_))) return Fail(LastErrno());
  temp_.reset();
  return true;
}

}  // namespace zk::files
