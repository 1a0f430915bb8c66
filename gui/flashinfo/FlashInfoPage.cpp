#include "gui/flashinfo/FlashInfoPage.h"

#include "client/HandedOut.h"
#include "client/ModuleBanks.h"
#include "gui/flashinfo/FlashDescription.h"
#include "gui/flashinfo/FlashMap.h"
#include "gui/shell/Child.h"
#include "gui/shell/ControlIds.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/Texts.h"
#include "gui/treelist/TreeListCtrl.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace zk::gui {
namespace {

constexpr int kGroupRole = Qt::UserRole;
constexpr int kSectorRole = Qt::UserRole + 1;
constexpr int kNoSector = -1;

// Tab stops of the bank list in dialog units.
constexpr std::array<int, 5> kBankTabStops{40, 90, 140, 180, 260};
constexpr int kBankListRows = 4;

enum Column : int { kNumberColumn, kRangeColumn, kProtectionColumn, kStatusColumn };

// Widens the table's columns where the font needs more room than their
// widths give the longest texts they show.
void FitColumns(QTreeWidget& table) {
  const std::array<const char*, 4> longest{"Sector 8888 - 8888", "0x88888888 - 0x88888888", "software protected",
                                           "not blank"};
  const QFontMetrics metrics = table.fontMetrics();
  constexpr int kPadding = 16;
  for (int column = 0; column < static_cast<int>(longest.size()); ++column) {
    int needed = metrics.horizontalAdvance(longest[static_cast<std::size_t>(column)]) + kPadding;
    if (column == kNumberColumn) needed += 2 * table.indentation();
    table.setColumnWidth(column, std::max(table.columnWidth(column), needed));
  }
}

std::vector<AddressRange> CopyAreas(const AddressRange* areas, uint16_t available, int32_t wanted) {
  // The module description names how many areas there are; the data
  // manager's arrays hold no more than they say.
  const auto count = static_cast<std::size_t>(std::clamp<int32_t>(wanted, 0, available));
  if (areas == nullptr) return {};
  return std::vector<AddressRange>(areas, areas + count);
}

}  // namespace

