// Axtune: the main window on the Oxa transport that the route file describes.
//
// Beside the standard Qt options there are options for rendering the window without a user:
// --screenshot FILE logs in (--login), selects the axis named by --select, switches the
// language (--language de|en|zh), waits --wait ms for the display ticks and saves the window.
// --trend opens the trend recorder and records the selected axis; each --trend-kp K then sets
// LagKp to K and moves the axis to --trend-to at --trend-velocity and back, before the wait; the
// screenshot is then of the recorder's own window. --tune opens Online > Tune axis after the wait,
// runs it with the limits it proposes and saves the proposal page as the screenshot, the pages of
// the limits and the runs beside it (FILE with "-limits" and "-runs" before its suffix), and the
// proposal page after Apply with the test move before and after it ("-verify").
#include <QApplication>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <functional>

#include "AxtuneVersion.h"
#include "app/MainFrame.h"
#include "app/MenuIds.h"
#include "app/StartupWarnings.h"
#include "app/TrendDock.h"
#include "app/TuneDialog.h"
#include "app/TuningRun.h"
#include "oxa/OxaTcpClient.h"

namespace {

int LanguageCommand(const QString& name) {
  if (name == QLatin1String("de")) return kCmdGerman;
  if (name == QLatin1String("zh")) return kCmdChinese;
  if (name == QLatin1String("en")) return kCmdEnglish;
  return 0;
}

void SelectAxisByName(CMainFrame& frame, const QString& name) {
  const QList<QTreeWidgetItem*> found =
      frame.LeftView()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
  for (QTreeWidgetItem* item : found) {
    if (!item->parent()) continue;
    frame.LeftView()->setCurrentItem(item);
    return;
  }
}

// `file` with `tag` before its suffix.
QString Beside(const QString& file, const char* tag) {
  const QFileInfo info(file);
  return info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('-') +
         QLatin1String(tag) + QLatin1Char('.') + info.suffix();
}

// Runs the event loop until `done`.
void WaitUntil(const std::function<bool()>& done) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  poll.start(100);
  loop.exec();
}

