#include "app/TuneDialog.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>

#include "app/QCustomPlotInclude.h"
#include "app/Texts.h"
#include "trend/Arm.h"

namespace {

constexpr uint32_t kTextTitle = 37401, kTextIntro = 37402, kTextWindow = 37403, kTextTo = 37404;
constexpr uint32_t kTextMaxVelocity = 37405, kTextLagBound = 37406, kTextVelocityStep = 37407;
constexpr uint32_t kTextDynamicsStep = 37408, kTextStart = 37409, kTextStop = 37410;
constexpr uint32_t kTextClose = 37411, kTextApply = 37412, kTextBack = 37413, kTextNext = 37414;
constexpr uint32_t kTextVelocityName = 37415, kTextDynamicsName = 37416;
constexpr uint32_t kTextVelocityAxis = 37032, kTextOutputAxis = 37417, kTextMeasured = 37418;
constexpr uint32_t kTextFit = 37419, kTextParameter = 37420, kTextCurrent = 37421;
constexpr uint32_t kTextProposed = 37422, kTextReason = 37423, kTextDone = 37424;
constexpr uint32_t kTextRefused = 37425, kTextStopped = 37426, kTextStoppedByUser = 37427;
constexpr uint32_t kTextStoppedForeground = 37428, kTextRestored = 37429;
constexpr uint32_t kTextNotRestored = 37430, kTextApplied = 37431, kTextDiffering = 37432;
constexpr uint32_t kTextNoProposal = 37433, kTextPortFailed = 37434, kTextNoAxis = 37026;
constexpr uint32_t kTextVerifyStep = 37435, kTextFigure = 37436, kTextBefore = 37437;
constexpr uint32_t kTextAfter = 37438, kTextApplyRefused = 37439, kTextApplyFailed = 37440;
constexpr uint32_t kTextVerifyName = 37030, kTextTimeAxis = 37041, kTextPositionAxis = 37031;
// The recorder's names of the step-response figures, in the order of FigureValues.
constexpr uint32_t kTextFigures[] = {37051, 37052, 37053, 37054, 37055, 37056, 37057};

// The runs read the axis this often (Hz), as the command-line tool's.
constexpr double kRateHz = 1000;

QDoubleSpinBox* NumberBox(QWidget* parent, double lo, double hi, int decimals) {
  auto* box = new QDoubleSpinBox(parent);
  box->setRange(lo, hi);
  box->setDecimals(decimals);
  box->setAlignment(Qt::AlignRight);
  return box;
}

QString Number(double v) {
  return QString::number(v, 'g', 6);
}

using FigureRow = std::array<double, std::size(kTextFigures)>;

FigureRow FigureValues(const trend::StepFigures& f) {
  return {f.riseTime, f.overshoot,        f.overshootPercent, f.settlingTime,
          f.peakLag,  f.steadyStateError, f.peakVelocity};
}

// A figure the curve does not yield is a dash.
QString FigureText(double v) {
  return std::isfinite(v) ? QString::number(v, 'f', std::fabs(v) < 10 ? 3 : 1)
                          : QStringLiteral("–");
}

void Curve(QCPGraph* g, const std::vector<trend::Sample>& samples) {
  g->data()->clear();
  for (const trend::Sample& s : samples) {
    g->addData(s.t - samples.front().t, s.values[trend::kActualPos]);
  }
}

}  // namespace

tune::Limits TuneDialog::Prefill(const CAxtuneDoc& doc) {
  const model::ParamRecord& p = doc.paramsRead;
  const double pos = doc.runtime.ActualPos;
  tune::Limits l;
  l.windowMin = p.SoftEndMinEnabled ? p.SoftEndMin : pos - kSpan;
  l.windowMax = p.SoftEndMaxEnabled ? p.SoftEndMax : pos + kSpan;
  l.maxVelocity = p.ReferenceVelo > 0 ? p.ReferenceVelo / 2 : 0;
  l.lagBound = (l.windowMax - l.windowMin) / 5;
  return l;
}

TuneDialog::TuneDialog(CAxtuneDoc& doc, i18n::StringTable& strings, trend::OxaFactory ownOxa,
                       trend::IClock& clock, QWidget* parent)
    : QDialog(parent), doc_(doc), strings_(strings), ownOxa_(std::move(ownOxa)), clock_(clock) {
  setModal(true);
  BuildUi();
  const tune::Limits l = Prefill(doc_);
  windowMin_->setValue(l.windowMin);
  windowMax_->setValue(l.windowMax);
  maxVelocity_->setValue(l.maxVelocity);
  lagBound_->setValue(l.lagBound);
  SetTexts();
  UpdateButtons();
  connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive) StopRun(StopCause::Foreground);
          });
}

