#include "app/QtDocUi.h"

#include <QMessageBox>

void QtDocUi::MessageBox(const std::string& text) {
  QMessageBox box(QMessageBox::Warning, title_, QString::fromStdString(text), QMessageBox::Ok,
                  parent_);
  box.exec();
}
