#include "modsim/FlashLayout.h"

#include "common/HexText.h"
#include "modsim/Numbers.h"

#include <cstdio>

namespace zk::modsim {

FlashLayout FlashLayout::Scaled(uint32_t factor) const {
  FlashLayout scaled = *this;
  for (auto& block : scaled.blocks) {
    block.offset *= factor;
    block.sectorSize *= factor;
  }
  return scaled;
}

std::optional<FlashLayout> ParseFlashLayout(const IniFile& file, std::string* error) {
  auto fail = [&](std::string message) -> std::optional<FlashLayout> {
    if (error) *error = std::move(message);
    return std::nullopt;
  };
  auto number = [&](std::string_view section, std::string_view key, std::optional<uint32_t> fallback,
                    uint32_t& out) -> bool {
    const auto text = file.Get(section, key);
    if (!text) {
      if (!fallback) return false;
      out = *fallback;
      return true;
    }
    const auto value = ParseU32(*text);
    if (!value) return false;
    out = *value;
    return true;
  };
  auto hex = [&](std::string_view section, std::string_view key, uint32_t& out) -> bool {
    const auto text = file.Get(section, key);
    if (!text || text->empty()) return false;
    out = HexTextToValue(*text);
    return out != kInvalidHexValue;
  };

  FlashLayout layout;
  layout.name = file.Get("General", "Name").value_or("");
  layout.mode = file.Get("General", "Mode").value_or("");
  uint32_t blockCount = 0;
  if (!number("General", "NumberOfBlocks", std::nullopt, blockCount) || blockCount == 0 || blockCount > 1000) {
    return fail("[General] NumberOfBlocks missing or invalid");
  }
  if (!number("General", "FlashSize", 0u, layout.sizeKb)) return fail("[General] FlashSize invalid");
  if (!number("General", "FlashID", 0xFFFFu, layout.flashId)) return fail("[General] FlashID invalid");
  uint64_t next = 0;
  for (uint32_t n = 1; n <= blockCount; ++n) {
    const std::string section = "Block " + std::to_string(n);
    FlashBlockLayout block;
    if (!hex(section, "Offset", block.offset)) return fail("[" + section + "] Offset missing or invalid");
    if (!hex(section, "SectorSize", block.sectorSize) || block.sectorSize == 0) {
      return fail("[" + section + "] SectorSize missing or invalid");
    }
    if (!number(section, "NumberOfSectors", std::nullopt, block.sectorCount) || block.sectorCount == 0) {
      return fail("[" + section + "] NumberOfSectors missing or invalid");
    }
    if (block.offset != next) return fail("[" + section + "] does not start where the block before it ends");
    next = static_cast<uint64_t>(block.offset) + static_cast<uint64_t>(block.sectorSize) * block.sectorCount;
    if (next > kMaxFlashSize) return fail("flash larger than 64 MB");
    layout.blocks.push_back(block);
  }
  return layout;
}

std::string FlashInfoFileName(uint16_t w2, uint16_t w1, uint16_t w3) {
  char name[32];
  std::snprintf(name, sizeof name, "%.4xx%.4xx%.4x.ini", w2, w1, w3);
  return name;
}

}  // namespace zk::modsim
