#pragma once
// What the workbench did, line by line with a time stamp: the steps of the
// flows, the status texts, the messages shown and the result codes the
// workers ended with. The log pane shows it; it is kept for the process
// (the oldest lines go once it is long).
#include <QDateTime>
#include <QString>

#include <cstddef>
#include <deque>
#include <functional>

namespace zk::gui {

enum class LogKind { kStep, kStatus, kMessage, kResult };

struct LogLine {
  QDateTime at;
  LogKind kind = LogKind::kStep;
  QString text;
};

class CActivityLog {
 public:
  using Listener = std::function<void(const LogLine&)>;
  static constexpr std::size_t kMaxLines = 20000;

  void Add(LogKind kind, const QString& text);
  const std::deque<LogLine>& Lines() const { return lines_; }
  // Every line as Format gives it, one per line.
  QString Text() const;
  // Told of every line added from now on (one listener; empty: none).
  void SetListener(Listener listener) { listener_ = std::move(listener); }

  // "2026-12-09 10:15:03.123  status   Ready"
  static QString Format(const LogLine& line);

 private:
  std::deque<LogLine> lines_;
  Listener listener_;
};

}  // namespace zk::gui
