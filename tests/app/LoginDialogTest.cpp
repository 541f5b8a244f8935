// Login against a controller that accepts connections and never answers: the window shows the
// progress dialog, and Cancel ends the scan once the probe in flight has timed out.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "AppRig.h"
#include "app/LoginProgressDialog.h"
#include "app/MenuIds.h"
#include "oxa/OxaTcpClient.h"

namespace apptest {
namespace {

// A listening socket that nobody serves: the kernel completes every connect and keeps it queued,
// so each request runs into its timeout, and the queue tells how many connections were opened.
class SilentListener {
 public:
  SilentListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
        ::listen(fd_, 64) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      return;
    }
    port_ = ntohs(a.sin_port);
  }
  ~SilentListener() {
    if (fd_ >= 0) ::close(fd_);
  }
  uint16_t Port() const { return port_; }
  bool ConnectionWaiting() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
  }
  int TakeConnections() {
    ::fcntl(fd_, F_SETFL, O_NONBLOCK);
    int n = 0;
    for (int c; (c = ::accept(fd_, nullptr, nullptr)) >= 0; ++n) ::close(c);
    return n;
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

TEST(LoginDialogTest, SilentControllerShowsProgressAndCancelEndsAfterTheProbeInFlight) {
  SilentListener listener;
  ASSERT_NE(listener.Port(), 0);
  const uint16_t port = listener.Port();
  oxa::OxaTcpClient client([port] {
    oxa::RouteTable table;
    table.local.tcpPort = port;
    return table;
  });
  i18n::StringTable strings(i18n::kEnglish);
  RecordingUi ui;
  FrameHooks hooks;
  hooks.ui = &ui;
  CMainFrame frame(client, strings, hooks);
  ASSERT_TRUE(frame.Timer().isActive());

  bool shown = false;
  bool tickDuringLogin = true;
  std::string portText, countText;
  int barMax = 0;
  QTimer watch;
  watch.setInterval(5);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* dialog = frame.findChild<CLoginProgressDialog*>();
    if (shown || !dialog || !dialog->isVisible() || !listener.ConnectionWaiting()) return;
    shown = true;
    tickDuringLogin = frame.Timer().isActive();
    portText = dialog->PortLabel()->text().toStdString();
    countText = dialog->CountLabel()->text().toStdString();
    barMax = dialog->Bar()->maximum();
    dialog->CancelButton()->click();
  });
  watch.start();
  frame.OnCommand(kCmdLogin);
  watch.stop();

  ASSERT_TRUE(shown);
  EXPECT_FALSE(tickDuringLogin);
  EXPECT_EQ(portText, "Target 127.0.0.1.1.1: port 801, task 1");
  EXPECT_EQ(countText, "Probe 1 of 36, 0 axis servers found");
  EXPECT_EQ(barMax, 36);
  // The first probe's connection is the only one: nothing was sent after the cancel.
  EXPECT_EQ(listener.TakeConnections(), 1);
  EXPECT_EQ(frame.Status().connection, "OFFLINE");
  EXPECT_EQ(frame.LeftView()->topLevelItemCount(), 0);
  EXPECT_TRUE(frame.Timer().isActive());
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace apptest
