#pragma once
// A small two-bank flash for the flash model and firmware tests: bank 0 at
// 0x0 with four sectors of 0x100 and one block of two sectors of 0x400,
// bank 1 at 0x1000 with four sectors of 0x200.
#include "modsim/FlashModel.h"

namespace zk::modsim::test {

inline FlashLayout SmallLayout() {
  FlashLayout layout;
  layout.blocks = {{0x000, 0x100, 4}, {0x400, 0x400, 2}};
  return layout;
}

inline std::vector<FlashBank> SmallBanks() {
  FlashBank bank0;
  bank0.start = 0x0;
  bank0.layout = SmallLayout();
  bank0.libraries = {FlashLibrary{{0x0001, 0x2101, 0x00A7, 0x0001}}, FlashLibrary{{0x0003, 0x2101, 0x00A7, 0x0102}}};
  bank0.hardwareProtected = {{0x300, 0x3FF}};
  FlashBank bank1;
  bank1.start = 0x1000;
  bank1.layout.blocks = {{0x000, 0x200, 4}};
  bank1.libraries = {FlashLibrary{{0x0002, 0x2202, 0x00A7, 0x0001}}};
  bank1.firmwareUsed = {{0x1600, 0x17FF}};
  return {bank0, bank1};
}

}  // namespace zk::modsim::test