TuneDialog::~TuneDialog() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
  if (own_) own_->OxaPortClose();
}

QString TuneDialog::Text(uint32_t id) const {
  return ::Text(strings_, id);
}

void TuneDialog::BuildUi() {
  auto* layout = new QVBoxLayout(this);
  // The axis the runs move, above every page.
  axis_ = new QLabel(FromController(doc_.axisName), this);
  QFont bold = axis_->font();
  bold.setBold(true);
  axis_->setFont(bold);
  layout->addWidget(axis_);
  pages_ = new QStackedWidget(this);
  layout->addWidget(pages_, 1);

  // The limits.
  auto* limits = new QWidget(pages_);
  auto* grid = new QGridLayout(limits);
  intro_ = new QLabel(limits);
  intro_->setWordWrap(true);
  grid->addWidget(intro_, 0, 0, 1, 3);
  windowLabel_ = new QLabel(limits);
  windowMin_ = NumberBox(limits, -1e6, 1e6, 3);
  toLabel_ = new QLabel(limits);
  windowMax_ = NumberBox(limits, -1e6, 1e6, 3);
  auto* window = new QHBoxLayout;
  window->addWidget(windowMin_);
  window->addWidget(toLabel_);
  window->addWidget(windowMax_);
  window->addStretch(1);
  grid->addWidget(windowLabel_, 1, 0);
  grid->addLayout(window, 1, 1, 1, 2);
  velocityLabel_ = new QLabel(limits);
  maxVelocity_ = NumberBox(limits, 0, 1e5, 1);
  grid->addWidget(velocityLabel_, 2, 0);
  grid->addWidget(maxVelocity_, 2, 1);
  lagLabel_ = new QLabel(limits);
  lagBound_ = NumberBox(limits, 0, 1e5, 3);
  grid->addWidget(lagLabel_, 3, 0);
  grid->addWidget(lagBound_, 3, 1);
  velocityStep_ = new QCheckBox(limits);
  dynamicsStep_ = new QCheckBox(limits);
  verifyStep_ = new QCheckBox(limits);
  for (QCheckBox* box : {velocityStep_, dynamicsStep_, verifyStep_}) box->setChecked(true);
  grid->addWidget(velocityStep_, 4, 0, 1, 3);
  grid->addWidget(dynamicsStep_, 5, 0, 1, 3);
  grid->addWidget(verifyStep_, 6, 0, 1, 3);
  grid->setRowStretch(7, 1);
  grid->setColumnStretch(2, 1);
  pages_->addWidget(limits);
  for (QCheckBox* box : {velocityStep_, dynamicsStep_}) {
    connect(box, &QCheckBox::toggled, this, [this] { UpdateButtons(); });
  }

  // The runs.
  auto* runs = new QWidget(pages_);
  auto* runsLayout = new QVBoxLayout(runs);
  progress_ = new QProgressBar(runs);
  progress_->setRange(0, 1000);
  runsLayout->addWidget(progress_);
  figures_ = new QPlainTextEdit(runs);
  figures_->setReadOnly(true);
  figures_->setMaximumBlockCount(500);
  runsLayout->addWidget(figures_, 1);
  plot_ = new QCustomPlot(runs);
  plot_->setMinimumHeight(260);
  plot_->legend->setVisible(true);
  QFont small = plot_->font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  plot_->legend->setFont(small);
  plot_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
  measured_ = plot_->addGraph();
  measured_->setLineStyle(QCPGraph::lsNone);
  measured_->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, QColor(0, 90, 180), 7));
  fitOut_ = plot_->addGraph();
  fitIn_ = plot_->addGraph();
  for (QCPGraph* fit : {fitOut_, fitIn_}) fit->setPen(QPen(QColor(200, 80, 0), 1.5));
  fitIn_->removeFromLegend();
  runsLayout->addWidget(plot_, 2);
  pages_->addWidget(runs);

  // The proposal.
  auto* proposal = new QWidget(pages_);
  auto* proposalLayout = new QVBoxLayout(proposal);
  table_ = new QTableWidget(0, 4, proposal);
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setWordWrap(false);
  table_->setFocusPolicy(Qt::NoFocus);
  proposalLayout->addWidget(table_, 3);
  // The test move before and after the apply: its figures beside its curves.
  compared_ = new QWidget(proposal);
  auto* comparedLayout = new QHBoxLayout(compared_);
  comparedLayout->setContentsMargins(0, 0, 0, 0);
  comparison_ = new QTableWidget(static_cast<int>(std::size(kTextFigures)), 3, compared_);
  comparison_->verticalHeader()->hide();
  comparison_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  comparison_->setSelectionMode(QAbstractItemView::NoSelection);
  comparison_->setFocusPolicy(Qt::NoFocus);
  comparison_->setWordWrap(false);
  comparison_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
  comparison_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  comparison_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  comparison_->verticalHeader()->setDefaultSectionSize(comparison_->fontMetrics().height() + 8);
  comparedLayout->addWidget(comparison_, 0, Qt::AlignTop);
  stepPlot_ = new QCustomPlot(compared_);
  stepPlot_->setMinimumHeight(200);
  stepPlot_->legend->setVisible(true);
  stepPlot_->legend->setFont(small);
  stepPlot_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignBottom | Qt::AlignRight);
  stepBefore_ = stepPlot_->addGraph();
  stepBefore_->setPen(QPen(QColor(0, 90, 180), 1.5));
  stepAfter_ = stepPlot_->addGraph();
  stepAfter_->setPen(QPen(QColor(200, 80, 0), 1.5));
  comparedLayout->addWidget(stepPlot_, 1);
  compared_->hide();
  proposalLayout->addWidget(compared_, 2);
  appliedLine_ = new QLabel(proposal);
  appliedLine_->setWordWrap(true);
  proposalLayout->addWidget(appliedLine_);
  pages_->addWidget(proposal);

  // How the run ended, below the pages of the runs and the proposal.
  endLine_ = new QLabel(this);
  endLine_->setWordWrap(true);
  endLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  restoredLine_ = new QLabel(this);
  restoredLine_->setWordWrap(true);
  layout->addWidget(endLine_);
  layout->addWidget(restoredLine_);

  auto* buttons = new QHBoxLayout;
  back_ = new QPushButton(this);
  next_ = new QPushButton(this);
  start_ = new QPushButton(this);
  stopButton_ = new QPushButton(this);
  apply_ = new QPushButton(this);
  close_ = new QPushButton(this);
  buttons->addWidget(back_);
  buttons->addWidget(next_);
  buttons->addStretch(1);
  for (QPushButton* b : {start_, stopButton_, apply_, close_}) buttons->addWidget(b);
  for (QPushButton* b : {back_, next_, start_, stopButton_, apply_, close_})
    b->setAutoDefault(false);
  layout->addLayout(buttons);
  connect(start_, &QPushButton::clicked, this, [this] { StartRun(); });
  connect(stopButton_, &QPushButton::clicked, this, [this] { StopRun(StopCause::User); });
  connect(apply_, &QPushButton::clicked, this, [this] { ApplyChecked(); });
  connect(close_, &QPushButton::clicked, this, [this] { reject(); });
  connect(back_, &QPushButton::clicked, this, [this] { pages_->setCurrentIndex(kRunsPage); });
  connect(next_, &QPushButton::clicked, this, [this] { pages_->setCurrentIndex(kProposalPage); });
  connect(pages_, &QStackedWidget::currentChanged, this, [this] { UpdateButtons(); });
  resize(880, 720);
}

