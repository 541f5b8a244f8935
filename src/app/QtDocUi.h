// The document's way to the user in the application: a modal message box with one OK button,
// titled with the application's title, and a redisplay request to the page view. Either, asked
// for on another thread, is done on the window's thread.
#pragma once

#include <QString>
#include <functional>

#include "link/DocUi.h"

class QWidget;

class QtDocUi final : public axlink::IDocUi {
 public:
  QtDocUi(QWidget* parent, QString title) : parent_(parent), title_(std::move(title)) {}

  void SetRedisplay(std::function<void()> redisplay) { redisplay_ = std::move(redisplay); }
  void MessageBox(const std::string& text) override;
  void RequestRedisplay() override;

 private:
  QWidget* parent_;
  QString title_;
  std::function<void()> redisplay_;
};
