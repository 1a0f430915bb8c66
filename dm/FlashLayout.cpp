#include "dm/FlashLayout.h"

#include "common/FlashDescriptionFile.h"
#include "common/IniFileAccess.h"
#include "dm/CommandLayer.h"
#include "dm/HexValue.h"
#include "dm/State.h"
#include "platform/Files.h"
#include "platform/Ini.h"

namespace zk::dm {
namespace {

constexpr std::string_view kFlashConfig = "FlashConfig";
constexpr std::string_view kGeneral = "General";
constexpr std::size_t kTextBuffer = 100;
constexpr int32_t kAbsent = 0xFFFF;
constexpr int32_t kMaxCount = 0xFFFE;  // counts are 16-bit, 0xFFFF means absent
constexpr int kModeDoubling = 2;

std::string Text(const std::string& path, std::string_view section, std::string_view key) {
  return ini::GetString(path, section, key, "", kTextBuffer);
}

bool ValidCount(int32_t count) { return count >= 0 && count <= kMaxCount; }

std::string BlockSection(int n) { return "Block " + std::to_string(n); }

SectorLayout Invalid(SectorLayout layout) {
  layout.code = kInvalidFileFormat;
  return layout;
}

}  // namespace

SectorLayout ReadSectorLayout(const std::string& modulePath, int bank, const std::string& flashDescriptionPath) {
  SectorLayout layout;
  const std::string endText = Text(modulePath, kFlashConfig, BankKey("FlashEnd", bank));
  const std::string startText = Text(modulePath, kFlashConfig, BankKey("FlashStart", bank));
  const std::string modeText = Text(modulePath, kFlashConfig, BankKey("FlashMode", bank));
  if (endText.empty() || startText.empty() || modeText.empty()) return Invalid(std::move(layout));
  const uint32_t flashEnd = HexValue(endText);
  const uint32_t flashStart = HexValue(startText);
  const uint64_t factor = HexValue(modeText) == 0 ? kModeDoubling : 1;

  const std::string& desc = flashDescriptionPath;
  const int32_t blockCount = ini::GetInt(desc, kGeneral, "NumberOfBlocks", kAbsent);
  if (blockCount == 0 || !ValidCount(blockCount)) return Invalid(std::move(layout));

  layout.blocks.assign(static_cast<std::size_t>(blockCount), FlashBlock{});
  layout.flashId = static_cast<uint32_t>(ini::GetInt(desc, kGeneral, "FlashID", kAbsent));
  std::size_t used = layout.blocks.size();
  for (int n = 1; n <= blockCount; ++n) {
    FlashBlock& block = layout.blocks[static_cast<std::size_t>(n - 1)];
    const std::string section = BlockSection(n);
    const std::string offsetText = Text(desc, section, "Offset");
    if (offsetText.empty()) return Invalid(std::move(layout));
    block.start = HexValue(offsetText) + flashStart;
    const std::string sizeText = Text(desc, section, "SectorSize");
    if (sizeText.empty()) return Invalid(std::move(layout));
    const uint64_t sectorSize = uint64_t{HexValue(sizeText)} * factor;
    const int32_t sectors = ini::GetInt(desc, section, "NumberOfSectors", kAbsent);
    if (sectorSize == 0 || sectorSize > 0xFFFFFFFFu || !ValidCount(sectors)) {
      return Invalid(std::move(layout));
    }
    block.sectorSize = static_cast<uint32_t>(sectorSize);
    block.sectorCount = static_cast<uint16_t>(sectors);

    const uint64_t blockEnd = uint64_t{block.start} + uint64_t{block.sectorCount} * sectorSize;
    if (blockEnd < flashEnd) continue;
    if (flashEnd < block.start) {
      layout.blocks.clear();
      return Invalid(std::move(layout));
    }
    // Whole sectors above FlashEnd go; blocks after this one are not used.
    block.sectorCount = static_cast<uint16_t>(block.sectorCount - (blockEnd - flashEnd) / sectorSize);
    used = static_cast<std::size_t>(n);
    break;
  }
  layout.blocks.resize(used);
  const FlashBlock& last = layout.blocks.back();
  layout.flashStart = layout.blocks.front().start;
  layout.flashEnd = last.start + uint32_t{last.sectorCount} * last.sectorSize;
  layout.flashSize = static_cast<uint32_t>(ini::GetInt(desc, kGeneral, "FlashSize", 0));
  return layout;
}

SectorLayout LoadSectorLayout(const FlashLibInfo& flash) {
  DmState& state = State();
  const std::string desc = FlashDescriptionFile(FlashDescriptionDir(SettingsDirectory()), flash);
  state.forwarded = 0;
  SectorLayout layout = ReadSectorLayout(state.modulePath, state.currentBank, desc);
  if (layout.code != kOk) return layout;
  state.window.end = layout.flashEnd;
  state.window.start = layout.flashStart;
  if (auto setEndOfFlash = Cmd().Require<cmm::SetEndOfFlashFn>("CmmSetEndOfFlash")) {
    setEndOfFlash(layout.flashEnd);
  } else {
    layout.code = kCmdDllError;
  }
  return layout;
}

}  // namespace zk::dm
