#include "app/Dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <string_view>

#include "AxtuneVersion.h"
#include "app/Texts.h"

CTargetDialog::CTargetDialog(const std::vector<axlink::TargetEntry>& entries,
                             const i18n::StringTable& strings, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(Text(strings, kTextTargetTitle));
  list_ = new QComboBox(this);
  list_->setObjectName(QStringLiteral("targetList"));
  for (const axlink::TargetEntry& e : entries) list_->addItem(FromController(e.name));
  list_->setCurrentIndex(0);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Text(strings, kTextOk), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  buttons->addButton(Text(strings, kTextAbort), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(buttons);
  setMinimumWidth(320);
}

int CTargetDialog::Chosen() const {
  return list_->currentIndex();
}

CAboutDialog::CAboutDialog(const i18n::StringTable& strings, QWidget* parent) : QDialog(parent) {
  setWindowTitle(Text(strings, kTextAboutTitle));
  auto* layout = new QVBoxLayout(this);

  auto* head = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
  head->addWidget(icon);
  head->addWidget(new QLabel(QStringLiteral("Axtune Version " AXTUNE_VERSION), this), 1);
  layout->addLayout(head);

  auto group = [&](std::initializer_list<QString> lines) {
    auto* box = new QGroupBox(this);
    auto* inner = new QVBoxLayout(box);
    for (const QString& line : lines) inner->addWidget(new QLabel(line, box));
    layout->addWidget(box);
  };
  group({Text(strings, kTextSupportedLibs), QStringLiteral("  V2.0.x, V2.1.x, V3.0.0-V3.0.35")});
  group({Text(strings, kTextSupportedAxisRef), QStringLiteral("0 - 6"),
         Text(strings, kTextSupportedStParam), QStringLiteral("0, 3 - 15"),
         Text(strings, kTextSupportedStRtData), QStringLiteral("0 - 12")});

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}
