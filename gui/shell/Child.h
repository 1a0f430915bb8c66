#pragma once
// Creates a Qt object owned by its parent: the parent deletes it with itself
// (or earlier, through deleteLater or an owning smart pointer).
#include <utility>

namespace zk::gui {

template <typename T, typename Parent, typename... Args>
T* Child(Parent* parent, Args&&... args) {
  return new T(std::forward<Args>(args)..., parent);  // owned by parent
}

}  // namespace zk::gui
