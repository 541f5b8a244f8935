// What the function keys reach: the page view's key command, or a recorder in tests.
#pragma once

namespace pages {

// Function keys by their number: 1 for F1 ... 12 for F12.
inline constexpr int kKeyF1 = 1;
inline constexpr int kKeyF2 = 2;
inline constexpr int kKeyF3 = 3;
inline constexpr int kKeyF4 = 4;
inline constexpr int kKeyF5 = 5;
inline constexpr int kKeyF6 = 6;
inline constexpr int kKeyF8 = 8;

class IKeyCommand {
 public:
  virtual ~IKeyCommand() = default;
  // `down` true for a key-down, false for a key-up; `key` 1 to 12.
  virtual void KeyCommand(bool down, int key) = 0;
  // Asks the next display tick to redraw the current page.
  virtual void RequestRedisplay() = 0;
};

}  // namespace pages
