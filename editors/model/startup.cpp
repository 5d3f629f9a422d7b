#include "model/startup.h"

namespace zel::editors {

using platform::PromptAnswer;
using platform::PromptButtons;

bool StartSession(EditorSession& session, const std::optional<std::string>& path,
                  platform::Prompter& prompter) {
  const std::string caption = session.editor().title;
  if (!path || path->empty()) {
    prompter.Show(caption, "No file specified");
    return false;
  }
  switch (session.Open(*path)) {
    case OpenResult::kOpened:
      return true;
    case OpenResult::kCannotOpen:
      prompter.Show(caption, "Cannot open file");
      return false;
    case OpenResult::kOfferCreate:
      break;
  }
  if (prompter.Show(caption, kCreatePrompt, PromptButtons::YesNo) != PromptAnswer::Yes) {
    return false;
  }
  // The factory-defaults command with its own confirmation, then the model's extras.
  session.CreateNew();
  if (prompter.Show(caption, kRestorePrompt, PromptButtons::YesNo) != PromptAnswer::Yes) {
    session.db().Clear();
  }
  session.db().ApplyCreatePromptDefaults();
  return true;
}

bool ConfirmRestoreDefaults(EditorSession& session, platform::Prompter& prompter) {
  if (prompter.Show(session.editor().title, kRestorePrompt, PromptButtons::YesNo) !=
      PromptAnswer::Yes) {
    return false;
  }
  session.RestoreFactoryDefaults();
  return true;
}

}  // namespace zel::editors
