#include "platform/AtomicFile.h"

#include "platform/Files.h"
#include "platform/NonCopyable.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>
#include <random>
#include <vector>

namespace zk::files {
namespace {

constexpr int kMaxLinkHops = 40;        // as the kernel's own limit
constexpr int kTempNameAttempts = 100;
constexpr std::size_t kMaxTempStem = 200;  // keeps ".<stem>.tmpXXXXXXXX" under NAME_MAX
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as any new file

std::string NativeDirOrDot(const std::string& nativePath) {
  std::string dir = DirName(nativePath);
  return dir.empty() ? std::string(".") : dir;
}

// The file a write to path lands in: symbolic links followed (also a link
// whose target does not exist yet). The errno value for a loop or an
// unreadable link.
int FollowLinks(std::string& path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    if (!S_ISLNK(st.st_mode)) return 0;
    std::vector<char> buffer(static_cast<std::size_t>(PATH_MAX) + 1);
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return n < 0 ? errno : ENAMETOOLONG;
    std::string target(buffer.data(), static_cast<std::size_t>(n));
    path = target.front() == '/' ? target : NativeDirOrDot(path) + "/" + target;
  }
  return ELOOP;
}

bool HasWriteBits(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0; }

// Root passes access() for everything, so a file or directory without any
// write permission bit counts as read-only as well.
bool IsWritable(const std::string& path, const struct stat& st, int accessMode) {
  return HasWriteBits(st) && ::access(path.c_str(), accessMode) == 0;
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

void SyncDirectory(const std::string& dir) {
  UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid()) ::fsync(fd.get());
}

}  // namespace

// The temporary file: removed unless it was renamed into place.
class AtomicFile::Temp : private NonCopyable {
 public:
  Temp(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~Temp() {
    fd_.Close();
    if (!committed_) ::unlink(path_.c_str());
  }
  int fd() const { return fd_.get(); }
  bool CloseFd() { return fd_.Close(); }
  bool RenameTo(const std::string& target) {
    committed_ = ::rename(path_.c_str(), target.c_str()) == 0;
    return committed_;
  }

  static std::unique_ptr<Temp> CreateBeside(const std::string& dir, const std::string& target, int& error) {
    const std::string stem = BaseName(target).substr(0, kMaxTempStem);
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
      std::string path = dir + "/." + stem + ".tmp" + RandomSuffix();
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
      if (fd >= 0) return std::make_unique<Temp>(std::move(path), fd);
      if (errno != EEXIST) break;
    }
    error = errno;
    return nullptr;
  }

 private:
  std::string path_;
  UniqueFd fd_;
  bool committed_ = false;
};

AtomicFile::AtomicFile(const std::string& path) : target_(ToNative(path)) {
  if (path.empty()) {
    Fail(ENOENT);
    return;
  }
  if (const int error = FollowLinks(target_); error != 0) {
    Fail(error);
    return;
  }
  dir_ = NativeDirOrDot(target_);

  struct stat dirStat {};
  if (::stat(dir_.c_str(), &dirStat) != 0) {
    Fail(errno);
    return;
  }
  if (!S_ISDIR(dirStat.st_mode)) {
    Fail(ENOTDIR);
    return;
  }
  if (!IsWritable(dir_, dirStat, W_OK | X_OK)) {
    Fail(EACCES);
    return;
  }

  struct stat fileStat {};
  const bool existed = ::stat(target_.c_str(), &fileStat) == 0;
  if (existed && S_ISDIR(fileStat.st_mode)) {
    Fail(EISDIR);
    return;
  }
  if (existed && !S_ISREG(fileStat.st_mode)) {
    Fail(EINVAL);
    return;
  }
  if (existed && !IsWritable(target_, fileStat, W_OK)) {
    Fail(EACCES);
    return;
  }

  int error = 0;
  temp_ = Temp::CreateBeside(dir_, target_, error);
  if (!temp_) {
    Fail(error != 0 ? error : EIO);
    return;
  }
  if (existed) {
    // Owner first: changing it may clear set-id bits that the mode restores.
    // Keeping the owner needs privileges a normal user lacks; that is fine.
    if (::fchown(temp_->fd(), fileStat.st_uid, fileStat.st_gid) != 0) {
      (void)::fchown(temp_->fd(), static_cast<uid_t>(-1), fileStat.st_gid);
    }
    if (::fchmod(temp_->fd(), fileStat.st_mode & 07777) != 0) Fail(errno);
  }
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
    const ssize_t n = ::write(temp_->fd(), bytes, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(errno);
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool AtomicFile::Commit() {
  if (Failed()) return false;
  if (::fsync(temp_->fd()) != 0) return Fail(errno);
  if (!temp_->CloseFd()) return Fail(errno);
  if (!temp_->RenameTo(target_)) return Fail(errno);
  temp_.reset();
  SyncDirectory(dir_);
  return true;
}

}  // namespace zk::files