void TuneDialog::SetTexts() {
  setWindowTitle(Text(kTextTitle) + QStringLiteral(" – ") + FromController(doc_.axisName));
  intro_->setText(Text(kTextIntro));
  windowLabel_->setText(Text(kTextWindow));
  toLabel_->setText(Text(kTextTo));
  velocityLabel_->setText(Text(kTextMaxVelocity));
  lagLabel_->setText(Text(kTextLagBound));
  velocityStep_->setText(Text(kTextVelocityStep));
  dynamicsStep_->setText(Text(kTextDynamicsStep));
  verifyStep_->setText(Text(kTextVerifyStep));
  start_->setText(Text(kTextStart));
  stopButton_->setText(Text(kTextStop));
  apply_->setText(Text(kTextApply));
  close_->setText(Text(kTextClose));
  back_->setText(Text(kTextBack));
  next_->setText(Text(kTextNext));
  plot_->xAxis->setLabel(Text(kTextVelocityAxis));
  plot_->yAxis->setLabel(Text(kTextOutputAxis));
  measured_->setName(Text(kTextMeasured));
  fitOut_->setName(Text(kTextFit));
  table_->setHorizontalHeaderLabels(
      {Text(kTextParameter), Text(kTextCurrent), Text(kTextProposed), Text(kTextReason)});
  comparison_->setHorizontalHeaderLabels({Text(kTextFigure), Text(kTextBefore), Text(kTextAfter)});
  for (size_t row = 0; row < std::size(kTextFigures); ++row) {
    comparison_->setItem(static_cast<int>(row), 0, new QTableWidgetItem(Text(kTextFigures[row])));
  }
  stepPlot_->xAxis->setLabel(Text(kTextTimeAxis));
  stepPlot_->yAxis->setLabel(Text(kTextPositionAxis));
  stepBefore_->setName(Text(kTextBefore));
  stepAfter_->setName(Text(kTextAfter));
}