CFlashInfoPage::CFlashInfoPage(client::CDmAccess& dm, CGuiFlow& flow, MyPropSheet& sheet, QWidget* parent)
    : CPropertyPage(kFlashInfoDialog, "FlashInfo", parent),
      dm_(dm),
      flow_(flow),
      sheet_(sheet),
      bankList_(Child<QTreeWidget>(this)),
      table_(Child<CTreeListCtrl>(this)),
      map_(Child<CFlashMap>(this, groups_)),
      eraseSectors_(Child<QPushButton>(this, QString("Erase Sectors"))),
      status_(Child<QPushButton>(this, QString("Status"))),
      eraseBank_(Child<QPushButton>(this, QString("Erase Bank"))),
      eraseAll_(Child<QPushButton>(this, QString("Erase All"))),
      statusAll_(Child<QPushButton>(this, QString("Status of all sectors"))) {
  SetControlId(bankList_, kBankList);
  SetControlId(table_, kSectorTable);
  SetControlId(eraseSectors_, kEraseSectorsButton);
  SetControlId(status_, kStatusButton);
  SetControlId(eraseBank_, kEraseBankButton);
  SetControlId(eraseAll_, kEraseAllButton);
  statusAll_->setObjectName("statusAll");

  bankList_->setRootIsDecorated(false);
  bankList_->setUniformRowHeights(true);
  bankList_->setAllColumnsShowFocus(true);
  bankList_->setHeaderLabels({"Flash device", "Manufacturer", "Device", "Size", "Start address"});
  bankList_->header()->setStretchLastSection(true);
  bankList_->header()->setSectionsMovable(false);
  const int rowHeight = bankList_->fontMetrics().height() + 6;
  bankList_->setFixedHeight(bankList_->header()->sizeHint().height() + kBankListRows * rowHeight + 4);

  table_->SetColumns({{"Sector number", 110}, {"Address range", 180}, {"Protection", 100}, {"Status", 100}});
  FitColumns(*table_);
  table_->SetPopulateHandler([this](QTreeWidgetItem* row) { PopulateGroup(row); });

  auto* layout = Child<QVBoxLayout>(this);
  auto* banks = Child<QGroupBox>(this, QString("Flash banks"));
  Child<QVBoxLayout>(banks)->addWidget(bankList_);
  layout->addWidget(banks);

  auto* mapBox = Child<QGroupBox>(this, QString("Flash map"));
  auto* mapLayout = Child<QVBoxLayout>(mapBox);
  mapLayout->addWidget(map_);
  auto* legend = Child<QLabel>(mapBox);
  legend->setObjectName("flashMapLegend");
  legend->setTextFormat(Qt::RichText);
  legend->setWordWrap(true);
  legend->setText(MapLegendHtml());
  mapLayout->addWidget(legend);
  layout->addWidget(mapBox);

  auto* sectors = Child<QGroupBox>(this, QString("Sectors"));
  auto* sectorLayout = Child<QHBoxLayout>(sectors);
  sectorLayout->addWidget(table_, 1);
  auto* buttonColumn = Child<QWidget>(sectors);
  auto* buttons = Child<QVBoxLayout>(buttonColumn);
  buttons->setContentsMargins(0, 0, 0, 0);
  for (QPushButton* button : {eraseSectors_, status_, eraseBank_, eraseAll_, statusAll_}) {
    button->setAutoDefault(false);
    button->setMinimumWidth(110);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  sectorLayout->addWidget(buttonColumn);
  layout->addWidget(sectors, 1);

  connect(eraseSectors_, &QPushButton::clicked, this, [this] { OnEraseSectors(); });
  connect(status_, &QPushButton::clicked, this, [this] { OnStatus(); });
  connect(eraseBank_, &QPushButton::clicked, this, [this] { OnEraseBank(); });
  connect(eraseAll_, &QPushButton::clicked, this, [this] { OnEraseAll(); });
  connect(statusAll_, &QPushButton::clicked, this, [this] { OnStatusAll(); });

  map_->SetClickHandler([this](SectorRef sector, bool add) { SelectSector(sector.group, sector.sector, add); });
  selectionSync_.setSingleShot(true);
  selectionSync_.setInterval(0);
  connect(&selectionSync_, &QTimer::timeout, this, [this] { SyncMapSelection(); });
  connect(table_, &QTreeWidget::itemSelectionChanged, this, [this] { selectionSync_.start(); });
}

void CFlashInfoPage::SetBankLine(int bank, std::string line) {
  if (bank >= 0 && bank < kMaxBanks) bankLines_[static_cast<std::size_t>(bank)] = std::move(line);
}

void CFlashInfoPage::SetStatus(const QString& text) { sheet_.SetStatusText(text); }

AreaLists CFlashInfoPage::ReadAreas() {
  const IniFileAccess module(modulePath_);
  ProtectedAreas areas{};
  if (dm_.GetProtectedAreas(&areas) != kOk) areas = ProtectedAreas{};
  AreaLists lists;
  lists.protectedAreas = CopyAreas(areas.protectedAreas, areas.protectedCount, module.NumberOfProtectedAreas());
  lists.noAccessAreas = CopyAreas(areas.noAccessAreas, areas.noAccessCount, module.NumberOfNonAccessAreas());
  client::GiveBack(dm_, areas);
  return lists;
}

ResultCode CFlashInfoPage::AddBank(bool multi, const client::BankRow& row, const client::FlashTable& table) {
  if (!multi) {
    groups_.Clear();
    ClearTable();
  }
  sectorInfo_ = SectorInfos{};
  sectorInfo_.flashSize = row.flashSize;
  sectorInfo_.flashId = row.flashId;
  sectorInfo_.blockCount = static_cast<uint16_t>(row.blocks.size());
  if (row.layoutCode != kOk) {
    ReportResult("Connect", row.layoutCode);
    SetStatus(Text(TextId::kReady));
    return row.layoutCode;
  }
  const IniFileAccess module(modulePath_);
  if (client::BankModeText(module, row.bank).empty()) return kInvalidFileFormat;
  AreaLists areas;
  areas.protectedAreas = CopyAreas(table.protectedAreas.data(), static_cast<uint16_t>(table.protectedAreas.size()),
                                   module.NumberOfProtectedAreas());
  areas.noAccessAreas = CopyAreas(table.noAccessAreas.data(), static_cast<uint16_t>(table.noAccessAreas.size()),
                                  module.NumberOfNonAccessAreas());
  return groups_.AddBlocks(row.blocks.data(), row.blocks.size(), areas, row.bank) ? ResultCode{1} : ResultCode{kOk};
}

bool CFlashInfoPage::OnSetActive() {
  if (!connected_) return false;
  FillBankList();
  eraseBank_->setVisible(IniFileAccess(modulePath_).NumberOfProtectedAreas() == 0);
  FillTable();
  ShowImageFootprint();
  return true;
}

void CFlashInfoPage::ShowImageFootprint() {
  std::vector<PlacedSpan> placed;
  if (const std::optional<uint32_t> offset = imageOffset_ ? imageOffset_() : std::nullopt) {
    ImageSpans spans{};
    if (dm_.GetImageSpans(*offset, &spans) == kOk && spans.spans != nullptr) {
      placed.assign(spans.spans, spans.spans + spans.count);
    }
    client::GiveBack(dm_, spans.spans);
  }
  map_->SetFootprint(std::move(placed));
}

void CFlashInfoPage::SelectSector(std::size_t group, std::size_t sector, bool add) {
  if (group >= groupRows_.size() || sector >= groups_.Groups()[group].sectors.size()) return;
  QTreeWidgetItem* row = groupRows_[group];
  if (groups_.Groups()[group].count > 1) {
    row->setExpanded(true);
    if (group >= sectorRows_.size() || sector >= sectorRows_[group].size()) return;
    row = sectorRows_[group][sector];
  }
  if (!add) table_->clearSelection();
  row->setSelected(true);
  table_->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
  table_->scrollToItem(row);
}

void CFlashInfoPage::SyncMapSelection() {
  std::vector<std::pair<std::size_t, std::optional<std::size_t>>> selected;
  for (const QTreeWidgetItem* row : table_->SelectedRows()) {
    const RowRef ref = RefOf(row);
    if (Valid(ref)) selected.emplace_back(ref.group, ref.sector);
  }
  map_->SetSelection(selected);
}

void CFlashInfoPage::FillBankList() {
  bankList_->clear();
  const int banks = client::BankCount(IniFileAccess(modulePath_));
  for (int bank = 0; bank < banks; ++bank) {
    const QStringList fields = Qs(bankLines_[static_cast<std::size_t>(bank)]).split('\t');
    auto item = std::make_unique<QTreeWidgetItem>(fields);
    item->setData(0, Qt::UserRole, bank);
    bankList_->addTopLevelItem(item.release());  // owned by the list
  }
  // The columns start at the tab stops, or further right where a text
  // needs the room.
  const int unit = bankList_->fontMetrics().averageCharWidth();
  int previous = 0;
  for (std::size_t column = 0; column + 1 < kBankTabStops.size(); ++column) {
    const int atStop = (kBankTabStops[column + 1] - previous) * unit / 4;
    previous = kBankTabStops[column + 1];
    bankList_->resizeColumnToContents(static_cast<int>(column));
    const int needed = bankList_->columnWidth(static_cast<int>(column)) + 12;
    bankList_->setColumnWidth(static_cast<int>(column), std::max(atStop, needed));
  }
  if (bankList_->topLevelItemCount() > 0) bankList_->setCurrentItem(bankList_->topLevelItem(0));
}

void CFlashInfoPage::FillTable() {
  if (FlashDescriptionSize(flashDescriptionPath_).empty()) {
    ShowMessage(LoadString(TextId::kInvalidFlashIni) + std::string("FlashSize"), "FlashInfo", MB_OK | MB_ICONWARNING);
    return;
  }
  ClearTable();
  sectorRows_.assign(groups_.Groups().size(), {});
  for (std::size_t n = 0; n < groups_.Groups().size(); ++n) {
    const GroupRecord& group = groups_.Groups()[n];
    QTreeWidgetItem* row = table_->AddRow({}, group.count > 1);
    row->setData(kNumberColumn, kGroupRole, static_cast<qulonglong>(n));
    row->setData(kNumberColumn, kSectorRole, kNoSector);
    groupRows_.push_back(row);
    WriteGroupRow(n);
  }
  map_->Rebuild();
}

void CFlashInfoPage::PopulateGroup(QTreeWidgetItem* row) {
  const RowRef ref = RefOf(row);
  if (ref.sector || !Valid(ref) || ref.group >= sectorRows_.size()) return;
  const GroupRecord& group = groups_.Groups()[ref.group];
  QList<QTreeWidgetItem*> children;
  children.reserve(static_cast<qsizetype>(group.sectors.size()));
  std::vector<QTreeWidgetItem*>& rows = sectorRows_[ref.group];
  rows.clear();
  for (std::size_t k = 0; k < group.sectors.size(); ++k) {
    auto child = std::make_unique<QTreeWidgetItem>();
    child->setData(kNumberColumn, kGroupRole, static_cast<qulonglong>(ref.group));
    child->setData(kNumberColumn, kSectorRole, static_cast<qlonglong>(k));
    rows.push_back(child.get());
    children.append(child.release());
  }
  for (std::size_t k = 0; k < rows.size(); ++k) WriteSectorRow(ref.group, k);
  row->addChildren(children);  // owned by the group row
}

void CFlashInfoPage::WriteGroupRow(std::size_t n) {
  if (n >= groupRows_.size()) return;
  const GroupRecord& group = groups_.Groups()[n];
  QTreeWidgetItem* row = groupRows_[n];
  row->setText(kNumberColumn, Qs(GroupNumberText(group)));
  row->setText(kRangeColumn, Qs(RangeText(group.start, group.End())));
  row->setText(kProtectionColumn, Qs(ProtectionText(group.protection)));
  row->setText(kStatusColumn, Qs(StatusText(group.status)));
  map_->update();
}

void CFlashInfoPage::WriteSectorRow(std::size_t n, std::size_t k) {
  if (n >= sectorRows_.size() || k >= sectorRows_[n].size()) return;
  const GroupRecord& group = groups_.Groups()[n];
  const SectorRecord& sector = group.sectors[k];
  QTreeWidgetItem* row = sectorRows_[n][k];
  row->setText(kNumberColumn, Qs(SectorNumberText(group.firstSector + static_cast<uint32_t>(k))));
  row->setText(kRangeColumn, Qs(RangeText(sector.start, sector.end)));
  row->setText(kProtectionColumn, Qs(ProtectionText(sector.protection)));
  row->setText(kStatusColumn, Qs(StatusText(sector.status)));
  map_->update();
}

void CFlashInfoPage::WriteGroupRows(std::size_t n) {
  WriteGroupRow(n);
  if (n >= sectorRows_.size()) return;
  for (std::size_t k = 0; k < sectorRows_[n].size(); ++k) WriteSectorRow(n, k);
}

void CFlashInfoPage::WriteAllRows() {
  for (std::size_t n = 0; n < groupRows_.size(); ++n) WriteGroupRows(n);
}

void CFlashInfoPage::ClearTable() {
  table_->clear();
  groupRows_.clear();
  sectorRows_.clear();
  map_->Rebuild();
}

void CFlashInfoPage::UpdateProtection(bool enabled) {
  if (enabled) {
    groups_.EnableProtectedAreas();
  } else {
    groups_.Reclassify(ReadAreas());
  }
  WriteAllRows();
  map_->update();
}

CFlashInfoPage::RowRef CFlashInfoPage::RefOf(const QTreeWidgetItem* row) const {
  RowRef ref;
  ref.group = static_cast<std::size_t>(row->data(kNumberColumn, kGroupRole).toULongLong());
  const qlonglong sector = row->data(kNumberColumn, kSectorRole).toLongLong();
  if (sector >= 0) ref.sector = static_cast<std::size_t>(sector);
  return ref;
}

bool CFlashInfoPage::Valid(const RowRef& ref) const {
  if (ref.group >= groups_.Groups().size()) return false;
  return !ref.sector || *ref.sector < groups_.Groups()[ref.group].sectors.size();
}

RangeRequest CFlashInfoPage::RangeOf(const RowRef& ref) const {
  const GroupRecord& group = groups_.Groups()[ref.group];
  if (!ref.sector) return {group.start, group.End(), group.size};
  const SectorRecord& sector = group.sectors[*ref.sector];
  return {sector.start, sector.end, group.size};
}

}  // namespace zk::gui
