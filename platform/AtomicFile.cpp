#include "platform/AtomicFile.h"

#include "platform/AtomicFileTemp.h"
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace zk::files {
namespace {

constexpr int kMaxLinkHops = 40;       // as the kernel's own limit
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as any new file

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
    path = target.front() == '/' ? target : DirOrDot(path) + "/" + target;
  }
  return ELOOP;
}

bool HasWriteBits(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0; }

// Root passes access() for everything, so a file or directory without any
// write permission bit counts as read-only as well.
bool IsWritable(const std::string& path, const struct stat& st, int accessMode) {
  return HasWriteBits(st) && ::access(path.c_str(), accessMode) == 0;
}

}  // namespace

void SyncDirectory(const std::string& dir) {
  UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid()) ::fsync(fd.get());
}

AtomicFile::Temp::~Temp() {
  file_.Close();
  if (!committed_) ::unlink(path_.c_str());
}

std::unique_ptr<AtomicFile::Temp> AtomicFile::Temp::Create(const std::string& path, int& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
  if (fd >= 0) return std::make_unique<Temp>(path, fd);
  error = errno;
  return nullptr;
}

int AtomicFile::Temp::WriteSome(const char* bytes, std::size_t size, std::size_t& written) {
  for (;;) {
    const ssize_t n = ::write(file_.get(), bytes, size);
    if (n >= 0) {
      written = static_cast<std::size_t>(n);
      return 0;
    }
    if (errno != EINTR) return errno;
  }
}

int AtomicFile::Temp::Flush() { return ::fsync(file_.get()) == 0 ? 0 : errno; }

int AtomicFile::Temp::Close() { return file_.Close() ? 0 : errno; }

int AtomicFile::Temp::MoveTo(const std::string& target) {
  committed_ = ::rename(path_.c_str(), target.c_str()) == 0;
  return committed_ ? 0 : errno;
}

AtomicFile::AtomicFile(const std::string& path) : target_(ToNative(path)) {
  if (path.empty()) {
    Fail(ENOENT);
    return;
  }
  if (const int error = FollowLinks(target_); error != 0) {
    Fail(error);
    return;
  }
  dir_ = DirOrDot(target_);

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
    Fail(error);
    return;
  }
  if (existed) {
    // Owner first: changing it may clear set-id bits that the mode restores.
    // Keeping the owner needs privileges a normal user lacks; that is fine.
    if (::fchown(temp_->raw(), fileStat.st_uid, fileStat.st_gid) != 0) {
      (void)::fchown(temp_->raw(), static_cast<uid_t>(-1), fileStat.st_gid);
    }
    if (::fchmod(temp_->raw(), fileStat.st_mode & 07777) != 0) Fail(errno);
  }
}

}  // namespace zk::files
