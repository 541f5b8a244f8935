// How the document reaches the user. The Qt application implements it with a modal message box
// and a redraw request to the page view; tests implement it with a recorder.
#pragma once

#include <string>

// The link layer's namespace is `axlink`, not `link`: link() is a POSIX function that <unistd.h>
// declares at global scope, and gtest, Asio and Qt all include that header, so a namespace of
// that name fails to compile next to them.
namespace axlink {

class IDocUi {
 public:
  virtual ~IDocUi() = default;
  // Shows `text` in a modal box with one OK button; returns when the user has closed it.
  virtual void MessageBox(const std::string& text) = 0;
  // Asks the next display tick to redraw the current page.
  virtual void RequestRedisplay() = 0;
};

}  // namespace axlink
