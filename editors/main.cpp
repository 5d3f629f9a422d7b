// One setup editor program; which model it edits is fixed when it is built (ZEL_EDITOR_MODEL).
#include <QApplication>
#include <QDir>
#include <string>
#include <vector>

#include "gui/message_prompter.h"
#include "main_dialog.h"
#include "model/command_line.h"
#include "model/editor_family.h"
#include "model/startup.h"
#include "zel/platform/launcher.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const zel::editors::EditorFamilyRow* editor = zel::editors::FindEditor(ZEL_EDITOR_MODEL);
  if (editor == nullptr) return 1;
  app.setApplicationName(QString::fromUtf8(editor->program));

  std::vector<std::string> args;
  for (const QString& a : app.arguments()) args.push_back(a.toStdString());
  const std::string programFolder =
      QDir::toNativeSeparators(app.applicationDirPath()).toStdString() +
      std::string(1, QDir::separator().toLatin1());

  zel::gui::MessagePrompter prompter;
  zel::editors::EditorSession session(*editor);
  if (!zel::editors::StartSession(session, zel::editors::PathFromArguments(args), prompter)) {
    return 0;
  }
  zel::platform::ProcessLauncher launcher(programFolder);
  zel::editors::MainDialog dialog(session, prompter, launcher, programFolder);
  prompter.SetParent(&dialog);
  dialog.show();
  return app.exec();
}
