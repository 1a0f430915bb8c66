#pragma once
// What the download page shows of an image file: its local last-write time
// (compared to the second), its size, its SHA-256, and their texts.
#include <cstdint>
#include <optional>
#include <string>

namespace zk::gui {

// A local time to the second, as a count of seconds that only compares.
struct FileTime {
  int64_t seconds = 0;
  bool operator==(const FileTime&) const = default;
};

// The file's last-write time in local time; nullopt when it cannot be read.
std::optional<FileTime> LocalLastWriteTime(const std::string& path);
std::optional<uint64_t> FileSizeOf(const std::string& path);
// The time in the locale's date-and-time format ("%c").
std::string FileTimeText(FileTime time);
// bytes / 1024 with "%.3f kBytes".
std::string KBytesText(uint64_t bytes);
// The SHA-256 of the file's bytes in lower-case hexadecimal; empty when it
// cannot be read.
std::string Sha256OfFile(const std::string& path);
// The directory part of path, up to and including its last separator;
// empty when there is none.
std::string DirectoryWithSeparator(const std::string& path);

}  // namespace zk::gui
