#include "app/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <cstdio>

#include "app/Dialogs.h"
#include "app/FunctionKeyFilter.h"
#include "app/GuideWindow.h"
#include "app/LoginProgressDialog.h"
#include "app/MenuIds.h"
#include "app/QtDocUi.h"
#include "app/Texts.h"
#include "app/TrendDock.h"
#include "app/TuneDialog.h"
#include "link/Select.h"
#include "oxa/OxaTcpClient.h"

namespace {

constexpr const char* kNoAddressText = "---.---.---.---.--.--";
constexpr const char* kFileModeText = "FILE MODE";
constexpr const char* kUnsavedText = "UNSAVED";
constexpr const char* kParameterFileFilter = "Parameter Dateien (*.dat)";

// Status pane sample texts: the widths are measured from these. The connection pane takes the
// width of "FILE MODE", the widest of its texts, rather than of "OFFLINE", which would cut it.
struct PaneDef {
  int id;
  const char* sample;
};
constexpr PaneDef kPanes[] = {{kPaneFileState, "UNSAVED"},
                              {kPaneConnection, kFileModeText},
                              {kPaneVersion, "V 12.123 Build 1234"},
                              {kPaneTarget, "123.123.123.123.123.123"}};

// Commands that show a dialog and send nothing while it is open: the About box, the journal, and
// the offline file mode, which logs out before its open-file dialog and reads only the file after
// it.
bool LeavesTheLinkAlone(int command) {
  return command == kCmdAbout || command == kCmdJournal || command == kCmdOfflineFileMode;
}

}  // namespace

// The login's lists: servers and axes into the tree, listed axes into the overview list.
class CMainFrame::Lists final : public axlink::IAxisListSink {
 public:
  Lists(CLeftView& left, pages::CAxtuneView& view) : left_(left), view_(view) {}
  void Clear() override {
    left_.ClearTree();
    view_.ClearForLogout();
  }
  int AddServer(std::string_view caption, const oxa::OxaAddr& addr,
                const model::LibVersion& lib) override {
    return left_.AddServer(caption, addr, lib);
  }
  int AddAxis(int serverItem, std::string_view name, uint16_t number,
              const model::LibVersion& lib) override {
    return left_.AddAxis(serverItem, name, number, lib);
  }
  void AddOverviewEntry(std::string_view name, const oxa::OxaAddr& addr, uint16_t number) override {
    view_.AddOverviewEntry(name, addr, number);
  }
  void SetServerVersions(int serverItem, const model::RecordVersionTable& table) override {
    left_.SetServerVersions(serverItem, table);
  }

 private:
  CLeftView& left_;
  pages::CAxtuneView& view_;
};

