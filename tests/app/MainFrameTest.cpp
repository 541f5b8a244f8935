// The main window against the emulated controllers: status texts, login and logout, the
// offline file mode, the target choice, menus and languages, the axis tree and the timer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>

#include "AppRig.h"
#include "app/Dialogs.h"
#include "app/GuideWindow.h"
#include "app/MenuIds.h"
#include "files/ParamFile.h"

namespace apptest {
namespace {

std::string PaneText(const CMainFrame& f, int id) {
  return f.Pane(id)->text().toStdString();
}

struct Texts {
  std::string fileState, connection, version, target, title;
  friend bool operator==(const Texts&, const Texts&) = default;
};
Texts Shown(const CMainFrame& f) {
  return {PaneText(f, kPaneFileState), PaneText(f, kPaneConnection), PaneText(f, kPaneVersion),
          PaneText(f, kPaneTarget), f.windowTitle().toStdString()};
}
std::ostream& operator<<(std::ostream& os, const Texts& t) {
  return os << "[" << t.fileState << "|" << t.connection << "|" << t.version << "|" << t.target
            << "|" << t.title << "]";
}

std::vector<std::string> TreeTexts(const QTreeWidget& tree) {
  std::vector<std::string> out;
  for (int i = 0; i < tree.topLevelItemCount(); ++i) {
    const QTreeWidgetItem* s = tree.topLevelItem(i);
    out.push_back(s->text(0).toStdString() + "#" +
                  std::to_string(s->data(0, Qt::UserRole).toInt()));
    for (int j = 0; j < s->childCount(); ++j) {
      out.push_back("  " + s->child(j)->text(0).toStdString() + "#" +
                    std::to_string(s->child(j)->data(0, Qt::UserRole).toInt()));
    }
  }
  return out;
}

void CollectActions(const QList<QAction*>& actions, std::vector<std::string>& out) {
  for (QAction* a : actions) {
    if (a->isSeparator()) continue;
    out.push_back(a->text().toStdString());
    if (a->menu()) CollectActions(a->menu()->actions(), out);
  }
}
std::vector<std::string> MenuTexts(CMainFrame& f) {
  std::vector<std::string> out;
  CollectActions(f.menuBar()->actions(), out);
  return out;
}
bool Contains(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

std::string WriteParameterFile(const QTemporaryDir& dir) {
  const std::string path = dir.filePath(QStringLiteral("axis.dat")).toStdString();
  model::ParamRecord param;
  param.JogFast = 42.5;
  const std::vector<uint8_t> bytes = files::EncodeParameterFile(param, model::LinRecord{});
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

const Texts kOfflineLocal{"", "OFFLINE", "V --.--- Build ----", "127.0.0.1.1.1",
                          "Axtune -> OFFLINE"};
const Texts kOnlineLocal{"", "ONLINE", "V 3.0 Build 35", "127.0.0.1.1.1", "Axtune -> Local"};
const std::vector<std::string> kLocalTree{
    "Port 802: Valdor OxaServer#1", "  Press ram#10001",  "  Ejector#10002",
    "Port 851: Valdor OxaServer#2", "  Clamp left#10003", "  Press ram#10004"};

TEST(MainFrameTest, StartUpTextsAndStatusPanes) {
  Rig r;
  CMainFrame& f = *r.frame;
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  EXPECT_EQ(Shown(f), kOfflineLocal);
  EXPECT_EQ(f.MessagePane()->text().toStdString(), "Bereit");
  EXPECT_TRUE(r.frame->Doc().bCommStopped);
  EXPECT_EQ(f.PageView()->count(), 12);

  // Left to right: message pane, 104, 101, 103, 102; each wide enough for the texts it shows.
  const QFontMetrics metrics(f.font());
  int lastX = f.MessagePane()->x();
  for (auto [id, sample] : {std::pair{kPaneFileState, "UNSAVED"},
                            {kPaneConnection, "FILE MODE"},
                            {kPaneVersion, "V 12.123 Build 1234"},
                            {kPaneTarget, "123.123.123.123.123.123"}}) {
    QLabel* pane = f.Pane(id);
    EXPECT_GT(pane->x(), lastX) << id;
    lastX = pane->x();
    EXPECT_GE(pane->contentsRect().width(), metrics.horizontalAdvance(QString::fromLatin1(sample)))
        << id;
  }

  // Without a port the address is unknown and login sends nothing.
  Rig closed(true);
  EXPECT_EQ(PaneText(*closed.frame, kPaneTarget), "---.---.---.---.--.--");
  closed.frame->OnCommand(kCmdLogin);
  EXPECT_EQ(closed.oxa->requests, 0);
  EXPECT_EQ(PaneText(*closed.frame, kPaneConnection), "OFFLINE");
}

TEST(MainFrameTest, LoginFillsTreeAndOverviewAndLogoutRestartsItemNumbers) {
  Rig r;
  CMainFrame& f = *r.frame;
  for (int round = 0; round < 2; ++round) {
    f.OnCommand(kCmdLogin);
    EXPECT_EQ(Shown(f), kOnlineLocal) << round;
    EXPECT_EQ(TreeTexts(*f.LeftView()), kLocalTree) << round;
    QTreeWidget* list = f.PageView()->OverviewList();
    ASSERT_EQ(list->topLevelItemCount(), 4);
    EXPECT_EQ(list->topLevelItem(0)->text(0).toStdString(), "Press ram");
    EXPECT_EQ(list->topLevelItem(3)->text(0).toStdString(), "Press ram");
    EXPECT_EQ(f.PageView()->ListedAxes()[3].addr.port, 851);

    f.OnCommand(kCmdLogout);
    EXPECT_EQ(Shown(f), kOfflineLocal) << round;
    EXPECT_EQ(f.LeftView()->topLevelItemCount(), 0);
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_TRUE(f.PageView()->ListedAxes().empty());
  }
}

TEST(MainFrameTest, LogoutWithoutPortKeepsTextsAndStillClearsEverything) {
  QTemporaryDir dir;
  Rig r(true);
  CMainFrame& f = *r.frame;
  r.nextFile = QString::fromStdString(WriteParameterFile(dir));
  f.OnCommand(kCmdOfflineFileMode);
  ASSERT_EQ(PaneText(f, kPaneConnection), "FILE MODE");
  f.LeftView()->AddServer("Server", oxa::OxaAddr{kLocal, 851}, model::LibVersion{3, 0, 35});
  f.PageView()->AddOverviewEntry("Axis", oxa::OxaAddr{kLocal, 851}, 1);

  f.OnCommand(kCmdLogout);
  EXPECT_EQ(PaneText(f, kPaneConnection), "FILE MODE");
  EXPECT_EQ(PaneText(f, kPaneVersion), "File Format 215");
  EXPECT_EQ(f.windowTitle().toStdString(), "Axtune -> OFFLINE");
  EXPECT_EQ(f.LeftView()->topLevelItemCount(), 0);
  EXPECT_EQ(f.PageView()->OverviewList()->topLevelItemCount(), 0);
  EXPECT_FALSE(f.PageView()->bFileMode);
  EXPECT_EQ(f.Doc().params.JogFast, model::ParamRecord{}.JogFast);
  EXPECT_TRUE(f.Doc().bCommStopped);
}

TEST(MainFrameTest, OfflineFileModeLogsOutFirstAndShowsTheFile) {
  QTemporaryDir dir;
  Rig r;
  CMainFrame& f = *r.frame;

  // Cancelled while online: offline, everything cleared.
  f.OnCommand(kCmdLogin);
  r.nextFile.clear();
  f.OnCommand(kCmdOfflineFileMode);
  EXPECT_EQ(r.fileDialogs, 1);
  EXPECT_EQ(Shown(f), kOfflineLocal);
  EXPECT_EQ(f.LeftView()->topLevelItemCount(), 0);
  EXPECT_FALSE(f.PageView()->bFileMode);

  // A file that cannot be opened changes nothing further.
  r.nextFile = dir.filePath(QStringLiteral("missing.dat"));
  f.OnCommand(kCmdOfflineFileMode);
  EXPECT_EQ(Shown(f), kOfflineLocal);
  EXPECT_FALSE(f.PageView()->bFileMode);

  // A format-215 file loaded while online.
  f.OnCommand(kCmdLogin);
  const int before = r.oxa->requests;
  r.nextFile = QString::fromStdString(WriteParameterFile(dir));
  f.OnCommand(kCmdOfflineFileMode);
  EXPECT_EQ(Shown(f),
            (Texts{"", "FILE MODE", "File Format 215", "127.0.0.1.1.1", "Axtune -> OFFLINE"}));
  EXPECT_TRUE(f.PageView()->bFileMode);
  EXPECT_EQ(f.Doc().params.JogFast, 42.5);
  EXPECT_EQ(f.Doc().linkVersions.table[2], 10);
  // Nothing reaches a controller in file mode, not even a jog key.
  f.PageView()->KeyCommand(true, 4);
  f.PageView()->KeyCommand(false, 4);
  for (int i = 0; i < 10; ++i) f.OnTimer();
  EXPECT_EQ(r.oxa->requests, before);

  f.OnCommand(kCmdLogout);
  EXPECT_EQ(PaneText(f, kPaneConnection), "OFFLINE");
  EXPECT_FALSE(f.PageView()->bFileMode);
}

TEST(MainFrameTest, TargetDialogListsRoutesAndAChoiceMovesTheLogin) {
  Rig r;
  CMainFrame& f = *r.frame;

  const std::vector<axlink::TargetEntry> entries = axlink::ReadTargetEntries(*r.oxa);
  CTargetDialog dialog(entries, r.strings);
  ASSERT_EQ(dialog.List()->count(), 3);
  EXPECT_EQ(dialog.List()->itemText(0).toStdString(), "Local");
  EXPECT_EQ(dialog.List()->itemText(1).toStdString(), "Remote_press");
  EXPECT_EQ(dialog.Chosen(), 0);
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Select a target system");

  f.OnCommand(kCmdLogin);
  r.targetChoice = -1;  // Abort
  f.OnCommand(kCmdTarget);
  EXPECT_EQ(r.targetNames, (std::vector<std::string>{"Local", "Remote_press", "Nobody"}));
  EXPECT_EQ(Shown(f), kOnlineLocal);

  r.targetChoice = 1;
  f.OnCommand(kCmdTarget);
  EXPECT_EQ(Shown(f),
            (Texts{"", "ONLINE", "V 3.0 Build 30", "127.0.0.2.1.1", "Axtune -> Remote_press"}));
  EXPECT_EQ(TreeTexts(*f.LeftView()),
            (std::vector<std::string>{"Port 851: Valdor OxaServer#1", "  Lift#10001"}));

  r.targetChoice = 2;  // a system without an axis server
  f.OnCommand(kCmdTarget);
  EXPECT_EQ(PaneText(f, kPaneConnection), "OFFLINE");
  EXPECT_EQ(PaneText(f, kPaneTarget), "10.9.8.7.1.1");
  EXPECT_EQ(f.windowTitle().toStdString(), "Axtune -> OFFLINE");

  r.targetChoice = 0;
  f.OnCommand(kCmdTarget);
  EXPECT_EQ(Shown(f), kOnlineLocal);
}

TEST(MainFrameTest, MenusPerLanguageAndSwitchingChangesCaptionsAtOnce) {
  Rig r;
  CMainFrame& f = *r.frame;
  f.OnCommand(kCmdLogin);
  const std::vector<std::string> english = MenuTexts(f);
  for (const char* caption : {"&File", "&Exit", "S&tatusbar", "&Clear LogBuffer", "&Login",
                              "Log&out", "&Target", "&Offline Filemode", "None", "Activity",
                              "&Enable", "Ref.Flag", "&German", "&English", "&About Axtune..."}) {
    EXPECT_TRUE(Contains(english, caption)) << caption;
  }
  EXPECT_FALSE(Contains(english, "&Chinese"));
  EXPECT_EQ(f.Action(kCmdChinese), nullptr);
  EXPECT_EQ(f.PageView()->tabText(1).toStdString(), "Overview");

  f.OnCommand(kCmdGerman);
  const std::vector<std::string> german = MenuTexts(f);
  for (const char* caption :
       {"&Datei", "&Beenden", "S&tatusleiste", "&Einloggen", "&Ausloggen", "&Offline-Dateimodus",
        "&Sprache", "&Deutsch", "&Englisch", "Inf&o über Axtune...", "&Clear LogBuffer"}) {
    EXPECT_TRUE(Contains(german, caption)) << caption;
  }
  EXPECT_FALSE(Contains(german, "&Chinesisch"));
  EXPECT_EQ(f.Action(kCmdChinese), nullptr);
  EXPECT_EQ(f.PageView()->tabText(1).toStdString(), "Übersicht");
  EXPECT_EQ(Shown(f), kOnlineLocal);

  f.OnCommand(kCmdChinese);
  EXPECT_NE(f.Action(kCmdChinese), nullptr);
  EXPECT_TRUE(Contains(MenuTexts(f), "中文(&C)"));
  EXPECT_EQ(f.PageView()->tabText(1).toStdString(), "概览");
  EXPECT_EQ(Shown(f), kOnlineLocal);

  // The new menu's commands work.
  f.Action(kCmdEnglish)->trigger();
  EXPECT_EQ(f.PageView()->tabText(1).toStdString(), "Overview");
  f.Action(kCmdStatusBar)->trigger();
  EXPECT_TRUE(f.statusBar()->isHidden());
  EXPECT_FALSE(f.Action(kCmdStatusBar)->isChecked());
  f.Action(kCmdStatusBar)->trigger();
  EXPECT_FALSE(f.statusBar()->isHidden());

  // The menus of the languages left behind are gone.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  const qsizetype menus = f.menuBar()->findChildren<QMenu*>().size();
  for (const int command : {kCmdGerman, kCmdEnglish, kCmdGerman}) f.OnCommand(command);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(f.menuBar()->findChildren<QMenu*>().size(), menus);
}

TEST(MainFrameTest, TreeAndOverviewSelectionAndTheDisplayTick) {
  Rig r;
  CMainFrame& f = *r.frame;
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  f.OnCommand(kCmdLogin);
  CLeftView& tree = *f.LeftView();
  auto click = [&](int item, bool twice) {
    QTreeWidgetItem* it = tree.FindItem(item);
    tree.scrollToItem(it);
    const QPoint at = tree.visualItemRect(it).center();
    if (twice) {
      QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, at);
    } else {
      QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, at);
    }
  };

  // A server item changes nothing.
  int requests = r.oxa->requests;
  click(2, false);
  EXPECT_EQ(r.oxa->requests, requests);
  EXPECT_FALSE(f.Doc().bAxisSelected);

  // Two axes named alike: each is read at its own server.
  click(10001, false);
  ASSERT_TRUE(f.Doc().bAxisSelected);
  EXPECT_EQ(f.Doc().axisAddr.port, 802);
  EXPECT_EQ(f.Doc().axisName, "Press ram");
  click(10004, false);
  EXPECT_EQ(f.Doc().axisAddr.port, 851);
  EXPECT_EQ(f.Doc().nAxis, 2);
  EXPECT_FALSE(f.Doc().bCommStopped);

  // Double-clicking the selected axis reads it again and restarts a stopped communication.
  f.Doc().bCommStopped = true;
  requests = r.oxa->requests;
  click(10004, true);
  EXPECT_GT(r.oxa->requests, requests);
  EXPECT_FALSE(f.Doc().bCommStopped);

  // The display tick reads on every fifth timer message only.
  requests = r.oxa->requests;
  for (int i = 0; i < 4; ++i) f.OnTimer();
  EXPECT_EQ(r.oxa->requests, requests);
  f.OnTimer();
  EXPECT_GT(r.oxa->requests, requests);
  EXPECT_TRUE(r.ui.boxes.empty());

  // The overview page fills the rows of the listed axes.
  f.PageView()->setCurrentIndex(1);
  for (int i = 0; i < 5; ++i) f.OnTimer();
  QTreeWidgetItem* row = f.PageView()->OverviewList()->topLevelItem(3);
  EXPECT_EQ(row->text(1).toStdString(), "<");
  EXPECT_THAT(row->text(9).toStdString(), ::testing::MatchesRegex("-[Cc]-[Pp]-[Nn]-"));
  EXPECT_FALSE(row->text(2).trimmed().isEmpty());
  EXPECT_EQ(f.PageView()->OverviewList()->topLevelItem(0)->text(1).toStdString(), " ");

  // Picking a row of the overview list makes its axis current at the next display tick.
  f.PageView()->OverviewList()->setCurrentItem(f.PageView()->OverviewList()->topLevelItem(1));
  EXPECT_EQ(f.Doc().axisName, "Press ram");
  for (int i = 0; i < 5; ++i) f.OnTimer();
  EXPECT_EQ(f.Doc().axisName, "Ejector");
  // All four rows were handled, starting at the picked one.
  EXPECT_EQ(f.PageView()->nOverviewRow, 2);
  EXPECT_EQ(f.PageView()->OverviewList()->topLevelItem(1)->text(1).toStdString(), "<");
}

TEST(MainFrameTest, TheTimerReadsNothingWhileASelectionShowsAnError) {
  Rig r;
  CMainFrame& f = *r.frame;
  f.OnCommand(kCmdLogin);
  f.LeftView()->setCurrentItem(f.LeftView()->FindItem(10001));
  ASSERT_FALSE(f.Doc().bCommStopped);

  // The controller goes away; selecting another axis fails with a box on screen, while the
  // timer keeps running.
  r.direct->Unregister(kLocal);
  std::vector<int> sentWhileOpen;
  r.ui.whileOpen = [&] {
    const int before = r.oxa->requests;
    for (int i = 0; i < 10; ++i) f.OnTimer();
    sentWhileOpen.push_back(r.oxa->requests - before);
  };
  f.LeftView()->setCurrentItem(f.LeftView()->FindItem(10002));
  ASSERT_FALSE(r.ui.boxes.empty());
  EXPECT_EQ(sentWhileOpen, std::vector<int>(r.ui.boxes.size(), 0));
  EXPECT_FALSE(f.PageView()->bRefreshBusy);
  EXPECT_EQ(f.Doc().axisName, "Press ram");
}

TEST(MainFrameTest, TheHelpMenuShowsTheUserGuideWithItsScreenshots) {
  Rig r;
  CMainFrame& f = *r.frame;
  ASSERT_NE(f.Action(kCmdUserGuide), nullptr);
  EXPECT_EQ(f.Action(kCmdUserGuide)->text().toStdString(), "&User guide");
  f.Action(kCmdUserGuide)->trigger();
  CGuideWindow* guide = CGuideWindow::Of(&f);
  ASSERT_NE(guide, nullptr) << "guide.md not found in "
                            << CGuideWindow::Places().join(' ').toStdString();
  EXPECT_TRUE(guide->isVisible());
  EXPECT_EQ(guide->windowTitle().toStdString(), "Axtune user guide");
  QTextDocument* doc = guide->Browser()->document();
  EXPECT_TRUE(doc->toPlainText().contains(QStringLiteral("Change a parameter and download it")));
  // Its screenshots load: an image of the document resolves to a picture.
  const QVariant shot = doc->resource(QTextDocument::ImageResource,
                                      QUrl(QStringLiteral("screenshots/page00-common-768.png")));
  const QImage image = shot.typeId() == QMetaType::QByteArray ? QImage::fromData(shot.toByteArray())
                                                              : shot.value<QImage>();
  EXPECT_FALSE(image.isNull());
  // A second trigger shows the same window again.
  guide->hide();
  f.Action(kCmdUserGuide)->trigger();
  EXPECT_EQ(CGuideWindow::Of(&f), guide);
  EXPECT_TRUE(guide->isVisible());
}

// The About box, the journal and the open-file dialog leave the link alone: the display tick goes
// on behind them. A command that talks to the controller still holds it off while its box is open.
TEST(MainFrameTest, LiveValuesMoveOnBehindDialogsThatLeaveTheLinkAlone) {
  Rig r;
  CMainFrame& f = *r.frame;
  f.OnCommand(kCmdLogin);
  f.LeftView()->setCurrentItem(f.LeftView()->FindItem(10003));
  f.PageView()->setCurrentIndex(pages::kPageOnline);
  auto* actualPos = qobject_cast<QLineEdit*>(
      f.PageView()->ValueControl(pages::kPageOnline, pages::layout::ValueId::ActualPos));
  ASSERT_NE(actualPos, nullptr);
  std::string shownWhileOpen;
  auto tick = [&] {
    actualPos->clear();
    for (int i = 0; i < pages::kTicksPerRefresh; ++i) f.OnTimer();
    shownWhileOpen = actualPos->text().toStdString();
  };

  r.direct->Unregister(kLocal);
  r.ui.whileOpen = tick;
  f.OnCommand(kCmdLogLevelActivity);
  ASSERT_EQ(r.ui.boxes.size(), 1u);
  EXPECT_EQ(shownWhileOpen, "");
  r.direct->Register(kLocal, r.local->Ctrl());

  r.whileFileDialog = tick;
  for (const int command : {kCmdAbout, kCmdJournal, kCmdOfflineFileMode}) {
    shownWhileOpen.clear();
    if (command != kCmdOfflineFileMode) {
      QTimer::singleShot(0, &f, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr) return;
        tick();
        dialog->close();
      });
    }
    f.OnCommand(command);
    EXPECT_THAT(shownWhileOpen, ::testing::MatchesRegex("-?[0-9]+\\.[0-9]{6}")) << command;
  }
  EXPECT_EQ(r.ui.boxes.size(), 1u);
}

}  // namespace
}  // namespace apptest
