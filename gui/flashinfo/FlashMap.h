#pragma once
// The flash map of the flash info page: one bar per bank, each sector a cell
// as wide as its share of the bank (never narrower than kMinCellWidth; a
// bank with more sectors than fit goes on over further lines), coloured by
// its state, the sectors the loaded image needs outlined and the sectors
// selected in the table marked. Hovering a cell shows its number, range and
// state; a click hands the sector to the page.
#include "common/DmRecords.h"
#include "gui/flashinfo/SectorGroups.h"

#include <QColor>
#include <QRect>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace zk::gui {

enum class SectorState { kBlank, kUsed, kUnknown, kSoftwareProtected, kNoAccess };

// No access and software protection before the blank status.
SectorState StateOf(const SectorRecord& sector);
// "blank", "used", "unknown", "software protected", "no access"
const char* StateText(SectorState state);
QColor StateColor(SectorState state);
// The colours and marks of the map, for a label beside it.
QString MapLegendHtml();

// A sector of the groups: its group and its place there.
struct SectorRef {
  std::size_t group = 0;
  std::size_t sector = 0;
};

class CFlashMap : public QWidget {
 public:
  static constexpr int kMinCellWidth = 3;
  // A click on a cell; add: with Ctrl, to add it to the selection.
  using ClickHandler = std::function<void(SectorRef sector, bool add)>;

  struct Cell {
    SectorRef ref;
    QRect rect;
    bool needed = false;
    bool selected = false;
  };

  explicit CFlashMap(const CSectorGroups& groups, QWidget* parent = nullptr);

  // The groups changed: one cell per sector again, nothing selected.
  void Rebuild();
  // The image's bytes where they would be programmed; the sectors they
  // touch are outlined.
  void SetFootprint(std::vector<PlacedSpan> spans);
  // The sectors selected in the table: whole groups (no sector) or single
  // sectors.
  void SetSelection(const std::vector<std::pair<std::size_t, std::optional<std::size_t>>>& rows);
  void SetClickHandler(ClickHandler handler) { click_ = std::move(handler); }

  const std::vector<Cell>& Cells() const { return cells_; }
  std::optional<std::size_t> CellAt(QPoint point) const;
  SectorState StateOfCell(std::size_t cell) const;
  QString ToolTipOf(std::size_t cell) const;

  QSize sizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  struct BankBar {
    int bank = 0;
    std::size_t firstCell = 0;
    std::size_t cellCount = 0;
    int top = 0;
    int height = 0;
  };
  // Places the cells for width; returns the height they take.
  int Place(int width);
  void Fit();
  int LabelWidth() const;
  const SectorRecord& SectorOf(std::size_t cell) const;
  void MarkNeeded();

  const CSectorGroups& groups_;
  std::vector<Cell> cells_;
  std::vector<std::size_t> firstCellOfGroup_;
  std::vector<BankBar> bars_;
  std::vector<PlacedSpan> footprint_;
  ClickHandler click_;
};

}  // namespace zk::gui
