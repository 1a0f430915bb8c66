#pragma once
// Memory the data manager hands out, given back with DmFreeMemory when the
// holder goes; and the protected and no-access areas copied out of it.
#include "common/DmAccess.h"
#include "gui/SectorGroups.h"

#include <span>

namespace zk::gui {

class HandedOut {
 public:
  HandedOut(CDmAccess& dm, void* buffer) : dm_(dm), buffer_(buffer) {}
  ~HandedOut() {
    if (buffer_ != nullptr) dm_.FreeMemory(buffer_);
  }
  HandedOut(const HandedOut&) = delete;
  HandedOut& operator=(const HandedOut&) = delete;

 private:
  CDmAccess& dm_;
  void* const buffer_;
};

// A sector list the data manager fills (also later, from its worker),
// whose entries are given back when the holder goes.
class HandedOutList {
 public:
  HandedOutList(CDmAccess& dm, SectorList& list) : dm_(dm), list_(list) {}
  ~HandedOutList() {
    if (list_.entries != nullptr) dm_.FreeMemory(list_.entries);
  }
  HandedOutList(const HandedOutList&) = delete;
  HandedOutList& operator=(const HandedOutList&) = delete;

  template <typename Entry>
  std::span<const Entry> Entries() const {
    if (list_.entries == nullptr) return {};
    return {static_cast<const Entry*>(list_.entries), list_.count};
  }

 private:
  CDmAccess& dm_;
  SectorList& list_;
};

struct FetchedAreas {
  ResultCode code = kOk;
  AreaLists areas;
};

// DmGetProtectedAreas, both lists copied and the memory given back. A
// failure leaves both lists empty.
FetchedAreas FetchAreas(CDmAccess& dm);

}  // namespace zk::gui
