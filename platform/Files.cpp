#include "platform/Files.h"

#include "platform/AsciiText.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <random>
#include <vector>

namespace zk::files {
namespace {

constexpr std::string_view kSeparators = "/\\";
constexpr int kMaxLinkHops = 40;        // as the kernel's own limit
constexpr int kTempNameAttempts = 100;
constexpr std::size_t kMaxTempStem = 200;  // keeps ".<stem>.tmpXXXXXXXX" under NAME_MAX
constexpr std::size_t kReadChunk = 4096;  // first read of a file of unknown size
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as any new file

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// A file descriptor closed when it goes out of scope.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and reports whether the close succeeded (a late write error
  // shows up here on some file systems).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

// A temporary file that is removed unless it was renamed into place.
class TempFile {
 public:
  TempFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    fd_.Close();
    if (!committed_) ::unlink(path_.c_str());
  }
  int fd() const { return fd_.get(); }
  bool CloseFd() { return fd_.Close(); }
  bool RenameTo(const std::string& target) {
    committed_ = ::rename(path_.c_str(), target.c_str()) == 0;
    return committed_;
  }

 private:
  std::string path_;
  UniqueFd fd_;
  bool committed_ = false;
};

std::string NativeDirOrDot(const std::string& nativePath) {
  std::string dir = DirName(nativePath);
  return dir.empty() ? std::string(".") : dir;
}

// The file a write to path lands in: symbolic links followed (also a link
// whose target does not exist yet). nullopt for a loop or an unreadable link.
std::optional<std::string> FollowLinks(std::string path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
      if (errno == ENOENT) return path;
      return std::nullopt;
    }
    if (!S_ISLNK(st.st_mode)) return path;
    std::vector<char> buffer(static_cast<std::size_t>(PATH_MAX) + 1);
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return std::nullopt;
    std::string target(buffer.data(), static_cast<std::size_t>(n));
    path = target.front() == '/' ? target : NativeDirOrDot(path) + "/" + target;
  }
  return std::nullopt;
}

bool HasWriteBits(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0; }

// Root passes access() for everything, so a file or directory without any
// write permission bit counts as read-only as well.
bool IsWritable(const std::string& path, const struct stat& st, int accessMode) {
  return HasWriteBits(st) && ::access(path.c_str(), accessMode) == 0;
}

bool WriteFully(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
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

std::optional<TempFile> CreateTempBeside(const std::string& dir, const std::string& target) {
  const std::string stem = BaseName(target).substr(0, kMaxTempStem);
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    std::string path = dir + "/." + stem + ".tmp" + RandomSuffix();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    if (fd >= 0) return std::optional<TempFile>(std::in_place, std::move(path), fd);
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

void SyncDirectory(const std::string& dir) {
  UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid()) ::fsync(fd.get());
}

}  // namespace