CMainFrame::CMainFrame(oxa::IOxa& oxa, i18n::StringTable& strings, FrameHooks hooks)
    : oxa_(oxa), strings_(strings), hooks_(std::move(hooks)) {
  axlink::IDocUi* ui = hooks_.ui;
  if (!ui) {
    ownUi_ = std::make_unique<QtDocUi>(this, Text(strings_, kTextAppTitle));
    ui = ownUi_.get();
  }
  doc_ = std::make_unique<CAxtuneDoc>(oxa_, *ui, strings_);
  journal_ = std::make_unique<CJournalHook>(*doc_, strings_, hooks_.journalDir, !hooks_.noJournal);

  BuildStatusBar();
  BuildMenus();

  timer_.setInterval(kTimerPeriodMs);
  timer_.setTimerType(Qt::CoarseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] { OnTimer(); });
  timer_.start();
  setWindowTitle(QString::fromLatin1(axlink::kTitleOffline.data(),
                                     static_cast<qsizetype>(axlink::kTitleOffline.size())));

  splitter_ = new QSplitter(Qt::Horizontal, this);
  left_ = new CLeftView(
      [this](const axlink::AxisTarget& target) {
        view_->RunExclusive([&] { doc_->SelectAxis(target, pages::kAllPages); });
      },
      splitter_);
  view_ = new pages::CAxtuneView(*doc_, strings_, splitter_);
  splitter_->addWidget(left_);
  splitter_->addWidget(view_);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({220, view_->sizeHint().width()});
  setCentralWidget(splitter_);
  lists_ = std::make_unique<Lists>(*left_, *view_);
  view_->SetTargetResolver([this](const axlink::OverviewEntry& e) {
    return axlink::FindAxisTarget(left_->Lists(), e.addr, e.number);
  });
  if (ownUi_) ownUi_->SetRedisplay([this] { view_->RequestRedisplay(); });

  QSettings* settings = hooks_.settings;
  if (!settings) {
    ownSettings_ = std::make_unique<QSettings>(QStringLiteral("Axtune"), QStringLiteral("Axtune"));
    settings = ownSettings_.get();
  }
  if (!hooks_.recorderOxa) {
    hooks_.recorderOxa = [] { return std::make_unique<oxa::OxaTcpClient>(); };
  }
  trend_ = new TrendDock(
      *doc_, strings_, hooks_.recorderOxa, trendClock_, *settings,
      [this](const std::function<void()>& work) { view_->RunExclusive(work); }, this);
  addDockWidget(Qt::BottomDockWidgetArea, trend_);
  trend_->SetTuneAction(Action(kCmdTuneAxis));
  trend_->hide();
  connect(trend_, &QDockWidget::visibilityChanged, this, [this](bool) {
    if (QAction* a = Action(kCmdTrendRecorder)) a->setChecked(!trend_->isHidden());
  });

  keyFilter_ = new FunctionKeyFilter(*this, view_);
  qApp->installEventFilter(keyFilter_);

  portHandle_ = oxa_.OxaPortOpen();
  oxa::OxaAddr local;
  if (portHandle_ != 0) oxa_.OxaSyncSetTimeout(kRequestTimeoutMs);
  if (portHandle_ != 0 && oxa_.OxaGetLocalAddress(&local) == oxa::kOk) {
    target_ = local.netId;
    targetText_ = target_.ToString();
  } else {
    target_ = oxa::NetId{};
    targetText_ = kNoAddressText;
  }
  fileState_.clear();
  status_ = axlink::FrameStatus{};
  targetTitle_ = std::string(axlink::kTitleLocal);
  doc_->ResetDocument();
  UpdateStatus();
  // The page view at its design size, as far as the screen allows.
  QSize size(220 + splitter_->handleWidth() + view_->sizeHint().width(),
             menuBar()->sizeHint().height() + view_->sizeHint().height() +
                 statusBar()->sizeHint().height());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    size = size.boundedTo(screen->availableGeometry().size());
  }
  resize(size);
}

CMainFrame::~CMainFrame() {
  timer_.stop();
  // The recorder observes the document: it goes first.
  delete trend_;
  trend_ = nullptr;
  if (keyFilter_) qApp->removeEventFilter(keyFilter_);
  if (portHandle_ != 0) oxa_.OxaPortClose();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  timer_.stop();
  QMainWindow::closeEvent(event);
}

void CMainFrame::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(true);
  messagePane_ = new QLabel(Text(strings_, kTextReady), bar);
  bar->addWidget(messagePane_, 1);
  const QFontMetrics metrics(font());
  for (const PaneDef& p : kPanes) {
    auto* pane = new QLabel(bar);
    pane->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pane->setAlignment(Qt::AlignCenter);
    const int margins = 2 * pane->frameWidth() + 2 * pane->margin() + 6;
    pane->setFixedWidth(metrics.horizontalAdvance(QString::fromLatin1(p.sample)) + margins);
    bar->addPermanentWidget(pane);
    panes_[p.id] = pane;
  }
  // The lock indicators: their states are not known portably, so they stay greyed.
  for (uint32_t id : {kTextCapsLock, kTextNumLock, kTextScrollLock}) {
    auto* indicator = new QLabel(Text(strings_, id), bar);
    indicator->setEnabled(false);
    bar->addPermanentWidget(indicator);
  }
}

