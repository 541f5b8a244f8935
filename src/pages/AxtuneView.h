// The page view: a tab control with the twelve pages of the current axis, the overview list
// that login fills, and the display tick (`RefreshPages`) that the main frame's timer drives.
//
// The pages' own controls are added by their pages; this class holds what every page shares:
// the tab captions, the view flags, the overview list and its axis list, and the key command.
#pragma once

#include <QTabWidget>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/AxisList.h"
#include "link/AxtuneDoc.h"
#include "link/Select.h"
#include "pages/KeyCommand.h"
#include "pages/entry/CommandPanel.h"

class QTreeWidget;

namespace pages {

inline constexpr int kPageCommon = 0;
inline constexpr int kPageOverview = 1;
inline constexpr int kPageEncoder = 5;
inline constexpr int kPageLinTab = 10;
inline constexpr int kPageCount = 12;
// SelectAxis with this page reads every record.
inline constexpr int kAllPages = 12;

// String IDs of the tab captions, in tab order.
inline constexpr std::array<uint32_t, kPageCount> kTabTextIds{
    1000, 12000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 11000, 11001};
// A tab caption holds at most this many characters.
inline constexpr size_t kMaxTabText = 89;
// Tabs are at least this wide, in pixels.
inline constexpr int kTabWidth = 80;
// A display tick runs on every this many timer calls.
inline constexpr int kTicksPerRefresh = 5;
// The overview refresh handles at most this many rows per tick.
inline constexpr size_t kOverviewRowsPerTick = 20;
// Columns of the overview list.
inline constexpr int kOverviewColumns = 10;

class CAxtuneView : public QTabWidget, public IKeyCommand {
 public:
  // Finds the server versions of a listed axis (the axis tree keeps them).
  using TargetResolver =
      std::function<std::optional<axlink::AxisTarget>(const axlink::OverviewEntry&)>;

  CAxtuneView(CAxtuneDoc& doc, i18n::StringTable& strings, QWidget* parent = nullptr);
  // Removing the tabs at destruction is no tab change.
  ~CAxtuneView() override { blockSignals(true); }
  CAxtuneView(const CAxtuneView&) = delete;
  CAxtuneView& operator=(const CAxtuneView&) = delete;

  void SetTargetResolver(TargetResolver resolver) { resolver_ = std::move(resolver); }

  // Tab captions (and later every label) in the current language.
  void SetPageTexts();

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

  QTreeWidget* OverviewList() const { return overview_; }
  const std::vector<axlink::OverviewEntry>& ListedAxes() const { return listed_; }
  CAxtuneDoc& Doc() { return doc_; }

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
  void OnTabChanged(int index);
  void RefreshOverview();
  void TakeOverviewSelection();
  bool IsCurrentAxis(const axlink::OverviewEntry& entry) const;
  void WriteOverviewRow(size_t row, bool current);

  CAxtuneDoc& doc_;
  i18n::StringTable& strings_;
  entry::CCommandPanel panel_{doc_};
  TargetResolver resolver_;
  QTreeWidget* overview_ = nullptr;
  std::vector<axlink::OverviewEntry> listed_;
  int tickCount_ = 0;
  int lastOverviewSelection_ = -1;
};

}  // namespace pages
