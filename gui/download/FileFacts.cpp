#include "gui/download/FileFacts.h"

#include "gui/shell/Texts.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <ctime>

namespace zk::gui {

std::optional<FileTime> LocalLastWriteTime(const std::string& path) {
  const QFileInfo info(Qs(path));
  if (!info.exists() || !info.isFile()) return std::nullopt;
  const QDateTime written = info.lastModified();
  if (!written.isValid()) return std::nullopt;
  return FileTime{written.toSecsSinceEpoch()};
}

std::optional<uint64_t> FileSizeOf(const std::string& path) {
  const QFileInfo info(Qs(path));
  if (!info.exists() || !info.isFile()) return std::nullopt;
  return static_cast<uint64_t>(info.size());
}

std::string FileTimeText(FileTime time) {
  const QDateTime written = QDateTime::fromSecsSinceEpoch(time.seconds).toLocalTime();
  const QDate date = written.date();
  const QTime clock = written.time();
  std::tm local{};
  local.tm_year = date.year() - 1900;
  local.tm_mon = date.month() - 1;
  local.tm_mday = date.day();
  local.tm_wday = date.dayOfWeek() % 7;
  local.tm_yday = date.dayOfYear() - 1;
  local.tm_hour = clock.hour();
  local.tm_min = clock.minute();
  local.tm_sec = clock.second();
  local.tm_isdst = written.isDaylightTime() ? 1 : 0;
  char text[128];
  const std::size_t length = std::strftime(text, sizeof text, "%c", &local);
  return std::string(text, length);
}

std::string KBytesText(uint64_t bytes) {
  char text[48];
  std::snprintf(text, sizeof text, "%.3f kBytes", static_cast<double>(bytes) / 1024.0);
  return text;
}

std::string Sha256OfFile(const std::string& path) {
  QFile file(Qs(path));
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) return {};
  return hash.result().toHex().toStdString();
}

std::string DirectoryWithSeparator(const std::string& path) {
  const std::size_t last = path.find_last_of("/\\");
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

}  // namespace zk::gui
