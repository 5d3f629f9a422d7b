#include "main_dialog.h"

#include <QAction>
#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "form_dialog.h"
#include "list_page_dialog.h"
#include "model/settings_forms.h"
#include "model/startup.h"

namespace zel::editors {

MainDialog::MainDialog(EditorSession& session, platform::Prompter& prompter,
                       platform::Launcher& launcher, std::string programFolder, QWidget* parent)
    : QDialog(parent),
      session_(session),
      prompter_(prompter),
      launcher_(launcher),
      programFolder_(std::move(programFolder)) {
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  layout->addLayout(grid);
  const auto& buttons = session.editor().buttons;
  const int rows = static_cast<int>((buttons.size() + 1) / 2);
  for (std::size_t k = 0; k < buttons.size(); ++k) {
    auto* button = new QPushButton(QString::fromUtf8(buttons[k].caption), this);
    button->setAutoDefault(false);
    button->setMinimumWidth(
        button->fontMetrics().horizontalAdvance(QStringLiteral("Restore Factory Defaults")) + 24);
    const Page page = buttons[k].page;
    buttons_.emplace_back(page, button);
    // Down the first column, then the second, in the model's order.
    grid->addWidget(button, static_cast<int>(k) % rows, static_cast<int>(k) / rows);
    connect(button, &QPushButton::clicked, this, [this, page] {
      if (page == Page::kRestoreDefaults) {
        RestoreDefaults();
      } else {
        OpenPage(page);
      }
    });
  }
  auto* row = new QHBoxLayout;
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  ok->setDefault(true);
  row->addStretch(1);
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  connect(ok, &QPushButton::clicked, this, &MainDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &MainDialog::reject);

  // The About entry of the original's system menu: context menu and F1.
  auto* about = new QAction(QStringLiteral("&About %1...").arg(session.editor().title), this);
  about->setShortcut(QKeySequence(Qt::Key_F1));
  connect(about, &QAction::triggered, this, &MainDialog::About);
  addAction(about);
  setContextMenuPolicy(Qt::ActionsContextMenu);
  UpdateTitle();
}

QPushButton* MainDialog::Button(Page page) const {
  for (const auto& [p, b] : buttons_) {
    if (p == page) return b;
  }
  return nullptr;
}

void MainDialog::UpdateTitle() { setWindowTitle(QString::fromStdString(session_.WindowTitle())); }

void MainDialog::OpenPage(Page page) {
  const EditorFamilyRow& editor = session_.editor();
  if (auto list = MakeListPage(page, editor, session_.db())) {
    ListPageDialog dialog(*list, session_.db(), prompter_, QString::fromUtf8(editor.title), runner_,
                          this);
    RunDialog(runner_, dialog);
  } else {
    FormDialog dialog(MakeSettingsForm(page, editor, session_.db()), prompter_, this);
    if (RunDialog(runner_, dialog) == QDialog::Accepted) {
      ApplySettingsForm(page, editor, session_.db(), dialog.form());
    }
  }
  UpdateTitle();
}

void MainDialog::RestoreDefaults() {
  ConfirmRestoreDefaults(session_, prompter_);
  UpdateTitle();
}

void MainDialog::About() {
  prompter_.Show(std::string("About ") + session_.editor().title, session_.AboutText());
}

void MainDialog::accept() {
  const SaveResult saved = session_.Save();
  if (!saved.ok) {
    // The file is as it was; the editor stays open with every edit.
    prompter_.Show(session_.editor().title, saved.message);
    UpdateTitle();
    return;
  }
  launcher_.Start(session_.ConverterCommandLine(programFolder_), {});
  QDialog::accept();
}

void MainDialog::reject() {
  if (session_.HasUnsavedEdits() &&
      prompter_.Show(session_.editor().title, kDiscardPrompt, platform::PromptButtons::YesNo) !=
          platform::PromptAnswer::Yes) {
    return;
  }
  QDialog::reject();
}

}  // namespace zel::editors
