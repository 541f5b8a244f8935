#include "pages/AxtuneView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTreeWidget>

#include "files/ParamFile.h"
#include "pages/Chart.h"
#include "pages/ControlLookup.h"
#include "pages/QtText.h"
#include "pages/layout/Display.h"
#include "pages/layout/OnlineDisplay.h"
#include "pages/layout/TypeNames.h"

namespace pages {
namespace {

int PrimaryScreenHeight() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().height() : layout::kDesignHeight;
}

bool IsParameterPage(int page) {
  return (page >= kPageGlobal && page <= kPageAuxilary) || page == kPageLinDef;
}

// Controls whose text is a label or caption rather than a value.
bool CarriesCaption(const layout::Control& c) {
  using layout::Kind;
  const bool captionKind = c.kind == Kind::Text || c.kind == Kind::Button ||
                           c.kind == Kind::ValueButton || c.kind == Kind::Check ||
                           c.kind == Kind::Lamp;
  return captionKind && (c.text != 0 || !c.literal.empty() || c.bind.src == layout::Src::AuxName);
}

QString CaptionOf(const QWidget* w) {
  if (const auto* label = qobject_cast<const QLabel*>(w)) return label->text();
  if (const auto* button = qobject_cast<const QAbstractButton*>(w)) return button->text();
  return {};
}

void SetCaption(QWidget* w, const QString& text) {
  if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(text);
  }
}

// A shown value too long for its field (a step or state name) shows its beginning, with the
// whole text in the field's tooltip.
void ShowBeginning(QLineEdit& edit) {
  const int frame = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &edit);
  // The line edit keeps 2 pixels between its frame and the text.
  const int room = edit.width() - 2 * (frame + 2);
  const bool cut = edit.fontMetrics().horizontalAdvance(edit.text()) > room;
  edit.setToolTip(cut ? edit.text() : QString());
  edit.setCursorPosition(0);
}

// Writes a value into its control; an unchanged text is left alone.
void SetValueText(QWidget* w, const QString& text) {
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    if (edit->text() == text) return;
    edit->setText(text);
    if (edit->isReadOnly()) ShowBeginning(*edit);
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    if (label->text() != text) label->setText(text);
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    combo->setEditText(text);
  }
}

}  // namespace

CAxtuneView::CAxtuneView(CAxtuneDoc& doc, i18n::StringTable& strings, QWidget* parent,
                         ViewOptions options)
    : QTabWidget(parent),
      doc_(doc),
      strings_(strings),
      scale_(options.screenHeight > 0 ? options.screenHeight : PrimaryScreenHeight()),
      fonts_(MakePageFonts(scale_)) {
  // The tab pages stay empty: the controls are children of the view itself, above them.
  for (int page = 0; page < kPageCount; ++page) addTab(new QWidget(this), QString());
  CreatePages(options.factory ? options.factory : ControlFactory(CreateControl));
  if (created_) {
    // The chart lies over the tab pages and under every control.
    chart_ = new CCharacteristicChart(scale_, this);
    chart_->stackUnder(controls_.front().widget);
    InitialUpdate();
    entry_ = std::make_unique<CPageEntry>(*this, doc_, strings_, panel_);
  }
  connect(this, &QTabWidget::currentChanged, this, [this](int index) { OnTabChildNotify(index); });
}

void CAxtuneView::CreatePages(const ControlFactory& factory) {
  created_ = BuildPages(*this, scale_, factory, controls_);
  if (!created_) return;
  overview_.SetWidget(
      qobject_cast<QTreeWidget*>(ValueControl(kPageOverview, layout::ValueId::OverviewList)));
  UpdateVisibility();
}

void CAxtuneView::InitialUpdate() {
  // Tabs are 80 pixels wide; a caption that needs more widens its tab instead of being cut.
  tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { min-width: %1px; }").arg(kTabWidth));
  tabBar()->setUsesScrollButtons(true);
  tabBar()->setExpanding(false);
  nCurrentPage = 0;
  bRedisplay = false;
  AssignFonts(controls_, fonts_);
  SetPageTexts();
  UpdateVisibility();
}

