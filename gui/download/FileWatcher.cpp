#include "gui/download/FileWatcher.h"

#include "gui/shell/Texts.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QThread>

#include <utility>

namespace zk::gui {

// The watcher thread: an event loop of its own that serves the change
// notifications of the file and its directory until it is asked to quit.
class WatchThread : public QThread {
 public:
  WatchThread(CFileWatcher& owner, CFileWatcher::ChangeHandler onChange)
      : owner_(owner), onChange_(std::move(onChange)) {}

 protected:
  void run() override {
    const QString file = Qs(owner_.path_);
    QFileSystemWatcher watcher;
    // The directory sees a file replaced by rename, the file itself a
    // change of its time stamp.
    watcher.addPath(QFileInfo(file).absolutePath());
    watcher.addPath(file);
    const auto check = [this, &watcher, file] {
      // A file written anew is a new file to the notification.
      if (!watcher.files().contains(file) && QFileInfo::exists(file)) watcher.addPath(file);
      const std::optional<FileTime> now = LocalLastWriteTime(owner_.path_);
      if (now && owner_.TakeChangeOf(*now) && onChange_) onChange_();
    };
    connect(&watcher, &QFileSystemWatcher::fileChanged, &watcher, check);
    connect(&watcher, &QFileSystemWatcher::directoryChanged, &watcher, check);
    // A change between the reading of the time and the start of the watch
    // has no notification.
    check();
    exec();
  }

 private:
  CFileWatcher& owner_;
  const CFileWatcher::ChangeHandler onChange_;
};

CFileWatcher::CFileWatcher() = default;

CFileWatcher::~CFileWatcher() { Stop(); }

void CFileWatcher::Start(const std::string& path, FileTime lastSeen, ChangeHandler onChange) {
  Stop();
  path_ = path;
  lastSeen_.store(lastSeen.seconds);
  thread_ = std::make_unique<WatchThread>(*this, std::move(onChange));
  thread_->start();
}

void CFileWatcher::Stop() {
  if (!thread_) return;
  // quit() is kept until the thread's loop runs, so a stop right after the
  // start is never lost.
  thread_->quit();
  thread_->wait();
  thread_.reset();
}

bool CFileWatcher::Running() const { return thread_ != nullptr && thread_->isRunning(); }

void CFileWatcher::Forget() {
  Stop();
  path_.clear();
}

bool CFileWatcher::TakeChange() {
  if (path_.empty()) return false;
  const std::optional<FileTime> now = LocalLastWriteTime(path_);
  return now && TakeChangeOf(*now);
}

bool CFileWatcher::TakeChangeOf(FileTime now) {
  int64_t seen = lastSeen_.load();
  while (seen != now.seconds) {
    if (lastSeen_.compare_exchange_weak(seen, now.seconds)) return true;
  }
  return false;
}

}  // namespace zk::gui
