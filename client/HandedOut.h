#pragma once
// Memory the data manager hands out, given back with DmFreeMemory: at once,
// or when the holder goes.
#include "client/DmAccess.h"
#include "platform/NonCopyable.h"

#include <span>

namespace zk::client {

// Gives a handed-out buffer back; nothing for null.
inline void GiveBack(CDmAccess& dm, void* buffer) {
  if (buffer != nullptr) dm.FreeMemory(buffer);
}
// Gives a list's entries back and empties the list.
inline void GiveBack(CDmAccess& dm, SectorList& list) {
  GiveBack(dm, list.entries);
  list = SectorList{};
}
// Gives both area lists back, the protected areas first.
inline void GiveBack(CDmAccess& dm, const ProtectedAreas& areas) {
  GiveBack(dm, areas.protectedAreas);
  GiveBack(dm, areas.noAccessAreas);
}

class HandedOut : private NonCopyable {
 public:
  HandedOut(CDmAccess& dm, void* buffer) : dm_(dm), buffer_(buffer) {}
  ~HandedOut() { GiveBack(dm_, buffer_); }

 private:
  CDmAccess& dm_;
  void* const buffer_;
};

// A sector list the data manager fills (also later, from its worker),
// whose entries are given back when the holder goes.
class HandedOutList : private NonCopyable {
 public:
  HandedOutList(CDmAccess& dm, SectorList& list) : dm_(dm), list_(list) {}
  ~HandedOutList() { GiveBack(dm_, list_.entries); }

  template <typename Entry>
  std::span<const Entry> Entries() const {
    if (list_.entries == nullptr) return {};
    return {static_cast<const Entry*>(list_.entries), list_.count};
  }

 private:
  CDmAccess& dm_;
  SectorList& list_;
};

}  // namespace zk::client
