#include "app/LeftView.h"

#include "app/Texts.h"
#include "link/Select.h"

namespace {

constexpr int kItemNumberRole = Qt::UserRole;

}  // namespace

CLeftView::CLeftView(Selector select, QWidget* parent)
    : QTreeWidget(parent), select_(std::move(select)) {
  setHeaderHidden(true);
  setColumnCount(1);
  setFrameShape(QFrame::StyledPanel);
  connect(this, &QTreeWidget::itemSelectionChanged, this, [this] { SelectCurrentAxis(); });
  connect(this, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem*, int) { SelectCurrentAxis(); });
}

int CLeftView::AddServer(std::string_view caption, const oxa::OxaAddr& addr,
                         const model::LibVersion& lib) {
  const int number = lists_.AddServer(caption, addr, lib);
  auto* item = new QTreeWidgetItem(this);
  item->setText(0, FromController(caption));
  item->setData(0, kItemNumberRole, number);
  return number;
}

int CLeftView::AddAxis(int serverItem, std::string_view name, uint16_t number,
                       const model::LibVersion& lib) {
  QTreeWidgetItem* server = FindItem(serverItem);
  if (!server) return 0;
  const int item = lists_.AddAxis(serverItem, name, number, lib);
  if (item == 0) return 0;
  auto* child = new QTreeWidgetItem(server);
  child->setText(0, FromController(name));
  child->setData(0, kItemNumberRole, item);
  server->setExpanded(true);
  return item;
}

void CLeftView::SetServerVersions(int serverItem, const model::RecordVersionTable& table) {
  lists_.SetServerVersions(serverItem, table);
}

void CLeftView::ClearTree() {
  // Clearing changes the selection; nothing must be selected on the way out.
  const QSignalBlocker block(this);
  clear();
  lists_.Clear();
}

QTreeWidgetItem* CLeftView::FindItem(int number) const {
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* server = topLevelItem(i);
    if (server->data(0, kItemNumberRole).toInt() == number) return server;
    for (int j = 0; j < server->childCount(); ++j) {
      if (server->child(j)->data(0, kItemNumberRole).toInt() == number) return server->child(j);
    }
  }
  return nullptr;
}

void CLeftView::SelectCurrentAxis() {
  if (lists_.Servers().empty()) return;
  QTreeWidgetItem* item = currentItem();
  if (!item || !item->isSelected()) return;
  const int number = item->data(0, kItemNumberRole).toInt();
  if (number <= axlink::kFirstAxisItem) return;
  std::optional<axlink::AxisTarget> target = axlink::AxisTargetOfItem(lists_, number);
  if (!target) return;
  if (select_) select_(*target);
}
