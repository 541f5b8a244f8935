// The axis tree: the servers found at login with their axes beneath. Selecting an axis item
// (or double-clicking it) makes it the document's current axis, read for all pages.
#pragma once

#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <string_view>

#include "link/AxisList.h"
#include "link/Select.h"

class CLeftView : public QTreeWidget {
 public:
  // Makes an axis the document's current one (for all pages).
  using Selector = std::function<void(const axlink::AxisTarget&)>;

  explicit CLeftView(Selector select, QWidget* parent = nullptr);
  // Tearing the items down must not select anything.
  ~CLeftView() override { blockSignals(true); }
  CLeftView(const CLeftView&) = delete;
  CLeftView& operator=(const CLeftView&) = delete;

  // Returns the new server item's number (1, 2, ...).
  int AddServer(std::string_view caption, const oxa::OxaAddr& addr, const model::LibVersion& lib);
  // Returns the new axis item's number (10001, ...), 0 when no server has `serverItem`.
  int AddAxis(int serverItem, std::string_view name, uint16_t number, const model::LibVersion& lib);
  void SetServerVersions(int serverItem, const model::RecordVersionTable& table);
  // Deletes every item, empties the lists and restarts both item counters.
  void ClearTree();

  // Selects the axis behind the selected item, if it is an axis item.
  void SelectCurrentAxis();

  const axlink::AxisList& Lists() const { return lists_; }
  // The item with `number` as its data; null when there is none.
  QTreeWidgetItem* FindItem(int number) const;

 private:
  Selector select_;
  axlink::AxisList lists_;
};