void CAxtuneView::KeepListBelowTabs() {
  // The list reaches up to 30 design units; where this platform's tab strip is taller (with
  // the captions of the current language), the list starts below it so that it covers no tab.
  QTreeWidget* widget = overview_.Widget();
  if (!widget) return;
  QRect list = widget->geometry();
  const int strip = tabBar()->sizeHint().height();
  if (list.top() < strip) {
    list.setTop(strip);
    widget->setGeometry(list);
  }
}

QSize CAxtuneView::sizeHint() const {
  QRect extent;
  for (const PageControl& c : controls_) extent |= c.widget->geometry();
  const int margin = scale_.Px(10);
  return {extent.right() + 1 + margin, extent.bottom() + 1 + margin};
}

layout::ViewInputs CAxtuneView::Inputs() const {
  layout::ViewInputs in;
  in.page = nCurrentPage;
  in.lib = doc_.linkVersions.lib;
  const model::RecordVersionTable& table = doc_.linkVersions.table;
  in.axisRefLayout = table[0];
  in.stParamLayout = table[2];
  in.messageLogLayout = table[3];
  const model::ParamRecord& p = doc_.params;
  in.encoderType = p.EncoderType;
  in.referenceMode = p.ReferenceMode;
  in.driveType = p.DriveType;
  in.profileType = p.ProfileType;
  in.asymmetric = p.Asymmetric;
  in.fileMode = bFileMode;
  in.hasDevIo = doc_.axisRef.HasDevIo();
  in.refFlag4 = doc_.axisRef.RefFlags[4];
  return in;
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
  KeepListBelowTabs();
  const layout::ViewInputs in = Inputs();
  for (const PageControl& c : controls_) {
    const layout::Control& d = *c.def;
    if (!CarriesCaption(d)) continue;
    if (d.bind.src == layout::Src::AuxName) {
      if (d.bind.no < doc_.auxNames.size()) {
        SetCaption(c.widget, FromController(doc_.auxNames[d.bind.no]));
      }
      continue;
    }
    if (!d.literal.empty()) {
      SetCaption(c.widget, FromUtf8(d.literal));
      continue;
    }
    std::optional<uint32_t> id = layout::TextIdFor(d, in);
    // A label that keeps its text starts with the text of its table entry.
    if (!id && CaptionOf(c.widget).isEmpty()) id = d.text;
    if (!id) continue;
    SetCaption(c.widget, *id == 0 ? QString() : FromUtf8(strings_.Text(*id)));
  }
}

void CAxtuneView::UpdateVisibility() {
  const layout::ViewInputs in = Inputs();
  for (const PageControl& c : controls_) {
    const bool visible = layout::IsVisible(c.page, *c.def, in);
    if (c.widget->isHidden() == visible) c.widget->setVisible(visible);
  }
  if (chart_) chart_->SetShown(nCurrentPage == kPageLinTab);
}

QWidget* CAxtuneView::ParamControl(int page, uint16_t no, uint32_t bit) const {
  return FindParamControl(controls_, page, no, bit);
}

QWidget* CAxtuneView::ValueControl(int page, layout::ValueId value, uint32_t bit) const {
  return FindValueControl(controls_, page, value, bit);
}

QWidget* CAxtuneView::TypeNameControl(uint16_t no) const {
  return FindTypeNameControl(controls_, kPageCommon, no);
}

QWidget* CAxtuneView::TextControl(int page, uint32_t textId) const {
  return FindTextControl(controls_, page, textId);
}

QAbstractButton* CAxtuneView::Button(int id) const {
  return FindButton(controls_, id);
}

void CAxtuneView::AddOverviewEntry(std::string_view name, const oxa::OxaAddr& addr,
                                   uint16_t number) {
  overview_.Add(name, addr, number);
}

