#include "platform/AtomicFile.h"

#include "platform/AtomicFileTemp.h"
#include "platform/Files.h"
#include "platform/win32/ErrnoOf.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

#include <cerrno>

namespace zk::files {
namespace {

int LastErrno() { return win32::ErrnoOf(::GetLastError()); }

}  // namespace

// The move is made with MOVEFILE_WRITE_THROUGH: nothing more to do.
void SyncDirectory(const std::string&) {}

AtomicFile::Temp::~Temp() {
  file_.Reset();
  if (!committed_) ::DeleteFileW(win32::WidePath(path_).c_str());
}

std::unique_ptr<AtomicFile::Temp> AtomicFile::Temp::Create(const std::string& path, int& error) {
  const HANDLE file = ::CreateFileW(win32::WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) return std::make_unique<Temp>(path, file);
  error = LastErrno();
  return nullptr;
}

int AtomicFile::Temp::WriteSome(const char* bytes, std::size_t size, std::size_t& written) {
  const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  DWORD done = 0;
  if (::WriteFile(file_.get(), bytes, chunk, &done, nullptr) == 0) return LastErrno();
  written = done;
  return 0;
}

int AtomicFile::Temp::Flush() { return ::FlushFileBuffers(file_.get()) != 0 ? 0 : LastErrno(); }

int AtomicFile::Temp::Close() { return file_.Reset() ? 0 : LastErrno(); }

// Takes the old file's place in one step: its attributes and security stay
// those of the new file, which inherited the directory's.
int AtomicFile::Temp::MoveTo(const std::string& target) {
  committed_ = ::MoveFileExW(win32::WidePath(path_).c_str(), win32::WidePath(target).c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  return committed_ ? 0 : LastErrno();
}

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
  if (!temp_) Fail(error);
}

}  // namespace zk::files
