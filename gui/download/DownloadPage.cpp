#include "gui/download/DownloadPage.h"

#include "client/HandedOut.h"
#include "gui/download/BankOffsets.h"
#include "gui/flashinfo/AreaFetch.h"
#include "gui/flashinfo/FlashInfoPage.h"
#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/Globals.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/Texts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace zk::gui {
namespace {

constexpr char kEraseChipEntry[] = "EraseChipFlag";
constexpr char kEraseNeededEntry[] = "EraseNeededSectorsFlag";
// How long a file change that arrived during an operation waits before it
// is looked at again.
constexpr int kRetryMs = 200;

QLabel* FactLabel(QWidget* parent, int id) {
  auto* label = Child<QLabel>(parent);
  SetControlId(label, id);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setMinimumWidth(360);
  return label;
}

}  // namespace

ImageInfo FetchImageInfo(client::CDmAccess& dm, uint32_t address) {
  HexFileInfo info{};
  dm.GetHexFileInfo(address, &info);
  const client::HandedOut sectors(dm, info.neededSectors);
  ImageInfo image;
  image.byteCount = info.byteCount;
  if (info.neededSectors != nullptr) {
    image.neededSectors.assign(info.neededSectors, info.neededSectors + info.neededSectorCount);
  }
  return image;
}

CDownloadPage::CDownloadPage(client::CDmAccess& dm, CGuiFlow& flow, CFlashInfoPage& flashInfo, MyPropSheet& sheet,
                             QWidget* parent)
    : CPropertyPage(kDownloadDialog, "Download", parent), dm_(dm), flow_(flow), flashInfo_(flashInfo), sheet_(sheet) {
  BuildControls();
  retry_.setSingleShot(true);
  retry_.setInterval(kRetryMs);
  connect(&retry_, &QTimer::timeout, this, [this] {
    if (std::exchange(changePending_, false)) OnFileChanged();
  });
  // The flash map outlines what the image would take where Start puts it.
  flashInfo_.SetImageOffsetSource([this]() -> std::optional<uint32_t> { return DownloadOffset(); });
}

CDownloadPage::~CDownloadPage() {
  flashInfo_.SetImageOffsetSource({});
  watcher_.Stop();
}

void CDownloadPage::BuildControls() {
  auto* layout = Child<QVBoxLayout>(this);

  auto* fileBox = Child<QGroupBox>(this, "Image file");
  auto* fileForm = Child<QFormLayout>(fileBox);
  open_ = Child<QPushButton>(fileBox, Text(TextId::kOpen));
  SetControlId(open_, kOpenButton);
  open_->setMinimumWidth(100);
  auto openRow = std::make_unique<QHBoxLayout>();
  openRow->addWidget(open_);
  openRow->addStretch(1);
  fileForm->addRow(openRow.release());  // owned by the form
  fileText_ = FactLabel(fileBox, kFileLoadedText);
  sizeText_ = FactLabel(fileBox, kFileSizeText);
  dateText_ = FactLabel(fileBox, kFileDateText);
  downloadText_ = FactLabel(fileBox, kDownloadSizeText);
  fileForm->addRow("File loaded:", fileText_);
  fileForm->addRow("File size:", sizeText_);
  fileForm->addRow("File date / time:", dateText_);
  fileForm->addRow("Download size:", downloadText_);
  layout->addWidget(fileBox);

  auto* optionBox = Child<QGroupBox>(this, "Options");
  auto* options = Child<QVBoxLayout>(optionBox);
  eraseChip_ = Child<QCheckBox>(optionBox, "Erase chip");
  eraseNeeded_ = Child<QCheckBox>(optionBox, "Erase needed sectors");
  download_ = Child<QCheckBox>(optionBox, "download");
  SetControlId(eraseChip_, kEraseChipBox);
  SetControlId(eraseNeeded_, kEraseNeededBox);
  SetControlId(download_, kDownloadBox);
  download_->setChecked(true);
  download_->setEnabled(false);
  options->addWidget(eraseChip_);
  options->addWidget(eraseNeeded_);
  options->addWidget(download_);
  verify_ = Child<QCheckBox>(optionBox, "Verify");
  SetControlId(verify_, kVerifyBox);
  options->addWidget(verify_);
  UpdateVerifyBox();

  auto* bankRow = Child<QWidget>(optionBox);
  auto* bankLayout = Child<QHBoxLayout>(bankRow);
  bankLayout->setContentsMargins(0, 0, 0, 0);
  bankLabel_ = Child<QLabel>(bankRow, "Bank offset");
  bankCombo_ = Child<QComboBox>(bankRow);
  mappedLabel_ = Child<QLabel>(bankRow, "code start address is mapped to ");
  mapped_ = Child<QLabel>(bankRow);
  SetControlId(bankLabel_, kBankOffsetLabel);
  SetControlId(bankCombo_, kBankOffsetCombo);
  SetControlId(mappedLabel_, kMappedLabel);
  SetControlId(mapped_, kMappedAddressText);
  bankLayout->addWidget(bankLabel_);
  bankLayout->addWidget(bankCombo_);
  bankLayout->addWidget(mappedLabel_);
  bankLayout->addWidget(mapped_);
  bankLayout->addStretch(1);
  options->addWidget(bankRow);
  layout->addWidget(optionBox);

  start_ = Child<QPushButton>(this, Text(TextId::kStart));
  SetControlId(start_, kStartButton);
  progressText_ = Child<QLabel>(this);
  progressText_->setObjectName("downloadProgress");
  progressText_->setWordWrap(true);
  progressText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto startRow = std::make_unique<QHBoxLayout>();
  startRow->addWidget(progressText_, 1);
  startRow->addWidget(start_, 0, Qt::AlignTop);
  layout->addLayout(startRow.release());  // owned by layout
  layout->addStretch(1);

  ShowBankControls(false);
  connect(open_, &QPushButton::clicked, this, [this] { Open(); });
  connect(start_, &QPushButton::clicked, this, [this] { Start(); });
  connect(eraseChip_, &QCheckBox::clicked, this, [this] { OnCheckBox(eraseChip_, kEraseChipEntry); });
  connect(eraseNeeded_, &QCheckBox::clicked, this, [this] { OnCheckBox(eraseNeeded_, kEraseNeededEntry); });
  connect(bankCombo_, &QComboBox::activated, this, [this](int index) { OnBankSelected(index); });
}

