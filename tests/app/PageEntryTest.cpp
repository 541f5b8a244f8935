// Entry and the command row in the main window, against the emulated controller: what a click,
// a jog button under the mouse or a function key sends, dialog 133, and the offline file mode.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <algorithm>
#include <fstream>
#include <functional>

#include "AppRig.h"
#include "app/MenuIds.h"
#include "files/ParamFile.h"
#include "sim/Commands.h"

namespace apptest {
namespace {

using pages::layout::ValueId;
constexpr int kGlobal = 3;

// What the document sent: the command offset or parameter number, a move's mode, its position
// (or the value written) and its velocity.
struct Sent {
  uint32_t offset;
  int32_t mode = 0;
  double a = 0;
  double b = 0;
  friend bool operator==(const Sent&, const Sent&) = default;
};

class PageEntryTest : public ::testing::Test, axlink::IDocObserver {
 protected:
  void SetUp() override {
    // Save writes the axis's file here, not into the working directory.
    sim::SetSaveDir(*rig.local, saveDir.path().toStdString());
    frame().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame()));
    frame().OnCommand(kCmdLogin);
    frame().LeftView()->setCurrentItem(frame().LeftView()->FindItem(10003));  // V3.0.35
    frame().Doc().AddObserver(this);
  }
  void TearDown() override { frame().Doc().RemoveObserver(this); }
  void BeforeSend(const CAxtuneDoc&, const axlink::SendEvent& e) override {
    const double a = e.kind == axlink::SendKind::Move          ? e.move.position
                     : e.kind == axlink::SendKind::SetPosition ? e.position
                                                               : e.value;
    sent.push_back({e.indexOffset, e.move.mode, a, e.move.velocity});
  }
  void AfterSend(const CAxtuneDoc&, const axlink::SendEvent&, int32_t) override {}

  CMainFrame& frame() { return *rig.frame; }
  pages::CAxtuneView& view() { return *frame().PageView(); }
  void Show(int page) {
    view().setCurrentIndex(page);
    for (int i = 0; i < pages::kTicksPerRefresh; ++i) frame().OnTimer();
    sent.clear();
  }
  QLineEdit* Edit(QWidget* w) { return qobject_cast<QLineEdit*>(w); }
  QLineEdit* Panel(ValueId box) {
    return Edit(view().ValueControl(pages::layout::kFramePage, box));
  }
  void Key(QEvent::Type type, int qtKey) {
    QKeyEvent e(type, qtKey, Qt::NoModifier);
    QCoreApplication::sendEvent(frame().windowHandle(), &e);
  }
  // A left press or release on a button as the window receives it, and the key it posts.
  void Mouse(bool press, int button) {
    QWidget* w = view().Button(button);
    const QPoint at = w->mapTo(&frame(), w->rect().center());
    ASSERT_EQ(frame().childAt(at), w);
    if (press) {
      QTest::mousePress(frame().windowHandle(), Qt::LeftButton, {}, at);
    } else {
      QTest::mouseRelease(frame().windowHandle(), Qt::LeftButton, {}, at);
    }
    QCoreApplication::processEvents();
  }
  // The texts of the next modal dialog; its button is pressed.
  void ReadNextDialog() {
    QTimer::singleShot(0, &frame(), [this] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      dialogTexts = {dialog->windowTitle().toStdString()};
      for (const QLabel* l : dialog->findChildren<QLabel*>()) {
        if (!l->text().isEmpty()) dialogTexts.push_back(l->text().toStdString());
      }
      auto* ok = dialog->findChild<QAbstractButton*>();
      dialogTexts.push_back(ok->text().toStdString());
      ok->click();
    });
  }

  Rig rig;
  QTemporaryDir saveDir;
  std::vector<Sent> sent;
  std::vector<std::string> dialogTexts;
};

TEST_F(PageEntryTest, DownloadRefusesWithDialog133ThenWritesAndShowsTheValuesReadBack) {
  Show(kGlobal);
  QLineEdit* acceleration = Edit(view().ParamControl(kGlobal, 12));
  frame().Doc().params.CreepSpeedAsym = 33;  // its box is hidden without "Asym."
  acceleration->setText(QStringLiteral("0,0001"));
  ReadNextDialog();
  view().Button(504)->click();
  EXPECT_EQ(dialogTexts, (std::vector<std::string>{
                             "Unzulässige Eingaben",
                             "One or more of the input values are illegal. Default values have "
                             "been used to replace the illegal input values.",
                             "Attention: The input values have not been activated !",
                             "Please check the values and reactivate.", "OK"}));
  EXPECT_EQ(acceleration->text().toStdString(), "0.001000");
  EXPECT_TRUE(sent.empty());

  acceleration->setText(QStringLiteral("250,5"));
  view().Button(504)->click();
  auto written = [this](uint32_t no) {
    return *std::find_if(sent.begin(), sent.end(), [no](const Sent& s) { return s.offset == no; });
  };
  EXPECT_EQ(sent.size(), 24u);
  EXPECT_EQ(written(12), (Sent{12, 0, 250.5}));
  EXPECT_EQ(written(1604), (Sent{1604, 0, 33}));
  EXPECT_EQ(acceleration->text().toStdString(), "250.500000");  // read back, shown at once
  EXPECT_TRUE(rig.ui.boxes.empty());

  // The Download button beside the encoder list sends the chosen entry's value.
  Show(pages::kPageCommon);
  auto* encoders = qobject_cast<QComboBox*>(view().ParamControl(pages::kPageCommon, 1100));
  encoders->setCurrentIndex(encoders->findData(7));
  view().Button(520)->click();
  EXPECT_EQ(sent.size(), 4u);
  EXPECT_EQ(written(1100), (Sent{1100, 0, 7}));
}

