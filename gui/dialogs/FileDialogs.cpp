#include "gui/dialogs/FileDialogs.h"

#include "gui/download/FileFacts.h"
#include "gui/shell/Globals.h"
#include "gui/shell/Texts.h"

#include <QDir>

#include <QFileDialog>

namespace zk::gui {
namespace {

constexpr char kWorkingDirectory[] = "WorkingDirectory";

}  // namespace

QString WorkingDirectory() {
  const std::string remembered = Profile().GetString(kUserSection, kWorkingDirectory);
  return remembered.empty() ? QDir::currentPath() : Qs(remembered);
}

void RememberWorkingDirectory(const std::string& chosenFile) {
  Profile().WriteString(kUserSection, kWorkingDirectory, DirectoryWithSeparator(chosenFile));
}

QStringList NameFilters(std::string_view classicFilter) {
  const QStringList parts = Qs(classicFilter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      const QString trimmed = pattern.trimmed();
      if (trimmed.isEmpty()) continue;
      patterns << trimmed;
      if (trimmed.toUpper() != trimmed) patterns << trimmed.toUpper();
    }
    filters << parts[i] + " (" + patterns.join(' ') + ")";
  }
  return filters;
}

std::optional<QString> ChooseFile(QWidget* parent, FileDialogMode mode, const QString& directory,
                                  std::string_view classicFilter) {
  QFileDialog dialog(parent);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setDirectory(directory);
  dialog.setNameFilters(NameFilters(classicFilter));
  if (mode == FileDialogMode::kOpen) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

}  // namespace zk::gui
