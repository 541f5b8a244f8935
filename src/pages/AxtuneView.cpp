#include "pages/AxtuneView.h"

#include <QHeaderView>
#include <QResizeEvent>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdarg>
#include <cstdio>

#include "files/ParamFile.h"

namespace pages {
namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Controller texts are single-byte (Latin-1).
QString FromController(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr std::array<const char*, kOverviewColumns> kOverviewHeaders{
    "Name", "", "ActPos", "Target", "PosDif", "Dist", "ActVelo", "SetVelo", "Error", "Enable"};
constexpr std::array<int, kOverviewColumns> kOverviewWidths{150, 30,  130, 130, 130,
                                                            130, 100, 100, 80,  90};

[[gnu::format(printf, 1, 2)]] QString Format(const char* format, ...) {
  std::array<char, 64> buffer{};
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  va_end(args);
  return QString::fromLatin1(buffer.data());
}

// "-C-p-N-": control enable, feed enable plus and minus; German writes the first part "-R-".
QString EnableText(uint32_t bits, bool german) {
  QString s;
  if (german) {
    s += (bits & 1u) ? "-R-" : "-r-";
  } else {
    s += (bits & 1u) ? "-C-" : "-c-";
  }
  s += (bits & 2u) ? "P-" : "p-";
  s += (bits & 4u) ? "N-" : "n-";
  return s;
}

}  // namespace

CAxtuneView::CAxtuneView(CAxtuneDoc& doc, i18n::StringTable& strings, QWidget* parent)
    : QTabWidget(parent), doc_(doc), strings_(strings) {
  // Tabs are 80 pixels wide; a caption that needs more widens its tab instead of being cut.
  tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { min-width: %1px; }").arg(kTabWidth));
  tabBar()->setUsesScrollButtons(true);
  tabBar()->setExpanding(false);
  for (int page = 0; page < kPageCount; ++page) {
    auto* widget = new QWidget(this);
    if (page == kPageOverview) {
      auto* layout = new QVBoxLayout(widget);
      overview_ = new QTreeWidget(widget);
      overview_->setRootIsDecorated(false);
      overview_->setUniformRowHeights(true);
      overview_->setColumnCount(kOverviewColumns);
      QStringList headers;
      for (const char* h : kOverviewHeaders) headers << QString::fromLatin1(h);
      overview_->setHeaderLabels(headers);
      for (int c = 0; c < kOverviewColumns; ++c) {
        overview_->setColumnWidth(c, kOverviewWidths[static_cast<size_t>(c)]);
      }
      QFont mono = overview_->font();
      mono.setFamily(QStringLiteral("Monospace"));
      mono.setStyleHint(QFont::TypeWriter);
      overview_->setFont(mono);
      layout->addWidget(overview_);
    }
    addTab(widget, QString());
  }
  nCurrentPage = 0;
  bRedisplay = false;
  SetPageTexts();
  connect(this, &QTabWidget::currentChanged, this, [this](int index) { OnTabChanged(index); });
}

void CAxtuneView::SetPageTexts() {
  for (int page = 0; page < kPageCount; ++page) {
    std::string_view text = strings_.Text(kTabTextIds[static_cast<size_t>(page)]);
    QString caption = FromUtf8(text);
    if (caption.size() > static_cast<qsizetype>(kMaxTabText)) {
      caption.truncate(static_cast<qsizetype>(kMaxTabText));
    }
    setTabText(page, caption);
  }
}

void CAxtuneView::AddOverviewEntry(std::string_view name, const oxa::OxaAddr& addr,
                                   uint16_t number) {
  if (listed_.size() >= axlink::kOverviewCapacity) return;
  listed_.push_back(axlink::OverviewEntry{std::string(name), addr, number});
  auto* item = new QTreeWidgetItem(overview_);
  item->setText(0, FromController(name));
}

void CAxtuneView::ClearForLogout() {
  overview_->clear();
  listed_.clear();
  nOverviewRow = 0;
  lastOverviewSelection_ = -1;
  bFileMode = false;
  bUnsavedShown = false;
  doc_.ResetDocument();
  SetPageTexts();
}

bool CAxtuneView::LoadParameterFile(const std::string& path) {
  files::FileLoadResult result = files::LoadParameterFile(path, doc_.params, doc_.lin);
  if (!result.opened) {
    nFileFormat = 0;
    return false;
  }
  doc_.linkVersions.table = files::FileModeVersionTable(doc_.linkVersions.table);
  nFileFormat = result.nFileFormat;
  bFileMode = true;
  bRedisplay = true;
  return true;
}

void CAxtuneView::RefreshPages() {
  if (bRefreshBusy) {
    tickCount_ = 0;
    return;
  }
  if (++tickCount_ < kTicksPerRefresh) return;
  bRefreshBusy = true;
  tickCount_ = 0;

  bool redraw = false;
  if (nCurrentPage == kPageOverview) {
    redraw = bRedisplay;
    bRedisplay = false;
    TakeOverviewSelection();
    RefreshOverview();
  } else {
    std::optional<axlink::AxisTarget> list;
    if (nOverviewRow >= 1 && static_cast<size_t>(nOverviewRow) <= listed_.size() && resolver_) {
      list = resolver_(listed_[static_cast<size_t>(nOverviewRow - 1)]);
    }
    redraw = doc_.RefreshAxisData(nCurrentPage, list ? &*list : nullptr) || bRedisplay;
    bRedisplay = false;
    bUnsavedShown = doc_.runtime.Unsaved;
  }
  if (redraw) {
    SetPageTexts();
    update();
  }
  bRefreshBusy = false;
}

void CAxtuneView::TakeOverviewSelection() {
  QTreeWidgetItem* item = overview_->currentItem();
  if (!item || !item->isSelected()) return;
  int index = overview_->indexOfTopLevelItem(item);
  if (index < 0 || index == lastOverviewSelection_) return;
  if (static_cast<size_t>(index) >= listed_.size()) return;
  nOverviewRow = index + 1;
  const axlink::OverviewEntry& entry = listed_[static_cast<size_t>(index)];
  if (!IsCurrentAxis(entry) && resolver_) {
    if (std::optional<axlink::AxisTarget> target = resolver_(entry)) {
      doc_.SelectAxis(*target, 3);
    }
  }
  lastOverviewSelection_ = index;
}

bool CAxtuneView::IsCurrentAxis(const axlink::OverviewEntry& entry) const {
  return doc_.bAxisSelected && doc_.nAxis == entry.number && doc_.axisAddr == entry.addr;
}

void CAxtuneView::RefreshOverview() {
  const size_t count = listed_.size();
  if (count == 0 || !resolver_) return;
  const size_t rows = std::min(count, kOverviewRowsPerTick);
  for (size_t i = 0; i < rows; ++i) {
    if (nOverviewRow < 1 || static_cast<size_t>(nOverviewRow) > count) nOverviewRow = 1;
    const size_t row = static_cast<size_t>(nOverviewRow - 1);
    const axlink::OverviewEntry& entry = listed_[row];
    if (std::optional<axlink::AxisTarget> target = resolver_(entry)) {
      doc_.RefreshAxisData(kPageOverview, &*target);
      const bool current = IsCurrentAxis(entry);
      if (current) bUnsavedShown = doc_.listRuntime.Unsaved;
      WriteOverviewRow(row, current);
    }
    nOverviewRow = static_cast<size_t>(nOverviewRow) >= count ? 1 : nOverviewRow + 1;
  }
}

void CAxtuneView::WriteOverviewRow(size_t row, bool current) {
  QTreeWidgetItem* item = overview_->topLevelItem(static_cast<int>(row));
  if (!item) return;
  const model::RuntimeRecord& r = doc_.listRuntime;
  item->setText(1, current ? QStringLiteral("<") : QStringLiteral(" "));
  item->setText(2, Format("%12.6lf", r.ActualPos));
  item->setText(3, Format("%12.6lf", r.TargetPos));
  item->setText(4, Format("%12.6lf", r.Lag));
  item->setText(5, Format("%12.6lf", r.Distance));
  item->setText(6, Format("%9.3lf", r.ActualVelo));
  item->setText(7, Format("%9.3lf", r.SetpointVeloRatio * r.ReferenceVelo));
  item->setText(8, Format("0x%04X", static_cast<uint32_t>(r.ErrorCode)));
  item->setText(9, EnableText(r.EnableBits, strings_.Language() == i18n::kGerman));
}

void CAxtuneView::OnTabChanged(int index) {
  const int page = index < 0 ? 0 : index;
  if (nCurrentPage == page) return;
  bRedisplay = true;
  nCurrentPage = page;
  if (page == kPageOverview) nOverviewRow = 1;
  update();
}

void CAxtuneView::resizeEvent(QResizeEvent* event) {
  QTabWidget::resizeEvent(event);
  if (nCurrentPage == kPageLinTab) bRedisplay = true;
}

void CAxtuneView::RunExclusive(const std::function<void()>& work) {
  const bool wasBusy = bRefreshBusy;
  bRefreshBusy = true;
  work();
  bRefreshBusy = wasBusy;
}

void CAxtuneView::KeyCommand(bool down, int key) {
  RunExclusive([&] { panel_.KeyCommand(nCurrentPage, down, key); });
  bRedisplay = true;
}

}  // namespace pages
