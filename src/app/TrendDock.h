// The trend recorder: a window of its own beside the main window (or docked in it, as the user
// likes), with the live plot of the current axis, the cursor readings, the step-response figures
// of the last five moves and the controls. It opens where the user last left it.
//
// Recording reads the axis that is current when it starts, on a port and thread of its own
// (trend::Recorder), and stops when that axis is no longer current: at a logout (which the login,
// a target change and the file mode begin with) and when another axis is selected. The window's
// start, jog and home commands arm it through the document's observer: each becomes a move whose
// figures appear beside the plot when it has ended; with "Start with next move" such a command also
// starts the recording. The dock shows nothing through the document's error box: failed reads are
// counted in its status line.
#pragma once

#include <QDockWidget>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <vector>

#include "app/TrendPlot.h"
#include "i18n/StringTable.h"
#include "link/AxtuneDoc.h"
#include "trend/Arm.h"
#include "trend/Moves.h"
#include "trend/Recorder.h"

class QAction;
class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QMenu;
class QSettings;
class QSpinBox;
class QTableWidget;
class QTimer;
class QToolButton;

class TrendDock : public QDockWidget {
 public:
  // Runs a command with the window's display tick held off.
  using RunExclusive = std::function<void(const std::function<void()>&)>;
  // The file to save (`save`) or open for a filter; empty when the user cancels.
  using ChooseFile = std::function<QString(bool save, const QString& filter)>;

  // New samples are taken into the plot this often (ms).
  static constexpr int kPollMs = 100;

  // `clock`, `settings` and `doc` outlive the dock.
  TrendDock(CAxtuneDoc& doc, i18n::StringTable& strings, trend::OxaFactory factory,
            trend::IClock& clock, QSettings& settings, RunExclusive run, QWidget* parent = nullptr);
  ~TrendDock() override;
  TrendDock(const TrendDock&) = delete;
  TrendDock& operator=(const TrendDock&) = delete;

  // All texts in the current language.
  void SetTexts();

  // Shows the recorder where the user last had it: docked, or in its own window at its place;
  // the first time in its own window beside `window` (see PlaceBeside).
  void Open(const QWidget& window);
  // The place of the recorder's own window of `size` beside the window at `main` on a screen of
  // `available`: right of it where there is room, else left of it, else at the screen's right
  // edge; level with its top as far as the screen allows.
  static QRect PlaceBeside(const QRect& main, const QRect& available, QSize size);
  // The size of the recorder's own window when it first opens.
  static constexpr int kFirstWidth = 1280;
  static constexpr int kFirstHeight = 760;

  // Starts recording the document's current axis at the chosen rate into a buffer of the
  // chosen length; false (with the reason in the status line) when no axis is selected.
  bool StartRecording();
  void StopRecording();
  bool Recording() const { return recorder_.Running(); }
  // Stops a recording whose axis is no longer the document's current axis; its samples and
  // figures stay on screen, and the next Record reads the axis that is current then.
  void FollowCurrentAxis();
  // While the document is held (a tuning run uses it on a thread of its own), the dock reads
  // nothing of it; the marks of the commands sent meanwhile are taken over to the dock's thread.
  void HoldDocument(bool held) { held_ = held; }
  // The button beside the test move that runs `action` (Online > Tune axis).
  void SetTuneAction(QAction* action);
  // "Start with next move".
  void SetArmed(bool armed);
  // Pause stops the view from following the newest samples; recording goes on.
  void SetPaused(bool paused);
  bool Paused() const { return !plot_->Live(); }
  void SetAutoscale(bool on);
  void SetCursorsShown(bool shown);
  // Shows the cursors at `a` and `b` (s from the start of the recording).
  void PlaceCursors(double a, double b);
  // The channels shown, remembered in the settings; at least one.
  void SetChannels(const trend::ChannelSet& channels);
  void SetRate(int hz);
  void SetBufferMinutes(int minutes);

