#include "connecting_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace zel::oxm {

ConnectingDialog::ConnectingDialog(QWidget* parent) : QDialog(parent) {
  auto* top = new QVBoxLayout(this);
  auto* line = new QHBoxLayout;
  caption_ = new QLabel(this);
  target_ = new QLabel(this);
  target_->setAccessibleName(QStringLiteral("Connecting to"));
  caption_->setBuddy(target_);
  line->addWidget(caption_);
  line->addWidget(target_, 1);
  top->addLayout(line);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  buttons->addStretch();
  top->addLayout(buttons);
  setMinimumWidth(260);
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &ConnectingDialog::OnTick);
  connect(cancel_, &QPushButton::clicked, this, &ConnectingDialog::reject);
}

void ConnectingDialog::Run(comm::ConnectAttempt& attempt) {
  attempt_ = &attempt;
  setWindowTitle(QString::fromStdString(attempt.title()));
  caption_->setText(QString::fromStdString(attempt.caption()));
  target_->setText(QString::fromStdString(attempt.target()));
  cancel_->setEnabled(true);
  timer_->start(attempt.tick_ms());
  exec();
  timer_->stop();
  attempt_ = nullptr;
}

void ConnectingDialog::OnTick() {
  if (!attempt_ || !attempt_->Tick()) return;
  timer_->stop();
  done(attempt_->result() == 0 ? QDialog::Accepted : QDialog::Rejected);
}

void ConnectingDialog::reject() {
  // The dialog ends only once the worker has given up; until then it says it is cancelling.
  if (!attempt_) return QDialog::reject();
  attempt_->Cancel();
  cancel_->setEnabled(false);
}

}  // namespace zel::oxm