// Saves the page of the limits beside `file`, runs the dialog with them, then saves its proposal
// page to `file`, the page of the runs beside it, and the proposal page after Apply; false when a
// picture could not be saved.
bool ShootTuneDialog(TuneDialog& dialog, const QString& file) {
  dialog.show();
  QCoreApplication::processEvents();
  const bool limitsSaved = dialog.grab().save(Beside(file, "limits"), "PNG");
  if (dialog.StartRun()) WaitUntil([&dialog] { return dialog.Ended(); });
  // The plot and the table laid out at their size before they are grabbed.
  QCoreApplication::processEvents();
  dialog.Pages()->setCurrentIndex(TuneDialog::kRunsPage);
  QCoreApplication::processEvents();
  const bool runsSaved = dialog.grab().save(Beside(file, "runs"), "PNG");
  dialog.Pages()->setCurrentIndex(TuneDialog::kProposalPage);
  QCoreApplication::processEvents();
  const bool proposalSaved = dialog.grab().save(file, "PNG");
  dialog.ApplyChecked();
  if (dialog.Running()) WaitUntil([&dialog] { return !dialog.Running(); });
  QCoreApplication::processEvents();
  return dialog.grab().save(Beside(file, "verify"), "PNG") && proposalSaved && runsSaved &&
         limitsSaved;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Axtune"));
  QApplication::setApplicationVersion(QStringLiteral(AXTUNE_VERSION));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Commission and tune Valdor positioning axes over Oxa."));
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption noJournal(
      QStringLiteral("no-journal"),
      QStringLiteral("Write nothing to the commissioning journal (for scripted test rigs)."));
  QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                QStringLiteral("Render the window into FILE (PNG) and exit."),
                                QStringLiteral("FILE"));
  QCommandLineOption login(QStringLiteral("login"), QStringLiteral("Log in at start."));
  QCommandLineOption select(QStringLiteral("select"), QStringLiteral("Select the axis NAME."),
                            QStringLiteral("NAME"));
  QCommandLineOption language(QStringLiteral("language"),
                              QStringLiteral("Switch to de, en or zh at start."),
                              QStringLiteral("LANG"));
  QCommandLineOption page(QStringLiteral("page"), QStringLiteral("Show page N (0 to 11)."),
                          QStringLiteral("N"));
  QCommandLineOption wait(QStringLiteral("wait"),
                          QStringLiteral("Milliseconds before the screenshot (default 1500)."),
                          QStringLiteral("MS"), QStringLiteral("1500"));
  QCommandLineOption trend(QStringLiteral("trend"),
                           QStringLiteral("Open the trend recorder and record the axis."));
  QCommandLineOption trendKp(QStringLiteral("trend-kp"),
                             QStringLiteral("Set LagKp to K, move out and back (repeatable)."),
                             QStringLiteral("K"));
  QCommandLineOption trendTo(QStringLiteral("trend-to"),
                             QStringLiteral("Position of the --trend-kp moves (mm)."),
                             QStringLiteral("MM"), QStringLiteral("300"));
  QCommandLineOption trendVelocity(QStringLiteral("trend-velocity"),
                                   QStringLiteral("Velocity of the --trend-kp moves (mm/s)."),
                                   QStringLiteral("MM/S"), QStringLiteral("200"));
  QCommandLineOption tune(QStringLiteral("tune"),
                          QStringLiteral("With --screenshot: tune the selected axis within the "
                                         "limits the dialog proposes."));
  parser.addOptions({screenshot, login, select, language, page, wait, noJournal, trend, trendKp,
                     trendTo, trendVelocity, tune});
  parser.process(app);

  i18n::StringTable strings(i18n::LanguageForLocale(QLocale::system().name().toStdString()));
  oxa::OxaTcpClient client;
  FrameHooks hooks;
  hooks.noJournal = parser.isSet(noJournal);
  bool tuneShot = false;
  if (parser.isSet(tune) && parser.isSet(screenshot)) {
    hooks.tuneDialog = [&tuneShot, file = parser.value(screenshot)](TuneDialog& dialog) {
      tuneShot = ShootTuneDialog(dialog, file);
    };
  }
  CMainFrame frame(client, strings, std::move(hooks));
  if (!frame.PageView()->Created()) {
    std::fprintf(stderr, "axtune: the page view could not be created\n");
    return 1;
  }
  ShowStartupWarnings(*frame.MessagePane(), RouteWarningTexts(client.RouteWarnings(), strings),
                      strings);
  frame.show();

  if (const int command = LanguageCommand(parser.value(language))) {
    // The Chinese menu is the only way to Chinese; the command itself works from any language.
    frame.OnCommand(command);
  }
  if (parser.isSet(login)) frame.OnCommand(kCmdLogin);
  if (parser.isSet(select)) SelectAxisByName(frame, parser.value(select));
  if (parser.isSet(page)) {
    bool ok = false;
    const int n = parser.value(page).toInt(&ok);
    if (ok && n >= 0 && n < pages::kPageCount) frame.PageView()->setCurrentIndex(n);
  }
  TuningRun run;
  if (parser.isSet(trend)) {
    frame.OnCommand(kCmdTrendRecorder);
    frame.Trend()->StartRecording();
    for (const QString& k : parser.values(trendKp)) run.gains.push_back(k.toDouble());
    run.to = parser.value(trendTo).toDouble();
    run.velocity = parser.value(trendVelocity).toDouble();
  }
  if (parser.isSet(screenshot)) {
    bool ok = false;
    int ms = parser.value(wait).toInt(&ok);
    if (!ok || ms < 0) ms = 1500;
    const QString file = parser.value(screenshot);
    // The trend recorder in its own window is the picture itself.
    QWidget* shown = &frame;
    if (parser.isSet(trend) && frame.Trend()->isFloating()) shown = frame.Trend();
    auto shoot = [&frame, shown, file, ms] {
      QTimer::singleShot(ms, &frame, [shown, file] {
        const bool saved = shown->grab().save(file, "PNG");
        QApplication::exit(saved ? 0 : 1);
      });
    };
    if (parser.isSet(tune)) {
      QTimer::singleShot(ms, &frame, [&frame, &tuneShot] {
        frame.OnCommand(kCmdTuneAxis);
        QApplication::exit(tuneShot ? 0 : 1);
      });
    } else if (run.gains.empty()) {
      shoot();
    } else {
      StartTuningRun(frame, run, shoot);
    }
  } else if (!run.gains.empty()) {
    StartTuningRun(frame, run, [] {});
  }
  return QApplication::exec();
}