bool CDownloadPage::UseBanks() const { return ModuleDescription().UseBanks() != 0; }

void CDownloadPage::Initialize() {
  initialized_ = true;
  download_->setChecked(true);
  FillBankList(false);
  const int32_t defaultBank = ModuleDescription().DefaultBank();
  if (defaultBank >= 0) {
    const int index = bankCombo_->findText(Qs(BankEntryText(static_cast<uint32_t>(defaultBank))));
    if (index >= 0) {
      bankCombo_->setCurrentIndex(index);
      bankIndex_ = index;
    }
  }
  const bool noProtectedAreas = ModuleDescription().NumberOfProtectedAreas() == 0;
  eraseChip_->setChecked(noProtectedAreas && Profile().GetInt(kUserSection, kEraseChipEntry, 0) != 0);
  eraseNeeded_->setChecked(Profile().GetInt(kUserSection, kEraseNeededEntry, 0) != 0);
}

void CDownloadPage::FillBankList(bool allowProtected) {
  const FetchedAreas fetched = FetchAreas(dm_);
  const std::vector<uint32_t> banks =
      OfferedBanks(flashInfo_.SectorInformation().flashSize, fetched.areas.protectedAreas, allowProtected);
  bankCombo_->clear();
  for (const uint32_t bank : banks) bankCombo_->addItem(Qs(BankEntryText(bank)));
}

void CDownloadPage::ShowBankControls(bool show) {
  for (QWidget* control : {static_cast<QWidget*>(bankCombo_), static_cast<QWidget*>(bankLabel_),
                           static_cast<QWidget*>(mappedLabel_), static_cast<QWidget*>(mapped_)}) {
    control->setVisible(show);
  }
}

bool CDownloadPage::OnSetActive() {
  if (!connected_) return false;
  if (!initialized_) Initialize();
  const bool noProtectedAreas = ModuleDescription().NumberOfProtectedAreas() == 0;
  eraseChip_->setVisible(noProtectedAreas);
  // A hidden box must not erase the protected areas of this module with a
  // choice made for another one.
  if (!noProtectedAreas) eraseChip_->setChecked(false);
  UpdateVerifyBox();
  if (UseBanks() && fileType_ != ImageFileType::kBinary) {
    ShowBankControls(true);
    FillBankList(shell_ != nullptr && shell_->ProtectedAreasEnabled());
    bankIndex_ = std::clamp(bankIndex_, 0, std::max(bankCombo_->count() - 1, 0));
    if (bankCombo_->count() > 0) bankCombo_->setCurrentIndex(bankIndex_);
    OnBankSelected(bankCombo_->currentIndex());
  } else {
    ShowBankControls(false);
  }
  return true;
}

void CDownloadPage::OnKillActive() { SaveCheckBoxes(); }

void CDownloadPage::OnBankSelected(int index) {
  if (index < 0) {
    mapped_->clear();
    return;
  }
  bankIndex_ = index;
  const std::optional<uint32_t> bank = BankOfEntry(Utf8(bankCombo_->itemText(index)));
  mapped_->setText(Qs(MappedAddressText(bank.value_or(0))));
}

void CDownloadPage::OnCheckBox(QCheckBox* box, const char* entry) {
  Profile().WriteInt(kUserSection, entry, box->isChecked() ? 1 : 0);
}

void CDownloadPage::SaveCheckBoxes() const {
  // A box hidden for this module keeps the choice made for the others.
  if (eraseChip_->isVisibleTo(this)) Profile().WriteInt(kUserSection, kEraseChipEntry, eraseChip_->isChecked() ? 1 : 0);
  Profile().WriteInt(kUserSection, kEraseNeededEntry, eraseNeeded_->isChecked() ? 1 : 0);
}

uint32_t CDownloadPage::DownloadOffset() const {
  if (fileType_ == ImageFileType::kBinary) return binaryStart_;
  if (!bankCombo_->isVisibleTo(this) || bankCombo_->currentIndex() < 0) return 0;
  return BankOfEntry(Utf8(bankCombo_->currentText())).value_or(0) * kBankSize;
}

void CDownloadPage::SetStatus(const QString& text) { sheet_.SetStatusText(text); }

}  // namespace zk::gui
