#pragma once
// The download page (dialog 108, tab "Download"): opens an image file into
// the data manager and shows what it holds, erases the whole chip or the
// sectors the image needs, and programs the flash. It watches the loaded
// file and offers to reload it when another program changed it.
#include "client/DmAccess.h"
#include "client/ImageType.h"
#include "gui/download/FileFacts.h"
#include "gui/download/FileWatcher.h"
#include "gui/shell/PageLinks.h"
#include "gui/shell/PropertyPage.h"

#include <QTimer>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace zk::gui {

class CGuiFlow;
class CFlashInfoPage;
class MyPropSheet;

using ImageFileType = client::ImageType;

// The type Open gives a file: HEX, S-record, ELF or binary as its first
// bytes show, its extension where they show none (client::ImageTypeOfFile).

// The download size and the sectors an image needs, at an address.
struct ImageInfo {
  uint32_t byteCount = 0;
  std::vector<RangeRequest> neededSectors;
};

// DmGetHexFileInfo with the memory given back; its code is not looked at.
ImageInfo FetchImageInfo(client::CDmAccess& dm, uint32_t address);

// The pauses between two polls of a running load and download.
struct PollPauses {
  uint32_t load = 100;
  uint32_t download = 500;
};

class CDownloadPage : public CPropertyPage, public DownloadPageLink {
 public:
  CDownloadPage(client::CDmAccess& dm, CGuiFlow& flow, CFlashInfoPage& flashInfo, MyPropSheet& sheet,
                QWidget* parent = nullptr);
  ~CDownloadPage() override;

  // The application's protected-areas switch.
  void SetShell(const ShellLink* shell) { shell_ = shell; }
  void SetPollPauses(PollPauses pauses) { pauses_ = pauses; }

  void SetConnected(bool connected) override { connected_ = connected; }
  bool Connected() const { return connected_; }
  bool OnSetActive() override;
  void OnKillActive() override;

  // Button 1023, File / Open and Load file.
  void Open() override;
  // Open for a file already chosen; a binary file without a start address
  // asks for one.
  void OpenFile(const std::string& path, std::optional<uint32_t> binaryStart = std::nullopt);
  // Button 1024, File / Download and Download file.
  void Start() override;
  bool FileLoaded() const override { return fileLoaded_; }
  // The window was activated: the loaded file's time is compared on the
  // GUI thread.
  void CheckFileChanged() override;

  // What the upload page hands over.
  // The flash was read into the image (length bytes): the file texts become
  // "???" and the image counts as binary at start; the file is no longer
  // watched.
  void TakeUpload(uint32_t start, uint32_t length);
  // The uploaded image was saved to path in the given type: the page shows
  // the file as its file, binary at start (as the image is), and a reload
  // reads it in the type it was written in.
  void SetFileFromUpload(const std::string& path, uint32_t start, ImageFileType savedType);
  // The data manager holds no image (a read that failed or was stopped):
  // the file texts are emptied, Download file is disabled, nothing is
  // watched.
  void ShowNothingLoaded();
  // After an operation that may have discarded the image (a refused read,
  // a failed or stopped load): the page shows nothing loaded when the data
  // manager holds nothing, and stays as it is otherwise.
  void ShowWhatIsLoaded();

  ImageFileType FileType() const { return fileType_; }
  uint32_t BinaryStartAddress() const { return binaryStart_; }
  bool DownloadRunning() const { return downloadRunning_; }
  const CFileWatcher& Watcher() const { return watcher_; }
  // The download offset Start uses.
  uint32_t DownloadOffset() const;

  QPushButton* OpenButton() const { return open_; }
  QPushButton* StartButton() const { return start_; }
  QCheckBox* EraseChipBox() const { return eraseChip_; }
  QCheckBox* EraseNeededBox() const { return eraseNeeded_; }
  QCheckBox* VerifyBox() const { return verify_; }
  // The "Verify" box is usable once the flash can be read (a password was
  // accepted) and the data manager can verify; its tool tip says why not.
  void UpdateVerifyBox();
  QComboBox* BankCombo() const { return bankCombo_; }
  QLabel* MappedAddress() const { return mapped_; }
  QLabel* FileLoadedText() const { return fileText_; }
  QLabel* FileSizeText() const { return sizeText_; }
  QLabel* FileDateText() const { return dateText_; }
  QLabel* DownloadSizeText() const { return downloadText_; }
  // Bytes done of the total, rate and time left while programming; the
  // summary once it ended.
  QLabel* ProgressText() const { return progressText_; }
  // The SHA-256 of the loaded file (empty: an image read from the flash).
  const std::string& ImageSha256() const { return sha256_; }

 private:
  void BuildControls();
  void Initialize();
  void FillBankList(bool allowProtected);
  void ShowBankControls(bool show);
  void OnBankSelected(int index);
  void OnCheckBox(QCheckBox* box, const char* entry);
  void SaveCheckBoxes() const;
  bool UseBanks() const;

  // Open's and the reload's parts.
  bool LoadImage(const std::string& path, ImageFileType type, bool cancellable);
  void ShowFileFacts(const std::string& path, FileTime time);
  void ShowImageSize();
  void WatchFile(const std::string& path, FileTime time);
  void OnFileChanged();
  void Reload();

  // Start's parts.
  bool EraseNeededSectors(uint32_t offset);
  void Program(uint32_t offset);
  // After programming: compares the image with the flash; the outcome in
  // the status pane, a message box when they differ. Returns the outcome
  // for the summary ("verified", "verify failed: ...").
  QString Verify(uint32_t offset);
  // The end of a download that programmed every byte, in the status pane,
  // on the page and in the log.
  void ShowSummary(uint64_t bytes, double seconds, const QString& verified);

  void SetStatus(const QString& text);

  client::CDmAccess& dm_;
  CGuiFlow& flow_;
  CFlashInfoPage& flashInfo_;
  MyPropSheet& sheet_;
  const ShellLink* shell_ = nullptr;
  PollPauses pauses_;
  bool connected_ = false;
  bool initialized_ = false;
  bool fileLoaded_ = false;
  bool downloadRunning_ = false;
  // An operation of the page runs (load, reload, download).
  bool busy_ = false;
  bool asking_ = false;
  // A change seen while the page could not ask; asked when it can.
  bool changePending_ = false;
  ImageFileType fileType_ = ImageFileType::kHex;
  // How a reload reads the file.
  ImageFileType diskType_ = ImageFileType::kHex;
  uint32_t binaryStart_ = 0;
  int bankIndex_ = 0;
  std::string path_;
  std::string sha256_;
  // The bytes of the image the data manager holds, as last asked.
  uint64_t imageBytes_ = 0;
  FileTime fileTime_{};
  CFileWatcher watcher_;
  QTimer retry_;

  QPushButton* open_;
  QPushButton* start_;
  QLabel* fileText_;
  QLabel* sizeText_;
  QLabel* dateText_;
  QLabel* downloadText_;
  QLabel* progressText_;
  QCheckBox* eraseChip_;
  QCheckBox* eraseNeeded_;
  QCheckBox* download_;
  QCheckBox* verify_;
  QComboBox* bankCombo_;
  QLabel* bankLabel_;
  QLabel* mappedLabel_;
  QLabel* mapped_;
};

}  // namespace zk::gui
