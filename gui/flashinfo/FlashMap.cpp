#include "gui/flashinfo/FlashMap.h"

#include <QEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace zk::gui {
namespace {

constexpr int kMargin = 4;
constexpr int kBarHeight = 22;
// The height of a line of a bank that takes several.
constexpr int kWrappedLineHeight = 8;
constexpr int kBarGap = 6;
constexpr int kLabelGap = 8;
constexpr int kPreferredWidth = 600;
constexpr int kFitIterations = 8;
const QColor kNeededColor(0xD0, 0x00, 0x8A);

uint64_t Length(const SectorRecord& sector) { return uint64_t{sector.end} - sector.start + 1; }

// The widths of cells of the given lengths sharing width: each its share,
// those whose share is narrower than the minimum at the minimum and the
// rest sharing what is left. Empty when even the minimum does not fit.
std::vector<double> ShareWidths(const std::vector<uint64_t>& lengths, int width) {
  const std::size_t n = lengths.size();
  if (n * CFlashMap::kMinCellWidth > static_cast<std::size_t>(width)) return {};
  std::vector<bool> atMinimum(n, false);
  std::vector<double> widths(n, CFlashMap::kMinCellWidth);
  for (int round = 0; round < kFitIterations; ++round) {
    double rest = width;
    uint64_t restLength = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (atMinimum[i]) {
        rest -= CFlashMap::kMinCellWidth;
      } else {
        restLength += lengths[i];
      }
    }
    if (restLength == 0) break;
    bool changed = false;
    for (std::size_t i = 0; i < n; ++i) {
      if (atMinimum[i]) continue;
      widths[i] = rest * static_cast<double>(lengths[i]) / static_cast<double>(restLength);
      if (widths[i] < CFlashMap::kMinCellWidth) {
        atMinimum[i] = true;
        widths[i] = CFlashMap::kMinCellWidth;
        changed = true;
      }
    }
    if (!changed) break;
  }
  return widths;
}

}  // namespace

SectorState StateOf(const SectorRecord& sector) {
  if (sector.protection == kNoAccess) return SectorState::kNoAccess;
  if (sector.protection == kProtectedBySoftware) return SectorState::kSoftwareProtected;
  switch (sector.status) {
    case kOk:
    case kBlank: return SectorState::kBlank;
    case kNotBlank: return SectorState::kUsed;
    default: return SectorState::kUnknown;
  }
}

const char* StateText(SectorState state) {
  switch (state) {
    case SectorState::kBlank: return "blank";
    case SectorState::kUsed: return "used";
    case SectorState::kUnknown: return "unknown";
    case SectorState::kSoftwareProtected: return "software protected";
    case SectorState::kNoAccess: return "no access";
  }
  return "";
}

QColor StateColor(SectorState state) {
  switch (state) {
    case SectorState::kBlank: return {0x9B, 0xE0, 0x9B};
    case SectorState::kUsed: return {0xF0, 0xA0, 0x4B};
    case SectorState::kUnknown: return {0xC8, 0xC8, 0xC8};
    case SectorState::kSoftwareProtected: return {0x6C, 0x8E, 0xBF};
    case SectorState::kNoAccess: return {0x50, 0x50, 0x50};
  }
  return {};
}

QString MapLegendHtml() {
  QString html;
  for (SectorState state : {SectorState::kBlank, SectorState::kUsed, SectorState::kUnknown,
                            SectorState::kSoftwareProtected, SectorState::kNoAccess}) {
    html += QString("<span style=\"background-color:%1\">&nbsp;&nbsp;&nbsp;&nbsp;</span>&nbsp;%2&nbsp;&nbsp; ")
                .arg(StateColor(state).name(), StateText(state));
  }
  html += QString("<span style=\"color:%1\"><b>[&nbsp;&nbsp;]</b></span>&nbsp;needed by the image&nbsp;&nbsp; ")
              .arg(kNeededColor.name());
  html += "<u><b>&nbsp;&nbsp;&nbsp;&nbsp;</b></u>&nbsp;selected in the table";
  return html;
}

