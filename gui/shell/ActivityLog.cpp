#include "gui/shell/ActivityLog.h"

namespace zk::gui {
namespace {

const char* KindName(LogKind kind) {
  switch (kind) {
    case LogKind::kStep: return "step   ";
    case LogKind::kStatus: return "status ";
    case LogKind::kMessage: return "message";
    case LogKind::kResult: return "result ";
  }
  return "";
}

}  // namespace

void CActivityLog::Add(LogKind kind, const QString& text) {
  if (lines_.size() >= kMaxLines) lines_.pop_front();
  lines_.push_back({QDateTime::currentDateTime(), kind, text});
  if (listener_) listener_(lines_.back());
}

QString CActivityLog::Text() const {
  QString text;
  for (const LogLine& line : lines_) text += Format(line) + '\n';
  return text;
}

QString CActivityLog::Format(const LogLine& line) {
  // A text of several lines stays one entry: its line ends are shown as " / ".
  QString flat = line.text;
  flat.replace("\r\n", " / ").replace('\n', " / ");
  return line.at.toString("yyyy-MM-dd hh:mm:ss.zzz") + "  " + KindName(line.kind) + "  " + flat;
}

}  // namespace zk::gui
