#pragma once
// The layout of one flash chip as its flash description file gives it: blocks
// of equal sectors, back to back from offset 0.
#include "modsim/IniFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zk::modsim {

struct FlashBlockLayout {
  uint32_t offset = 0;
  uint32_t sectorSize = 0;
  uint32_t sectorCount = 0;
  uint32_t End() const { return offset + sectorSize * sectorCount; }  // one past the last byte
};

struct FlashLayout {
  std::string name;
  std::string mode;
  uint32_t sizeKb = 0;
  uint32_t flashId = 0xFFFF;
  std::vector<FlashBlockLayout> blocks;

  uint32_t Size() const { return blocks.empty() ? 0 : blocks.back().End(); }
  // The layout with every sector `factor` times as large (chips side by side).
  FlashLayout Scaled(uint32_t factor) const;
};

inline constexpr uint32_t kMaxFlashSize = 64u << 20;

// The [General] and [Block n] keys; nullopt and a message when a required key
// is missing or malformed, or the blocks do not follow each other from 0.
std::optional<FlashLayout> ParseFlashLayout(const IniFile& file, std::string* error);

// The description file name the host builds from the library words w2, w1, w3.
std::string FlashInfoFileName(uint16_t w2, uint16_t w1, uint16_t w3);

}  // namespace zk::modsim
