// The flash layout for callers: sectors, protected and no-access areas,
// general module facts, and the bank choice.
#include "common/DmApi.h"
#include "common/Export.h"
#include "common/IniFileAccess.h"
#include "dm/Areas.h"
#include "dm/BankFlashes.h"
#include "dm/CommandLayer.h"
#include "dm/FlashLayout.h"
#include "dm/State.h"

#include <algorithm>
#include <cstring>

namespace zk::dm {
namespace {

void CopyText(const std::string& text, char (&field)[kGeneralInfoTextSize]) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

struct HandedOutAreas {
  uint16_t count = 0;
  AddressRange* array = nullptr;  // null when count is 0
  bool resolved = true;           // false: an area could not be placed; those before it are filled
};

HandedOutAreas HandOutAreas(const IniFileAccess& module, AreaKind kind) {
  HandedOutAreas out;
  const uint16_t count = AreaCount(module, kind);
  if (count == 0) return out;
  out.array = Handouts().AllocateArray<AddressRange>(count);
  if (out.array == nullptr) return out;
  out.count = count;
  const DmState& state = State();
  const ResolvedAreas resolved = ReadAreas(module, kind, count, state.window.start, state.window.end);
  std::copy(resolved.areas.begin(), resolved.areas.end(), out.array);
  out.resolved = !resolved.unresolved;
  return out;
}

}  // namespace
}  // namespace zk::dm

using namespace zk;
using dm::State;

ZK_EXPORT uint32_t DmGetSectorInfos(FlashLibInfo* flash, SectorInfos* out) {
  if (out == nullptr) return kFailed;
  const dm::SectorLayout layout = dm::LoadSectorLayout(flash != nullptr ? *flash : dm::FlashOfCurrentBank());
  out->blockCount = 0;
  out->blocks = nullptr;
  if (layout.flashId) out->flashId = *layout.flashId;
  if (!layout.blocks.empty()) {
    FlashBlock* blocks = dm::Handouts().AllocateArray<FlashBlock>(layout.blocks.size());
    if (blocks == nullptr) return kFailed;
    std::copy(layout.blocks.begin(), layout.blocks.end(), blocks);
    out->blocks = blocks;
    out->blockCount = static_cast<uint16_t>(layout.blocks.size());
  }
  if (layout.flashSize) out->flashSize = *layout.flashSize;
  return layout.code;
}

ZK_EXPORT uint32_t DmGetProtectedAreas(ProtectedAreas* out) {
  if (out == nullptr) return kFailed;
  State().forwarded = 0;
  out->protectedAreas = nullptr;
  out->noAccessAreas = nullptr;
  out->noAccessCount = 0;
  const IniFileAccess module(State().modulePath);
  const dm::HandedOutAreas protectedAreas = dm::HandOutAreas(module, dm::AreaKind::Protected);
  out->protectedCount = protectedAreas.count;
  out->protectedAreas = protectedAreas.array;
  if (!protectedAreas.resolved) return kNoModuleSelected;
  const dm::HandedOutAreas noAccessAreas = dm::HandOutAreas(module, dm::AreaKind::NonAccess);
  out->noAccessCount = noAccessAreas.count;
  out->noAccessAreas = noAccessAreas.array;
  return noAccessAreas.resolved ? kOk : kNoModuleSelected;
}

ZK_EXPORT uint32_t DmGetGeneralInfos(GeneralInfos* out) {
  const dm::DmState& state = State();
  if (state.modulePath.empty()) return kNoModuleSelected;
  if (out == nullptr) return kFailed;
  State().forwarded = 0;
  const IniFileAccess module(state.modulePath);
  dm::CopyText(module.ModulName(), out->moduleName);
  out->flashMode = module.FlashMode(0);
  dm::CopyText(module.Microcontroller(), out->microcontroller);
  return kOk;
}

ZK_EXPORT uint32_t DmSetFlashBaseAddress(BaseAddressRecord* record) {
  const auto setBase = dm::Cmd().Require<cmm::SetFlashBaseAddressFn>("CmmSetFlashBaseAddress");
  if (setBase == nullptr) return kCmdDllError;
  dm::DmState& state = State();
  state.forwarded = 0;
  if (record == nullptr) return kFailed;
  const dm::BankSearch search = dm::FindBankStartingAt(state.modulePath, record->baseAddress);
  if (search.incomplete) return kInvalidFileFormat;
  if (search.bank) state.currentBank = static_cast<uint8_t>(*search.bank);
  return setBase(record);
}
