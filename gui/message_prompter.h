// The message boxes of every window program: one Prompter over QMessageBox, with the exact
// caption, text and buttons the caller gives. A box with a time-out closes itself with the
// caller's default answer.
#pragma once

#include <QPointer>
#include <QWidget>

#include "zel/platform/prompter.h"

namespace zel::gui {

class MessagePrompter : public platform::Prompter {
 public:
  explicit MessagePrompter(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  platform::PromptAnswer Show(
      const std::string& caption, const std::string& text,
      platform::PromptButtons buttons = platform::PromptButtons::Ok, int timeout_ms = 0,
      platform::PromptAnswer on_timeout = platform::PromptAnswer::Ok) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace zel::gui
