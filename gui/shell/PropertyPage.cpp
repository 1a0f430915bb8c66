#include "gui/shell/PropertyPage.h"

#include "gui/shell/ControlIds.h"

#include <utility>

namespace zk::gui {

CPropertyPage::CPropertyPage(int dialogId, QString title, QWidget* parent)
    : QWidget(parent), dialogId_(dialogId), title_(std::move(title)) {
  SetControlId(this, dialogId);
}

}  // namespace zk::gui