void TuneDialog::UpdateButtons() {
  const int page = pages_->currentIndex();
  const bool running = Running();
  start_->setVisible(page == kLimitsPage);
  start_->setEnabled(velocityStep_->isChecked() || dynamicsStep_->isChecked());
  stopButton_->setVisible((page == kRunsPage || page == kProposalPage) && running);
  apply_->setVisible(page == kProposalPage);
  apply_->setEnabled(!applied_ && !running && table_->rowCount() > 0 &&
                     result_.end == tune::EndReason::Done && result_.restored);
  close_->setEnabled(!running);
  back_->setVisible(page == kProposalPage);
  back_->setEnabled(!running);
  next_->setVisible(page == kRunsPage && ended_);
  // A refusal shows on the page of the limits.
  endLine_->setVisible(page != kLimitsPage || !endLine_->text().isEmpty());
  restoredLine_->setVisible(page != kLimitsPage && ended_ &&
                            result_.end != tune::EndReason::Refused);
}

bool TuneDialog::StartRun() {
  if (Running()) return false;
  const std::optional<trend::RecordTarget> target = trend::CurrentTarget(doc_);
  endLine_->clear();
  restoredLine_->clear();
  if (!target) {
    endLine_->setText(Text(kTextRefused).arg(Text(kTextNoAxis)));
    UpdateButtons();
    return false;
  }
  if (!own_) {
    own_ = ownOxa_();
    if (!own_ || own_->OxaPortOpen() == 0) {
      own_.reset();
      endLine_->setText(Text(kTextRefused).arg(Text(kTextPortFailed)));
      UpdateButtons();
      return false;
    }
    own_->OxaSyncSetTimeout(trend::Sampler::kTimeoutMs);
  }
  tune::Limits limits;
  limits.windowMin = windowMin_->value();
  limits.windowMax = windowMax_->value();
  limits.maxVelocity = maxVelocity_->value();
  limits.lagBound = lagBound_->value();
  steps_ = {velocityStep_->isChecked(), dynamicsStep_->isChecked(), verifyStep_->isChecked()};
  ring_ = std::make_unique<trend::SampleRing>(trend::SampleRing::kMinCapacity * 256);
  sampler_ = std::make_unique<trend::Sampler>(*own_, *target, kRateHz, clock_, *ring_);
  stop_ = false;
  sequencer_ = std::make_unique<tune::Sequencer>(doc_, *sampler_, *ring_, clock_, limits,
                                                 [this] { return stop_.load(); });
  sequencer_->OnProgress([this](const tune::Progress& p) {
    QMetaObject::invokeMethod(
        this, [this, p] { ShowProgress(p); }, Qt::QueuedConnection);
  });
  cause_ = StopCause::None;
  ended_ = false;
  applied_ = false;
  result_ = {};
  figures_->clear();
  progress_->setValue(0);
  progress_->setFormat(QStringLiteral("%p %"));
  table_->setRowCount(0);
  appliedLine_->clear();
  compared_->hide();
  for (QCPGraph* g : {measured_, fitOut_, fitIn_, stepBefore_, stepAfter_}) g->data()->clear();
  plot_->replot();
  pages_->setCurrentIndex(kRunsPage);
  // From here until Finished the document is the worker's.
  worker_ = std::thread([this, steps = steps_] {
    tune::RunResult r = sequencer_->Run(steps);
    QMetaObject::invokeMethod(
        this, [this, r = std::move(r)] { Finished(r); }, Qt::QueuedConnection);
  });
  UpdateButtons();
  return true;
}

