#pragma once
// The upload page (dialog 150, tab "Upload"), inserted into the sheet only
// after a password was accepted: reads an address range of the flash into
// the data manager's image and saves the image to a file, which then
// becomes the download page's file.
#include "client/DmAccess.h"
#include "gui/download/DownloadPage.h"
#include "gui/shell/PropertyPage.h"

#include <cstdint>
#include <optional>
#include <string_view>

class QLineEdit;
class QPushButton;

namespace zk::gui {

class CGuiFlow;

class CStatusPane;

// The type a saved file is written in: hex only for the exact lower-case
// extensions "hex" and "h86".

// The flash range an upload reads, from the typed start and end address.
struct UploadRange {
  uint32_t start = 0;
  uint32_t length = 0;
};
// nullopt when a text is no address (ParseAddressText) or the end lies below the
// start; what went wrong in problem.
std::optional<UploadRange> ParseUploadRange(std::string_view startText, std::string_view endText,
                                            std::string* problem = nullptr);

class CSave : public CPropertyPage {
 public:
  CSave(CStatusPane& status, CGuiFlow& flow, CDownloadPage& download, QWidget* parent = nullptr);

  void OnUpload();
  void OnSave();

  uint32_t UploadStart() const { return uploadStart_; }
  QLineEdit* StartEdit() const { return startEdit_; }
  QLineEdit* EndEdit() const { return endEdit_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* UploadButton() const { return upload_; }

 private:
  void SetStatus(const QString& text);

  CStatusPane& status_;
  CGuiFlow& flow_;
  CDownloadPage& download_;
  uint32_t uploadStart_ = 0;
  QLineEdit* startEdit_;
  QLineEdit* endEdit_;
  QPushButton* save_;
  QPushButton* upload_;
};

}  // namespace zk::gui
