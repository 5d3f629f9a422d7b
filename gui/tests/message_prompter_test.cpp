#include "gui/message_prompter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace zel::gui {
namespace {

using platform::PromptAnswer;
using platform::PromptButtons;

// Presses `button` on the first message box that opens, once the event loop runs it.
void PressWhenShown(QMessageBox::StandardButton button, QString* seen_title, QString* seen_text) {
  QTimer::singleShot(0, [=] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
        *seen_title = box->windowTitle();
        *seen_text = box->text();
        box->button(button)->click();
        return;
      }
    }
  });
}

TEST(MessagePrompter, ShowsTheExactTextsAndReturnsTheButtonPressed) {
  MessagePrompter prompter;
  QString title, text;
  PressWhenShown(QMessageBox::No, &title, &text);
  EXPECT_EQ(prompter.Show("ZEL", "Exit Program, are you sure?", PromptButtons::YesNo),
            PromptAnswer::No);
  EXPECT_EQ(title, "ZEL");
  EXPECT_EQ(text, "Exit Program, are you sure?");
}

TEST(MessagePrompter, ATimedBoxAnswersWithItsDefaultWhenNobodyPresses) {
  MessagePrompter prompter;
  EXPECT_EQ(prompter.Show("Delete", "Delete?", PromptButtons::YesNo, 50, PromptAnswer::No),
            PromptAnswer::No);
  EXPECT_EQ(prompter.Show("Delete", "Delete?", PromptButtons::YesNo, 50, PromptAnswer::Yes),
            PromptAnswer::Yes);
}

}  // namespace
}  // namespace zel::gui
