#include "gui/treelist/TreeListCtrl.h"

#include <QHeaderView>
#include <QTreeWidgetItemIterator>

#include <memory>

namespace zk::gui {
namespace {

constexpr int kPlaceholderRole = Qt::UserRole + 100;

}  // namespace

CTreeListCtrl::CTreeListCtrl(QWidget* parent) : QTreeWidget(parent) {
  setProperty("windowClass", kTreeListWindowClass);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setUniformRowHeights(true);
  setAlternatingRowColors(true);
  setRootIsDecorated(true);
  setAllColumnsShowFocus(true);
  header()->setStretchLastSection(true);
  header()->setSectionsMovable(false);
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* row) { OnExpanded(row); });
}

void CTreeListCtrl::SetColumns(std::initializer_list<TreeListColumn> columns) {
  setColumnCount(static_cast<int>(columns.size()));
  QStringList titles;
  for (const TreeListColumn& column : columns) titles << column.title;
  setHeaderLabels(titles);
  int index = 0;
  for (const TreeListColumn& column : columns) setColumnWidth(index++, column.width);
}

QTreeWidgetItem* CTreeListCtrl::AddRow(const QStringList& texts, bool lazyChildren) {
  auto row = std::make_unique<QTreeWidgetItem>(texts);
  if (lazyChildren) {
    auto placeholder = std::make_unique<QTreeWidgetItem>();
    placeholder->setData(0, kPlaceholderRole, true);
    placeholder->setFlags(Qt::NoItemFlags);
    row->addChild(placeholder.release());  // owned by row
  }
  QTreeWidgetItem* added = row.get();
  addTopLevelItem(row.release());  // owned by the tree
  return added;
}

bool CTreeListCtrl::HasPlaceholder(const QTreeWidgetItem* row) {
  return row->childCount() == 1 && row->child(0)->data(0, kPlaceholderRole).toBool();
}

void CTreeListCtrl::OnExpanded(QTreeWidgetItem* row) {
  if (!HasPlaceholder(row)) return;
  std::unique_ptr<QTreeWidgetItem> placeholder(row->takeChild(0));
  if (populate_) populate_(row);
}

std::vector<QTreeWidgetItem*> CTreeListCtrl::SelectedRows() const {
  std::vector<QTreeWidgetItem*> rows;
  for (QTreeWidgetItemIterator it(const_cast<CTreeListCtrl*>(this), QTreeWidgetItemIterator::Selected); *it; ++it) {
    rows.push_back(*it);
  }
  return rows;
}

}  // namespace zk::gui
