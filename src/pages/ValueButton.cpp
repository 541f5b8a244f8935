#include "pages/ValueButton.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

namespace pages {

void ValueButton::mousePressEvent(QMouseEvent* event) {
  const bool left = event->button() == Qt::LeftButton;
  QPushButton::mousePressEvent(event);
  if (left) PostKey(QEvent::KeyPress);
}

void ValueButton::mouseReleaseEvent(QMouseEvent* event) {
  const bool left = event->button() == Qt::LeftButton;
  QPushButton::mouseReleaseEvent(event);
  if (left) PostKey(QEvent::KeyRelease);
}

void ValueButton::PostKey(QEvent::Type type) {
  if (keyCode_ < kKeyCodeF1 || keyCode_ > kKeyCodeF12) return;
  QWindow* target = window()->windowHandle();
  if (target == nullptr) return;
  const int key = Qt::Key_F1 + (keyCode_ - kKeyCodeF1);
  QCoreApplication::postEvent(target, new QKeyEvent(type, key, Qt::NoModifier));
}

}  // namespace pages
