// The TN3964R_* entry points of the library.
#include "common/Export.h"
#include "link/LinkApi.h"
#include "link/ProcessLink.h"

namespace zk::link {

LinkDriver& ProcessLink() {
  static LinkDriver link;
  return link;
}

}  // namespace zk::link

using zk::link::ProcessLink;

ZK_EXPORT uint8_t TN3964R_Initialize(zk::link::LinkParams* params) { return ProcessLink().Initialize(params); }

ZK_EXPORT uint8_t TN3964R_Shutdown() { return ProcessLink().Shutdown(); }

ZK_EXPORT uint8_t TN3964R_Send(zk::link::ECB* ecb) { return ProcessLink().Send(ecb); }

ZK_EXPORT uint8_t TN3964R_Receive(zk::link::ECB* ecb) { return ProcessLink().Receive(ecb); }

ZK_EXPORT zk::link::ECB* TN3964R_GetCurrentECB() { return ProcessLink().CurrentEcb(); }

// The link thread does all event work.
ZK_EXPORT void TN3964R_ProcessEvents() {}

ZK_EXPORT void* TN3964R_PassCallBack(void* window) { return ProcessLink().PassCallBack(window); }
