#pragma once
// "choose flash library": the flash libraries the module found for a bank,
// by the names their flash description files give them, sorted.
#include "common/Records.h"
#include "common/ResultCodes.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QPushButton;

namespace zk::gui {

class CFlashLibDlg : public QDialog {
 public:
  explicit CFlashLibDlg(std::string installDir, QWidget* parent = nullptr);

  // Offers a library under the [General] Mode of its flash description;
  // 225 (and not offered) when the file gives it no name.
  ResultCode Add(const FlashLibInfo& library);
  std::size_t Count() const { return entries_.size(); }

  int exec() override;
  // The library chosen with OK.
  const FlashLibInfo& Chosen() const { return chosen_; }
  QComboBox* Combo() const { return combo_; }

 private:
  struct Entry {
    std::string name;
    FlashLibInfo library;
  };

  void Fill();

  const std::string installDir_;
  std::vector<Entry> entries_;
  FlashLibInfo chosen_{};
  QComboBox* combo_;
  QPushButton* ok_;
};

}  // namespace zk::gui
