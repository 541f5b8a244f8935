// The Overview page's list: one row per axis found at login, and its share of the display tick,
// which reads the runtime record of up to kOverviewRowsPerTick listed axes from the row cursor on
// and writes their columns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "link/AxisList.h"
#include "link/AxtuneDoc.h"
#include "link/Select.h"

class QTreeWidget;

namespace i18n {
class StringTable;
}

namespace pages {

// The overview refresh handles at most this many rows per tick.
inline constexpr size_t kOverviewRowsPerTick = 20;

// Finds the server versions of a listed axis (the axis tree keeps them).
using OverviewTargetResolver =
    std::function<std::optional<axlink::AxisTarget>(const axlink::OverviewEntry&)>;

class COverviewList {
 public:
  // `row` is the cursor, 1-based: the row the next refresh reads first; the selected row's axis
  // is the one the other pages show. The view owns the cursor and the resolver.
  COverviewList(CAxtuneDoc& doc, const i18n::StringTable& strings,
                const OverviewTargetResolver& resolver, int32_t& row)
      : doc_(doc), strings_(strings), resolver_(resolver), row_(row) {}

  // The list control of the Overview page; null while the page view has none.
  void SetWidget(QTreeWidget* widget) { widget_ = widget; }
  QTreeWidget* Widget() const { return widget_; }
  const std::vector<axlink::OverviewEntry>& Entries() const { return entries_; }

  // One row more, at most axlink::kOverviewCapacity.
  void Add(std::string_view name, const oxa::OxaAddr& addr, uint16_t number);
  // Every row gone, the cursor at 0 and no row selected.
  void Clear();
  // A row the user selected since the last tick becomes the cursor, and its axis the
  // document's current axis unless it already is.
  void TakeSelection();
  // Reads and writes the rows of this tick; `unsaved` takes the Unsaved flag of the current
  // axis when its row was read.
  void Refresh(bool& unsaved);

 private:
  bool IsCurrentAxis(const axlink::OverviewEntry& entry) const;
  void WriteRow(size_t row, bool current);

  CAxtuneDoc& doc_;
  const i18n::StringTable& strings_;
  const OverviewTargetResolver& resolver_;
  int32_t& row_;
  QTreeWidget* widget_ = nullptr;
  std::vector<axlink::OverviewEntry> entries_;
  int lastSelection_ = -1;
};

}  // namespace pages