TEST_F(PageEntryTest, JogButtonsAndThePanelBoxes) {
  Show(kGlobal);
  const double slow = frame().Doc().params.JogSlow;
  Mouse(true, 509);  // ">"
  EXPECT_EQ(sent, (std::vector<Sent>{{axlink::kCmdMove, 3, 0, slow}}));
  Mouse(false, 509);
  EXPECT_EQ(sent, (std::vector<Sent>{{axlink::kCmdMove, 3, 0, slow}, {axlink::kCmdStop}}));

  sent.clear();
  Panel(ValueId::Destination)->setText(QStringLiteral("  +12,5"));
  Panel(ValueId::Velocity)->setText(QStringLiteral("100"));
  Key(QEvent::KeyPress, Qt::Key_F5);
  EXPECT_EQ(sent, (std::vector<Sent>{{axlink::kCmdMove, 1, 12.5, 100}}));
  EXPECT_EQ(Panel(ValueId::Destination)->text().toStdString(), "12.5");
  Panel(ValueId::Velocity)->setText(QStringLiteral("-3"));
  view().Button(503)->click();
  EXPECT_EQ(Panel(ValueId::Velocity)->text().toStdString(), "3");
  EXPECT_EQ(rig.ui.boxes, std::vector<std::string>{"Input is not ok, please review!"});

  Show(pages::kPageEncoder);
  Panel(ValueId::Destination)->clear();
  view().Button(506)->click();
  EXPECT_EQ(rig.ui.boxes.back(), "Eingabe war nicht korrekt, bitte überprüfen!");
  for (auto [id, offset] : {std::pair{500, axlink::kCmdSaveParams},
                            {501, axlink::kCmdLoadParams},
                            {502, axlink::kCmdReset},
                            {505, axlink::kCmdHome}}) {
    view().Button(id)->click();
    EXPECT_EQ(sent.back().offset, offset);
  }
  EXPECT_EQ(sent.size(), 4u);
}

// A command that changes no parameter leaves a half-typed value alone: by key, by a jog button
// under the mouse (which posts its key) or by a button of the command row.
TEST_F(PageEntryTest, CommandsThatChangeNoParameterKeepTheTypedText) {
  Show(kGlobal);
  QLineEdit* acceleration = Edit(view().ParamControl(kGlobal, 12));
  const std::pair<const char*, std::function<void()>> commands[] = {
      {"F3",
       [this] {
         Key(QEvent::KeyPress, Qt::Key_F3);
         Key(QEvent::KeyRelease, Qt::Key_F3);
       }},
      {"F6", [this] { Key(QEvent::KeyPress, Qt::Key_F6); }},
      {"F8", [this] { Key(QEvent::KeyPress, Qt::Key_F8); }},
      {">>",
       [this] {
         Mouse(true, 510);
         Mouse(false, 510);
       }},
      {"Home", [this] { view().Button(505)->click(); }},
  };
  for (const auto& [name, command] : commands) {
    acceleration->setText(QStringLiteral("12,"));
    command();
    for (int i = 0; i < 2 * pages::kTicksPerRefresh; ++i) frame().OnTimer();
    EXPECT_EQ(acceleration->text().toStdString(), "12,") << name;
    EXPECT_FALSE(sent.empty()) << name;
    sent.clear();
  }
  EXPECT_TRUE(rig.ui.boxes.empty());
}

TEST_F(PageEntryTest, TheFileModeShowsTheFileAndSendsNothing) {
  model::ParamRecord param = frame().Doc().params;
  param.Acceleration = 321;
  const std::vector<uint8_t> bytes = files::EncodeParameterFile(param, frame().Doc().lin);
  QTemporaryDir dir;
  rig.nextFile = dir.filePath(QStringLiteral("axis.dat"));
  std::ofstream(rig.nextFile.toStdString(), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  frame().OnCommand(kCmdOfflineFileMode);
  const int requests = rig.oxa->requests;

  Show(kGlobal);
  QLineEdit* acceleration = Edit(view().ParamControl(kGlobal, 12));
  EXPECT_EQ(acceleration->text().toStdString(), "321.000000");
  acceleration->setText(QStringLiteral("400,5"));
  view().Button(504)->click();
  EXPECT_EQ(acceleration->text().toStdString(), "400.500000");
  EXPECT_EQ(frame().Doc().params.Acceleration, 400.5);

  Panel(ValueId::Destination)->setText(QStringLiteral("10"));
  Panel(ValueId::Velocity)->setText(QStringLiteral("10"));
  view().Button(503)->click();
  Mouse(true, 510);
  EXPECT_EQ(frame().Doc().nJogState, 2);
  Mouse(false, 510);
  for (int i = 0; i < pages::kTicksPerRefresh; ++i) frame().OnTimer();
  EXPECT_EQ(rig.oxa->requests, requests);
  EXPECT_TRUE(sent.empty());
  EXPECT_TRUE(rig.ui.boxes.empty());
  EXPECT_EQ(frame().Pane(kPaneFileState)->text().toStdString(), "");
}

}  // namespace
}  // namespace apptest