void CMainFrame::BuildMenus() {
  QMenuBar* bar = menuBar();
  // The menus of the previous language go with their submenus and actions, once the command that
  // switched the language (one of their actions) has returned.
  for (QAction* top : bar->actions()) {
    if (QMenu* menu = top->menu()) menu->deleteLater();
  }
  bar->clear();
  actions_.clear();
  auto add = [this](QMenu* menu, int command) {
    QAction* action = menu->addAction(Text(strings_, FindCommand(command)->textId));
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    actions_[command] = action;
    return action;
  };

  QMenu* file = bar->addMenu(Text(strings_, 36000));
  file->setSeparatorsCollapsible(false);
  add(file, kCmdJournal);
  file->addSeparator();
  add(file, kCmdExit);

  QMenu* view = bar->addMenu(Text(strings_, 36002));
  QAction* statusToggle = add(view, kCmdStatusBar);
  statusToggle->setCheckable(true);
  statusToggle->setChecked(!statusBar()->isHidden());
  add(view, kCmdClearLogBuffer);
  QAction* trendToggle = add(view, kCmdTrendRecorder);
  trendToggle->setCheckable(true);
  trendToggle->setChecked(trend_ && !trend_->isHidden());

  QMenu* online = bar->addMenu(Text(strings_, 36005));
  add(online, kCmdLogin);
  add(online, kCmdLogout);
  add(online, kCmdTarget);
  add(online, kCmdOfflineFileMode);
  online->addSeparator();
  add(online, kCmdTuneAxis);
  if (trend_) trend_->SetTuneAction(Action(kCmdTuneAxis));
  UpdateTuneAction();
  online->addSeparator();
  QMenu* settings = online->addMenu(Text(strings_, 36010));
  QMenu* level = settings->addMenu(Text(strings_, 36011));
  add(level, kCmdLogLevelNone);
  add(level, kCmdLogLevelErrors);
  add(level, kCmdLogLevelWarnings);
  add(level, kCmdLogLevelActivity);
  QMenu* latch = settings->addMenu(Text(strings_, 36016));
  add(latch, kCmdLatchEnable);
  add(latch, kCmdLatchDisable);
  QMenu* refFlag = settings->addMenu(Text(strings_, 36019));
  add(refFlag, kCmdRefFlagSet);
  add(refFlag, kCmdRefFlagReset);

  QMenu* options = bar->addMenu(Text(strings_, 36022));
  QMenu* language = options->addMenu(Text(strings_, 36023));
  add(language, kCmdGerman);
  add(language, kCmdEnglish);
  // Switching to Chinese is offered only by the Chinese menu.
  if (strings_.Language() == i18n::kChinese) add(language, kCmdChinese);

  QMenu* help = bar->addMenu(Text(strings_, 36027));
  add(help, kCmdUserGuide);
  add(help, kCmdAbout);
}

QAction* CMainFrame::Action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

QLabel* CMainFrame::Pane(int id) const {
  auto it = panes_.find(id);
  return it == panes_.end() ? nullptr : it->second;
}

void CMainFrame::UpdateStatus() {
  Pane(kPaneFileState)->setText(QString::fromStdString(fileState_));
  Pane(kPaneConnection)->setText(QString::fromStdString(status_.connection));
  Pane(kPaneVersion)->setText(QString::fromStdString(status_.versionText));
  Pane(kPaneTarget)->setText(QString::fromStdString(targetText_));
  setWindowTitle(FromController(status_.windowTitle));
  UpdateTuneAction();
}

void CMainFrame::UpdateTuneAction() {
  QAction* a = Action(kCmdTuneAxis);
  if (a && view_) a->setEnabled(TuneAllowed());
}

