#pragma once
// The protected and no-access areas copied out of the lists the data
// manager hands out.
#include "client/DmAccess.h"
#include "gui/flashinfo/SectorGroups.h"

namespace zk::gui {

struct FetchedAreas {
  ResultCode code = kOk;
  AreaLists areas;
};

// DmGetProtectedAreas, both lists copied and the memory given back. A
// failure leaves both lists empty.
FetchedAreas FetchAreas(client::CDmAccess& dm);

}  // namespace zk::gui
