// The entries of a combo box that picks an input ("%s   %s": identifier, three blanks, name),
// with its none entry and, in multi-edit, the "(unchanged)" entry first. Entry k+1 (after the
// none entry) is input k of the offered range.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {
class SetupDatabase;
}

namespace zel::gui {

// The two spellings of the none entry: virtual inputs, clock sync and input lists; speed
// sensors and timers.
inline constexpr const char* kNoneEntry = "---       (none)";
inline constexpr const char* kNoneEntryWide = "---         (none)";
// First entry of every combo box in multi-edit: "no change".
inline constexpr const char* kUnchangedEntry = "(unchanged)";

// "D001   Switch 9"
std::string InputEntryText(std::string_view identifier, std::string_view name);

class InputChoices {
 public:
  // Offers none and inputs first .. first+count-1 of the record's model.
  InputChoices(const SetupDatabase& db, int first, int count, std::string none, bool multiEdit);

  const std::vector<std::string>& entries() const { return entries_; }
  bool multiEdit() const { return multiEdit_; }
  // Entry that shows a stored input number; none (and a number outside the range) shows the
  // none entry. A stored value the field's width reads as none is passed as -1.
  int EntryOf(int input) const;
  // Stored input of an entry: -1 for none; nullopt for "(unchanged)" or an entry outside.
  std::optional<int> InputOf(int entry) const;

 private:
  int first_;
  int count_;
  bool multiEdit_;
  std::vector<std::string> entries_;
};

// Puts "(unchanged)" before the entries in multi-edit; a stored index i then shows as entry
// i+1 and entry 0 means no change.
std::vector<std::string> WithUnchanged(std::vector<std::string> entries, bool multiEdit);

}  // namespace zel::gui
