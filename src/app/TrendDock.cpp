#include "app/TrendDock.h"

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <fstream>

#include "app/Texts.h"
#include "link/Commands.h"
#include "trend/TrendCsv.h"

namespace {

// Settings keys.
const QString kKeyChannels = QStringLiteral("trend/channels");
const QString kKeyRate = QStringLiteral("trend/rate");
const QString kKeyBuffer = QStringLiteral("trend/bufferMinutes");
const QString kKeyPosition = QStringLiteral("trend/testPosition");
const QString kKeyVelocity = QStringLiteral("trend/testVelocity");
const QString kKeyDocked = QStringLiteral("trend/docked");
const QString kKeyWindow = QStringLiteral("trend/window");

constexpr int kDefaultBufferMinutes = 10;
constexpr int kMaxBufferMinutes = 600;
// The plot shows this much before a move chosen in the figure table (s).
constexpr double kMoveMargin = 0.2;

// Text IDs of the dock.
constexpr uint32_t kTextTitle = 37001;
constexpr uint32_t kTextRecord = 37010, kTextStop = 37011, kTextArm = 37012;
constexpr uint32_t kTextPause = 37013, kTextResume = 37014, kTextAutoscale = 37015;
constexpr uint32_t kTextCursors = 37016, kTextChannels = 37017, kTextExport = 37018;
constexpr uint32_t kTextExportVisible = 37019, kTextExportAll = 37020, kTextExportPng = 37021;
constexpr uint32_t kTextOpen = 37022, kTextRate = 37023, kTextBuffer = 37024;
constexpr uint32_t kTextStatus = 37025, kTextNoAxis = 37026, kTextPortFailed = 37027;
constexpr uint32_t kTextLastError = 37028, kTextArmTip = 37029;
constexpr uint32_t kTextTestMove = 37030, kTextPosition = 37031, kTextVelocity = 37032;
constexpr uint32_t kTextStart = 37033;
constexpr uint32_t kTextChannel = 37040, kTextTime = 37041;
constexpr uint32_t kTextMove = 37050, kTextYes = 37061, kTextNo = 37062;
constexpr uint32_t kTextCsvFilter = 37070, kTextPngFilter = 37071;
constexpr uint32_t kTextNotWritten = 37072, kTextNotRead = 37073, kTextSkipped = 37074;
constexpr uint32_t kTextAxisLeft = 37075;
// Rows of the figure table.
constexpr uint32_t kFigureRows[] = {37058, 37067, 37059, 37060, 37051, 37052,
                                    37053, 37054, 37055, 37056, 37057};
constexpr uint32_t kMoveKindTexts[] = {37063, 37064, 37065, 37066};

QString Number(double v, int decimals) {
  return std::isfinite(v) ? QString::number(v, 'f', decimals) : QStringLiteral("–");
}

QString ErrorCodeText(int32_t code) {
  return QStringLiteral("%1 (0x%2)").arg(code).arg(static_cast<uint32_t>(code), 0, 16);
}

QTableWidget* NewTable(QWidget* parent) {
  auto* table = new QTableWidget(parent);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  return table;
}

// Numbers are aligned right, names left.
void SetCell(QTableWidget* table, int row, int column, const QString& text, bool number = true) {
  auto* item = table->item(row, column);
  if (!item) {
    item = new QTableWidgetItem;
    table->setItem(row, column, item);
  }
  item->setText(text);
  item->setTextAlignment((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
}

}  // namespace

TrendDock::TrendDock(CAxtuneDoc& doc, i18n::StringTable& strings, trend::OxaFactory factory,
                     trend::IClock& clock, QSettings& settings, RunExclusive run, QWidget* parent)
    : QDockWidget(parent),
      doc_(doc),
      strings_(strings),
      clock_(clock),
      settings_(settings),
      run_(std::move(run)),
      recorder_(std::move(factory), clock),
      arm_(clock, [this](const trend::MoveMark& m) { OnMark(m); }) {
  setObjectName(QStringLiteral("TrendDock"));
  BuildUi();
  SetTexts();
  doc_.AddObserver(&arm_);
  timer_ = new QTimer(this);
  timer_->setInterval(kPollMs);
  connect(timer_, &QTimer::timeout, this, [this] { Poll(); });
  connect(this, &QDockWidget::topLevelChanged, this, [this] { RememberPlace(); });
}

TrendDock::~TrendDock() {
  recorder_.Stop();
  doc_.RemoveObserver(&arm_);
}

void TrendDock::BuildUi() {
  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->setSpacing(2);

  auto tool = [body](bool checkable) {
    auto* b = new QToolButton(body);
    b->setCheckable(checkable);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
  };
  auto* controls = new QHBoxLayout;
  record_ = tool(true);
  connect(record_, &QToolButton::clicked, this,
          [this](bool on) { on ? (void)StartRecording() : StopRecording(); });
  armBox_ = new QCheckBox(body);
  connect(armBox_, &QCheckBox::toggled, this, [this](bool on) { SetArmed(on); });
  pause_ = tool(true);
  connect(pause_, &QToolButton::clicked, this, [this](bool on) { SetPaused(on); });
  autoscale_ = tool(true);
  autoscale_->setChecked(true);
  connect(autoscale_, &QToolButton::clicked, this, [this](bool on) { SetAutoscale(on); });
  cursors_ = tool(true);
  connect(cursors_, &QToolButton::clicked, this, [this](bool on) { SetCursorsShown(on); });

  channels_ = tool(false);
  channels_->setPopupMode(QToolButton::InstantPopup);
  channelMenu_ = new QMenu(channels_);
  for (size_t c = 0; c < trend::kChannelCount; ++c) {
    QAction* a = channelMenu_->addAction(QString());
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, c](bool on) {
      trend::ChannelSet set = plot_->Shown();
      set.set(c, on);
      SetChannels(set);
    });
    channelActions_.push_back(a);
    if (c + 1 == trend::kAnalogChannels) channelMenu_->addSeparator();
  }
  channels_->setMenu(channelMenu_);

