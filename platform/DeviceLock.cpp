#include "platform/DeviceLock.h"

#include "platform/Files.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <optional>
#include <sstream>

namespace zk::com::detail {
namespace {

// Every lock of the system, one a line: "1: FLOCK  ADVISORY  WRITE 4711
// 00:1a:3 0 EOF", the file named by the major and minor number (hex) of its
// file system and its inode; a waiter's line has "->" after the number.
constexpr char kLockTable[] = "/proc/locks";

struct FileId {
  unsigned major;
  unsigned minor;
  unsigned long inode;
};

std::optional<FileId> LockedFile(const std::string& line) {
  std::istringstream fields(line);
  std::string field;
  fields >> field;  // the number
  if (!(fields >> field) || field == "->") return std::nullopt;
  for (int skip = 0; skip < 3; ++skip) fields >> field;  // advisory, read or write, pid
  FileId id{};
  if (!(fields >> field) || std::sscanf(field.c_str(), "%x:%x:%lu", &id.major, &id.minor, &id.inode) != 3) {
    return std::nullopt;
  }
  return id;
}

}  // namespace

bool DeviceLocked(const std::string& path) {
  struct stat device {};
  if (::stat(path.c_str(), &device) != 0) return false;
  const std::optional<std::string> table = files::ReadAll(kLockTable);
  if (!table) return false;
  std::istringstream lines(*table);
  for (std::string line; std::getline(lines, line);) {
    const std::optional<FileId> id = LockedFile(line);
    if (id && id->inode == device.st_ino && id->major == ::major(device.st_dev) &&
        id->minor == ::minor(device.st_dev)) {
      return true;
    }
  }
  return false;
}

}  // namespace zk::com::detail
