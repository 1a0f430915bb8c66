#include "gui/shell/WaitCursor.h"

#include <QApplication>
#include <QCursor>

namespace zk::gui {

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

WaitCursor::~WaitCursor() { QApplication::restoreOverrideCursor(); }

void WaitCursorIndicator::Begin() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void WaitCursorIndicator::End() { QApplication::restoreOverrideCursor(); }

}  // namespace zk::gui
