// Parameter entry and the command row on the page view's controls.
//
// The download and the command panel work on boxes by parameter number (entry::IEntryInputs,
// entry::IPanelInputs); this class finds those boxes among the view's controls, on the current
// page, and connects the buttons: Download (504), the Download buttons of the Common page's
// type lists (520 to 523) and the panel's push buttons (500 to 503, 505, 506). The jog buttons
// need no connection: they post their function keys (ValueButton).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "i18n/StringTable.h"
#include "link/AxtuneDoc.h"
#include "pages/entry/CommandPanel.h"
#include "pages/entry/Download.h"

class QWidget;

namespace pages {

class CAxtuneView;

class CPageEntry final : public entry::IEntryInputs, public entry::IPanelInputs {
 public:
  // Connects the buttons of `view`, whose controls exist, and gives `panel` the panel's boxes.
  CPageEntry(CAxtuneView& view, CAxtuneDoc& doc, const i18n::StringTable& strings,
             entry::CCommandPanel& panel);
  ~CPageEntry() override;
  CPageEntry(const CPageEntry&) = delete;
  CPageEntry& operator=(const CPageEntry&) = delete;

  // Button 504: the current page downloaded; invalid input shows dialog 133.
  void OnDownload();
  // A Download button beside a type list of the Common page.
  void OnTypeDownload(int buttonId);
  // A push button of the command panel.
  void OnPanelButton(int buttonId);

  // entry::IEntryInputs, on the current page. A box counts as shown while it is not hidden,
  // whether or not the window itself is on the screen.
  bool IsShown(uint16_t no, uint16_t bit) const override;
  std::string Text(uint16_t no) const override;
  void SetText(uint16_t no, const std::string& text) override;
  bool IsChecked(uint16_t no, uint16_t bit) const override;
  std::optional<int32_t> SelectedItem(uint16_t no) const override;

  // entry::IPanelInputs: the destination and velocity boxes below the pages.
  std::string Text(entry::PanelBox box) const override;
  void SetText(entry::PanelBox box, const std::string& text) override;

 private:
  QWidget* Box(uint16_t no, uint16_t bit = 0) const;
  QWidget* PanelEdit(entry::PanelBox box) const;
  // Runs a download with the display tick held off; shows dialog 133 when it was refused, and
  // the page's values at once when the page asks for it.
  void Download(const std::function<entry::DownloadResult()>& run);

  CAxtuneView& view_;
  CAxtuneDoc& doc_;
  const i18n::StringTable& strings_;
  entry::CCommandPanel& panel_;
};

}  // namespace pages
