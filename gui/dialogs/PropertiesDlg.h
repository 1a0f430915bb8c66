#pragma once
// "Communication Setup": the protocols the selected module's description
// offers, and the transport's own settings dialog for the chosen one.
#include "common/IniFileAccess.h"

#include <QDialog>

#include <string>

class QComboBox;
class QPushButton;

namespace zk::gui {

class CPropertiesDlg : public QDialog {
 public:
  CPropertiesDlg(const IniFileAccess& module, std::string installDir, QWidget* parent = nullptr);

  const std::string& CurrentProtocol() const { return protocol_; }
  QComboBox* Combo() const { return combo_; }
  // The Properties button: the transport library's NetSelectProperty.
  void OnProperties();

 private:
  const IniFileAccess& module_;
  const std::string installDir_;
  std::string protocol_;
  QComboBox* combo_;
};

}  // namespace zk::gui
