// One dialog for every edit form of the editor (page edit dialogs, System Settings, Network,
// Peer Protocol Settings): the widgets are built from the form and read back into it on OK,
// after the form's field validation (a refusal keeps the dialog open).
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <string>

#include "model/edit_form.h"
#include "zel/platform/prompter.h"

class QDialogButtonBox;

namespace zel::editors {

class FormDialog : public QDialog {
  Q_OBJECT
 public:
  FormDialog(EditForm form, platform::Prompter& prompter, QWidget* parent = nullptr);

  const EditForm& form() const { return form_; }
  EditForm& form() { return form_; }
  // The widget that edits a field (nullptr for groups).
  QWidget* FieldWidget(const std::string& key) const;
  // Copies what the widgets show into the form.
  void ReadBack();
  // Shows the form's values in the widgets again (after a button changed them).
  void ShowValues();
  // Called for a kButton field ("Function..."); the form holds the current values.
  std::function<void(FormDialog&, FormField&)> onButton;

  void accept() override;

 private:
  EditForm form_;
  platform::Prompter& prompter_;
  std::map<std::string, QWidget*> widgets_;
};

}  // namespace zel::editors