std::string ToNative(std::string_view path) {
  std::string native(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

std::string Join(std::string_view dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  if (name.empty()) return std::string(dir);
  const std::size_t headEnd = dir.find_last_not_of(kSeparators);
  const std::size_t tailBegin = name.find_first_not_of(kSeparators);
  std::string joined(headEnd == std::string_view::npos ? std::string_view{} : dir.substr(0, headEnd + 1));
  joined += '/';
  if (tailBegin != std::string_view::npos) joined += name.substr(tailBegin);
  return joined;
}

std::string DirName(std::string_view path) {
  const std::size_t last = path.find_last_of(kSeparators);
  if (last == std::string_view::npos) return {};
  const std::size_t end = path.find_last_not_of(kSeparators, last);
  if (end == std::string_view::npos) return std::string(path.substr(0, 1));  // the root
  return std::string(path.substr(0, end + 1));
}

std::string BaseName(std::string_view path) {
  const std::size_t last = path.find_last_of(kSeparators);
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::optional<std::string> FindNoCase(std::string_view dir, std::string_view name) {
  if (name.empty()) return std::nullopt;
  if (std::any_of(name.begin(), name.end(), IsSeparator)) {
    // A relative path: only its last component is matched ignoring case.
    const std::string sub = DirName(name);
    return FindNoCase(Join(dir, sub), BaseName(name));
  }
  const std::string exact = Join(dir, name);
  struct stat st {};
  if (::lstat(ToNative(exact).c_str(), &st) == 0) return exact;

  const std::string nativeDir = dir.empty() ? std::string(".") : ToNative(dir);
  UniqueDir handle(::opendir(nativeDir.c_str()));
  if (!handle) return std::nullopt;
  std::optional<std::string> best;
  while (const dirent* entry = ::readdir(handle.get())) {
    const std::string_view entryName = entry->d_name;
    // Several spellings of one name: take the smallest, so the choice does
    // not depend on the directory's order.
    if (text::EqualsNoCase(entryName, name) && (!best || entryName < *best)) best = std::string(entryName);
  }
  if (!best) return std::nullopt;
  return Join(dir, *best);
}

std::string ResolveNoCase(std::string_view path) {
  const std::string given(path);
  if (Exists(given)) return given;
  const std::string base = BaseName(path);
  if (base.empty()) return given;
  return FindNoCase(DirName(path), base).value_or(given);
}

bool Exists(const std::string& path) {
  if (path.empty()) return false;
  struct stat st {};
  return ::stat(ToNative(path).c_str(), &st) == 0;
}

std::string HostProgramPath() {
  std::vector<char> buffer(static_cast<std::size_t>(PATH_MAX) + 1);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return {};
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::string HostProgramDir() { return DirName(HostProgramPath()); }

bool ReplaceAtomically(const std::string& path, std::string_view content) {
  if (path.empty()) return false;
  const std::optional<std::string> target = FollowLinks(ToNative(path));
  if (!target) return false;
  const std::string dir = NativeDirOrDot(*target);

  struct stat dirStat {};
  if (::stat(dir.c_str(), &dirStat) != 0 || !S_ISDIR(dirStat.st_mode)) return false;
  if (!IsWritable(dir, dirStat, W_OK | X_OK)) return false;

  struct stat fileStat {};
  const bool existed = ::stat(target->c_str(), &fileStat) == 0;
  if (existed && (!S_ISREG(fileStat.st_mode) || !IsWritable(*target, fileStat, W_OK))) return false;

  std::optional<TempFile> temp = CreateTempBeside(dir, *target);
  if (!temp) return false;
  if (existed) {
    // Owner first: changing it may clear set-id bits that the mode restores.
    // Keeping the owner needs privileges a normal user lacks; that is fine.
    if (::fchown(temp->fd(), fileStat.st_uid, fileStat.st_gid) != 0) {
      (void)::fchown(temp->fd(), static_cast<uid_t>(-1), fileStat.st_gid);
    }
    if (::fchmod(temp->fd(), fileStat.st_mode & 07777) != 0) return false;
  }
  if (!WriteFully(temp->fd(), content) || ::fsync(temp->fd()) != 0 || !temp->CloseFd()) return false;
  if (!temp->RenameTo(*target)) return false;
  SyncDirectory(dir);
  return true;
}

std::optional<std::string> ReadAll(const std::string& path) {
  if (path.empty()) return std::nullopt;
  UniqueFd fd(::open(ToNative(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
  // One read more than the size, so that the end shows without growing.
  const bool sized = S_ISREG(st.st_mode) && st.st_size > 0;
  std::string content(sized ? static_cast<std::size_t>(st.st_size) + 1 : kReadChunk, '\0');
  std::size_t used = 0;
  for (;;) {
    if (used == content.size()) content.resize(content.size() * 2);
    const ssize_t n = ::read(fd.get(), content.data() + used, content.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  content.resize(used);
  return content;
}

}  // namespace zk::files