CFlashMap::CFlashMap(const CSectorGroups& groups, QWidget* parent) : QWidget(parent), groups_(groups) {
  setObjectName("flashMap");
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  Fit();
}

void CFlashMap::Rebuild() {
  cells_.clear();
  bars_.clear();
  firstCellOfGroup_.clear();
  const std::vector<GroupRecord>& groups = groups_.Groups();
  for (std::size_t g = 0; g < groups.size(); ++g) {
    firstCellOfGroup_.push_back(cells_.size());
    if (bars_.empty() || bars_.back().bank != groups[g].bank) bars_.push_back({groups[g].bank, cells_.size(), 0, 0, 0});
    for (std::size_t k = 0; k < groups[g].sectors.size(); ++k) cells_.push_back({{g, k}, {}, false, false});
    bars_.back().cellCount = cells_.size() - bars_.back().firstCell;
  }
  MarkNeeded();
  Fit();
  update();
}

void CFlashMap::SetFootprint(std::vector<PlacedSpan> spans) {
  footprint_ = std::move(spans);
  MarkNeeded();
  update();
}

void CFlashMap::MarkNeeded() {
  for (std::size_t i = 0; i < cells_.size(); ++i) {
    const SectorRecord& sector = SectorOf(i);
    cells_[i].needed = std::any_of(footprint_.begin(), footprint_.end(), [&sector](const PlacedSpan& span) {
      return span.first <= sector.end && span.last >= sector.start;
    });
  }
}

void CFlashMap::SetSelection(const std::vector<std::pair<std::size_t, std::optional<std::size_t>>>& rows) {
  for (Cell& cell : cells_) cell.selected = false;
  for (const auto& [group, sector] : rows) {
    if (group >= firstCellOfGroup_.size()) continue;
    const std::size_t first = firstCellOfGroup_[group];
    const std::size_t count = groups_.Groups()[group].sectors.size();
    if (sector) {
      if (*sector < count) cells_[first + *sector].selected = true;
    } else {
      for (std::size_t k = 0; k < count; ++k) cells_[first + k].selected = true;
    }
  }
  update();
}

const SectorRecord& CFlashMap::SectorOf(std::size_t cell) const {
  const SectorRef& ref = cells_[cell].ref;
  return groups_.Groups()[ref.group].sectors[ref.sector];
}

SectorState CFlashMap::StateOfCell(std::size_t cell) const { return StateOf(SectorOf(cell)); }

QString CFlashMap::ToolTipOf(std::size_t cell) const {
  const SectorRef& ref = cells_[cell].ref;
  const GroupRecord& group = groups_.Groups()[ref.group];
  const SectorRecord& sector = group.sectors[ref.sector];
  QString text = QString::fromStdString(SectorNumberText(group.firstSector + static_cast<uint32_t>(ref.sector))) +
                 QString(" (bank %1)\n").arg(group.bank) + QString::fromStdString(RangeText(sector.start, sector.end)) +
                 "\n" + StateText(StateOf(sector));
  if (sector.protection == kPartialAccess) text += ", partial access";
  if (cells_[cell].needed) text += "\nneeded by the image";
  return text;
}

std::optional<std::size_t> CFlashMap::CellAt(QPoint point) const {
  for (const BankBar& bar : bars_) {
    if (point.y() < bar.top || point.y() >= bar.top + bar.height) continue;
    for (std::size_t i = bar.firstCell; i < bar.firstCell + bar.cellCount; ++i) {
      if (cells_[i].rect.contains(point)) return i;
    }
  }
  return std::nullopt;
}

int CFlashMap::LabelWidth() const { return fontMetrics().horizontalAdvance("Bank 88") + kLabelGap; }