void TuneDialog::StopRun(StopCause cause) {
  if (!Running() || stop_) return;
  cause_ = cause;
  stop_ = true;
}

void TuneDialog::reject() {
  if (Running()) {
    StopRun(StopCause::User);
    return;
  }
  QDialog::reject();
}

bool TuneDialog::event(QEvent* event) {
  if (event->type() == QEvent::WindowDeactivate) StopRun(StopCause::Foreground);
  return QDialog::event(event);
}

void TuneDialog::ShowProgress(const tune::Progress& p) {
  const bool velocity = p.step == "velocity", dynamics = p.step == "dynamics";
  const bool verify = p.step == "verify";
  // A step the dialog has no name for goes by the core's.
  const QString step = velocity   ? Text(kTextVelocityName)
                       : dynamics ? Text(kTextDynamicsName)
                       : verify   ? Text(kTextVerifyName)
                                  : QString::fromStdString(p.step);
  figures_->appendPlainText(step + QStringLiteral(": ") + QString::fromStdString(p.figures));
  progress_->setFormat(step + QStringLiteral(": %p %"));
  if (!velocity && !dynamics && !verify) return;
  // The chosen steps share the bar evenly, in their order.
  const int count = (steps_.velocity ? 1 : 0) + (steps_.dynamics ? 1 : 0) + (steps_.verify ? 1 : 0);
  const int index = velocity ? 0 : dynamics ? (steps_.velocity ? 1 : 0) : count - 1;
  const double overall = (index + std::clamp(p.fraction, 0.0, 1.0)) / std::max(count, 1);
  progress_->setValue(static_cast<int>(std::lround(overall * 1000)));
}

void TuneDialog::Finished(const tune::RunResult& result) {
  worker_.join();
  result_ = result;
  ended_ = true;
  QString end;
  switch (result.end) {
    case tune::EndReason::Done:
      end = Text(kTextDone);
      progress_->setValue(progress_->maximum());
      break;
    case tune::EndReason::Refused:
      end = Text(kTextRefused).arg(QString::fromStdString(result.message));
      break;
    case tune::EndReason::StopRequested:
      end = Text(cause_ == StopCause::Foreground ? kTextStoppedForeground : kTextStoppedByUser);
      break;
    default:
      end = Text(kTextStopped).arg(QString::fromStdString(result.message));
      break;
  }
  endLine_->setText(end);
  restoredLine_->setText(Text(result.restored ? kTextRestored : kTextNotRestored));
  restoredLine_->setStyleSheet(result.restored ? QString() : QStringLiteral("color: #b00000"));
  FillPlot();
  FillTable();
  FillComparison(result.verification);
  if (result.end == tune::EndReason::Refused) {
    pages_->setCurrentIndex(kLimitsPage);
  } else if (result.end == tune::EndReason::Done) {
    pages_->setCurrentIndex(kProposalPage);
  }
  UpdateButtons();
}

void TuneDialog::FillPlot() {
  for (const tune::VeloPoint& p : result_.points) measured_->addData(p.velocity, p.output * 100);
  if (const auto& c = result_.measured.characteristic) {
    // Each direction from its overlap at standstill through the knee to full output.
    auto line = [](QCPGraph* g, const tune::DirectionFit& f, double sign) {
      g->addData(0, sign * f.overlap * 100);
      if (f.bent) {
        g->addData(sign * f.bendVelo * f.fullVelo,
                   sign * (f.overlap + (1 - f.overlap) * f.bendOutput) * 100);
      }
      g->addData(sign * f.fullVelo, sign * 100);
    };
    line(fitOut_, c->out, 1);
    fitIn_->data()->clear();
    line(fitIn_, c->in, -1);
  }
  plot_->rescaleAxes();
  plot_->xAxis->scaleRange(1.1);
  plot_->yAxis->scaleRange(1.1);
  plot_->replot();
}

