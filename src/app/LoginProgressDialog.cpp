#include "app/LoginProgressDialog.h"

#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <thread>

#include "app/Texts.h"

namespace {

constexpr uint32_t kTextLoginTitle = 37600;
constexpr uint32_t kTextLoginPortTask = 37601;
constexpr uint32_t kTextLoginPort = 37602;
constexpr uint32_t kTextLoginCount = 37603;
constexpr uint32_t kTextLoginCancel = 37604;
constexpr uint32_t kTextLoginCancelling = 37605;

// Hands the scan's progress to the dialog on the window's thread and answers the scan with the
// dialog's cancel flag.
class Forward final : public axlink::ILoginProgress {
 public:
  explicit Forward(CLoginProgressDialog& dialog) : dialog_(&dialog) {}
  bool Continue(const axlink::LoginProgress& progress) override {
    QMetaObject::invokeMethod(
        dialog_, [d = dialog_, progress] { d->SetProgress(progress); }, Qt::QueuedConnection);
    return !dialog_->CancelFlag().load();
  }

 private:
  CLoginProgressDialog* dialog_;
};

}  // namespace

CLoginProgressDialog::CLoginProgressDialog(const i18n::StringTable& strings,
                                           const oxa::NetId& target, QWidget* parent)
    : QDialog(parent), strings_(strings), target_(QString::fromStdString(target.ToString())) {
  setWindowTitle(Text(strings_, kTextLoginTitle));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  port_ = new QLabel(this);
  count_ = new QLabel(this);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, static_cast<int>(axlink::kLoginProbes));
  bar_->setValue(0);
  bar_->setMinimumWidth(360);
  cancel_ = new QPushButton(Text(strings_, kTextLoginCancel), this);
  layout->addWidget(port_);
  layout->addWidget(count_);
  layout->addWidget(bar_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  connect(cancel_, &QPushButton::clicked, this, [this] { Cancel(); });
  SetProgress(axlink::LoginProgress{0, axlink::kLoginProbes, axlink::kCv2RuntimePorts[0], 1, 0});
}

void CLoginProgressDialog::SetProgress(const axlink::LoginProgress& p) {
  if (cancelled_.load()) return;
  const QString port = QString::number(p.port);
  port_->setText(
      p.task != 0 ? Text(strings_, kTextLoginPortTask).arg(target_, port, QString::number(p.task))
                  : Text(strings_, kTextLoginPort).arg(target_, port));
  count_->setText(
      Text(strings_, kTextLoginCount)
          .arg(QString::number(p.done + 1), QString::number(p.total), QString::number(p.servers)));
  bar_->setValue(static_cast<int>(p.done));
}

void CLoginProgressDialog::Cancel() {
  if (cancelled_.exchange(true)) return;
  cancel_->setEnabled(false);
  count_->setText(Text(strings_, kTextLoginCancelling));
}

void RunLogin(axlink::LoginJob& job, const i18n::StringTable& strings, const oxa::NetId& target,
              QWidget* parent, std::chrono::milliseconds dialogDelay) {
  CLoginProgressDialog dialog(strings, target, parent);
  Forward forward(dialog);
  QEventLoop loop;
  std::atomic<bool> finished{false};
  std::thread scan([&] {
    job.Run(&forward);
    finished.store(true);
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  // Until the dialog is up nothing the user does may reach the window: input waits in the queue
  // and goes to whatever is modal once the dialog shows.
  QTimer::singleShot(dialogDelay, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (!finished.load()) {
    dialog.show();
    while (!finished.load()) loop.exec();
  }
  scan.join();
}