  export_ = tool(false);
  export_->setPopupMode(QToolButton::InstantPopup);
  auto* exportMenu = new QMenu(export_);
  exportVisible_ = exportMenu->addAction(QString());
  exportAll_ = exportMenu->addAction(QString());
  exportPng_ = exportMenu->addAction(QString());
  export_->setMenu(exportMenu);
  connect(exportVisible_, &QAction::triggered, this, [this] {
    const QString path = AskFile(true, kTextCsvFilter);
    if (!path.isEmpty()) ExportCsv(path, true);
  });
  connect(exportAll_, &QAction::triggered, this, [this] {
    const QString path = AskFile(true, kTextCsvFilter);
    if (!path.isEmpty()) ExportCsv(path, false);
  });
  connect(exportPng_, &QAction::triggered, this, [this] {
    const QString path = AskFile(true, kTextPngFilter);
    if (!path.isEmpty()) ExportPng(path);
  });
  open_ = tool(false);
  connect(open_, &QToolButton::clicked, this, [this] {
    const QString path = AskFile(false, kTextCsvFilter);
    if (!path.isEmpty()) OpenCsv(path);
  });

  rateLabel_ = new QLabel(body);
  rate_ = new QSpinBox(body);
  rate_->setRange(static_cast<int>(trend::Sampler::kMinRateHz),
                  static_cast<int>(trend::Sampler::kMaxRateHz));
  rate_->setSuffix(QStringLiteral(" Hz"));
  rate_->setValue(settings_.value(kKeyRate, trend::Sampler::kDefaultRateHz).toInt());
  connect(rate_, &QSpinBox::valueChanged, this, [this](int v) { settings_.setValue(kKeyRate, v); });
  bufferLabel_ = new QLabel(body);
  buffer_ = new QSpinBox(body);
  buffer_->setRange(1, kMaxBufferMinutes);
  buffer_->setSuffix(QStringLiteral(" min"));
  buffer_->setValue(settings_.value(kKeyBuffer, kDefaultBufferMinutes).toInt());
  connect(buffer_, &QSpinBox::valueChanged, this,
          [this](int v) { settings_.setValue(kKeyBuffer, v); });
  status_ = new QLabel(body);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // The line takes the room left beside the controls, however long it is; the tooltip holds it
  // whole. So the recorder's window can be made narrow.
  status_->setMinimumWidth(1);

  for (QWidget* w :
       std::initializer_list<QWidget*>{record_, armBox_, pause_, autoscale_, cursors_, channels_,
                                       export_, open_, rateLabel_, rate_, bufferLabel_, buffer_}) {
    controls->addWidget(w);
  }
  controls->addSpacing(8);
  controls->addWidget(status_, 1);
  layout->addLayout(controls);

