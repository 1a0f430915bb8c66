#pragma once
// "Info about Zelkor 3": the program version, the firmware version of the
// connected module and the maker's address, as three read-only fields.
#include "gui/dialogs/InfoUse.h"

#include <QDialog>
#include <QString>

namespace zk::gui {

inline constexpr char kProgramVersion[] = "Zelkor 3 Version 1.7 Test";
inline constexpr char kMakerAddress[] =
    "Korvane Systemtechnik GmbH\nAm Lindenhof 14\n72770 Reutlingen\nGermany\nsupport@korvane.example";

// "no connection to µC" until the module reported its version.
QString FirmwareText(const InfoUse& info);

class CInfoDlg : public QDialog {
 public:
  explicit CInfoDlg(const InfoUse& info, QWidget* parent = nullptr);
};

}  // namespace zk::gui
