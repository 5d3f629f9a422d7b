#include "gui/model/input_choices.h"

#include "zel/identifiers.h"
#include "zel/setup_database.h"

namespace zel::gui {

std::string InputEntryText(std::string_view identifier, std::string_view name) {
  std::string text(identifier);
  text += "   ";
  text += name;
  return text;
}

InputChoices::InputChoices(const SetupDatabase& db, int first, int count, std::string none,
                           bool multiEdit)
    : first_(first), count_(count < 0 ? 0 : count), multiEdit_(multiEdit) {
  entries_.reserve(static_cast<std::size_t>(count_) + 2);
  if (multiEdit_) entries_.emplace_back(kUnchangedEntry);
  entries_.push_back(std::move(none));
  for (int k = 0; k < count_; ++k) {
    const int input = first_ + k;
    entries_.push_back(InputEntryText(SetupIdentifier(db.type(), input), db.NameOfInput(input)));
  }
}

int InputChoices::EntryOf(int input) const {
  const int offset = multiEdit_ ? 1 : 0;
  if (input < first_ || input >= first_ + count_) return offset;
  return offset + 1 + (input - first_);
}

std::optional<int> InputChoices::InputOf(int entry) const {
  const int offset = multiEdit_ ? 1 : 0;
  if (entry < offset || entry >= static_cast<int>(entries_.size())) return std::nullopt;
  if (entry == offset) return -1;
  return first_ + (entry - offset - 1);
}

std::vector<std::string> WithUnchanged(std::vector<std::string> entries, bool multiEdit) {
  if (multiEdit) entries.insert(entries.begin(), kUnchangedEntry);
  return entries;
}

}  // namespace zel::gui
