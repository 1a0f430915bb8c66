#include "platform/AtomicFile.h"

#include "platform/AtomicFileTemp.h"
#include "platform/Files.h"
#include "platform/win32/ErrnoOf.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Windows.h"

#include <cerrno>
#include <string>
#include <string_view>

namespace zk::files {
namespace {

int LastErrno() { return win32::ErrnoOf(::GetLastError()); }

// The file a save of path replaces: symbolic links and junctions followed,
// so that a save writes through a link as on Linux rather than putting a
// file in the link's place. A path that cannot be opened (not there yet, a
// link to nothing) is saved as named.
std::string FinalPath(const std::string& path) {
  const win32::Handle file(::CreateFileW(win32::WidePath(path).c_str(), 0,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return path;
  std::wstring name(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = ::GetFinalPathNameByHandleW(file.get(), name.data(), static_cast<DWORD>(name.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return path;
    if (length < name.size()) {
      name.resize(length);
      break;
    }
    name.resize(length);  // the size asked for, with its terminator
    if (attempt == 1) return path;
  }
  constexpr std::wstring_view kUnc = L"\\\\?\\UNC\\";
  constexpr std::wstring_view kLong = L"\\\\?\\";
  if (name.starts_with(kUnc)) return "\\\\" + win32::Narrow(std::wstring_view(name).substr(kUnc.size()));
  if (name.starts_with(kLong)) return win32::Narrow(std::wstring_view(name).substr(kLong.size()));
  return win32::Narrow(name);
}

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
  target_ = FinalPath(target_);
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