void CAxtuneView::ClearForLogout() {
  overview_.Clear();
  bFileMode = false;
  bUnsavedShown = false;
  doc_.ResetDocument();
  SetPageTexts();
  // The pages show the reset records from the next tick on, not the values of the axis that
  // was logged out.
  bRedisplay = true;
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

  // A tab change during the tick shows its page at the next tick.
  const int page = nCurrentPage;
  bool redraw = false;
  if (page == kPageOverview) {
    redraw = bRedisplay;
    bRedisplay = false;
    overview_.TakeSelection();
    overview_.Refresh(bUnsavedShown);
  } else {
    std::optional<axlink::AxisTarget> list;
    const std::vector<axlink::OverviewEntry>& listed = overview_.Entries();
    if (nOverviewRow >= 1 && static_cast<size_t>(nOverviewRow) <= listed.size() && resolver_) {
      list = resolver_(listed[static_cast<size_t>(nOverviewRow - 1)]);
    }
    redraw = doc_.RefreshAxisData(page, list ? &*list : nullptr) || bRedisplay;
    bRedisplay = false;
    bUnsavedShown = doc_.runtime.Unsaved;
  }
  if (QWidget* name = ValueControl(layout::kFramePage, layout::ValueId::AxisName)) {
    SetValueText(name, FromController(doc_.axisName));
  }
  ShowPage(page, redraw);
  if (redraw) {
    SetPageTexts();
    UpdateVisibility();
    if (page == kPageLinTab && chart_) chart_->DrawCharacteristic(doc_.lin);
    repaint();
  }
  bRefreshBusy = false;
}

void CAxtuneView::ShowPage(int page, bool redraw) {
  if (page == kPageCommon) {
    // The read-only fields on every tick, the edit parts of the type lists with a redraw.
    ShowParameterValues(page, false);
    if (redraw) ShowParameterValues(page, true);
  } else if (redraw && IsParameterPage(page)) {
    ShowParameterValues(page, false);
  }
  if (page == kPageCommon || page == kPageOnline || page == kPageIo) ShowOnlineValues(page, redraw);
}

void CAxtuneView::ShowParameterValues(int page, bool typeLists) {
  const layout::DisplayRecords records{doc_.params, doc_.lin, doc_.runtime};
  const std::string_view undefined = strings_.Text(layout::kTextUndefined);
  for (const PageControl& c : controls_) {
    const layout::Control& d = *c.def;
    if (c.page != page || (d.kind == layout::Kind::Combo) != typeLists) continue;
    if (std::optional<bool> on = layout::ParamChecked(d, records)) {
      if (auto* box = qobject_cast<QCheckBox*>(c.widget)) box->setChecked(*on);
    } else if (std::optional<std::string> text = layout::ParamText(d, records, undefined)) {
      // The file name is a controller (or file) text; the rest is ours.
      const bool controllerText =
          d.bind.src == layout::Src::Param && d.bind.no == model::kParamNoFileName;
      SetValueText(c.widget, controllerText ? FromController(*text) : FromUtf8(*text));
    }
  }
}

void CAxtuneView::ShowOnlineValues(int page, bool redraw) {
  const model::ParamRecord& p = doc_.params;
  const layout::OnlineRecords records{doc_.runtime,  doc_.axisRef, doc_.io,     doc_.messageLog,
                                      p.EncoderType, p.DriveType,  &doc_.ioRead};
  const std::string_view undefined = strings_.Text(layout::kTextUndefined);
  for (const PageControl& c : controls_) {
    if (c.page != page) continue;
    const layout::Control& d = *c.def;
    if (std::optional<bool> lit = layout::OnlineLit(d, records)) {
      if (auto* lamp = qobject_cast<QCheckBox*>(c.widget)) lamp->setChecked(*lit);
    } else if (d.fmt == layout::Fmt::Lines) {
      if (!redraw) continue;
      if (std::optional<std::string> lines = layout::OnlineText(d, records, undefined)) {
        SetValueText(c.widget, FromController(*lines));
      }
    } else if (std::optional<std::string> text = layout::OnlineText(d, records, undefined)) {
      SetValueText(c.widget, FromUtf8(*text));
    }
  }
}

void CAxtuneView::OnTabChildNotify(int selected) {
  const int page = selected < 0 ? 0 : selected;
  if (nCurrentPage == page) return;
  bRedisplay = true;
  nCurrentPage = page;
  if (page == kPageOverview) nOverviewRow = 1;
  UpdateVisibility();
  repaint();
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

void CAxtuneView::ShowCurrentPageNow() {
  ShowPage(nCurrentPage, true);
  UpdateVisibility();
  repaint();
}

void CAxtuneView::KeyCommand(bool down, int key) {
  // Jog, start, stop and reset change no parameter: the parameter pages are not rewritten, so
  // that a value being typed stays.
  RunExclusive([&] { panel_.KeyCommand(nCurrentPage, down, key); });
}

}  // namespace pages
