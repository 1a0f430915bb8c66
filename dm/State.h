#pragma once
// Library-wide state of the data manager: one connection per process.
// Values that a worker thread and the caller's thread share are atomics;
// the rest is touched by the caller's thread only, or handed to a worker
// before it starts and left alone until it has ended.
#include "common/HandoutList.h"
#include "common/Records.h"
#include "common/WorkerThread.h"
#include "dm/MemoryImage.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace zk::dm {

// The address window of the selected flash: end is one past the last byte;
// both 0 until a layout has been read.
struct FlashWindow {
  std::atomic<uint32_t> start{0};
  std::atomic<uint32_t> end{0};
};

// A flash the command layer reported, with the flash start it was asked for.
struct FoundFlash {
  FlashLibInfo info;
  uint32_t flashStart;
};

struct DmState {
  std::string modulePath;
  std::atomic<uint32_t> loggedIn{0};
  std::atomic<uint8_t> currentBank{0};
  FlashLibInfo currentFlash{};
  std::map<int, FlashLibInfo> bankFlashes;  // the flash selected for each bank
  std::vector<FoundFlash> foundFlashes;     // appended by DmFindFlashLib
  FlashWindow window;
  MemoryImage image;
  std::atomic<uint32_t> readPermission{0};
  std::atomic<uint32_t> protectionOverride{0};

  std::atomic<uint32_t> forwarded{0};  // the current operation runs in the command layer
  // The last worker started was the command layer's: its progress applies
  // until an own worker starts (a synchronous call leaves it).
  std::atomic<uint32_t> progressForwarded{0};
  WorkerThread worker;

  // Where the program-wide settings file is looked for; empty: the
  // directory of the host program.
  std::string settingsDirectory;

  // What the last failed load found wrong; written by the load worker.
  std::mutex problemLock;
  std::string loadProblem;
};

DmState& State();
HandoutList& Handouts();

// The directory of the program-wide settings file.
std::string SettingsDirectory();

// What the library leaves behind when it goes: stops an own worker,
// releases the image, every handed-out buffer and the found flash list.
void ReleaseState();

}  // namespace zk::dm
