#include "gui/shell/ControlIds.h"

#include <QWidget>

namespace zk::gui {
namespace {

constexpr QLatin1StringView kPrefix("ctl");

}  // namespace

QString ControlName(int id) { return kPrefix + QString::number(id); }

void SetControlId(QObject* widget, int id) { widget->setObjectName(ControlName(id)); }

int ControlIdOf(const QWidget* widget) {
  for (; widget != nullptr; widget = widget->parentWidget()) {
    const QString name = widget->objectName();
    if (!name.startsWith(kPrefix)) continue;
    bool ok = false;
    const int id = name.mid(kPrefix.size()).toInt(&ok);
    if (ok && id > 0) return id;
  }
  return 0;
}

}  // namespace zk::gui
