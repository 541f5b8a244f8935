// A push button that carries a key code: the jog buttons of the command row carry the codes of
// the function keys F1 to F4 (112 to 115) that they stand for.
//
// A left press posts a key-down of its key to its top-level window, a left release a key-up,
// each after the button's own handling, so that the main window's function-key filter sees them
// as if the key had been pressed: the mouse release lets the held key go first (stopping the
// jog), and the key-up that follows finds nothing to stop.
#pragma once

#include <QEvent>
#include <QPushButton>

namespace pages {

// Key codes of F1 and F12; a code in between stands for that function key.
inline constexpr int kKeyCodeF1 = 112;
inline constexpr int kKeyCodeF12 = 123;

class ValueButton : public QPushButton {
 public:
  ValueButton(int keyCode, QWidget* parent) : QPushButton(parent), keyCode_(keyCode) {}

  // The virtual-key code; 0 for none.
  int KeyCode() const { return keyCode_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void PostKey(QEvent::Type type);

  int keyCode_;
};

}  // namespace pages
