// The page view offscreen: its controls in place, what each page shows, the display tick's
// writing, tab changes and the language switch. No controller: the document's records are set
// by hand, so a tick brings new data only through a redisplay request.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "common/FakeOxa.h"
#include "link/AxtuneDoc.h"
#include "pages/AxtuneView.h"
#include "pages/ValueButton.h"

namespace {

using pages::CAxtuneView;
using pages::layout::ValueId;
constexpr int kFrame = pages::layout::kFramePage;

// No controller answers; no axis is selected, so nothing is asked anyway.
class NoController final : public fakeoxa::ScriptBase {
 public:
  int32_t OxaSyncReadReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, void*) override {
    return oxa::kErrTargetMachineNotFound;
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, const void*) override {
    return oxa::kErrTargetMachineNotFound;
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, void*, uint32_t,
                              const void*) override {
    return oxa::kErrTargetMachineNotFound;
  }
};

class SilentUi final : public axlink::IDocUi {
 public:
  void MessageBox(const std::string&) override {}
  void RequestRedisplay() override {}
};

struct Rig {
  explicit Rig(int screen = 768, pages::ControlFactory factory = {})
      : doc(oxa, ui, strings),
        view(doc, strings, nullptr, pages::ViewOptions{screen, std::move(factory)}) {
    // A V3.0.35 axis with an incremental encoder, as a selection leaves it.
    doc.linkVersions.lib = {3, 0, 35};
    doc.linkVersions.table = {6, 12, 14, 4, 5, 5, 1, 2, 6, 0, 0, 2, 2};
    model::ResetParamRecord(doc.params);
    doc.params.EncoderType = 1;
    doc.params.DriveType = 3;
    doc.params.ReferenceVelo = 300;
    doc.params.ModuloBase = 12.5;
  }
  // The fifth timer call runs a display tick.
  void Tick(bool redisplay) {
    if (redisplay) view.bRedisplay = true;
    for (int i = 0; i < pages::kTicksPerRefresh; ++i) view.RefreshPages();
  }
  void Show(int page) {
    view.setCurrentIndex(page);
    Tick(true);
  }

  NoController oxa;
  SilentUi ui;
  i18n::StringTable strings;
  CAxtuneDoc doc;
  CAxtuneView view;
};

