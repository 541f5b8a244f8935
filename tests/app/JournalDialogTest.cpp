// File > Journal: what the window sent, newest first, with the route the user chose, filtered by
// controller and axis, exported as CSV.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QTreeWidget>

#include "AppRig.h"
#include "app/JournalDialog.h"
#include "app/MenuIds.h"

namespace apptest {
namespace {

TEST(JournalDialogTest, ListsNewestFirstAndExportsWhatTheFiltersShow) {
  Rig r;
  CMainFrame& f = *r.frame;
  f.OnCommand(kCmdLogin);
  f.LeftView()->setCurrentItem(f.LeftView()->FindItem(10001));
  ASSERT_FALSE(f.Doc().bCommStopped);
  f.OnCommand(kCmdLogLevelWarnings);
  f.Doc().WriteParamNoReal(55.0, 1900);

  r.targetChoice = 1;  // "Remote_press"
  f.OnCommand(kCmdTarget);
  f.LeftView()->setCurrentItem(f.LeftView()->FindItem(10001));
  ASSERT_FALSE(f.Doc().bCommStopped);
  f.OnCommand(kCmdRefFlagSet);
  f.OnTimer();  // writes the result of the last request

  CJournalDialog d(r.journalDir.path().toStdString(), r.strings);
  ASSERT_EQ(d.List()->topLevelItemCount(), 3);
  QTreeWidgetItem* newest = d.List()->topLevelItem(0);
  EXPECT_EQ(newest->text(2).toStdString(), "Remote_press (127.0.0.2.1.1)");
  EXPECT_EQ(newest->text(5).toStdString(), "1116 ReferenceFlag");
  EXPECT_EQ(newest->text(7).toStdString(), "1");
  EXPECT_EQ(newest->text(8).toStdString(), "OK");
  EXPECT_EQ(d.List()->topLevelItem(1)->text(5).toStdString(), "1900 JogFast");
  EXPECT_TRUE(d.WarningLabel()->text().isEmpty());

  // Controller filter: "(all)", then the local system and the route, by name.
  ASSERT_EQ(d.ControllerFilter()->count(), 3);
  d.ControllerFilter()->setCurrentIndex(1);
  EXPECT_EQ(d.ControllerFilter()->currentText().toStdString(), "Local (127.0.0.1.1.1)");
  EXPECT_EQ(d.List()->topLevelItemCount(), 2);
  d.FromDate()->setDate(QDate::currentDate().addDays(1));
  EXPECT_EQ(d.List()->topLevelItemCount(), 0);
  d.FromDate()->setDate(QDate::currentDate());

  const QString csv = r.journalDir.filePath(QStringLiteral("out.csv"));
  ASSERT_TRUE(d.ExportCsv(csv));
  QFile file(csv);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QList<QByteArray> rows = file.readAll().split('\n');
  ASSERT_EQ(rows.size(), 4);  // header, two entries, and the empty piece after the last CRLF
  EXPECT_TRUE(rows[1].contains(",Local,") && rows[1].contains("JogFast,"));
  EXPECT_TRUE(rows[2].contains("LogLevel,,2,"));
}

}  // namespace
}  // namespace apptest
