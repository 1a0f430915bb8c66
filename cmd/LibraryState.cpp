// Library-global state of the command layer and its release when the library
// is unloaded.
#include "cmd/ResultBlockList.h"
#include "cmd/Settings.h"
#include "cmd/Worker.h"
#include "cmd/WorkerState.h"

namespace zk::cmd {

Settings& CurrentSettings() {
  static Settings settings;
  return settings;
}

ResultBlockList& ResultBlocks() {
  static ResultBlockList blocks;
  return blocks;
}

namespace {

// Runs when the library is unloaded (or the process ends): no worker may
// outlive the code it runs, and no block may outlive the list.
struct UnloadCleanup {
  ~UnloadCleanup() {
    ShutDownWorkers();
    ResultBlocks().ReleaseAll();
  }
};

// Constructed after the objects it cleans up would be on first use, so it
// is destroyed before them.
UnloadCleanup& Cleanup() {
  Worker();
  CurrentSettings();
  ResultBlocks();
  static UnloadCleanup cleanup;
  return cleanup;
}

[[maybe_unused]] const UnloadCleanup& kCleanup = Cleanup();

}  // namespace
}  // namespace zk::cmd