std::string TextOf(const QWidget* w) {
  if (const auto* e = qobject_cast<const QLineEdit*>(w)) return e->text().toStdString();
  if (const auto* l = qobject_cast<const QLabel*>(w)) return l->text().toStdString();
  if (const auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text().toStdString();
  if (const auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText().toStdString();
  return "?";
}

TEST(PageView, EveryControlIsPlacedOnceInDesignUnitsOfTheScreen) {
  Rig r(768);
  ASSERT_TRUE(r.view.Created());
  EXPECT_EQ(r.view.Controls().size(), pages::layout::AllControls().size());
  EXPECT_EQ(r.view.TextControl(kFrame, 1001)->geometry(), QRect(QPoint(7, 37), QPoint(216, 63)));
  // The edit at y = 120 spans the pixel rows 89 to 115 (116 exclusive).
  const QRect edit = r.view.ParamControl(3, 8)->geometry();
  EXPECT_EQ(edit.top(), 89);
  EXPECT_EQ(edit.bottom() + 1, 116);
  // A box without a caption takes its glyph's width, one with a caption its row's.
  QWidget* jerk = r.view.ParamControl(3, 1004, 0x0100);
  EXPECT_EQ(jerk->width(), jerk->sizeHint().width());
  EXPECT_EQ(r.view.ParamControl(3, 1401)->width(), 112);
  EXPECT_EQ(static_cast<pages::ValueButton*>(r.view.Button(508))->KeyCode(), 113);
  // Nothing moves when the window does.
  r.view.resize(300, 200);
  EXPECT_EQ(r.view.ParamControl(3, 8)->geometry(), edit);
}

// Every control shows a value or a caption: none may be left without room for it, on the small
// screen or the large one (a text row without a height of its own is 36 units high).
TEST(PageView, EveryControlHasRoomForWhatItShows) {
  for (int screen : {768, 1080}) {
    Rig r(screen);
    for (const pages::PageControl& c : r.view.Controls()) {
      EXPECT_TRUE(c.widget->width() > 0 && c.widget->height() > 0)
          << "page " << c.page << " control at " << c.def->x << "," << c.def->y << " on " << screen
          << ": " << c.widget->width() << "x" << c.widget->height();
    }
  }
}

TEST(PageView, FrameRowsAndCaptionsFollowThePage) {
  Rig r;
  QWidget* destination = r.view.ValueControl(kFrame, ValueId::Destination);
  QWidget* destinationLabel = r.view.TextControl(kFrame, 1002);
  QWidget* axisName = r.view.ValueControl(kFrame, ValueId::AxisName);
  const struct {
    int page;
    QWidget* widget;
    bool visible;
    std::string text;
  } cases[] = {
      {3, axisName, true, ""},
      {1, axisName, false, ""},
      {1, r.view.OverviewList(), true, "?"},
      {10, destination, false, ""},
      {10, destinationLabel, true, ""},
      {10, r.view.Button(503), true, "Start"},
      {10, r.view.Button(506), true, ""},
      {3, destinationLabel, true, "Start axis: Destination [mm]"},
      {5, r.view.Button(503), true, ""},
      {5, r.view.Button(507), true, ""},
      {5, r.view.Button(506), true, "SetPos"},
      {5, r.view.Button(504), true, "Download"},
  };
  for (const auto& c : cases) {
    r.Show(c.page);
    EXPECT_EQ(!c.widget->isHidden(), c.visible) << c.page << " " << c.text;
    EXPECT_EQ(TextOf(c.widget), c.text) << c.page;
  }
  // On the Overview page only the list and the rows at the bottom show.
  r.Show(1);
  int shown = 0;
  for (const pages::PageControl& c : r.view.Controls()) shown += c.widget->isHidden() ? 0 : 1;
  EXPECT_EQ(shown, 1 + 4 + 11);
}

TEST(PageView, TheModuloBaseValueIsFilledButNeverShown) {
  Rig r;
  r.Show(5);
  QWidget* value = r.view.ParamControl(5, 1112);
  EXPECT_FALSE(r.view.TextControl(5, 5009)->isHidden());
  EXPECT_TRUE(value->isHidden());
  EXPECT_EQ(TextOf(value), "12.500000");
}

TEST(PageView, ParameterPagesAreWrittenOnlyWithNewDataOrARedisplay) {
  Rig r;
  r.Show(3);
  auto* edit = static_cast<QLineEdit*>(r.view.ParamControl(3, 8));
  auto* box = static_cast<QCheckBox*>(r.view.ParamControl(3, 1004, 0x0001));
  EXPECT_EQ(edit->text().toStdString(), "300.000000");
  edit->setText(QStringLiteral("12,"));
  box->setChecked(true);
  r.doc.params.ReferenceVelo = 5;
  r.Tick(false);
  EXPECT_EQ(edit->text().toStdString(), "12,");
  EXPECT_TRUE(box->isChecked());
  r.Tick(true);
  EXPECT_EQ(edit->text().toStdString(), "5.000000");
  EXPECT_FALSE(box->isChecked());
  // After a logout the next tick shows the reset record, not the last axis's values.
  r.view.ClearForLogout();
  r.Tick(false);
  EXPECT_EQ(edit->text().toStdString(), "0.000000");
}

// Counts the paint events of a widget.
struct PaintCounter final : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST(PageView, OnlyARealTabChangeRedisplaysAndRestartsTheOverview) {
  Rig r;
  r.view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&r.view));
  r.Show(3);
  PaintCounter paints;
  r.view.installEventFilter(&paints);
  QWidget* jerk = r.view.ParamControl(3, 16);
  EXPECT_TRUE(jerk->isHidden());
  r.doc.params.ProfileType = 5;

  r.view.OnTabChildNotify(3);
  EXPECT_FALSE(r.view.bRedisplay);
  EXPECT_TRUE(jerk->isHidden());
  EXPECT_EQ(paints.paints, 0);

  r.view.nOverviewRow = 7;
  r.view.setCurrentIndex(1);
  EXPECT_TRUE(r.view.bRedisplay);
  EXPECT_EQ(r.view.nCurrentPage, 1);
  EXPECT_EQ(r.view.nOverviewRow, 1);
  EXPECT_GT(paints.paints, 0);
  r.view.setCurrentIndex(3);
  EXPECT_FALSE(jerk->isHidden());
  r.view.removeEventFilter(&paints);
}