int CFlashMap::Place(int width) {
  const int left = kMargin + LabelWidth();
  const int barWidth = std::max(kMinCellWidth, width - left - kMargin);
  int top = kMargin;
  for (BankBar& bar : bars_) {
    std::vector<uint64_t> lengths;
    lengths.reserve(bar.cellCount);
    for (std::size_t i = bar.firstCell; i < bar.firstCell + bar.cellCount; ++i) lengths.push_back(Length(SectorOf(i)));
    const std::vector<double> widths = ShareWidths(lengths, barWidth);
    int height = kBarHeight;
    if (!widths.empty()) {
      // Each cell from the rounded sum of the widths before it: the bar
      // ends where the bar's width does.
      double x = 0;
      for (std::size_t n = 0; n < widths.size(); ++n) {
        const int from = static_cast<int>(std::lround(x));
        x += widths[n];
        cells_[bar.firstCell + n].rect = QRect(left + from, top, static_cast<int>(std::lround(x)) - from, kBarHeight);
      }
    } else {
      // More sectors than fit side by side: lines of equal cells.
      const std::size_t perLine = std::max<std::size_t>(1, static_cast<std::size_t>(barWidth / kMinCellWidth));
      const std::size_t lines = (bar.cellCount + perLine - 1) / perLine;
      const double cellWidth = static_cast<double>(barWidth) / static_cast<double>(perLine);
      height = static_cast<int>(lines) * kWrappedLineHeight;
      for (std::size_t n = 0; n < bar.cellCount; ++n) {
        const std::size_t column = n % perLine;
        const int from = static_cast<int>(std::lround(static_cast<double>(column) * cellWidth));
        const int to = static_cast<int>(std::lround(static_cast<double>(column + 1) * cellWidth));
        cells_[bar.firstCell + n].rect =
            QRect(left + from, top + static_cast<int>(n / perLine) * kWrappedLineHeight, to - from, kWrappedLineHeight);
      }
    }
    bar.top = top;
    bar.height = height;
    top += height + kBarGap;
  }
  return bars_.empty() ? kBarHeight + 2 * kMargin : top - kBarGap + kMargin;
}

void CFlashMap::Fit() {
  const int height = Place(width());
  if (minimumHeight() != height || maximumHeight() != height) setFixedHeight(height);
}

QSize CFlashMap::sizeHint() const { return {kPreferredWidth, height()}; }

void CFlashMap::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Fit();
}

void CFlashMap::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor highlight = palette().color(QPalette::Highlight);
  for (const BankBar& bar : bars_) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(kMargin, bar.top, LabelWidth() - kLabelGap, std::min(bar.height, kBarHeight)),
                     Qt::AlignLeft | Qt::AlignVCenter, QString("Bank %1").arg(bar.bank));
  }
  for (std::size_t i = 0; i < cells_.size(); ++i) {
    const Cell& cell = cells_[i];
    // A pixel of the background between cells wide enough to spare it.
    const QRect body = cell.rect.width() >= kMinCellWidth ? cell.rect.adjusted(0, 0, -1, 0) : cell.rect;
    painter.fillRect(body, StateColor(StateOfCell(i)));
    if (cell.selected) {
      const int band = std::max(2, body.height() / 3);
      painter.fillRect(QRect(body.left(), body.bottom() - band + 1, body.width(), band), highlight);
    }
    if (cell.needed) {
      painter.setPen(QPen(kNeededColor, 2));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(body.adjusted(1, 1, -1, -1));
    }
  }
}

bool CFlashMap::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    if (const std::optional<std::size_t> cell = CellAt(help->pos())) {
      QToolTip::showText(help->globalPos(), ToolTipOf(*cell), this, cells_[*cell].rect);
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }
  return QWidget::event(event);
}

void CFlashMap::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  const std::optional<std::size_t> cell = CellAt(event->position().toPoint());
  if (cell && click_) click_(cells_[*cell].ref, (event->modifiers() & Qt::ControlModifier) != 0);
}

}  // namespace zk::gui
