#include "gui/flashinfo/AreaFetch.h"

#include "client/HandedOut.h"

namespace zk::gui {
namespace {

std::vector<AddressRange> Copy(const AddressRange* areas, uint16_t count) {
  if (areas == nullptr) return {};
  return std::vector<AddressRange>(areas, areas + count);
}

}  // namespace

FetchedAreas FetchAreas(client::CDmAccess& dm) {
  ProtectedAreas areas{};
  FetchedAreas fetched;
  fetched.code = dm.GetProtectedAreas(&areas);
  const client::HandedOut protectedList(dm, areas.protectedAreas);
  const client::HandedOut noAccessList(dm, areas.noAccessAreas);
  if (fetched.code != kOk) return fetched;
  fetched.areas.protectedAreas = Copy(areas.protectedAreas, areas.protectedCount);
  fetched.areas.noAccessAreas = Copy(areas.noAccessAreas, areas.noAccessCount);
  return fetched;
}

}  // namespace zk::gui
