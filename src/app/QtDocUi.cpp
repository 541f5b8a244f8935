#include "app/QtDocUi.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace {

// The document may report from a thread of its own (a tuning run): the box and the redisplay
// then go to the window's thread, and the run goes on meanwhile.
bool OffTheWindowThread() {
  return QThread::currentThread() != qApp->thread();
}

// The window, or the application while there is none: what the box is posted to.
QObject* Context(QWidget* parent) {
  return parent != nullptr ? static_cast<QObject*>(parent) : qApp;
}

}  // namespace

void QtDocUi::MessageBox(const std::string& text) {
  if (OffTheWindowThread()) {
    QMetaObject::invokeMethod(
        Context(parent_), [this, text] { MessageBox(text); }, Qt::QueuedConnection);
    return;
  }
  QMessageBox box(QMessageBox::Warning, title_, QString::fromStdString(text), QMessageBox::Ok,
                  parent_);
  box.exec();
}

void QtDocUi::RequestRedisplay() {
  if (OffTheWindowThread()) {
    QMetaObject::invokeMethod(
        Context(parent_), [this] { RequestRedisplay(); }, Qt::QueuedConnection);
    return;
  }
  if (redisplay_) redisplay_();
}
