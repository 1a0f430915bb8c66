// DmGetHexFileInfo: the byte count of the image and the sectors it needs;
// DmGetImageSpans: where its bytes would go.
#include "common/DmApi.h"
#include "common/Export.h"
#include "dm/BankFlashes.h"
#include "dm/FlashLayout.h"
#include "dm/NeededSectors.h"
#include "dm/OwnWorker.h"
#include "dm/ReadOutcome.h"
#include "dm/State.h"

#include <algorithm>

namespace zk::dm {
namespace {

// A handed-out copy of items, null when there is no memory for it. The
// records it goes into are packed, so their fields are set by name where
// the compiler sees the packing, never through a pointer to the member.
template <typename Item>
Item* HandOutCopy(const std::vector<Item>& items) {
  Item* copy = Handouts().AllocateArray<Item>(items.size());
  if (copy != nullptr) std::copy(items.begin(), items.end(), copy);
  return copy;
}

// The byte ranges of the image placed at address: a flat image starts
// there, the pages of a page image are moved by it.
std::vector<ByteRange> PlacedRanges(const MemoryImage& image, uint32_t address) {
  ImageRanges ranges;
  if (image.HasFlat()) {
    ranges.Add(address, image.Flat().length);
  } else {
    for (const Page& page : image.Pages().Pages()) ranges.Add(page.address + address, page.length);
  }
  return ranges.Take();
}

// The same stretches without the wrap at the top of the address space,
// sorted and merged.
std::vector<PlacedSpan> UnwrappedSpans(const MemoryImage& image, uint32_t address) {
  std::vector<PlacedSpan> spans;
  const auto add = [&spans](uint64_t first, uint64_t length) {
    if (length != 0) spans.push_back({first, first + length - 1});
  };
  if (image.HasFlat()) {
    add(address, image.Flat().length);
  } else {
    for (const Page& page : image.Pages().Pages()) add(uint64_t{page.address} + address, page.length);
  }
  std::sort(spans.begin(), spans.end(), [](const PlacedSpan& a, const PlacedSpan& b) { return a.first < b.first; });
  std::vector<PlacedSpan> merged;
  for (const PlacedSpan& span : spans) {
    if (!merged.empty() && span.first <= merged.back().last + 1) {
      merged.back().last = std::max(merged.back().last, span.last);
    } else {
      merged.push_back(span);
    }
  }
  return merged;
}

}  // namespace
}  // namespace zk::dm

using namespace zk;

ZK_EXPORT uint32_t DmGetHexFileInfo(uint32_t address, HexFileInfo* out) {
  if (out == nullptr) return kFailed;
  if (dm::OwnWorkerRunning()) return kWorkerRunning;
  dm::SettleRead();
  dm::DmState& state = dm::State();
  out->byteCount = state.image.ByteCount();
  // A failure hands out no list.
  out->neededSectorCount = 0;
  out->neededSectors = nullptr;
  if (state.loggedIn == 0) return kNoModuleSelected;
  // The sectors of the current bank's own chip. A layout that could not be
  // read completely gives no list: erasing from part of one would leave
  // sectors of the image unerased.
  const dm::SectorLayout layout = dm::LoadSectorLayout(dm::FlashOfCurrentBank());
  if (layout.code != kOk) return layout.code;
  const std::vector<RangeRequest> needed = dm::NeededSectors(dm::PlacedRanges(state.image, address), layout.blocks);
  RangeRequest* sectors = dm::HandOutCopy(needed);
  if (sectors == nullptr) return kFailed;
  out->neededSectorCount = static_cast<uint32_t>(needed.size());
  out->neededSectors = sectors;
  return kOk;
}

ZK_EXPORT uint32_t DmGetImageSpans(uint32_t address, ImageSpans* out) {
  if (out == nullptr) return kFailed;
  out->count = 0;
  out->spans = nullptr;
  if (dm::OwnWorkerRunning()) return kWorkerRunning;
  dm::SettleRead();
  const dm::MemoryImage& image = dm::State().image;
  if (image.Empty()) return kFileNotFound;
  const std::vector<PlacedSpan> spans = dm::UnwrappedSpans(image, address);
  PlacedSpan* copy = dm::HandOutCopy(spans);
  if (copy == nullptr) return kFailed;
  out->count = static_cast<uint32_t>(spans.size());
  out->spans = copy;
  return kOk;
}
