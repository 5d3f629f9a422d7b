// One run of a setup editor: the file path of its command line, the in-memory setup database,
// whether it has unsaved edits, the save and the converter's command line.
#pragma once

#include <filesystem>
#include <string>

#include "model/editor_family.h"
#include "zel/setup_database.h"

namespace zel::editors {

enum class OpenResult {
  kOpened,       // the file was read
  kCannotOpen,   // "Cannot open file"
  kOfferCreate,  // the file cannot be opened and this editor offers to create it
};

struct SaveResult {
  bool ok = true;
  std::string message;  // "Cannot write file <path>: <reason>" when not ok
};

class EditorSession {
 public:
  explicit EditorSession(const EditorFamilyRow& editor);

  const EditorFamilyRow& editor() const { return editor_; }
  SetupDatabase& db() { return db_; }
  const SetupDatabase& db() const { return db_; }
  const std::string& path() const { return path_; }

  OpenResult Open(const std::string& path);
  // "Yes" to the create prompt (after the factory-defaults confirmation): the model's factory
  // defaults and the create-prompt extras; the file is written on OK.
  void CreateNew();
  void RestoreFactoryDefaults() { db_.RestoreFactoryDefaults(); }

  // True while the record differs from what the file holds (or, for a new file, while it has
  // not been saved).
  bool HasUnsavedEdits() const;
  // "<editor title> <path>", with " *" while there are unsaved edits.
  std::string WindowTitle() const;
  std::string AboutText() const;  // "<editor title> Version <version>"

  // Replaces the file with the record (zero padding to a multiple of 128). On failure the file
  // is as it was and the record keeps every edit.
  SaveResult Save();

  // The text report beside the setup file: its extension replaced by ".txt".
  std::string TextPath() const;
  // "\"<folder><converter>\" \"<setup path>\" \"<text path>\""; folder ends with a separator.
  std::string ConverterCommandLine(const std::string& programFolder) const;

 private:
  const EditorFamilyRow& editor_;
  SetupDatabase db_;
  SetupDatabase saved_;  // what the file holds
  bool fileExists_ = false;
  std::string path_;
};

}  // namespace zel::editors