bool CMainFrame::TuneAllowed() const {
  return doc_->bAxisSelected && !doc_->bCommStopped && !view_->bFileMode;
}

void CMainFrame::TuneAxis() {
  if (!TuneAllowed()) return;
  // The runs have the document to themselves on their own thread: no display tick, no journal
  // flush, no function key and no recorder reads it meanwhile.
  const bool ticking = timer_.isActive();
  timer_.stop();
  keyFilter_->SetTarget(nullptr);
  trend_->HoldDocument(true);
  {
    TuneDialog dialog(*doc_, strings_, hooks_.recorderOxa, trendClock_, this);
    if (hooks_.tuneDialog) {
      hooks_.tuneDialog(dialog);
    } else {
      dialog.exec();
    }
  }
  trend_->HoldDocument(false);
  keyFilter_->SetTarget(view_);
  view_->RequestRedisplay();
  if (ticking) timer_.start();
}

void CMainFrame::OnTimer() {
  keyFilter_->OnTimer();
  view_->RefreshPages();
  journal_->Flush();
  fileState_ = view_->bUnsavedShown ? kUnsavedText : "";
  UpdateStatus();
}

axlink::LoginEnv CMainFrame::Env() {
  axlink::LoginEnv env;
  env.oxa = &oxa_;
  env.portHandle = portHandle_;
  env.target = target_;
  env.targetTitle = targetTitle_;
  env.lists = lists_.get();
  env.document = doc_.get();
  env.status = &status_;
  return env;
}

void CMainFrame::Logout() {
  axlink::Logout(Env());
  // Nothing is recorded once the axis is gone: the login, a target change and the file mode all
  // begin here.
  trend_->FollowCurrentAxis();
  UpdateStatus();
}

void CMainFrame::Login() {
  // The scan has the Oxa connection to itself: no display tick reads while it runs.
  const bool ticking = timer_.isActive();
  timer_.stop();
  Logout();
  axlink::LoginJob job(oxa_, portHandle_, target_, targetTitle_);
  RunLogin(job, strings_, target_, this);
  job.Apply(Env());
  UpdateStatus();
  if (ticking) timer_.start();
}

void CMainFrame::SelectTarget() {
  const std::vector<axlink::TargetEntry> entries = axlink::ReadTargetEntries(oxa_);
  if (entries.empty()) return;
  int chosen = -1;
  if (hooks_.chooseTarget) {
    chosen = hooks_.chooseTarget(entries);
  } else {
    CTargetDialog dialog(entries, strings_, this);
    if (dialog.exec() == QDialog::Accepted) chosen = dialog.Chosen();
  }
  if (chosen < 0) return;
  std::optional<axlink::TargetChoice> choice =
      axlink::ChooseTarget(entries, static_cast<size_t>(chosen));
  if (!choice) return;
  Logout();
  journal_->SetRoute(entries[static_cast<size_t>(chosen)].name);
  target_ = choice->netId;
  targetText_ = choice->addressText;
  targetTitle_ = choice->title;
  Login();
}

void CMainFrame::OfflineFileMode() {
  Logout();
  QString path;
  if (hooks_.openParameterFile) {
    path = hooks_.openParameterFile();
  } else {
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QStringLiteral("dat"));
    dialog.setNameFilter(QString::fromLatin1(kParameterFileFilter));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
      path = dialog.selectedFiles().front();
    }
  }
  if (path.isEmpty()) return;
  if (!view_->LoadParameterFile(QFile::encodeName(path).toStdString())) return;
  status_.connection = kFileModeText;
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "File Format %d", view_->nFileFormat);
  status_.versionText = text.data();
  UpdateStatus();
}

void CMainFrame::SwitchLanguage(uint16_t language) {
  strings_.SetLanguage(language);
  BuildMenus();
  view_->SetPageTexts();
  trend_->SetTexts();
}

