#include "model/editor_session.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "model/save_file.h"

namespace zel::editors {

EditorSession::EditorSession(const EditorFamilyRow& editor)
    : editor_(editor), db_(editor.type), saved_(editor.type) {}

OpenResult EditorSession::Open(const std::string& path) {
  path_ = path;
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) return editor_.createPrompt ? OpenResult::kOfferCreate : OpenResult::kCannotOpen;
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (in.bad()) return editor_.createPrompt ? OpenResult::kOfferCreate : OpenResult::kCannotOpen;
  db_.LoadBytes(bytes);
  saved_ = db_;
  fileExists_ = true;
  return OpenResult::kOpened;
}

void EditorSession::CreateNew() {
  db_.RestoreFactoryDefaults();
  db_.ApplyCreatePromptDefaults();
  fileExists_ = false;
}

bool EditorSession::HasUnsavedEdits() const { return !fileExists_ || !(db_ == saved_); }

std::string EditorSession::WindowTitle() const {
  std::string title = std::string(editor_.title) + " " + path_;
  if (HasUnsavedEdits()) title += " *";
  return title;
}

std::string EditorSession::AboutText() const {
  return std::string(editor_.title) + " Version " + editor_.version;
}

SaveResult EditorSession::Save() {
  const std::vector<uint8_t> bytes = db_.SaveBytes();
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const FileWriteResult written = ReplaceFile(std::filesystem::path(path_), view);
  if (!written.ok) return {false, "Cannot write file " + path_ + ": " + written.reason};
  saved_ = db_;
  fileExists_ = true;
  return {};
}

std::string EditorSession::TextPath() const {
  return std::filesystem::path(path_).replace_extension(".txt").string();
}

std::string EditorSession::ConverterCommandLine(const std::string& programFolder) const {
  return "\"" + programFolder + editor_.converter + "\" \"" + path_ + "\" \"" + TextPath() + "\"";
}

}  // namespace zel::editors
