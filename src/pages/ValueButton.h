// A push button that carries a key code: the jog buttons of the command row carry the codes of
// the function keys F1 to F4 (112 to 115) that they stand for.
#pragma once

#include <QPushButton>

namespace pages {

class ValueButton : public QPushButton {
 public:
  ValueButton(int keyCode, QWidget* parent) : QPushButton(parent), keyCode_(keyCode) {}

  // The virtual-key code; 0 for none.
  int KeyCode() const { return keyCode_; }

 private:
  int keyCode_;
};

}  // namespace pages
