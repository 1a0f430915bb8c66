#pragma once
// The module tree of the connect page: one item per directory below the
// target directory, sorted by name. An item whose directory has
// subdirectories gets a dummy child so that it can be expanded; its real
// children are read when it is expanded and dropped again when it is
// collapsed. A module is an item whose directory has no subdirectory.
#include <QString>
#include <QTreeWidget>

#include <string>
#include <string_view>
#include <vector>

namespace zk::gui {

// The subdirectories of dir, sorted by name ignoring case.
std::vector<std::string> Subdirectories(const std::string& dir);
bool HasSubdirectories(const std::string& dir);

class CModuleTree : public QTreeWidget {
 public:
  explicit CModuleTree(QWidget* parent = nullptr);

  // Fills the root level from targetDir.
  void Fill(const std::string& targetDir);
  const std::string& TargetDirectory() const { return targetDir_; }

  // targetDir + the texts of item and its ancestors, root first.
  std::string ModuleDirectory(const QTreeWidgetItem* item) const;
  // The texts of item and its ancestors joined with '\', root first.
  static std::string RelativePath(const QTreeWidgetItem* item);
  // Finds the item of a path relative to the target directory ('\' or '/'
  // separated), expanding the items on the way, and selects it; an item
  // that is not found ends the search, and the last item found is selected.
  // Nothing is selected when the first component is not found.
  QTreeWidgetItem* SelectPath(std::string_view relativePath);

 private:
  void InsertChildren(QTreeWidgetItem* parent, const std::string& dir);
  void OnExpanded(QTreeWidgetItem* item);
  void OnCollapsed(QTreeWidgetItem* item);

  std::string targetDir_;
};

}  // namespace zk::gui