  // Takes the samples that arrived since the last call into the plot and the move tracker and
  // refreshes the view; the dock's timer calls it.
  void Poll();

  // Files: the visible range or the whole recording as CSV (the channels shown), the plot as
  // PNG, and a recording read back from CSV. Each reports a failure in the status line.
  bool ExportCsv(const QString& path, bool visibleOnly);
  bool ExportPng(const QString& path);
  bool OpenCsv(const QString& path);

  // The test move: a start to the position and velocity of the dock's fields.
  int32_t StartTestMove();
  void SetTestMove(double position, double velocity);

  // Shows the move `index` (0 the newest) of the figure table in the plot.
  void ShowMove(int index);

  TrendPlot* Plot() const { return plot_; }
  QTableWidget* CursorTable() const { return cursorTable_; }
  QTableWidget* FigureTable() const { return figureTable_; }
  QLabel* StatusLine() const { return status_; }
  const trend::MoveTracker& Tracker() const { return tracker_; }
  // Moves ended since the recording started.
  int MovesEnded() const { return movesEnded_; }
  trend::Recorder& Rec() { return recorder_; }
  // The axis the recording reads, or read last.
  const trend::RecordTarget& Recorded() const { return target_; }
  // Seconds from the start of the recording on the plot's time axis.
  double Origin() const { return t0_; }

  ChooseFile chooseFile;

 protected:
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildUi();
  // Remembers where the recorder's own window is, while it is shown.
  void RememberPlace();
  void OnMark(const trend::MoveMark& mark);
  void ReloadPlot();
  void UpdateStatus();
  void UpdateCursorTable();
  void TakeMoves();
  // The newest move is the first column.
  void UpdateFigureTable();
  void ShowProblem(const QString& text);
  std::vector<QString> ChannelNames() const;
  QString Text(uint32_t id) const;
  QString AskFile(bool save, uint32_t filterId);

  CAxtuneDoc& doc_;
  i18n::StringTable& strings_;
  trend::IClock& clock_;
  QSettings& settings_;
  RunExclusive run_;
  trend::Recorder recorder_;
  trend::CommandArm arm_;
  trend::MoveTracker tracker_;
  trend::RecordTarget target_;
  bool armed_ = false;
  bool held_ = false;
  bool wanted_ = false;  // a recording was started and not stopped by the user
  uint64_t seen_ = 0;    // ring samples taken so far
  double t0_ = 0;
  int movesEnded_ = 0;
  QString problem_;
  std::vector<trend::Sample> fresh_;

  TrendPlot* plot_ = nullptr;
  QTimer* timer_ = nullptr;
  QToolButton* record_ = nullptr;
  QCheckBox* armBox_ = nullptr;
  QToolButton* pause_ = nullptr;
  QToolButton* autoscale_ = nullptr;
  QToolButton* cursors_ = nullptr;
  QToolButton* channels_ = nullptr;
  QMenu* channelMenu_ = nullptr;
  std::vector<QAction*> channelActions_;
  QToolButton* export_ = nullptr;
  QAction* exportVisible_ = nullptr;
  QAction* exportAll_ = nullptr;
  QAction* exportPng_ = nullptr;
  QToolButton* open_ = nullptr;
  QLabel* rateLabel_ = nullptr;
  QSpinBox* rate_ = nullptr;
  QLabel* bufferLabel_ = nullptr;
  QSpinBox* buffer_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* testLabel_ = nullptr;
  QLabel* positionLabel_ = nullptr;
  QDoubleSpinBox* position_ = nullptr;
  QLabel* velocityLabel_ = nullptr;
  QDoubleSpinBox* velocity_ = nullptr;
  QToolButton* start_ = nullptr;
  QToolButton* tune_ = nullptr;
  QTableWidget* cursorTable_ = nullptr;
  QTableWidget* figureTable_ = nullptr;
};