TEST(PageView, ALanguageSwitchRenamesAtOnceAndTheValuesAtTheirNextWriting) {
  Rig r;
  r.doc.params.EncoderType = 36;
  r.doc.params.ProfileType = 100;
  r.Show(0);
  QWidget* name = r.view.TypeNameControl(1100);
  auto* combo = static_cast<QComboBox*>(r.view.ParamControl(0, 1100));
  EXPECT_EQ(TextOf(name), "undefined");
  EXPECT_EQ(TextOf(combo), "undefined");
  EXPECT_EQ(combo->currentIndex(), -1);
  EXPECT_EQ(TextOf(r.view.ParamControl(0, 1000)), "ProfileTestOnly");

  r.strings.SetLanguage(i18n::kGerman);
  r.view.SetPageTexts();
  EXPECT_EQ(r.view.tabText(0).toStdString(), "Allgemein");
  EXPECT_EQ(TextOf(r.view.TextControl(0, 1100)), "Gebertyp");
  EXPECT_EQ(TextOf(name), "undefined");
  // The read-only names are written on every tick, the lists' edit parts on a redraw.
  r.Tick(false);
  EXPECT_EQ(TextOf(name), "undefiniert");
  EXPECT_EQ(TextOf(combo), "undefined");
  r.Tick(true);
  EXPECT_EQ(TextOf(combo), "undefiniert");
  EXPECT_EQ(combo->currentIndex(), -1);
}

TEST(PageView, AControlThatCannotBeCreatedFailsTheView) {
  int made = 0;
  Rig r(768, [&made](const pages::layout::Control& c, QWidget* parent) -> QWidget* {
    return ++made == 40 ? nullptr : pages::CreateControl(c, parent);
  });
  EXPECT_FALSE(r.view.Created());
  EXPECT_EQ(made, 40);
}

// The German and Chinese captions are ours: each must fit the width its row gives it. (The
// English ones are the system's own texts at the widths they were laid out for.)
TEST(PageView, EveryTranslatedCaptionFitsItsControl) {
  for (int screen : {768, 1080}) {
    Rig r(screen);
    for (uint16_t language : {i18n::kGerman, i18n::kChinese}) {
      r.strings.SetLanguage(language);
      for (int page = 0; page < pages::kPageCount; ++page) {
        r.Show(page);
        for (const pages::PageControl& c : r.view.Controls()) {
          const auto* label = qobject_cast<const QLabel*>(c.widget);
          const auto* button = qobject_cast<const QAbstractButton*>(c.widget);
          const QString text = label ? label->text() : button ? button->text() : QString();
          // The I/O legends sit between two lamps: the screenshots show them.
          const bool legend = c.def->font != pages::layout::FontKind::Page;
          if (text.isEmpty() || c.widget->isHidden() || legend) continue;
          // A check box's caption follows its glyph; a button's text keeps off its frame.
          int room = c.widget->width() - 4;
          if (qobject_cast<const QCheckBox*>(c.widget)) {
            room -= c.widget->style()->pixelMetric(QStyle::PM_IndicatorWidth);
          } else if (label) {
            room = c.widget->width();
          }
          EXPECT_LE(QFontMetrics(c.widget->font()).horizontalAdvance(text), room)
              << text.toStdString() << " at " << screen << " in " << language;
        }
      }
    }
  }
}

}  // namespace
