// The editor's main dialog: one button per page in the model's order, Restore Factory
// Defaults, OK (save, start the model's converter, close) and Cancel. The title carries " *"
// while there are unsaved edits; Cancel then asks before the edits are dropped.
#pragma once

#include <QDialog>
#include <string>

#include "dialog_runner.h"
#include "model/editor_session.h"
#include "zel/platform/launcher.h"
#include "zel/platform/prompter.h"

class QPushButton;

namespace zel::editors {

class MainDialog : public QDialog {
  Q_OBJECT
 public:
  // programFolder ends with a separator; the converter is looked for there.
  MainDialog(EditorSession& session, platform::Prompter& prompter, platform::Launcher& launcher,
             std::string programFolder, QWidget* parent = nullptr);

  void SetDialogRunner(DialogRunner runner) { runner_ = std::move(runner); }
  // The button of a page (nullptr when the model has none).
  QPushButton* Button(Page page) const;
  // What the buttons do.
  void OpenPage(Page page);
  void RestoreDefaults();
  void About();
  void UpdateTitle();

  void accept() override;  // OK
  void reject() override;  // Cancel, Escape and the close box

 private:
  EditorSession& session_;
  platform::Prompter& prompter_;
  platform::Launcher& launcher_;
  std::string programFolder_;
  DialogRunner runner_;
  std::vector<std::pair<Page, QPushButton*>> buttons_;
};

}  // namespace zel::editors
