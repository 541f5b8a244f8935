// Design units: every position and size of the page view is given in 1/1024 of the primary
// screen's height H and becomes v * H / 1024 pixels, truncated toward zero, each term on its own
// (an edge made of two terms is the sum of two converted terms).
#pragma once

#include "pages/layout/Control.h"

namespace pages::layout {

inline constexpr int kDesignHeight = 1024;

struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;   // exclusive
  int bottom = 0;  // exclusive

  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
  friend constexpr bool operator==(const PixelRect&, const PixelRect&) = default;
};

class DesignScale {
 public:
  explicit constexpr DesignScale(int screenHeight) : h_(screenHeight) {}

  constexpr int ScreenHeight() const { return h_; }
  constexpr int Px(int v) const { return v * h_ / kDesignHeight; }

  // The rectangle of a control of `c.kind`:
  //   texts, message box  (x, y) to (x + w, y + h)
  //   edits               (x, y - 2) to (x + w, y + 30 + 6)
  //   combo box           (x, y - 2) to (x + w, y + h), h the height with the list dropped
  //   check box, lamp     (x, y) to (x + w, y + 36)
  //   button, list        (x, y) to (x + w, y + h)
  constexpr PixelRect Rect(const Control& c) const {
    PixelRect r{Px(c.x), Px(c.y), Px(c.x) + Px(c.w), Px(c.y) + Px(c.h)};
    switch (c.kind) {
      case Kind::Edit:
      case Kind::ReadOnly:
      case Kind::ReadOnlyLeft:
        r.top = Px(c.y) + Px(-2);
        r.bottom = Px(c.y) + Px(30) + Px(6);
        break;
      case Kind::Combo:
        r.top = Px(c.y) + Px(-2);
        break;
      case Kind::Check:
      case Kind::Lamp:
        r.bottom = Px(c.y) + Px(36);
        break;
      case Kind::Text:
      case Kind::MessageBox:
      case Kind::Button:
      case Kind::ValueButton:
      case Kind::List:
        break;
    }
    return r;
  }

  // The height of an edit: a combo box's closed part takes the same.
  constexpr int EditHeight(int y) const { return Px(y) + Px(30) + Px(6) - (Px(y) + Px(-2)); }

 private:
  int h_;
};

}  // namespace pages::layout
