// The modal "Connecting" dialog: "Connecting:", the phone number or "Direct", and Cancel. It
// watches the connection attempt's worker every tick and ends when the worker has returned;
// Cancel asks the worker to stop and the dialog ends at the tick after it has.
#pragma once

#include <QDialog>

#include "zel/comm/connect_dialog.h"

class QLabel;
class QPushButton;
class QTimer;

namespace zel::oxm {

class ConnectingDialog : public QDialog, public comm::ConnectingView {
  Q_OBJECT
 public:
  explicit ConnectingDialog(QWidget* parent = nullptr);

  void Run(comm::ConnectAttempt& attempt) override;

  QLabel* caption() const { return caption_; }
  QLabel* target() const { return target_; }
  QPushButton* cancelButton() const { return cancel_; }

 public slots:
  // Escape and the window's close button cancel like the button.
  void reject() override;

 private:
  void OnTick();

  QLabel* caption_;
  QLabel* target_;
  QPushButton* cancel_;
  QTimer* timer_;
  comm::ConnectAttempt* attempt_ = nullptr;
};

}  // namespace zel::oxm
