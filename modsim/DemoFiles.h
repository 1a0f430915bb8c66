#pragma once
// The boot and flash files of the demo module, generated the same way at
// every build: the boot code the boot loader receives raw, and the flash
// firmware that the flash-file protocol loads into RAM (two records back to
// back from an odd address, then a second range after a gap).
#include "modsim/BootRecords.h"

namespace zk::modsim {

inline constexpr const char* kDemoBootFileName = "ZkBoot.bin";
inline constexpr const char* kDemoFlashFileName = "ZkFlash.bin";

RecordFile DemoBootFile();
RecordFile DemoFlashFile();

}  // namespace zk::modsim
