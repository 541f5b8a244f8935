#include "pages/PageBuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <array>

#include "pages/ValueButton.h"
#include "pages/layout/PageTables.h"
#include "pages/layout/TypeNames.h"

namespace pages {
namespace {

using layout::Kind;

constexpr std::array<const char*, kOverviewColumns> kOverviewHeaders{
    "Name", "", "ActPos", "Target", "PosDif", "Dist", "ActVelo", "SetVelo", "Error", "Enable"};
constexpr std::array<int, kOverviewColumns> kOverviewWidths{150, 30,  130, 130, 130,
                                                            130, 100, 100, 80,  90};

// Rows of a dropped type list, in design units: the closed part and one row per item.
constexpr int kComboClosed = 38;
constexpr int kComboRow = 26;

QWidget* CreateList(QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setColumnCount(kOverviewColumns);
  QStringList headers;
  for (const char* h : kOverviewHeaders) headers << QString::fromLatin1(h);
  list->setHeaderLabels(headers);
  for (int c = 0; c < kOverviewColumns; ++c) {
    list->setColumnWidth(c, kOverviewWidths[static_cast<size_t>(c)]);
  }
  return list;
}

QWidget* CreateCombo(const layout::Control& c, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setMaxVisibleItems(std::max(1, (c.h - kComboClosed) / kComboRow));
  for (const layout::ComboItem& item : layout::ComboItems(c.combo)) {
    combo->addItem(QString::fromStdString(item.name), QVariant(int{item.value}));
  }
  // Nothing is chosen until the user picks an item; the edit part shows the stored type.
  combo->setCurrentIndex(-1);
  return combo;
}

QWidget* CreateEdit(Kind kind, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setReadOnly(kind != Kind::Edit);
  edit->setAlignment(kind == Kind::ReadOnlyLeft ? Qt::AlignLeft | Qt::AlignVCenter
                                                : Qt::AlignRight | Qt::AlignVCenter);
  return edit;
}

QWidget* CreateText(Kind kind, QWidget* parent) {
  auto* label = new QLabel(parent);
  // Texts are shown as they are: a controller's message line is never markup.
  label->setTextFormat(Qt::PlainText);
  // Texts start at the top of their rectangle: the rows are laid out for that (a lamp's label
  // sits 5 units below the lamp, whose box is centred in its 36 units).
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  if (kind == Kind::MessageBox) label->setFrameStyle(QFrame::Box | QFrame::Plain);
  return label;
}

QWidget* CreateLamp(const layout::Control& c, QWidget* parent) {
  auto* lamp = new QCheckBox(parent);
  // A legend between two boxes sits close to its own box.
  if (!c.literal.empty() || c.text != 0) lamp->setStyleSheet(QStringLiteral("spacing: 1px"));
  // An indicator: the program sets it, the user cannot.
  lamp->setAttribute(Qt::WA_TransparentForMouseEvents);
  lamp->setFocusPolicy(Qt::NoFocus);
  return lamp;
}

bool HasCaption(const layout::Control& c) {
  return c.text != 0 || !c.literal.empty();
}

QRect Placement(const layout::Control& c, const layout::DesignScale& scale, QWidget& widget) {
  const layout::PixelRect r = scale.Rect(c);
  QRect rect(r.left, r.top, r.Width(), r.Height());
  if ((c.kind == Kind::Check || c.kind == Kind::Lamp) && !HasCaption(c)) {
    // A box without a caption takes the width of the platform's glyph.
    rect.setWidth(widget.sizeHint().width());
  }
  if (c.kind == Kind::Combo) rect.setHeight(scale.EditHeight(c.y));
  return rect;
}

}  // namespace

QWidget* CreateControl(const layout::Control& c, QWidget* parent) {
  switch (c.kind) {
    case Kind::Text:
    case Kind::MessageBox:
      return CreateText(c.kind, parent);
    case Kind::Edit:
    case Kind::ReadOnly:
    case Kind::ReadOnlyLeft:
      return CreateEdit(c.kind, parent);
    case Kind::Combo:
      return CreateCombo(c, parent);
    case Kind::Check:
      return new QCheckBox(parent);
    case Kind::Lamp:
      return CreateLamp(c, parent);
    case Kind::Button:
      return new QPushButton(parent);
    case Kind::ValueButton:
      return new ValueButton(c.key, parent);
    case Kind::List:
      return CreateList(parent);
  }
  return nullptr;
}

bool BuildPages(QWidget& parent, const layout::DesignScale& scale, const ControlFactory& make,
                std::vector<PageControl>& out) {
  const auto all = layout::AllControls();
  out.reserve(out.size() + all.size());
  for (const layout::PlacedControl& placed : all) {
    QWidget* widget = make(*placed.control, &parent);
    if (!widget) return false;
    widget->setGeometry(Placement(*placed.control, scale, *widget));
    out.push_back(PageControl{placed.page, placed.control, widget});
  }
  return true;
}

PageFonts MakePageFonts(const layout::DesignScale& scale) {
  PageFonts fonts;
  fonts.page = QFont(QStringLiteral("Arial"));
  fonts.page.setPixelSize(std::max(1, scale.Px(22)));
  fonts.small = QFont(QStringLiteral("Arial"));
  fonts.small.setPixelSize(std::max(1, scale.Px(16)));
  fonts.list = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fonts.list.setFixedPitch(true);
  fonts.list.setPixelSize(std::max(1, scale.Px(16)));
  for (QFont* f : {&fonts.page, &fonts.small, &fonts.list}) {
    f->setWeight(QFont::Normal);
    f->setItalic(false);
  }
  return fonts;
}

void AssignFonts(const std::vector<PageControl>& controls, const PageFonts& fonts) {
  for (const PageControl& c : controls) {
    switch (c.def->font) {
      case layout::FontKind::Page:
        c.widget->setFont(fonts.page);
        break;
      case layout::FontKind::Small:
        c.widget->setFont(fonts.small);
        break;
      case layout::FontKind::List:
        c.widget->setFont(fonts.list);
        break;
    }
  }
}

}  // namespace pages
