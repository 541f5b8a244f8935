// The function-key filter: which key events reach the key command, and when a held key is
// released by the mouse, a system key or the loss of the foreground.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>

#include "AppRig.h"
#include "app/FunctionKeyFilter.h"

namespace apptest {
namespace {

struct KeyLog final : pages::IKeyCommand {
  std::vector<std::string> log;
  void KeyCommand(bool down, int key) override {
    log.push_back((down ? "down F" : "up F") + std::to_string(key));
  }
  void RequestRedisplay() override { log.emplace_back("redisplay"); }
};

// Logs the mouse presses that reach a widget.
struct PressLog final : QObject {
  explicit PressLog(std::vector<std::string>& l) : log(l) {}
  std::vector<std::string>& log;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::MouseButtonPress) log.emplace_back("click");
    return false;
  }
};

class KeyFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame()));
    frame().KeyFilter().SetTarget(&keys);
    frame().KeyFilter().SetForegroundProbe([this] { return foreground; });
  }
  CMainFrame& frame() { return *rig.frame; }
  void Key(QEvent::Type type, int qtKey, bool autoRepeat = false,
           Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent e(type, qtKey, mods, QString(), autoRepeat);
    QCoreApplication::sendEvent(frame().windowHandle(), &e);
  }
  void Tap(int qtKey) {
    Key(QEvent::KeyPress, qtKey);
    Key(QEvent::KeyRelease, qtKey);
  }

  Rig rig;
  KeyLog keys;
  bool foreground = true;
};

TEST_F(KeyFilterTest, WhichKeysGoDownAndUp) {
  for (int k : {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F5, Qt::Key_F6, Qt::Key_F7,
                Qt::Key_F8, Qt::Key_F9, Qt::Key_A}) {
    Tap(k);
  }
  EXPECT_EQ(keys.log,
            (std::vector<std::string>{"down F1", "up F1", "down F2", "up F2", "down F3", "up F3",
                                      "down F4", "up F4", "down F5", "down F6", "down F8"}));
  EXPECT_EQ(frame().KeyFilter().HeldKey(), 8);

  // Keys typed into another window (a dialog in front) start nothing.
  keys.log.clear();
  QWindow other;
  QKeyEvent press(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
  QCoreApplication::sendEvent(&other, &press);
  EXPECT_TRUE(keys.log.empty());

  // A held key's auto-repeat is not a new press, nor a release.
  keys.log.clear();
  Key(QEvent::KeyPress, Qt::Key_F3);
  for (int i = 0; i < 3; ++i) {
    Key(QEvent::KeyRelease, Qt::Key_F3, true);
    Key(QEvent::KeyPress, Qt::Key_F3, true);
  }
  Key(QEvent::KeyRelease, Qt::Key_F3);
  EXPECT_EQ(keys.log, (std::vector<std::string>{"down F3", "up F3"}));
}

TEST_F(KeyFilterTest, MouseAndSystemKeysReleaseTheHeldKeyFirst) {
  QTreeWidget* tree = frame().LeftView();
  PressLog presses(keys.log);
  tree->viewport()->installEventFilter(&presses);
  const QPoint at = tree->viewport()->mapTo(&frame(), tree->viewport()->rect().center());

  Key(QEvent::KeyPress, Qt::Key_F2);
  QTest::mouseClick(frame().windowHandle(), Qt::LeftButton, {}, at);
  QTest::mouseClick(frame().windowHandle(), Qt::LeftButton, {}, at);
  EXPECT_EQ(keys.log, (std::vector<std::string>{"down F2", "up F2", "click", "click"}));
  EXPECT_EQ(frame().KeyFilter().HeldKey(), 0);

  // The key-up after the release finds nothing held but is still passed on.
  keys.log.clear();
  Key(QEvent::KeyPress, Qt::Key_F1);
  Key(QEvent::KeyPress, Qt::Key_Alt, false, Qt::AltModifier);
  Key(QEvent::KeyRelease, Qt::Key_F1);
  EXPECT_EQ(keys.log, (std::vector<std::string>{"down F1", "up F1", "up F1"}));

  // F5 stays held after its release, so a click releases it.
  keys.log.clear();
  Tap(Qt::Key_F5);
  QTest::mouseClick(frame().windowHandle(), Qt::RightButton, {}, at);
  EXPECT_EQ(keys.log, (std::vector<std::string>{"down F5", "up F5", "click"}));
  tree->viewport()->removeEventFilter(&presses);
}

TEST_F(KeyFilterTest, LosingTheForegroundReleasesAtTheNextTick) {
  Key(QEvent::KeyPress, Qt::Key_F4);
  foreground = false;
  EXPECT_EQ(keys.log, (std::vector<std::string>{"down F4"}));
  frame().OnTimer();
  EXPECT_EQ(keys.log, (std::vector<std::string>{"down F4", "up F4"}));
  frame().OnTimer();
  EXPECT_EQ(keys.log.size(), 2u);

  // Coming back asks for one redisplay; so does a resize.
  foreground = true;
  frame().OnTimer();
  frame().OnTimer();
  EXPECT_EQ(keys.log, (std::vector<std::string>{"down F4", "up F4", "redisplay"}));
  frame().resize(frame().width() + 40, frame().height());
  QCoreApplication::processEvents();
  EXPECT_EQ(keys.log.back(), "redisplay");
}

TEST(KeyCommandTest, FunctionKeysJogAndStopTheSelectedAxis) {
  Rig rig;
  CMainFrame& f = *rig.frame;
  f.OnCommand(32771);  // login
  QTreeWidgetItem* axis = f.LeftView()->FindItem(10003);
  ASSERT_NE(axis, nullptr);
  f.LeftView()->setCurrentItem(axis);
  ASSERT_FALSE(f.Doc().bCommStopped);

  pages::CAxtuneView& view = *f.PageView();
  for (auto [key, state] : {std::pair{1, -2}, {2, -1}, {3, 1}, {4, 2}}) {
    view.KeyCommand(true, key);
    EXPECT_EQ(f.Doc().nJogState, state) << key;
    const int before = rig.oxa->requests;
    view.KeyCommand(false, key);
    EXPECT_EQ(f.Doc().nJogState, 0);
    EXPECT_EQ(rig.oxa->requests, before + 1) << "one stop on release of F" << key;
  }
  // On the Encoder page the jog keys do nothing; F6 still stops.
  view.setCurrentIndex(pages::kPageEncoder);
  const int before = rig.oxa->requests;
  view.KeyCommand(true, 1);
  EXPECT_EQ(f.Doc().nJogState, 0);
  EXPECT_EQ(rig.oxa->requests, before);
  view.KeyCommand(true, 6);
  EXPECT_EQ(rig.oxa->requests, before + 1);
  EXPECT_TRUE(rig.ui.boxes.empty());
}

}  // namespace
}  // namespace apptest
