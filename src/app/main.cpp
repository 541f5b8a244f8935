// Axtune: the main window on the Oxa transport that the route file describes.
//
// Beside the standard Qt options there are options for rendering the window without a user:
// --screenshot FILE logs in (--login), selects the axis named by --select, switches the
// language (--language de|en|zh), waits --wait ms for the display ticks and saves the window.
// --trend opens the trend recorder and records the selected axis; each --trend-kp K then sets
// LagKp to K and moves the axis to --trend-to at --trend-velocity and back, before the wait; the
// screenshot is then of the recorder's own window.
#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "AxtuneVersion.h"
#include "app/MainFrame.h"
#include "app/MenuIds.h"
#include "app/StartupWarnings.h"
#include "app/TrendDock.h"
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
  parser.addOptions({screenshot, login, select, language, page, wait, noJournal, trend, trendKp,
                     trendTo, trendVelocity});
  parser.process(app);

  i18n::StringTable strings(i18n::LanguageForLocale(QLocale::system().name().toStdString()));
  oxa::OxaTcpClient client;
  FrameHooks hooks;
  hooks.noJournal = parser.isSet(noJournal);
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
    if (run.gains.empty()) {
      shoot();
    } else {
      StartTuningRun(frame, run, shoot);
    }
  } else if (!run.gains.empty()) {
    StartTuningRun(frame, run, [] {});
  }
  return QApplication::exec();
}
