#pragma once
// The sector layout of a flash chip in one bank: blocks of equal sectors,
// built from the bank's keys of the module description and the chip's flash
// description file.
#include "common/DmRecords.h"
#include "common/Records.h"
#include "common/ResultCodes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zk::dm {

struct SectorLayout {
  ResultCode code = kOk;  // kOk or kInvalidFileFormat
  // The blocks to report. After a block with missing keys this is the whole
  // array of NumberOfBlocks entries, filled up to that block.
  std::vector<FlashBlock> blocks;
  std::optional<uint32_t> flashId;    // once read
  std::optional<uint32_t> flashSize;  // once read
  // Start of the first block and one past the last sector of the last one;
  // set when the layout is complete.
  uint32_t flashStart = 0;
  uint32_t flashEnd = 0;
};

// Reads the layout of bank. Reads files only.
SectorLayout ReadSectorLayout(const std::string& modulePath, int bank, const std::string& flashDescriptionPath);

// The layout of flash in the current bank, as DmGetSectorInfos reads it: a
// complete layout also sets the flash window and tells the command layer
// the end of flash (code kCmdDllError when it lacks the function).
SectorLayout LoadSectorLayout(const FlashLibInfo& flash);

}  // namespace zk::dm
