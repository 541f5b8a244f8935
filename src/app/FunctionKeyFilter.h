// The application-wide function-key filter: key-downs of F1 to F6 and F8 and key-ups of F1 to F4
// go to the page view's key command; a held key is released when the user touches a mouse
// button, uses a system key or the system menu, or when the window loses the foreground (checked
// at every timer tick). Every event continues to its normal handling.
//
// Key and mouse events are taken where the platform delivers them, at the top-level window, so
// that an event propagating from child to parent widgets counts once.
#pragma once

#include <QObject>
#include <functional>

#include "pages/entry/KeyCommand.h"

class QWidget;

class FunctionKeyFilter : public QObject {
 public:
  // `frame` is the main window; `target` may be null while there is no page view.
  FunctionKeyFilter(QWidget& frame, pages::IKeyCommand* target);

  void SetTarget(pages::IKeyCommand* target) { target_ = target; }
  // Whether the main window is the foreground window and not minimised (default: asks Qt).
  void SetForegroundProbe(std::function<bool()> probe) { foreground_ = std::move(probe); }

  // The timer part: releases a held key while the window is in the background, and asks for
  // a redisplay when it comes back.
  void OnTimer();

  // The held key (1 to 12), 0 for none.
  int HeldKey() const { return heldKey_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ReleaseHeldKey();

  QWidget& frame_;
  pages::IKeyCommand* target_;
  std::function<bool()> foreground_;
  int heldKey_ = 0;
  bool focus_ = true;
};
