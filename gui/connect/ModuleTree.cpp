#include "gui/connect/ModuleTree.h"

#include "gui/shell/NoCase.h"
#include "gui/shell/Texts.h"
#include "platform/Files.h"

#include <QHeaderView>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

namespace zk::gui {
namespace {

namespace fs = std::filesystem;

bool NameLess(const std::string& a, const std::string& b) {
  const int order = CompareNoCase(a, b);
  return order != 0 ? order < 0 : a < b;
}

void DeleteChildren(QTreeWidgetItem* item) {
  for (QTreeWidgetItem* child : item->takeChildren()) std::unique_ptr<QTreeWidgetItem> gone(child);
}

std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const std::size_t end = path.find_first_of("\\/");
    const std::string_view part = path.substr(0, end);
    if (!part.empty()) parts.push_back(part);
    if (end == std::string_view::npos) break;
    path.remove_prefix(end + 1);
  }
  return parts;
}

}  // namespace

std::vector<std::string> Subdirectories(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(files::ToNative(dir), error), end; !error && it != end; it.increment(error)) {
    std::error_code kindError;
    if (it->is_directory(kindError)) names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end(), NameLess);
  return names;
}

bool HasSubdirectories(const std::string& dir) {
  std::error_code error;
  for (fs::directory_iterator it(files::ToNative(dir), error), end; !error && it != end; it.increment(error)) {
    std::error_code kindError;
    if (it->is_directory(kindError)) return true;
  }
  return false;
}

CModuleTree::CModuleTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { OnExpanded(item); });
  connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) { OnCollapsed(item); });
}

void CModuleTree::Fill(const std::string& targetDir) {
  clear();
  targetDir_ = targetDir;
  InsertChildren(invisibleRootItem(), targetDir_);
}

void CModuleTree::InsertChildren(QTreeWidgetItem* parent, const std::string& dir) {
  QList<QTreeWidgetItem*> items;
  for (const std::string& name : Subdirectories(dir)) {
    auto item = std::make_unique<QTreeWidgetItem>(QStringList{Qs(name)});
    if (HasSubdirectories(files::Join(dir, name))) item->addChild(std::make_unique<QTreeWidgetItem>().release());
    items.append(item.release());
  }
  parent->addChildren(items);  // owned by parent
}

std::string CModuleTree::RelativePath(const QTreeWidgetItem* item) {
  std::string path;
  for (; item != nullptr; item = item->parent()) {
    const std::string name = Utf8(item->text(0));
    path = path.empty() ? name : name + "\\" + path;
  }
  return path;
}

std::string CModuleTree::ModuleDirectory(const QTreeWidgetItem* item) const {
  std::string dir = targetDir_;
  const std::string relative = RelativePath(item);
  for (std::string_view part : SplitPath(relative)) dir = files::Join(dir, part);
  return dir;
}

void CModuleTree::OnExpanded(QTreeWidgetItem* item) {
  DeleteChildren(item);
  InsertChildren(item, ModuleDirectory(item));
}

void CModuleTree::OnCollapsed(QTreeWidgetItem* item) {
  DeleteChildren(item);
  if (HasSubdirectories(ModuleDirectory(item))) item->addChild(std::make_unique<QTreeWidgetItem>().release());
}

QTreeWidgetItem* CModuleTree::SelectPath(std::string_view relativePath) {
  QTreeWidgetItem* level = invisibleRootItem();
  QTreeWidgetItem* found = nullptr;
  for (std::string_view part : SplitPath(relativePath)) {
    QTreeWidgetItem* match = nullptr;
    for (int i = 0; i < level->childCount() && match == nullptr; ++i) {
      if (level->child(i)->text(0) == Qs(part)) match = level->child(i);
    }
    if (match == nullptr) break;
    found = match;
    if (match->childCount() > 0) match->setExpanded(true);
    level = match;
  }
  if (found != nullptr) setCurrentItem(found);
  return found;
}

}  // namespace zk::gui
