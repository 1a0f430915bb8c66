#pragma once
// The flash info page (dialog 107, tab "FlashInfo"): while connected, one
// line per flash bank, the flash map and the sector table, a row per group
// of equal sectors that expands to a row per sector, with address range,
// protection and blank status; from here sectors, a bank or all banks are
// erased and the blank status of rows, or of every sector, is queried.
#include "client/DmAccess.h"
#include "client/FlashTable.h"
#include "common/IniFileAccess.h"
#include "gui/flashinfo/SectorGroups.h"
#include "gui/shell/PageLinks.h"
#include "gui/shell/PropertyPage.h"
#include "gui/shell/Texts.h"

#include <QTimer>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zk::gui {

class CFlashMap;
class CGuiFlow;
class CTreeListCtrl;
class MyPropSheet;

class CFlashInfoPage : public CPropertyPage, public ConnectionListener {
 public:
  CFlashInfoPage(client::CDmAccess& dm, CGuiFlow& flow, MyPropSheet& sheet, QWidget* parent = nullptr);

  void SetConnected(bool connected) override { connected_ = connected; }
  bool Connected() const { return connected_; }
  void SetModulePath(std::string path) { modulePath_ = std::move(path); }
  void SetFlashDescriptionPath(std::string path) { flashDescriptionPath_ = std::move(path); }
  // Line bank of the bank list (0 to kMaxBanks - 1).
  void SetBankLine(int bank, std::string line);

  // Adds the groups of a connected bank's layout, with the areas of table:
  // the first bank (multi false) discards what was there. 1 when the groups
  // were added, 0 when a sector count 0xFFFF ended them, 225 without a bus
  // mode, otherwise the code of the layout's read.
  ResultCode AddBank(bool multi, const client::BankRow& row, const client::FlashTable& table);

  bool OnSetActive() override;
  // The protected-areas switch: enabled shows software protected sectors as
  // full access, disabled classifies every sector again.
  void UpdateProtection(bool enabled);

  // Button handlers.
  void OnEraseSectors();
  void OnStatus();
  void OnEraseBank();
  void OnEraseAll();
  // "Status of all sectors": the status of every group in one run, with one
  // progress bar over all of them; the button stops the run.
  void OnStatusAll();
  // Erases every bank, stopping at the first failure (0: all erased).
  ResultCode EraseAll();
  ResultCode EraseBank(int bank);

  // The sector information of the last bank added (its flash size in kB).
  const SectorInfos& SectorInformation() const { return sectorInfo_; }
  const CSectorGroups& Groups() const { return groups_; }
  CTreeListCtrl* Table() const { return table_; }
  CFlashMap* Map() const { return map_; }
  QPushButton* StatusAllButton() const { return statusAll_; }
  // Where the loaded image would be programmed (nullopt: none is loaded);
  // asked at every activation for the map's footprint.
  void SetImageOffsetSource(std::function<std::optional<uint32_t>()> source) { imageOffset_ = std::move(source); }
  // The map's footprint of the image as it is now.
  void ShowImageFootprint();
  // Selects a sector's row in the table (its group expanded), alone or
  // added to the selection.
  void SelectSector(std::size_t group, std::size_t sector, bool add);
  QTreeWidget* BankList() const { return bankList_; }

 private:
  struct RowRef {
    std::size_t group = 0;
    std::optional<std::size_t> sector;
  };

  AreaLists ReadAreas();
  void FillBankList();
  void FillTable();
  void PopulateGroup(QTreeWidgetItem* row);
  void WriteGroupRow(std::size_t group);
  void WriteSectorRow(std::size_t group, std::size_t sector);
  // The group's row and the rows of its sectors that are shown.
  void WriteGroupRows(std::size_t group);
  void WriteAllRows();
  void ClearTable();
  bool Valid(const RowRef& ref) const;
  RowRef RefOf(const QTreeWidgetItem* row) const;
  RangeRequest RangeOf(const RowRef& ref) const;
  void SetStatus(const QString& text);
  // The status of the row's range, written into its records and rows; the
  // wait is the caller's. False when it failed (reported) or was stopped.
  bool QueryStatus(const RowRef& ref);
  void SyncMapSelection();
  // Runs operation on each selected row that still names a group or sector,
  // the status showing running meanwhile, and unselects the row; a false
  // from operation ends the loop with the status as it left it.
  void ForEachSelectedRow(TextId running, const std::function<bool(const RowRef&)>& operation);

  client::CDmAccess& dm_;
  CGuiFlow& flow_;
  MyPropSheet& sheet_;
  bool connected_ = false;
  std::string modulePath_;
  std::string flashDescriptionPath_;
  std::array<std::string, kMaxBanks> bankLines_;
  SectorInfos sectorInfo_{};
  CSectorGroups groups_;
  // The table's rows of each group and, once it was expanded, of its sectors.
  std::vector<QTreeWidgetItem*> groupRows_;
  std::vector<std::vector<QTreeWidgetItem*>> sectorRows_;
  std::function<std::optional<uint32_t>()> imageOffset_;
  // The map follows the table's selection once the selection settled.
  QTimer selectionSync_;

  QTreeWidget* bankList_;
  CTreeListCtrl* table_;
  CFlashMap* map_;
  QPushButton* eraseSectors_;
  QPushButton* status_;
  QPushButton* eraseBank_;
  QPushButton* eraseAll_;
  QPushButton* statusAll_;
};

}  // namespace zk::gui
