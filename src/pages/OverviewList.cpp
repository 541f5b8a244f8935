#include "pages/OverviewList.h"

#include <QTreeWidget>
#include <algorithm>
#include <array>
#include <string>

#include "i18n/StringTable.h"
#include "pages/PageNumbers.h"
#include "pages/QtText.h"
#include "pages/layout/OnlineDisplay.h"

namespace pages {

void COverviewList::Add(std::string_view name, const oxa::OxaAddr& addr, uint16_t number) {
  if (!widget_ || entries_.size() >= axlink::kOverviewCapacity) return;
  entries_.push_back(axlink::OverviewEntry{std::string(name), addr, number});
  auto* item = new QTreeWidgetItem(widget_);
  item->setText(0, FromController(name));
}

void COverviewList::Clear() {
  if (widget_) widget_->clear();
  entries_.clear();
  row_ = 0;
  lastSelection_ = -1;
}

void COverviewList::TakeSelection() {
  if (!widget_) return;
  QTreeWidgetItem* item = widget_->currentItem();
  if (!item || !item->isSelected()) return;
  int index = widget_->indexOfTopLevelItem(item);
  if (index < 0 || index == lastSelection_) return;
  if (static_cast<size_t>(index) >= entries_.size()) return;
  row_ = index + 1;
  const axlink::OverviewEntry& entry = entries_[static_cast<size_t>(index)];
  if (!IsCurrentAxis(entry) && resolver_) {
    if (std::optional<axlink::AxisTarget> target = resolver_(entry)) {
      doc_.SelectAxis(*target, 3);
    }
  }
  lastSelection_ = index;
}

bool COverviewList::IsCurrentAxis(const axlink::OverviewEntry& entry) const {
  return doc_.bAxisSelected && doc_.nAxis == entry.number && doc_.axisAddr == entry.addr;
}

void COverviewList::Refresh(bool& unsaved) {
  const size_t count = entries_.size();
  if (count == 0 || !resolver_) return;
  const size_t rows = std::min(count, kOverviewRowsPerTick);
  doc_.BeginOverviewPass();
  for (size_t i = 0; i < rows; ++i) {
    if (row_ < 1 || static_cast<size_t>(row_) > count) row_ = 1;
    const size_t row = static_cast<size_t>(row_ - 1);
    const axlink::OverviewEntry& entry = entries_[row];
    if (std::optional<axlink::AxisTarget> target = resolver_(entry)) {
      doc_.RefreshAxisData(kPageOverview, &*target);
      // A row whose read failed or was skipped keeps its values until the next pass reads it.
      if (doc_.bListRead) {
        const bool current = IsCurrentAxis(entry);
        if (current) unsaved = doc_.listRuntime.Unsaved;
        WriteRow(row, current);
      }
    }
    row_ = static_cast<size_t>(row_) >= count ? 1 : row_ + 1;
  }
}

void COverviewList::WriteRow(size_t row, bool current) {
  QTreeWidgetItem* item = widget_ ? widget_->topLevelItem(static_cast<int>(row)) : nullptr;
  if (!item) return;
  const std::array<std::string, layout::kOverviewValueColumns> columns =
      layout::OverviewColumns(doc_.listRuntime, current, strings_.Language() == i18n::kGerman);
  for (size_t i = 0; i < columns.size(); ++i) {
    item->setText(static_cast<int>(i + 1), FromUtf8(columns[i]));
  }
}

}  // namespace pages
