// The page view: a tab control with the twelve pages of the current axis, the overview list
// that login fills, and the display tick (`RefreshPages`) that the main frame's timer drives.
//
// Every control of every page is a child of the view, created once from the page tables
// (layout/PageTables.h) and placed in design units of the primary screen's height; switching
// the tab only shows and hides controls (`UpdateVisibility`). Controls are found by what they
// show: a parameter number (and bit), or a value of their own (layout::ValueId).
#pragma once

#include <QTabWidget>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/AxisList.h"
#include "link/AxtuneDoc.h"
#include "link/Select.h"
#include "pages/OverviewList.h"
#include "pages/PageBuilder.h"
#include "pages/PageEntry.h"
#include "pages/PageNumbers.h"
#include "pages/entry/CommandPanel.h"
#include "pages/entry/KeyCommand.h"
#include "pages/layout/Design.h"
#include "pages/layout/PageTables.h"
#include "pages/layout/Visibility.h"

class QAbstractButton;
class QTreeWidget;

namespace pages {

class CCharacteristicChart;

using layout::kTabTextIds;
// A tab caption holds at most this many characters.
inline constexpr size_t kMaxTabText = 89;
// Tabs are at least this wide, in pixels.
inline constexpr int kTabWidth = 80;
// A display tick runs on every this many timer calls.
inline constexpr int kTicksPerRefresh = 5;

// How the view is made; tests choose the screen height and make a control fail.
struct ViewOptions {
  int screenHeight = 0;    // pixels; 0: the primary screen's height
  ControlFactory factory;  // null: CreateControl
};

class CAxtuneView : public QTabWidget, public IKeyCommand {
 public:
  using TargetResolver = OverviewTargetResolver;

  CAxtuneView(CAxtuneDoc& doc, i18n::StringTable& strings, QWidget* parent = nullptr,
              ViewOptions options = {});
  // Removing the tabs at destruction is no tab change.
  ~CAxtuneView() override { blockSignals(true); }
  CAxtuneView(const CAxtuneView&) = delete;
  CAxtuneView& operator=(const CAxtuneView&) = delete;

  // False when a control could not be created: the view is then unusable and the window that
  // holds it must not open.
  bool Created() const { return created_; }

  void SetTargetResolver(TargetResolver resolver) { resolver_ = std::move(resolver); }

  // Every tab caption, label and button caption in the current language, with the captions
  // that depend on the page and the axis types, and the auxiliary names of the document.
  void SetPageTexts();
  // Shows or hides every control for the current page and axis configuration.
  void UpdateVisibility();
  // A reflected notification of the tab control: a real change of the selected tab (`selected`,
  // -1 for none) requests a redisplay, restarts the overview at row 1, updates the visibility
  // and repaints. Qt delivers it as the tab widget's currentChanged.
  void OnTabChildNotify(int selected);
  // What the visibility and text rules look at now.
  layout::ViewInputs Inputs() const;

  // The overview list: one row per axis found at login, at most 256.
  void AddOverviewEntry(std::string_view name, const oxa::OxaAddr& addr, uint16_t number);
  // Logout: the overview list and its axis list emptied, then the logout update: bFileMode
  // cleared, the document reset, the texts reloaded.
  void ClearForLogout();

  // Offline file mode: reads the parameter file into the document's records; true once the
  // file could be opened (whatever its contents), which sets bFileMode and nFileFormat.
  bool LoadParameterFile(const std::string& path);

  // The display tick, called at every timer message; runs on every fifth call, never nested.
  void RefreshPages();

  // Runs `work` (a command or an axis selection) with the display tick held off, so that a
  // message box it shows does not let the timer read the document while `work` is unfinished.
  void RunExclusive(const std::function<void()>& work);

  // IKeyCommand: the command panel's key command for the current page.
  void KeyCommand(bool down, int key) override;
  void RequestRedisplay() override { bRedisplay = true; }
  // The current page's values written at once and the view repainted, as after a download of
  // the Global page.
  void ShowCurrentPageNow();

  QTreeWidget* OverviewList() const { return overview_.Widget(); }
  // The characteristic chart of the LinTab page.
  CCharacteristicChart* Chart() const { return chart_; }
  const std::vector<axlink::OverviewEntry>& ListedAxes() const { return overview_.Entries(); }
  CAxtuneDoc& Doc() { return doc_; }

  // ---- The controls ----
  const layout::DesignScale& Scale() const { return scale_; }
  std::span<const PageControl> Controls() const { return controls_; }
  // The control of `page` that shows parameter `no` (LinRecord settings by their numbers,
  // AuxData[i] as 2001 + i, a JerkEnabled box by its bit; on the Common page the type lists
  // by 1000, 1100, 1101 and 1300); null if there is none.
  QWidget* ParamControl(int page, uint16_t no, uint32_t bit = 0) const;
  // The control of `page` (layout::kFramePage for the frame rows) that shows `value`; lamps of
  // a bit word by their mask, lamps of a row of bytes by their index.
  QWidget* ValueControl(int page, layout::ValueId value, uint32_t bit = 0) const;
  // The read-only field of the Common page that names the type with parameter number `no`.
  QWidget* TypeNameControl(uint16_t no) const;
  // The label or caption of `page` with string ID `textId` (the first one in row order).
  QWidget* TextControl(int page, uint32_t textId) const;
  // A button by its command ID (500 to 510, 520 to 523).
  QAbstractButton* Button(int id) const;

  // The view at its design size: every control inside, with a margin.
  QSize sizeHint() const override;

  int32_t nCurrentPage = 0;
  bool bRedisplay = false;
  bool bFileMode = false;
  int nFileFormat = 0;
  bool bUnsavedShown = false;
  bool bRefreshBusy = false;
  int32_t nOverviewRow = 0;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreatePages(const ControlFactory& factory);
  void InitialUpdate();
  void KeepListBelowTabs();
  // The display tick's writing: the values of `page` in its controls; the parameter pages only
  // with `redraw`, so that a value being typed is not overwritten.
  void ShowPage(int page, bool redraw);
  // The parameter values of `page`: the type lists' edit parts, or every other control.
  void ShowParameterValues(int page, bool typeLists);
  // The runtime values, names and lamps of the Common, Online or I/O page; the message box only
  // with `redraw`.
  void ShowOnlineValues(int page, bool redraw);

  CAxtuneDoc& doc_;
  i18n::StringTable& strings_;
  entry::CCommandPanel panel_{doc_};
  // The boxes and buttons of entry and the command row; null while the controls are missing.
  std::unique_ptr<CPageEntry> entry_;
  // The primary screen's height, read once.
  layout::DesignScale scale_;
  PageFonts fonts_;
  std::vector<PageControl> controls_;
  bool created_ = false;
  TargetResolver resolver_;
  COverviewList overview_{doc_, strings_, resolver_, nOverviewRow};
  CCharacteristicChart* chart_ = nullptr;
  int tickCount_ = 0;
};

}  // namespace pages
