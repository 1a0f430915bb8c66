#pragma once
// The wait cursor: shown for the lifetime of a WaitCursor, and around the
// data manager calls that block (the BusyIndicator of CDmAccess).
#include "client/DmAccess.h"
#include "platform/NonCopyable.h"

namespace zk::gui {

class WaitCursor : private NonCopyable {
 public:
  WaitCursor();
  ~WaitCursor();
};

class WaitCursorIndicator : public client::BusyIndicator {
 public:
  void Begin() override;
  void End() override;
};

}  // namespace zk::gui
