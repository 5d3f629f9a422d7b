#include "message_prompter.h"

#include <QMessageBox>
#include <QTimer>

namespace zel::gui {

using platform::PromptAnswer;
using platform::PromptButtons;

namespace {

QMessageBox::StandardButtons ButtonsOf(PromptButtons b) {
  switch (b) {
    case PromptButtons::Ok:
      return QMessageBox::Ok;
    case PromptButtons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case PromptButtons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case PromptButtons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

QMessageBox::StandardButton ButtonOf(PromptAnswer a) {
  switch (a) {
    case PromptAnswer::Ok:
      return QMessageBox::Ok;
    case PromptAnswer::Cancel:
      return QMessageBox::Cancel;
    case PromptAnswer::Yes:
      return QMessageBox::Yes;
    case PromptAnswer::No:
      return QMessageBox::No;
  }
  return QMessageBox::Ok;
}

PromptAnswer AnswerOf(int button, PromptButtons buttons) {
  switch (button) {
    case QMessageBox::Yes:
      return PromptAnswer::Yes;
    case QMessageBox::No:
      return PromptAnswer::No;
    case QMessageBox::Cancel:
      return PromptAnswer::Cancel;
    case QMessageBox::Ok:
      return PromptAnswer::Ok;
    default:
      // Closed with Escape or the title bar: the box's way out.
      return buttons == PromptButtons::Ok      ? PromptAnswer::Ok
             : buttons == PromptButtons::YesNo ? PromptAnswer::No
                                               : PromptAnswer::Cancel;
  }
}

}  // namespace

PromptAnswer MessagePrompter::Show(const std::string& caption, const std::string& text,
                                   PromptButtons buttons, int timeout_ms, PromptAnswer on_timeout) {
  const bool question = buttons == PromptButtons::YesNo || buttons == PromptButtons::YesNoCancel;
  QMessageBox box(question ? QMessageBox::Question : QMessageBox::Warning,
                  QString::fromStdString(caption), QString::fromStdString(text), ButtonsOf(buttons),
                  parent_);
  if (timeout_ms > 0) {
    QTimer::singleShot(timeout_ms, &box, [&box, on_timeout] { box.done(ButtonOf(on_timeout)); });
  }
  return AnswerOf(box.exec(), buttons);
}

}  // namespace zel::gui
