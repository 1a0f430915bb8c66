#pragma once
// Watches the loaded image file on a thread of its own: a change
// notification on the file's directory wakes it, it reads the file's
// last-write time and, when that differs (to the second) from the time last
// seen, stores it and calls the change handler on its thread. The GUI
// thread compares the same way on window activation; whichever side sees a
// new time first takes it, so every change is reported once. Stop (and the
// destructor) ends the thread and waits for it.
#include "gui/download/FileFacts.h"
#include "platform/NonCopyable.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace zk::gui {

class WatchThread;

class CFileWatcher : private NonCopyable {
 public:
  // Runs on the watcher thread.
  using ChangeHandler = std::function<void()>;

  CFileWatcher();
  ~CFileWatcher();

  // Ends a running watcher, then watches path with lastSeen as the time
  // last seen.
  void Start(const std::string& path, FileTime lastSeen, ChangeHandler onChange);
  void Stop();
  bool Running() const;
  // Stops watching and forgets the file (the image no longer is its content).
  void Forget();

  const std::string& Path() const { return path_; }
  FileTime LastSeen() const { return FileTime{lastSeen_.load()}; }
  // The GUI side's comparison: true when the file's time differs from the
  // time last seen, which then becomes that time. False when the file
  // cannot be read.
  bool TakeChange();

 private:
  friend class WatchThread;
  bool TakeChangeOf(FileTime now);

  std::string path_;
  std::atomic<int64_t> lastSeen_{0};
  std::unique_ptr<WatchThread> thread_;
};

}  // namespace zk::gui
