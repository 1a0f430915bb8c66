#pragma once
// The standard file-open and file-save dialogs, with filters written the
// classic way ("text|patterns|text|patterns||").
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace zk::gui {

// "(extended) HexFiles (*.h86, *.hex)|*.h86; *.hex|..." as Qt name
// filters; each pattern is offered in both cases, as file names compare
// ignoring case where the patterns were written for.
QStringList NameFilters(std::string_view classicFilter);

enum class FileDialogMode { kOpen, kSave };

// The chosen file, or nullopt when the user cancelled.
std::optional<QString> ChooseFile(QWidget* parent, FileDialogMode mode, const QString& directory,
                                  std::string_view classicFilter);

// The profile's "WorkingDirectory", or the current directory when it has
// none; and the directory of a chosen file remembered there.
QString WorkingDirectory();
void RememberWorkingDirectory(const std::string& chosenFile);

}  // namespace zk::gui
