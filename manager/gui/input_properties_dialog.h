// "Input Properties": one line per property of an input, a label, a tab and a value, with the
// tab stop at 70 dialog units; and OK.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;

namespace zel::oxm {

class InputPropertiesDialog : public QDialog {
  Q_OBJECT
 public:
  InputPropertiesDialog(const std::vector<std::string>& lines, QWidget* parent = nullptr);
  QListWidget* list() const { return list_; }
  // The tab stop in pixels (70 dialog units of the dialog's font).
  int tabStopPixels() const { return tabStop_; }

 private:
  QListWidget* list_;
  int tabStop_;
};

}  // namespace zel::oxm
