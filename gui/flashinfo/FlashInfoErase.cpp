// The flash info page's operations: erase and blank status of the selected
// rows, erase of one bank or of all banks.
#include "gui/flashinfo/FlashInfoPage.h"

#include "client/ModuleBanks.h"
#include "gui/shell/GuiFlow.h"
#include "gui/shell/MessageBoxes.h"
#include "gui/shell/MyPropSheet.h"
#include "gui/shell/StatusPane.h"
#include "gui/shell/Texts.h"
#include "gui/shell/WaitCursor.h"
#include "gui/shell/WaitLoops.h"
#include "gui/treelist/TreeListCtrl.h"

#include <QPushButton>
#include <QTreeWidgetItem>

#include <cstdio>
#include <functional>
#include <vector>

namespace zk::gui {
namespace {

// The most per-sector messages an erase shows; the rest are counted.
constexpr std::size_t kMaxSectorMessages = 16;

// The bank of a row's range: the one that holds its start.
client::BankRange BankRangeOf(const client::FlashTable& table, const RangeRequest& range) {
  return {table.BankHolding(range.start).value_or(0), range.start, range.end, range.third};
}

}  // namespace

void CFlashInfoPage::ForEachSelectedRow(TextId running, const std::function<bool(const RowRef&)>& operation) {
  for (QTreeWidgetItem* row : table_->SelectedRows()) {
    const RowRef ref = RefOf(row);
    if (!Valid(ref)) continue;
    SetStatus(Text(running));
    if (!operation(ref)) return;
    row->setSelected(false);
  }
  SetStatus(Text(TextId::kReady));
}

void CFlashInfoPage::OnEraseSectors() {
  ForEachSelectedRow(TextId::kErasingSector, [this](const RowRef& ref) {
    const StatusProgress progress(sheet_.StatusBar());
    const CGuiFlow::WaitScope scope(flow_, CGuiFlow::Progress(progress.Bar()));
    client::ModuleFlow& flow = flow_.Flow();
    const client::BankRange range = BankRangeOf(flow.Table(), RangeOf(ref));
    const client::FlowResult result = flow.EraseRanges({&range, 1});
    if (result.end == client::FlowEnd::kCallFailed) {
      ReportResult("Erase Sector", result.code);
      SetStatus(Text(TextId::kReady));
      return false;
    }
    if (!result.Done()) {
      ReportResult("EraseSector", result.code);
      if (ref.sector) {
        for (const SectorEntry& entry : result.failedSectors) {
          groups_.Groups()[ref.group].sectors[*ref.sector].status = entry.status;
        }
        WriteSectorRow(ref.group, *ref.sector);
      }
      return false;
    }
    if (ref.sector) {
      groups_.Groups()[ref.group].sectors[*ref.sector].status = kBlank;
      WriteSectorRow(ref.group, *ref.sector);
    } else {
      groups_.SetGroupStatus(ref.group, kBlank);
      WriteGroupRows(ref.group);
    }
    return true;
  });
}

bool CFlashInfoPage::QueryStatus(const RowRef& ref) {
  client::ModuleFlow& flow = flow_.Flow();
  std::vector<SectorStatusEntry> entries;
  const client::FlowResult result = flow.SectorStatus(BankRangeOf(flow.Table(), RangeOf(ref)), &entries);
  if (result.end == client::FlowEnd::kStopped) return false;
  if (result.end == client::FlowEnd::kCallFailed) {
    ReportResult("SectorStatus", result.code);
    return false;
  }
  if (!result.Done()) {
    SetStatus(Text(TextId::kReady));
    ReportResult("SectorStatus", result.code);
    return false;
  }
  GroupRecord& group = groups_.Groups()[ref.group];
  if (ref.sector) {
    for (const SectorStatusEntry& entry : entries) group.sectors[*ref.sector].status = entry.status;
    WriteSectorRow(ref.group, *ref.sector);
  } else {
    group.status = kBlank;
    for (const SectorStatusEntry& entry : entries) {
      if (entry.status != kBlank && entry.status != kStatusUnknown) group.status = entry.status;
    }
    for (std::size_t k = 0; k < entries.size() && k < group.sectors.size(); ++k) {
      group.sectors[k].status = entries[k].status;
    }
    WriteGroupRows(ref.group);
  }
  return true;
}

void CFlashInfoPage::OnStatus() {
  const WaitCursor wait;
  ForEachSelectedRow(TextId::kCheckingStatus, [this](const RowRef& ref) {
    const StatusProgress progress(sheet_.StatusBar());
    const CGuiFlow::WaitScope scope(flow_, CGuiFlow::Progress(progress.Bar()));
    return QueryStatus(ref);
  });
}

void CFlashInfoPage::OnStatusAll() {
  const std::size_t groups = groups_.Groups().size();
  if (groups == 0) return;
  const WaitCursor wait;
  SetStatus(Text(TextId::kCheckingStatus));
  StatusProgress progress(sheet_.StatusBar());
  const QString label = statusAll_->text();
  statusAll_->setText(Text(TextId::kCancel));
  std::size_t done = 0;
  // One bar for the whole run: each group's worker moves it over its share.
  CancellableWait cancellable;
  cancellable.cancel = statusAll_;
  cancellable.observe = [&progress, &done, groups](uint32_t percent) {
    progress.SetPosition(static_cast<int>((done * 100 + percent) / groups));
  };
  bool ended = true;
  {
    const CGuiFlow::WaitScope scope(flow_, CGuiFlow::Cancellable(cancellable));
    for (; done < groups && ended; ++done) {
      ended = QueryStatus({done, std::nullopt});
      progress.SetPosition(static_cast<int>((done + 1) * 100 / groups));
    }
  }
  statusAll_->setText(label);
  SetStatus(Text(TextId::kReady));
}

void CFlashInfoPage::OnEraseBank() {
  SetStatus(Text(TextId::kErasingBank));
  const QTreeWidgetItem* selected = bankList_->currentItem();
  if (selected != nullptr) EraseBank(selected->data(0, Qt::UserRole).toInt());
  SetStatus(Text(TextId::kReady));
}

void CFlashInfoPage::OnEraseAll() { EraseAll(); }

ResultCode CFlashInfoPage::EraseAll() {
  SetStatus(Text(TextId::kErasingBank));
  const int banks = client::BankCount(IniFileAccess(modulePath_));
  ResultCode code = kOk;
  for (int bank = 0; bank < banks && code == kOk; ++bank) code = EraseBank(bank);
  SetStatus(Text(TextId::kReady));
  return code;
}

ResultCode CFlashInfoPage::EraseBank(int bank) {
  const IniFileAccess module(modulePath_);
  const uint32_t start = client::BankStart(module, bank);
  const uint32_t end = client::BankEnd(module, bank);
  const client::FlowResult result = flow_.Flow().EraseBank(bank);
  if (result.Done()) {
    for (std::size_t n = 0; n < groups_.Groups().size(); ++n) {
      const uint32_t groupStart = groups_.Groups()[n].start;
      if (groupStart < start || groupStart > end) continue;
      groups_.SetGroupStatus(n, kBlank);
      WriteGroupRows(n);
    }
    return kOk;
  }
  if (result.end == client::FlowEnd::kRefused) {
    ShowMessage(result.refusal, "Erase Chip", MB_OK | MB_ICONWARNING);
    return kFailed;
  }
  ReportResult("Erase Chip", result.code);
  const std::vector<SectorEntry>& entries = result.failedSectors;
  for (std::size_t i = 0; i < entries.size() && i < kMaxSectorMessages; ++i) {
    char text[64];
    std::snprintf(text, sizeof text, "Fehler bei Sector: %d, ErrorCode: %x", static_cast<int>(entries[i].address),
                  entries[i].status);
    ShowMessage(text, "Erase Chip", MB_OK | MB_ICONWARNING);
  }
  if (entries.size() > kMaxSectorMessages) {
    ShowMessage(std::to_string(entries.size() - kMaxSectorMessages) + " more sectors failed.", "Erase Chip",
                MB_OK | MB_ICONWARNING);
  }
  return result.code;
}

}  // namespace zk::gui