  auto* test = new QHBoxLayout;
  testLabel_ = new QLabel(body);
  positionLabel_ = new QLabel(body);
  position_ = new QDoubleSpinBox(body);
  position_->setRange(-1e6, 1e6);
  position_->setDecimals(3);
  position_->setValue(settings_.value(kKeyPosition, 0.0).toDouble());
  velocityLabel_ = new QLabel(body);
  velocity_ = new QDoubleSpinBox(body);
  velocity_->setRange(0.001, 1e5);
  velocity_->setDecimals(3);
  velocity_->setValue(settings_.value(kKeyVelocity, 100.0).toDouble());
  start_ = tool(false);
  connect(start_, &QToolButton::clicked, this, [this] { StartTestMove(); });
  for (QWidget* w : std::initializer_list<QWidget*>{testLabel_, positionLabel_, position_,
                                                    velocityLabel_, velocity_, start_}) {
    test->addWidget(w);
  }
  test->addStretch(1);
  tune_ = tool(false);
  test->addWidget(tune_);
  layout->addLayout(test);

  auto* split = new QSplitter(Qt::Horizontal, body);
  plot_ = new TrendPlot(split);
  plot_->setMinimumSize(400, 220);
  plot_->onUserNavigation = [this](bool valueAxes) {
    if (valueAxes) {
      SetAutoscale(false);
    } else {
      SetPaused(true);
    }
  };
  plot_->onCursorMoved = [this] { UpdateCursorTable(); };
  auto* side = new QSplitter(Qt::Vertical, split);
  cursorTable_ = NewTable(side);
  cursorTable_->setColumnCount(4);
  cursorTable_->verticalHeader()->setVisible(false);
  figureTable_ = NewTable(side);
  figureTable_->setRowCount(static_cast<int>(std::size(kFigureRows)));
  figureTable_->setSelectionBehavior(QAbstractItemView::SelectColumns);
  figureTable_->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(figureTable_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int column) { ShowMove(column); });
  side->setStretchFactor(1, 1);
  side->setSizes({170, 260});
  split->addWidget(plot_);
  split->addWidget(side);
  split->setStretchFactor(0, 1);
  split->setSizes({800, 560});
  layout->addWidget(split, 1);
  setWidget(body);

  const auto remembered =
      trend::ParseChannelSet(settings_.value(kKeyChannels).toString().toStdString());
  plot_->SetChannels(remembered.value_or(trend::DefaultChannels()), ChannelNames());
}

QString TrendDock::Text(uint32_t id) const {
  return ::Text(strings_, id);
}

std::vector<QString> TrendDock::ChannelNames() const {
  std::vector<QString> names;
  for (const trend::ChannelDef& c : trend::Channels()) {
    QString name = Text(c.textId);
    if (!c.unit.empty()) name += QStringLiteral(" [%1]").arg(FromUtf8(c.unit));
    names.push_back(name);
  }
  return names;
}

void TrendDock::SetTexts() {
  setWindowTitle(Text(kTextTitle));
  record_->setText(Text(Recording() ? kTextStop : kTextRecord));
  armBox_->setText(Text(kTextArm));
  armBox_->setToolTip(Text(kTextArmTip));
  pause_->setText(Text(Paused() ? kTextResume : kTextPause));
  autoscale_->setText(Text(kTextAutoscale));
  cursors_->setText(Text(kTextCursors));
  channels_->setText(Text(kTextChannels));
  export_->setText(Text(kTextExport));
  exportVisible_->setText(Text(kTextExportVisible));
  exportAll_->setText(Text(kTextExportAll));
  exportPng_->setText(Text(kTextExportPng));
  open_->setText(Text(kTextOpen));
  rateLabel_->setText(Text(kTextRate));
  bufferLabel_->setText(Text(kTextBuffer));
  testLabel_->setText(Text(kTextTestMove) + QLatin1Char(':'));
  positionLabel_->setText(Text(kTextPosition));
  velocityLabel_->setText(Text(kTextVelocity));
  start_->setText(Text(kTextStart));
  plot_->SetTimeLabel(Text(kTextTime));
  const std::vector<QString> names = ChannelNames();
  for (size_t c = 0; c < channelActions_.size(); ++c) channelActions_[c]->setText(names[c]);
  cursorTable_->setHorizontalHeaderLabels(
      {Text(kTextChannel), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("B − A")});
  QStringList rows;
  for (uint32_t id : kFigureRows) rows << Text(id);
  figureTable_->setVerticalHeaderLabels(rows);
  ReloadPlot();
  UpdateFigureTable();
  UpdateStatus();
}