void CMainFrame::OnCommand(int id) {
  // A command that talks to the controller holds the display tick off, so that a box it shows
  // does not let the timer read meanwhile; behind a dialog that leaves the link alone the live
  // values go on moving.
  if (LeavesTheLinkAlone(id)) {
    RunCommand(id);
  } else {
    view_->RunExclusive([&] { RunCommand(id); });
  }
}

const CMainFrame::Command CMainFrame::kCommands[] = {
    {kCmdJournal, 37300,
     [](CMainFrame& f) { f.journal_->ShowDialog(&f, f.hooks_.chooseJournalExport); }},
    {kCmdExit, 36001, [](CMainFrame& f) { f.close(); }},
    {kCmdStatusBar, 36003, [](CMainFrame& f) { f.ToggleStatusBar(); }},
    {kCmdClearLogBuffer, 36004, [](CMainFrame& f) { f.doc_->ClearMessageLog(); }},
    {kCmdTrendRecorder, 37000, [](CMainFrame& f) { f.ToggleTrendRecorder(); }},
    {kCmdLogin, 36006, [](CMainFrame& f) { f.Login(); }},
    {kCmdLogout, 36007, [](CMainFrame& f) { f.Logout(); }},
    {kCmdTarget, 36008, [](CMainFrame& f) { f.SelectTarget(); }},
    {kCmdOfflineFileMode, 36009, [](CMainFrame& f) { f.OfflineFileMode(); }},
    {kCmdLogLevelNone, 36012, [](CMainFrame& f) { f.doc_->SetLogLevel(0); }},
    {kCmdLogLevelErrors, 36013, [](CMainFrame& f) { f.doc_->SetLogLevel(1); }},
    {kCmdLogLevelWarnings, 36014, [](CMainFrame& f) { f.doc_->SetLogLevel(2); }},
    {kCmdLogLevelActivity, 36015, [](CMainFrame& f) { f.doc_->SetLogLevel(3); }},
    {kCmdLatchEnable, 36017, [](CMainFrame& f) { f.doc_->SetLatch(true); }},
    {kCmdLatchDisable, 36018, [](CMainFrame& f) { f.doc_->SetLatch(false); }},
    {kCmdRefFlagSet, 36020, [](CMainFrame& f) { f.doc_->SetReferenceFlag(true); }},
    {kCmdRefFlagReset, 36021, [](CMainFrame& f) { f.doc_->SetReferenceFlag(false); }},
    {kCmdGerman, 36024, [](CMainFrame& f) { f.SwitchLanguage(i18n::kGerman); }},
    {kCmdEnglish, 36025, [](CMainFrame& f) { f.SwitchLanguage(i18n::kEnglish); }},
    {kCmdChinese, 36026, [](CMainFrame& f) { f.SwitchLanguage(i18n::kChinese); }},
    {kCmdTuneAxis, 37400, [](CMainFrame& f) { f.TuneAxis(); }},
    {kCmdUserGuide, 37800, [](CMainFrame& f) { CGuideWindow::Show(&f, f.strings_); }},
    {kCmdAbout, 36028, [](CMainFrame& f) { f.ShowAbout(); }},
};

const CMainFrame::Command* CMainFrame::FindCommand(int id) {
  for (const Command& c : kCommands) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

void CMainFrame::RunCommand(int id) {
  if (const Command* c = FindCommand(id)) c->run(*this);
}

void CMainFrame::ToggleStatusBar() {
  statusBar()->setHidden(!statusBar()->isHidden());
  if (QAction* a = Action(kCmdStatusBar)) a->setChecked(!statusBar()->isHidden());
}

void CMainFrame::ToggleTrendRecorder() {
  if (trend_->isHidden()) {
    trend_->Open(*this);
  } else {
    trend_->hide();
  }
  if (QAction* a = Action(kCmdTrendRecorder)) a->setChecked(!trend_->isHidden());
}

void CMainFrame::ShowAbout() {
  CAboutDialog about(strings_, this);
  about.exec();
}
