// The tuning assistant in the window: a modal dialog in three pages. The first asks for the
// limits of the runs (the travel window, the highest velocity, the following error that ends a
// run, and which runs to do); the second shows the runs going, with their figures and the
// measured velocity characteristic; the third the proposal, each value with its reason, a check
// box and its proposed value open to editing, and writes the checked ones to the axis. When the
// runs made their test move, the proposal page compares its step-response figures and curve with
// those of the same move after the apply.
//
// The runs and the apply go on a thread of their own, which has the document to itself while they
// last (the dialog is modal and the window holds its own readers off); the dialog stays live.
// Stop, Esc, closing the dialog and Axtune or the dialog losing the foreground stop the axis at
// once.
#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "i18n/StringTable.h"
#include "link/AxtuneDoc.h"
#include "trend/Clock.h"
#include "trend/Recorder.h"
#include "tune/Sequencer.h"

class QCheckBox;
class QCPGraph;
class QCustomPlot;
class QDoubleSpinBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableWidget;

class TuneDialog : public QDialog {
 public:
  enum Page { kLimitsPage = 0, kRunsPage = 1, kProposalPage = 2 };
  enum class StopCause : uint8_t { None, User, Foreground };

  // `doc` has the axis to tune selected; `ownOxa` makes the connection the runs read the axis
  // on, `clock` paces them. All outlive the dialog.
  TuneDialog(CAxtuneDoc& doc, i18n::StringTable& strings, trend::OxaFactory ownOxa,
             trend::IClock& clock, QWidget* parent = nullptr);
  ~TuneDialog() override;
  TuneDialog(const TuneDialog&) = delete;
  TuneDialog& operator=(const TuneDialog&) = delete;

  // Starts the runs with the limits of the first page; false (with the reason shown) when the
  // connection could not be opened.
  bool StartRun();
  // Asks the running sequence to stop the axis.
  void StopRun(StopCause cause);
  bool Running() const { return worker_.joinable(); }
  // Writes the checked rows of the proposal on the runs' thread, then shows what the page rules
  // refused, what failed or read back differently, and the test move after it.
  void ApplyChecked();

  QDoubleSpinBox* WindowMin() const { return windowMin_; }
  QDoubleSpinBox* WindowMax() const { return windowMax_; }
  QDoubleSpinBox* MaxVelocity() const { return maxVelocity_; }
  QDoubleSpinBox* LagBound() const { return lagBound_; }
  QCheckBox* VelocityStep() const { return velocityStep_; }
  QCheckBox* DynamicsStep() const { return dynamicsStep_; }
  QCheckBox* VerifyStep() const { return verifyStep_; }
  QTableWidget* ProposalTable() const { return table_; }
  QLabel* EndLine() const { return endLine_; }
  QLabel* AppliedLine() const { return appliedLine_; }
  QCustomPlot* Plot() const { return plot_; }
  // The step-response figures before and after the apply, and their curves.
  QTableWidget* ComparisonTable() const { return comparison_; }
  QCustomPlot* StepPlot() const { return stepPlot_; }
  QStackedWidget* Pages() const { return pages_; }
  // The last run's result; valid once it has ended.
  const tune::RunResult& Result() const { return result_; }
  bool Ended() const { return ended_; }

  // The prefilled limits for the document's axis: its enabled soft limits, else the current
  // position ± kSpan; half its reference velocity; a fifth of the window as the lag bound.
  static tune::Limits Prefill(const CAxtuneDoc& doc);
  static constexpr double kSpan = 50;  // mm

  void reject() override;

 protected:
  bool event(QEvent* event) override;

 private:
  void BuildUi();
  void SetTexts();
  void UpdateButtons();
  void ShowProgress(const tune::Progress& p);
  void Finished(const tune::RunResult& result);
  void FillPlot();
  void FillTable();
  void Applied(const tune::ApplyResult& result);
  void FillComparison(const tune::Verification& v);
  QString Text(uint32_t id) const;

  CAxtuneDoc& doc_;
  i18n::StringTable& strings_;
  trend::OxaFactory ownOxa_;
  trend::IClock& clock_;

  std::unique_ptr<oxa::IOxa> own_;
  std::unique_ptr<trend::SampleRing> ring_;
  std::unique_ptr<trend::Sampler> sampler_;
  std::unique_ptr<tune::Sequencer> sequencer_;
  std::thread worker_;
  std::atomic<bool> stop_{false};
  StopCause cause_ = StopCause::None;
  tune::Steps steps_;
  tune::RunResult result_;
  bool ended_ = false;
  bool applied_ = false;
  size_t applyCount_ = 0;  // the values of the apply going

  QStackedWidget* pages_ = nullptr;
  QLabel* axis_ = nullptr;
  QLabel* intro_ = nullptr;
  QLabel* windowLabel_ = nullptr;
  QLabel* toLabel_ = nullptr;
  QLabel* velocityLabel_ = nullptr;
  QLabel* lagLabel_ = nullptr;
  QDoubleSpinBox* windowMin_ = nullptr;
  QDoubleSpinBox* windowMax_ = nullptr;
  QDoubleSpinBox* maxVelocity_ = nullptr;
  QDoubleSpinBox* lagBound_ = nullptr;
  QCheckBox* velocityStep_ = nullptr;
  QCheckBox* dynamicsStep_ = nullptr;
  QCheckBox* verifyStep_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPlainTextEdit* figures_ = nullptr;
  QCustomPlot* plot_ = nullptr;
  QCPGraph* measured_ = nullptr;
  QCPGraph* fitOut_ = nullptr;
  QCPGraph* fitIn_ = nullptr;
  QTableWidget* table_ = nullptr;
  QLabel* endLine_ = nullptr;
  QLabel* restoredLine_ = nullptr;
  QLabel* appliedLine_ = nullptr;
  QWidget* compared_ = nullptr;
  QTableWidget* comparison_ = nullptr;
  QCustomPlot* stepPlot_ = nullptr;
  QCPGraph* stepBefore_ = nullptr;
  QCPGraph* stepAfter_ = nullptr;
  QPushButton* back_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  QPushButton* apply_ = nullptr;
  QPushButton* close_ = nullptr;
};