void TrendDock::Open(const QWidget& window) {
  if (settings_.value(kKeyDocked, false).toBool()) {
    setFloating(false);
    show();
    return;
  }
  setFloating(true);
  if (!restoreGeometry(settings_.value(kKeyWindow).toByteArray())) {
    const QScreen* screen = window.screen();
    const QRect available = screen ? screen->availableGeometry() : window.frameGeometry();
    setGeometry(PlaceBeside(window.frameGeometry(), available, {kFirstWidth, kFirstHeight}));
  }
  show();
  raise();
}

QRect TrendDock::PlaceBeside(const QRect& main, const QRect& available, QSize size) {
  size = size.boundedTo(available.size());
  int x = available.right() + 1 - size.width();
  if (main.right() + 1 + size.width() <= available.right() + 1) {
    x = main.right() + 1;
  } else if (main.left() - size.width() >= available.left()) {
    x = main.left() - size.width();
  }
  const int y = std::clamp(main.top(), available.top(), available.bottom() + 1 - size.height());
  return {QPoint(x, y), size};
}

void TrendDock::RememberPlace() {
  if (!isVisible()) return;
  settings_.setValue(kKeyDocked, !isFloating());
  if (isFloating()) settings_.setValue(kKeyWindow, saveGeometry());
}

void TrendDock::moveEvent(QMoveEvent* event) {
  QDockWidget::moveEvent(event);
  RememberPlace();
}

void TrendDock::resizeEvent(QResizeEvent* event) {
  QDockWidget::resizeEvent(event);
  RememberPlace();
}

bool TrendDock::StartRecording() {
  const auto target = trend::CurrentTarget(doc_);
  if (!target) {
    record_->setChecked(false);
    ShowProblem(Text(kTextNoAxis));
    return false;
  }
  if (Recording()) return true;
  const int rate = rate_->value();
  recorder_.Resize(trend::SampleRing::CapacityFor(rate, buffer_->value() * 60.0));
  target_ = *target;
  problem_.clear();
  tracker_.Reset();
  movesEnded_ = 0;
  seen_ = 0;
  plot_->Clear();
  SetPaused(false);
  t0_ = clock_.Now();
  recorder_.Start(target_, rate);
  wanted_ = true;
  record_->setChecked(true);
  record_->setText(Text(kTextStop));
  timer_->start();
  UpdateFigureTable();
  UpdateStatus();
  return true;
}

void TrendDock::StopRecording() {
  recorder_.Stop();
  wanted_ = false;
  timer_->stop();
  Poll();
  tracker_.Finish();
  TakeMoves();
  record_->setChecked(false);
  record_->setText(Text(kTextRecord));
}

void TrendDock::FollowCurrentAxis() {
  if (!Recording() || held_) return;
  const std::optional<trend::RecordTarget> current = trend::CurrentTarget(doc_);
  if (current && current->addr == target_.addr && current->axis == target_.axis) return;
  StopRecording();
  ShowProblem(Text(kTextAxisLeft));
}

void TrendDock::SetArmed(bool armed) {
  armed_ = armed;
  if (armBox_->isChecked() != armed) armBox_->setChecked(armed);
}

void TrendDock::SetPaused(bool paused) {
  plot_->SetLive(!paused);
  pause_->setChecked(paused);
  pause_->setText(Text(paused ? kTextResume : kTextPause));
  if (!paused) plot_->Refresh();
}

void TrendDock::SetAutoscale(bool on) {
  plot_->SetAutoscale(on);
  autoscale_->setChecked(on);
  if (on) {
    plot_->FitAll();
    plot_->replot(QCustomPlot::rpQueuedReplot);
  }
}

void TrendDock::SetCursorsShown(bool shown) {
  cursors_->setChecked(shown);
  plot_->SetCursorsShown(shown);
  UpdateCursorTable();
}

void TrendDock::PlaceCursors(double a, double b) {
  plot_->SetCursor(0, a);
  plot_->SetCursor(1, b);
  SetCursorsShown(true);
}

void TrendDock::SetChannels(const trend::ChannelSet& channels) {
  if (channels.none()) {
    // The last channel stays.
    for (size_t c = 0; c < channelActions_.size(); ++c) {
      channelActions_[c]->setChecked(plot_->Shown().test(c));
    }
    return;
  }
  settings_.setValue(kKeyChannels, QString::fromStdString(trend::FormatChannelSet(channels)));
  plot_->SetChannels(channels, ChannelNames());
  ReloadPlot();
}

void TrendDock::SetRate(int hz) {
  rate_->setValue(hz);
}

void TrendDock::SetBufferMinutes(int minutes) {
  buffer_->setValue(minutes);
}

