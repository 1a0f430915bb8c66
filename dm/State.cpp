#include "dm/State.h"

#include "platform/Files.h"

namespace zk::dm {
namespace {

// How long unloading waits for an own worker that is asked to stop (each
// of them passes a check point at least after every request it sends).
constexpr uint32_t kShutdownWaitMs = 30000;

}  // namespace

DmState& State() {
  static DmState state;
  return state;
}

HandoutList& Handouts() {
  static HandoutList list;
  return list;
}

std::string SettingsDirectory() {
  const std::string& dir = State().settingsDirectory;
  return dir.empty() ? files::HostProgramDir() : dir;
}

void ReleaseState() {
  DmState& state = State();
  state.worker.ShutDown(kShutdownWaitMs);
  state.image.Discard();
  state.foundFlashes.clear();
  state.bankFlashes.clear();
  Handouts().ReleaseAll();
}

namespace {

// Runs when the library is unloaded (or the process ends).
struct UnloadCleanup {
  ~UnloadCleanup() { ReleaseState(); }
};

// Constructed after the objects it cleans up, so it is destroyed before them.
UnloadCleanup& Cleanup() {
  State();
  Handouts();
  static UnloadCleanup cleanup;
  return cleanup;
}

[[maybe_unused]] const UnloadCleanup& kCleanup = Cleanup();

}  // namespace
}  // namespace zk::dm
