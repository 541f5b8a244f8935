#include "pages/InvalidInputDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "pages/entry/Download.h"

namespace pages {
namespace {

QString Text(const i18n::StringTable& strings, uint32_t id) {
  const std::string_view text = strings.Text(id);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CInvalidInputDialog::CInvalidInputDialog(const i18n::StringTable& strings, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(Text(strings, entry::kInvalidInputTitle));
  setModal(true);

  auto* icon = new QLabel(this);
  const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(side, side));
  icon->setAlignment(Qt::AlignTop);

  auto* lines = new QVBoxLayout;
  for (const uint32_t id : entry::kInvalidInputLines) {
    auto* line = new QLabel(Text(strings, id), this);
    line->setTextFormat(Qt::PlainText);
    line->setWordWrap(true);
    lines->addWidget(line);
  }

  auto* head = new QHBoxLayout;
  head->addWidget(icon);
  head->addLayout(lines, 1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok =
      buttons->addButton(Text(strings, entry::kInvalidInputButton), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  buttons->setCenterButtons(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(head);
  layout->addWidget(buttons);
  setMinimumWidth(420);
}

}  // namespace pages