void TrendDock::SetTestMove(double position, double velocity) {
  position_->setValue(position);
  velocity_->setValue(velocity);
}

void TrendDock::ReloadPlot() {
  plot_->SetChannels(plot_->Shown(), ChannelNames());
  for (size_t c = 0; c < channelActions_.size(); ++c) {
    channelActions_[c]->setChecked(plot_->Shown().test(c));
  }
  std::vector<trend::Sample> all;
  seen_ = recorder_.Ring().CopySince(0, all);
  plot_->Append(all, t0_);
  UpdateCursorTable();
  plot_->Refresh();
}

void TrendDock::Poll() {
  trend::SampleRing& ring = recorder_.Ring();
  fresh_.clear();
  seen_ = ring.CopySince(seen_, fresh_);
  if (!fresh_.empty()) {
    plot_->Append(fresh_, t0_);
    tracker_.Add(fresh_);
    if (ring.First() > 0) plot_->DropBefore(ring.OldestTime() - t0_);
  }
  TakeMoves();
  if (wanted_ && recorder_.PortFailed()) {
    ShowProblem(Text(kTextPortFailed));
    StopRecording();
    return;
  }
  UpdateStatus();
  if (!fresh_.empty()) {
    plot_->Refresh();
    if (plot_->CursorsShown()) UpdateCursorTable();
  }
  // Another axis selected (in the tree or the overview list) ends the recording.
  FollowCurrentAxis();
}

void TrendDock::SetTuneAction(QAction* action) {
  tune_->setDefaultAction(action);
}

void TrendDock::OnMark(const trend::MoveMark& mark) {
  if (QThread::currentThread() != thread()) {
    QMetaObject::invokeMethod(
        this, [this, mark] { OnMark(mark); }, Qt::QueuedConnection);
    return;
  }
  if (!Recording() && (held_ || !armed_ || !StartRecording())) return;
  if (mark.addr == target_.addr && mark.axis == target_.axis) tracker_.Mark(mark);
}

void TrendDock::ShowProblem(const QString& text) {
  problem_ = text;
  UpdateStatus();
}

void TrendDock::UpdateStatus() {
  QString text = Text(kTextStatus)
                     .arg(recorder_.Ring().Total())
                     .arg(Recording() ? recorder_.RateHz() : 0.0)
                     .arg(recorder_.Failures());
  if (recorder_.Failures() > 0) {
    text += QStringLiteral(", ") + Text(kTextLastError).arg(ErrorCodeText(recorder_.LastError()));
  }
  if (!problem_.isEmpty()) text += QStringLiteral(" · ") + problem_;
  status_->setText(text);
  status_->setToolTip(text);
}

void TrendDock::UpdateCursorTable() {
  cursorTable_->setVisible(plot_->CursorsShown());
  if (!plot_->CursorsShown()) return;
  const double a = plot_->Cursor(0), b = plot_->Cursor(1);
  const std::vector<QString> names = ChannelNames();
  cursorTable_->setRowCount(1 + static_cast<int>(plot_->Shown().count()));
  SetCell(cursorTable_, 0, 0, Text(kTextTime), false);
  SetCell(cursorTable_, 0, 1, Number(a, 3));
  SetCell(cursorTable_, 0, 2, Number(b, 3));
  SetCell(cursorTable_, 0, 3, Number(b - a, 3));
  int row = 1;
  for (size_t c = 0; c < trend::kChannelCount; ++c) {
    if (!plot_->Shown().test(c)) continue;
    const double va = plot_->ValueAt(c, a), vb = plot_->ValueAt(c, b);
    const int decimals = c < trend::kAnalogChannels ? 3 : 0;
    SetCell(cursorTable_, row, 0, names[c], false);
    SetCell(cursorTable_, row, 1, Number(va, decimals));
    SetCell(cursorTable_, row, 2, Number(vb, decimals));
    SetCell(cursorTable_, row, 3, Number(vb - va, decimals));
    ++row;
  }
}

void TrendDock::TakeMoves() {
  // Moves are numbered from the start of the recording.
  const size_t ended = tracker_.TakeEnded().size();
  if (ended == 0) return;
  movesEnded_ += static_cast<int>(ended);
  UpdateFigureTable();
}

