// The login's progress dialog and the thread that runs the scan behind it.
//
// A login against a controller that accepts connections but never answers costs one request
// timeout per probe, some forty seconds in all. The scan therefore runs on a thread of its own
// (`RunLogin`), which touches nothing but the Oxa connection; the window keeps painting, and
// after a short delay a modal dialog shows the probes done out of the total, the port being
// tried and a Cancel button. Cancel ends the scan after the probe in flight; what was found is
// kept. The caller hands the job's result to the lists and the document once it is back.
#pragma once

#include <QDialog>
#include <atomic>
#include <chrono>

#include "i18n/StringTable.h"
#include "link/LoginJob.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CLoginProgressDialog : public QDialog {
 public:
  CLoginProgressDialog(const i18n::StringTable& strings, const oxa::NetId& target,
                       QWidget* parent = nullptr);

  // Shows where the scan stands.
  void SetProgress(const axlink::LoginProgress& progress);
  bool Cancelled() const { return cancelled_.load(); }
  // The flag the scan's thread polls before each probe.
  const std::atomic<bool>& CancelFlag() const { return cancelled_; }

  QLabel* PortLabel() const { return port_; }
  QLabel* CountLabel() const { return count_; }
  QProgressBar* Bar() const { return bar_; }
  QPushButton* CancelButton() const { return cancel_; }

  // Escape and the window's close button cancel as the button does.
  void reject() override { Cancel(); }

 private:
  void Cancel();

  const i18n::StringTable& strings_;
  QString target_;
  QLabel* port_ = nullptr;
  QLabel* count_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* cancel_ = nullptr;
  std::atomic<bool> cancelled_{false};
};

// How long a login may take before its dialog appears; a login that answers at once shows none.
inline constexpr std::chrono::milliseconds kLoginDialogDelay{400};

// Runs `job` on a thread of its own and returns when it has ended. Until then the calling
// thread serves its events; user input waits until the dialog is up, and the dialog is modal.
void RunLogin(axlink::LoginJob& job, const i18n::StringTable& strings, const oxa::NetId& target,
              QWidget* parent, std::chrono::milliseconds dialogDelay = kLoginDialogDelay);
