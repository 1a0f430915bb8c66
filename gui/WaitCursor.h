#pragma once
// The wait cursor: shown for the lifetime of a WaitCursor, and around the
// data manager calls that block (the BusyIndicator of CDmAccess).
#include "client/DmAccess.h"

namespace zk::gui {

class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

class WaitCursorIndicator : public BusyIndicator {
 public:
  void Begin() override;
  void End() override;
};

}  // namespace zk::gui