void TrendDock::UpdateFigureTable() {
  const auto& results = tracker_.Results();
  figureTable_->setColumnCount(static_cast<int>(results.size()));
  QStringList headers;
  for (size_t i = 0; i < results.size(); ++i) {
    const trend::MoveResult& r = results[i];
    const trend::StepFigures& f = r.figures;
    const int column = static_cast<int>(i);
    headers << Text(kTextMove).arg(movesEnded_ - column) + QLatin1Char('\n') +
                   Text(kMoveKindTexts[static_cast<size_t>(r.mark.kind)]);
    const QString cells[] = {
        Number(f.start, 3),
        Number(f.target, 3),
        QString::number(r.mark.lagKp, 'g', 6),
        Text(r.inTarget ? kTextYes : kTextNo),
        Number(f.riseTime, 3),
        Number(f.overshoot, 3),
        Number(f.overshootPercent, 2),
        Number(f.settlingTime, 3),
        Number(f.peakLag, 3),
        Number(f.steadyStateError, 3),
        Number(f.peakVelocity, 1),
    };
    for (size_t row = 0; row < std::size(cells); ++row) {
      SetCell(figureTable_, static_cast<int>(row), column, cells[row]);
    }
  }
  figureTable_->setHorizontalHeaderLabels(headers);
}

void TrendDock::ShowMove(int index) {
  const auto& results = tracker_.Results();
  if (index < 0 || static_cast<size_t>(index) >= results.size()) return;
  const trend::MoveResult& r = results[static_cast<size_t>(index)];
  SetPaused(true);
  plot_->xAxis->setRange(r.mark.t - t0_ - kMoveMargin, r.end - t0_ + kMoveMargin);
  plot_->Refresh();
}

bool TrendDock::ExportCsv(const QString& path, bool visibleOnly) {
  std::vector<trend::Sample> samples;
  const trend::SampleRing& ring = recorder_.Ring();
  if (visibleOnly) {
    const QCPRange r = plot_->xAxis->range();
    ring.CopyRange(t0_ + r.lower, t0_ + r.upper, samples);
  } else {
    ring.CopySince(0, samples);
  }
  std::ofstream file(QFile::encodeName(path).toStdString(), std::ios::binary);
  trend::WriteCsv(file, samples, plot_->Shown(), t0_);
  file.close();
  if (!file) {
    ShowProblem(Text(kTextNotWritten).arg(path));
    return false;
  }
  return true;
}

bool TrendDock::ExportPng(const QString& path) {
  if (!plot_->savePng(path)) {
    ShowProblem(Text(kTextNotWritten).arg(path));
    return false;
  }
  return true;
}

bool TrendDock::OpenCsv(const QString& path) {
  QFile file(path);
  std::vector<trend::CsvWarning> warnings;
  std::optional<trend::CsvTable> table;
  if (file.open(QIODevice::ReadOnly) && file.size() <= static_cast<qint64>(trend::kMaxCsvBytes)) {
    const QByteArray bytes = file.readAll();
    table = trend::ReadCsv(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                           warnings);
  }
  if (!table) {
    ShowProblem(Text(kTextNotRead).arg(path));
    return false;
  }
  StopRecording();
  std::vector<trend::Sample> samples;
  trend::SamplesOfCsv(*table, samples, warnings);
  recorder_.Resize(samples.size());
  for (const trend::Sample& s : samples) recorder_.Ring().Push(s);
  tracker_.Reset();
  movesEnded_ = 0;
  t0_ = 0;
  problem_.clear();
  size_t skipped = 0;
  for (const trend::CsvWarning& w : warnings) {
    skipped +=
        w.issue != trend::CsvIssue::UnknownChannel && w.issue != trend::CsvIssue::TooManyColumns;
  }
  if (skipped > 0) problem_ = Text(kTextSkipped).arg(skipped);
  SetPaused(true);
  ReloadPlot();
  plot_->FitAll();
  plot_->replot(QCustomPlot::rpQueuedReplot);
  UpdateFigureTable();
  UpdateStatus();
  return true;
}

int32_t TrendDock::StartTestMove() {
  const double position = position_->value(), velocity = velocity_->value();
  settings_.setValue(kKeyPosition, position);
  settings_.setValue(kKeyVelocity, velocity);
  int32_t result = 0;
  run_([&] { result = doc_.Move(axlink::kMoveToPosition, position, velocity); });
  return result;
}

QString TrendDock::AskFile(bool save, uint32_t filterId) {
  const QString filter = Text(filterId);
  if (chooseFile) return chooseFile(save, filter);
  return save ? QFileDialog::getSaveFileName(this, Text(kTextTitle), QString(), filter)
              : QFileDialog::getOpenFileName(this, Text(kTextTitle), QString(), filter);
}
