// Download of a parameter page: every box of the page checked, the values taken over into the
// document's records and written to the axis, then read back.
//
// The page view supplies its boxes through IEntryInputs, by parameter number; nothing here
// knows a widget. While the communication is stopped (no axis, a stop-level error, the offline
// file mode) the values are still taken over, and nothing is sent.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "link/AxtuneDoc.h"

namespace entry {

// The boxes of the current page, by the parameter number of their field.
class IEntryInputs {
 public:
  virtual ~IEntryInputs() = default;
  // Whether the box is shown; `bit` names one check box of a bit word (0: the whole field).
  virtual bool IsShown(uint16_t no, uint16_t bit) const = 0;
  // The text of an edit box, UTF-8.
  virtual std::string Text(uint16_t no) const = 0;
  virtual void SetText(uint16_t no, const std::string& text) = 0;
  virtual bool IsChecked(uint16_t no, uint16_t bit) const = 0;
  // The item data of the selected entry of a selection list; none without a selection.
  virtual std::optional<int32_t> SelectedItem(uint16_t no) const = 0;
};

enum class DownloadOutcome : uint8_t {
  None,      // the page has nothing to download
  Rejected,  // invalid input, corrected in the boxes: show dialog 133; nothing taken over
  Done,      // taken over, written and read back as the page does
};

struct DownloadResult {
  DownloadOutcome outcome = DownloadOutcome::None;
  // The page's values are to be shown at once and the whole view repainted (Global).
  bool repaintNow = false;
};

// Dialog 133 "Unzulässige Eingaben": the string IDs of its title, its three lines and its button.
inline constexpr uint32_t kInvalidInputDialog = 133;
inline constexpr uint32_t kInvalidInputTitle = 37900;
inline constexpr std::array<uint32_t, 3> kInvalidInputLines{37901, 37902, 37903};
inline constexpr uint32_t kInvalidInputButton = 36101;

// Button 504 for `page`, or the view's Download of that page. The redisplay request goes through
// the document's IDocUi.
DownloadResult DownloadPage(int page, IEntryInputs& inputs, CAxtuneDoc& doc);

// The Download button beside a type list of the Common page (520 to 523). From V3.0.11 the
// Common page's download; before, the list's own field taken over and the whole record written,
// without read-back or redisplay. Any other button does nothing.
DownloadResult DownloadTypeButton(int buttonId, IEntryInputs& inputs, CAxtuneDoc& doc);

}  // namespace entry
