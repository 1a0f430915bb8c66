#include "gui/flashinfo/ProtectedAreaInfo.h"

#include "common/IniFileAccess.h"
#include "gui/flashinfo/AreaFetch.h"
#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/Texts.h"

#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>

namespace zk::gui {
namespace {

constexpr int kColumnWidth = 277;

QTreeWidget* AreaList(QWidget* parent, int id) {
  auto* list = Child<QTreeWidget>(parent);
  SetControlId(list, id);
  list->setRootIsDecorated(false);
  list->setColumnCount(2);
  list->setHeaderLabels({"Protection", "AddressRange"});
  list->setColumnWidth(0, kColumnWidth);
  list->setColumnWidth(1, kColumnWidth);
  return list;
}

void Fill(QTreeWidget* list, std::string_view prefix, const std::vector<AddressRange>& areas) {
  for (std::size_t n = 0; n < areas.size(); ++n) {
    auto item = std::make_unique<QTreeWidgetItem>(
        QStringList{Qs(prefix) + QString::number(n + 1), Qs(AreaRangeText(areas[n]))});
    list->addTopLevelItem(item.release());  // owned by the list
  }
}

}  // namespace

std::string AreaRangeText(const AddressRange& area) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%X - 0x%X", static_cast<unsigned>(area.start), static_cast<unsigned>(area.end));
  return text;
}

CProtectedAreaInfo::CProtectedAreaInfo(client::CDmAccess& dm, QWidget* parent)
    : CPropertyPage(kProtectedAreasDialog, "Protected Areas Info", parent),
      dm_(dm),
      protected_(AreaList(this, kProtectedList)),
      noAccess_(AreaList(this, kNoAccessList)) {
  auto* layout = Child<QVBoxLayout>(this);
  layout->addWidget(Child<QLabel>(this, "Protected Areas"));
  layout->addWidget(protected_, 1);
  layout->addWidget(Child<QLabel>(this, "No Access Areas"));
  layout->addWidget(noAccess_, 1);
}

bool CProtectedAreaInfo::OnSetActive() {
  if (!connected_) return false;
  protected_->clear();
  noAccess_->clear();
  const FetchedAreas fetched = FetchAreas(dm_);
  // Empty lists would read as a module without areas.
  if (fetched.code != kOk) ReportResult("Protected Areas Info", fetched.code);
  if (shell_ == nullptr || !shell_->ProtectedAreasEnabled()) {
    Fill(protected_, kProtectedAreaPrefix, fetched.areas.protectedAreas);
  }
  Fill(noAccess_, kNonAccessAreaPrefix, fetched.areas.noAccessAreas);
  return true;
}

void CProtectedAreaInfo::OnKillActive() {
  protected_->clear();
  noAccess_->clear();
}

}  // namespace zk::gui
