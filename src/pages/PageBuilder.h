// The one builder of the page view: turns every entry of the page tables into a widget, a child
// of the view, placed once in design units and never moved.
#pragma once

#include <QFont>
#include <functional>
#include <vector>

#include "pages/layout/Control.h"
#include "pages/layout/Design.h"

class QWidget;

namespace pages {

// Columns of the overview list.
inline constexpr int kOverviewColumns = 10;

struct PageControl {
  int page;  // 0 to 11, or layout::kFramePage
  const layout::Control* def;
  QWidget* widget;
};

// Creates the widget of one control as a child of `parent`; null when it cannot be created.
using ControlFactory = std::function<QWidget*(const layout::Control&, QWidget* parent)>;

// The widget of each kind: labels, edits, combo boxes filled with their sorted type list, check
// boxes, lamps (which a click does not toggle), buttons, value buttons and the overview list.
QWidget* CreateControl(const layout::Control& c, QWidget* parent);

// Creates and places every control of every page in creation order. Stops at the first
// control that cannot be created and returns false; what was created so far stays with
// `parent` and in `out`.
bool BuildPages(QWidget& parent, const layout::DesignScale& scale, const ControlFactory& make,
                std::vector<PageControl>& out);

struct PageFonts {
  QFont page;   // Arial, 22 design units
  QFont small;  // Arial, 16 design units
  QFont list;   // the fixed-pitch face, 16 design units
};
PageFonts MakePageFonts(const layout::DesignScale& scale);

// Gives every control its font: the list font to the overview list, the small font to the
// message box, the page font to all others.
void AssignFonts(const std::vector<PageControl>& controls, const PageFonts& fonts);

}  // namespace pages
