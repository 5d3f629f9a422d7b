// The form pages of a setup editor: System Settings, Network and Peer Protocol Settings. Each
// builds its form from the record and writes every field back on OK.
#pragma once

#include <string>

#include "model/edit_form.h"
#include "model/editor_family.h"
#include "zel/setup_database.h"

namespace zel::editors {

EditForm SystemForm(const EditorFamilyRow& editor, const SetupDatabase& db);
void ApplySystemForm(const EditorFamilyRow& editor, SetupDatabase& db, const EditForm& form);

EditForm NetworkForm(const SetupDatabase& db);
void ApplyNetworkForm(SetupDatabase& db, const EditForm& form);

EditForm PeerProtocolForm(const SetupDatabase& db);
void ApplyPeerProtocolForm(SetupDatabase& db, const EditForm& form);

// The form of a page that has one ("System Settings" ...); title empty for a list page.
EditForm MakeSettingsForm(Page page, const EditorFamilyRow& editor, const SetupDatabase& db);
void ApplySettingsForm(Page page, const EditorFamilyRow& editor, SetupDatabase& db,
                       const EditForm& form);

}  // namespace zel::editors
