#include "pages/PageEntry.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "pages/AxtuneView.h"
#include "pages/InvalidInputDialog.h"
#include "pages/entry/PageRules.h"

namespace pages {
namespace {

constexpr int kPanelButtons[] = {entry::kButtonSave,  entry::kButtonLoad, entry::kButtonReset,
                                 entry::kButtonStart, entry::kButtonHome, entry::kButtonSetPos};

std::string EditText(const QWidget* w) {
  const auto* edit = qobject_cast<const QLineEdit*>(w);
  return edit ? edit->text().toStdString() : std::string();
}

void SetEditText(QWidget* w, const std::string& text) {
  if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setText(QString::fromStdString(text));
}

}  // namespace

CPageEntry::CPageEntry(CAxtuneView& view, CAxtuneDoc& doc, const i18n::StringTable& strings,
                       entry::CCommandPanel& panel)
    : view_(view), doc_(doc), strings_(strings), panel_(panel) {
  auto connectButton = [this](int id, auto handler) {
    if (QAbstractButton* button = view_.Button(id)) {
      QObject::connect(button, &QAbstractButton::clicked, &view_, handler);
    }
  };
  connectButton(entry::kButtonDownload, [this] { OnDownload(); });
  for (const entry::TypeButton& t : entry::TypeButtons()) {
    connectButton(t.buttonId, [this, id = t.buttonId] { OnTypeDownload(id); });
  }
  for (const int id : kPanelButtons) {
    connectButton(id, [this, id] { OnPanelButton(id); });
  }
  panel_.SetInputs(this);
}

CPageEntry::~CPageEntry() {
  panel_.SetInputs(nullptr);
}

void CPageEntry::OnDownload() {
  Download([this] { return entry::DownloadPage(view_.nCurrentPage, *this, doc_); });
}

void CPageEntry::OnTypeDownload(int buttonId) {
  Download([this, buttonId] { return entry::DownloadTypeButton(buttonId, *this, doc_); });
}

void CPageEntry::OnPanelButton(int buttonId) {
  view_.RunExclusive([&] { panel_.OnButton(buttonId, view_.nCurrentPage); });
}

void CPageEntry::Download(const std::function<entry::DownloadResult()>& run) {
  view_.RunExclusive([&] {
    const entry::DownloadResult result = run();
    if (result.outcome == entry::DownloadOutcome::Rejected) {
      CInvalidInputDialog dialog(strings_, view_.window());
      dialog.exec();
    }
    if (result.repaintNow) view_.ShowCurrentPageNow();
  });
}

QWidget* CPageEntry::Box(uint16_t no, uint16_t bit) const {
  return view_.ParamControl(view_.nCurrentPage, no, bit);
}

QWidget* CPageEntry::PanelEdit(entry::PanelBox box) const {
  const layout::ValueId value = box == entry::PanelBox::Destination ? layout::ValueId::Destination
                                                                    : layout::ValueId::Velocity;
  return view_.ValueControl(layout::kFramePage, value);
}

bool CPageEntry::IsShown(uint16_t no, uint16_t bit) const {
  const QWidget* w = Box(no, bit);
  return w != nullptr && !w->isHidden();
}

std::string CPageEntry::Text(uint16_t no) const {
  return EditText(Box(no));
}

void CPageEntry::SetText(uint16_t no, const std::string& text) {
  SetEditText(Box(no), text);
}

bool CPageEntry::IsChecked(uint16_t no, uint16_t bit) const {
  const auto* box = qobject_cast<const QCheckBox*>(Box(no, bit));
  return box != nullptr && box->isChecked();
}

std::optional<int32_t> CPageEntry::SelectedItem(uint16_t no) const {
  const auto* list = qobject_cast<const QComboBox*>(Box(no));
  if (list == nullptr || list->currentIndex() < 0) return std::nullopt;
  bool ok = false;
  const int value = list->currentData().toInt(&ok);
  return ok ? std::optional<int32_t>(value) : std::nullopt;
}

std::string CPageEntry::Text(entry::PanelBox box) const {
  return EditText(PanelEdit(box));
}

void CPageEntry::SetText(entry::PanelBox box, const std::string& text) {
  SetEditText(PanelEdit(box), text);
}

}  // namespace pages
