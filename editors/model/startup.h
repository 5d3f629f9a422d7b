// Start-up of an editor: the path from the command line, opening the file, and the create
// prompt of the editors that offer it. Messages go through the Prompter under the editor title.
#pragma once

#include <optional>
#include <string>

#include "model/editor_session.h"
#include "zel/platform/prompter.h"

namespace zel::editors {

inline constexpr const char* kCreatePrompt = "Setup file does not exist,\ncreate new one?";
inline constexpr const char* kRestorePrompt = "Restore all settings to factory defaults?";
inline constexpr const char* kDiscardPrompt = "Discard your changes?";

// True when the editor goes on with a loaded (or newly created) record; false when it closes
// after the message ("No file specified", "Cannot open file", No to the create prompt).
bool StartSession(EditorSession& session, const std::optional<std::string>& path,
                  platform::Prompter& prompter);

// "Restore Factory Defaults": asks first; true when the defaults were applied.
bool ConfirmRestoreDefaults(EditorSession& session, platform::Prompter& prompter);

}  // namespace zel::editors