void TuneDialog::FillTable() {
  table_->setRowCount(static_cast<int>(result_.proposal.size()));
  int row = 0;
  for (const tune::ProposedValue& v : result_.proposal) {
    auto* name = new QTableWidgetItem(QString::fromStdString(v.name));
    name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    name->setCheckState(Qt::Checked);
    table_->setItem(row, 0, name);
    for (const auto& [column, value] : {std::pair{1, v.current}, std::pair{2, v.proposed}}) {
      auto* item = new QTableWidgetItem(Number(value));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      // Only the proposed value is the user's to change.
      item->setFlags(column == 2 ? Qt::ItemIsEnabled | Qt::ItemIsEditable : Qt::ItemIsEnabled);
      table_->setItem(row, column, item);
    }
    auto* reason = new QTableWidgetItem(QString::fromStdString(v.reason));
    reason->setFlags(Qt::ItemIsEnabled);
    reason->setToolTip(reason->text());
    table_->setItem(row, 3, reason);
    ++row;
  }
  table_->resizeColumnsToContents();
  appliedLine_->setText(result_.proposal.empty() && result_.end == tune::EndReason::Done
                            ? Text(kTextNoProposal)
                            : QString());
}

void TuneDialog::FillComparison(const tune::Verification& v) {
  compared_->setVisible(v.before.has_value());
  if (!v.before) return;
  for (const auto& [column, figures] : {std::pair{1, &v.before}, std::pair{2, &v.after}}) {
    const FigureRow values = *figures ? FigureValues(**figures) : FigureRow{};
    for (size_t row = 0; row < values.size(); ++row) {
      auto* item = new QTableWidgetItem(*figures ? FigureText(values[row]) : QString());
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      comparison_->setItem(static_cast<int>(row), column, item);
    }
  }
  comparison_->resizeColumnsToContents();
  Curve(stepBefore_, v.beforeSamples);
  Curve(stepAfter_, v.afterSamples);
  // "After" in the legend once there is a curve after the apply.
  if (v.afterSamples.empty()) {
    stepAfter_->removeFromLegend();
  } else {
    stepAfter_->addToLegend();
  }
  stepPlot_->rescaleAxes();
  stepPlot_->yAxis->scaleRange(1.1);
  stepPlot_->replot();
}

void TuneDialog::ApplyChecked() {
  if (Running() || !sequencer_ || applied_) return;
  std::vector<tune::ProposedValue> chosen;
  for (int row = 0; row < table_->rowCount(); ++row) {
    if (table_->item(row, 0)->checkState() != Qt::Checked) continue;
    tune::ProposedValue v = result_.proposal[static_cast<size_t>(row)];
    // What the user typed, else the proposal itself (the table shows six digits of it); what is
    // no number the page rules refuse.
    const QString typed = table_->item(row, 2)->text().trimmed();
    if (typed != Number(v.proposed)) {
      bool ok = false;
      v.proposed = typed.toDouble(&ok);
      if (!ok) v.proposed = std::nan("");
    }
    chosen.push_back(std::move(v));
  }
  if (chosen.empty()) return;
  applyCount_ = chosen.size();
  stop_ = false;
  cause_ = StopCause::None;
  appliedLine_->clear();
  // The test move after the apply moves the axis: the runs' thread, so that Stop and Esc work.
  worker_ = std::thread([this, chosen = std::move(chosen)] {
    tune::ApplyResult a = sequencer_->ApplyValues(chosen);
    QMetaObject::invokeMethod(
        this, [this, a = std::move(a)] { Applied(a); }, Qt::QueuedConnection);
  });
  UpdateButtons();
}

void TuneDialog::Applied(const tune::ApplyResult& a) {
  worker_.join();
  QStringList lines;
  if (!a.refused.empty()) {
    // Nothing was written: the refused value can be changed or unchecked and applied again.
    lines << Text(kTextApplyRefused).arg(QString::fromStdString(a.refused));
  } else {
    applied_ = true;
    if (!a.message.empty()) lines << Text(kTextApplyFailed).arg(QString::fromStdString(a.message));
    if (!a.differing.empty()) {
      QStringList names;
      for (const std::string& n : a.differing) names << QString::fromStdString(n);
      lines << Text(kTextDiffering).arg(names.join(QStringLiteral(", ")));
    }
  }
  if (lines.isEmpty()) lines << Text(kTextApplied).arg(applyCount_);
  appliedLine_->setText(lines.join(QLatin1Char('\n')));
  appliedLine_->setStyleSheet(a.Ok() ? QString() : QStringLiteral("color: #b00000"));
  FillComparison(a.verification);
  UpdateButtons();
}
