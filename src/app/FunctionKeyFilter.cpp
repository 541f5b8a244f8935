#include "app/FunctionKeyFilter.h"

#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

namespace {

// The number of a function key, 0 for any other key.
int FunctionKeyNumber(int qtKey) {
  if (qtKey < Qt::Key_F1 || qtKey > Qt::Key_F12) return 0;
  return qtKey - Qt::Key_F1 + 1;
}

bool IsPressedKey(int n) {
  return (n >= 1 && n <= 6) || n == pages::kKeyF8;
}
bool IsReleasedKey(int n) {
  return n >= 1 && n <= 4;
}

bool IsMouseButtonEvent(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
      return true;
    default:
      return false;
  }
}

}  // namespace

FunctionKeyFilter::FunctionKeyFilter(QWidget& frame, pages::IKeyCommand* target)
    : QObject(&frame), frame_(frame), target_(target) {
  foreground_ = [this] { return frame_.isActiveWindow() && !frame_.isMinimized(); };
}

void FunctionKeyFilter::ReleaseHeldKey() {
  if (heldKey_ == 0) return;
  const int key = heldKey_;
  heldKey_ = 0;
  if (target_) target_->KeyCommand(false, key);
}

void FunctionKeyFilter::OnTimer() {
  if (!target_) return;
  if (!foreground_()) {
    focus_ = false;
    ReleaseHeldKey();
    return;
  }
  if (!focus_) target_->RequestRedisplay();
  focus_ = true;
}

bool FunctionKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (!target_) return false;
  const QEvent::Type type = event->type();
  if (watched == &frame_) {
    // A resize, or a system command that minimises, maximises or restores the window.
    if (type == QEvent::Resize) target_->RequestRedisplay();
    if (type == QEvent::WindowStateChange) ReleaseHeldKey();
    return false;
  }
  if (!watched->isWindowType()) return false;

  if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    if (key->isAutoRepeat()) return false;
    const int qtKey = key->key();
    if (type == QEvent::KeyPress &&
        (qtKey == Qt::Key_Alt || qtKey == Qt::Key_F10 || key->modifiers() & Qt::AltModifier)) {
      // A system key: the menu bar or a window command takes over.
      ReleaseHeldKey();
      return false;
    }
    const int n = FunctionKeyNumber(qtKey);
    // Only the main window's own keys start anything: not those typed into a dialog or a
    // message box in front of it. Releases count from anywhere.
    if (type == QEvent::KeyPress && IsPressedKey(n) && watched == frame_.windowHandle()) {
      heldKey_ = n;
      target_->KeyCommand(true, n);
    } else if (type == QEvent::KeyRelease && IsReleasedKey(n)) {
      target_->KeyCommand(false, n);
      heldKey_ = 0;
    }
    return false;
  }
  if (IsMouseButtonEvent(type)) ReleaseHeldKey();
  return false;
}
