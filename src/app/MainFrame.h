// The main window: the axis tree and the page view side by side, the menu, the status bar with
// the file state, connection, version and target address, and the 100 ms timer that drives
// the page view. It owns the Oxa port, the target address and the status texts.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/JournalHook.h"
#include "app/LeftView.h"
#include "i18n/StringTable.h"
#include "link/AxtuneDoc.h"
#include "link/Login.h"
#include "link/Routes.h"
#include "pages/AxtuneView.h"
#include "trend/Clock.h"
#include "trend/Recorder.h"

class QAction;
class QLabel;
class QSettings;
class QSplitter;
class FunctionKeyFilter;
class QtDocUi;
class TrendDock;
class TuneDialog;

// What the window asks the user through dialogs; tests replace them.
struct FrameHooks {
  axlink::IDocUi* ui = nullptr;  // null: modal message boxes
  // The parameter file to open; empty when the user cancels. Null: the open-file dialog.
  std::function<QString()> openParameterFile;
  // The chosen target entry, or -1 for Abort. Null: the target dialog.
  std::function<int(const std::vector<axlink::TargetEntry>&)> chooseTarget;
  // The commissioning journal: off for --no-journal; its directory (empty: the user's); the CSV
  // file to export to (null: the save dialog).
  bool noJournal = false;
  std::string journalDir;
  std::function<QString()> chooseJournalExport;
  // The trend recorder's own Oxa client (null: a new OXA/TCP client) and where it remembers
  // its choices (null: the user's settings of Axtune).
  trend::OxaFactory recorderOxa;
  QSettings* settings = nullptr;
  // Runs the tuning dialog in place of its exec (null: exec).
  std::function<void(TuneDialog&)> tuneDialog;
};

class CMainFrame : public QMainWindow {
 public:
  static constexpr int kTimerId = 110;
  static constexpr int kTimerPeriodMs = 100;
  static constexpr int32_t kRequestTimeoutMs = 1000;

  CMainFrame(oxa::IOxa& oxa, i18n::StringTable& strings, FrameHooks hooks = {});
  ~CMainFrame() override;
  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  // Runs a menu command by its ID; unknown IDs do nothing.
  void OnCommand(int id);
  // One timer message: the key filter's check, the page view's tick, the file state.
  void OnTimer();

  QAction* Action(int id) const;
  CLeftView* LeftView() const { return left_; }
  pages::CAxtuneView* PageView() const { return view_; }
  CAxtuneDoc& Doc() { return *doc_; }
  FunctionKeyFilter& KeyFilter() { return *keyFilter_; }
  QTimer& Timer() { return timer_; }
  TrendDock* Trend() const { return trend_; }
  QLabel* Pane(int id) const;
  QLabel* MessagePane() const { return messagePane_; }

  const axlink::FrameStatus& Status() const { return status_; }
  const std::string& TargetText() const { return targetText_; }
  const std::string& FileState() const { return fileState_; }
  const oxa::NetId& Target() const { return target_; }
  long PortHandle() const { return portHandle_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class Lists;

  // A menu command: its ID, the string ID of its menu text, and what it does.
  struct Command {
    int id;
    uint32_t textId;
    void (*run)(CMainFrame&);
  };
  // Every menu command, in menu order; BuildMenus takes the texts, RunCommand the actions.
  static const Command kCommands[];
  static const Command* FindCommand(int id);

  void RunCommand(int id);
  void BuildMenus();
  void BuildStatusBar();
  void UpdateStatus();
  axlink::LoginEnv Env();
  void Logout();
  void Login();
  void SelectTarget();
  void OfflineFileMode();
  void SwitchLanguage(uint16_t language);
  // Online > Tune axis: only with an axis selected, not in the file mode.
  void UpdateTuneAction();
  bool TuneAllowed() const;
  void TuneAxis();
  void ToggleStatusBar();
  void ToggleTrendRecorder();
  void ShowAbout();

  oxa::IOxa& oxa_;
  i18n::StringTable& strings_;
  FrameHooks hooks_;
  std::unique_ptr<QtDocUi> ownUi_;
  std::unique_ptr<CAxtuneDoc> doc_;
  std::unique_ptr<CJournalHook> journal_;  // after doc_: it leaves the document's observers first
  QSplitter* splitter_ = nullptr;
  CLeftView* left_ = nullptr;
  pages::CAxtuneView* view_ = nullptr;
  std::unique_ptr<Lists> lists_;
  FunctionKeyFilter* keyFilter_ = nullptr;
  QTimer timer_;
  std::map<int, QAction*> actions_;
  std::map<int, QLabel*> panes_;
  QLabel* messagePane_ = nullptr;
  trend::SteadyClock trendClock_;
  std::unique_ptr<QSettings> ownSettings_;
  TrendDock* trend_ = nullptr;

  axlink::FrameStatus status_;
  std::string targetText_;
  std::string targetTitle_{axlink::kTitleLocal};
  std::string fileState_;
  long portHandle_ = 0;
  oxa::NetId target_;
};
