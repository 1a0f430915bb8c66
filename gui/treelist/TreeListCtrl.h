#pragma once
// The tree-list control: a tree whose rows have columns, with several rows
// selectable at once. A row may be given a placeholder child so that it can
// be expanded before its children exist; they are created by the populate
// handler the first time the row is expanded.
#include <QTreeWidget>

#include <functional>
#include <initializer_list>
#include <vector>

namespace zk::gui {

// The window class the control stood registered under.
inline constexpr char kTreeListWindowClass[] = "VORELTREELISTCTRL";

struct TreeListColumn {
  const char* title;
  int width;
};

class CTreeListCtrl : public QTreeWidget {
 public:
  using PopulateHandler = std::function<void(QTreeWidgetItem* row)>;

  explicit CTreeListCtrl(QWidget* parent = nullptr);

  void SetColumns(std::initializer_list<TreeListColumn> columns);
  void SetPopulateHandler(PopulateHandler handler) { populate_ = std::move(handler); }

  // A top-level row with one text per column; with lazyChildren it gets a
  // placeholder child.
  QTreeWidgetItem* AddRow(const QStringList& texts, bool lazyChildren);
  // Whether row still waits for its children.
  static bool HasPlaceholder(const QTreeWidgetItem* row);
  // The selected rows from top to bottom.
  std::vector<QTreeWidgetItem*> SelectedRows() const;

 private:
  void OnExpanded(QTreeWidgetItem* row);

  PopulateHandler populate_;
};

}  // namespace zk::gui
