#include "file_chooser.h"

#include <QFileDialog>

#include "gui/model/file_filter.h"

namespace zel::gui {

std::optional<std::string> DialogFileChooser::Choose(const Request& request) {
  const QString start = QString::fromStdString(request.startFolder);
  if (request.kind == Request::kFolder) {
    const QString dir = QFileDialog::getExistingDirectory(
        parent_, QString::fromStdString(request.text), start, QFileDialog::ShowDirsOnly);
    if (dir.isEmpty()) return std::nullopt;
    return dir.toStdString();
  }
  QFileDialog dialog(parent_, {}, start, QString::fromStdString(ToolkitFilter(request.filter)));
  dialog.setAcceptMode(request.kind == Request::kSave ? QFileDialog::AcceptSave
                                                      : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.kind == Request::kSave ? QFileDialog::AnyFile
                                                    : QFileDialog::ExistingFile);
  if (!request.defaultExtension.empty())
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace zel::gui
