// An edit dialog as plain data: the fields a page offers, their limits and entries, and the
// values a person set. A page builds the form from the record, the window shows it and hands
// it back, and the page writes the values; tests fill the values directly.
//
// Multi-edit conventions: an empty text means no change; combo entry 0 is "(unchanged)"; a
// check box in the grey state (kGray) means no change.
#pragma once

#include <array>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::editors {

enum class FormKind {
  kGroup,   // starts a titled group; the fields after it up to the next group belong to it
  kText,    // free text, at most maxLength characters
  kNumber,  // typed number: refused outside min-max when `validated`, else read as far as
            // it forms a number
  kCombo,   // fixed entries
  kCheck,   // check box (three-state in multi-edit)
  kIpv4,    // four octets
  kMac,     // six two-digit hexadecimal fields
  kButton,  // a push button the window wires (the virtual inputs' "Function...")
};

enum CheckState : int { kUnchecked = 0, kChecked = 1, kGray = 2 };

struct FormField {
  std::string key;  // what the page looks the field up by
  FormKind kind = FormKind::kText;
  std::string label;  // "Input Name:", check box caption, group title
  std::string unit;   // shown after the field: "Feet", "MPH", "Degrees F"
  int maxLength = 0;  // kText / kNumber: characters, 0 no limit
  bool masked = false;
  bool validated = false;
  int min = 0;
  int max = 0;
  std::vector<std::string> entries;  // kCombo
  // value
  std::string text;
  int index = 0;  // kCombo entry
  int check = kUnchecked;
  std::array<int, 4> ip{};
  std::array<std::string, 6> mac;
};

struct EditForm {
  std::string title;  // "Edit Input Names"
  bool multiEdit = false;
  bool grayNote = false;         // shows "(Gray=no change)"
  std::deque<FormField> fields;  // a deque: Add keeps earlier references valid

  FormField* Find(std::string_view key);
  const FormField* Find(std::string_view key) const;
  FormField& Add(FormField field);
};

// The first refusal of the form's field validation ("Please enter an integer between 0 and
// 99."), or nullopt when every field is acceptable.
std::optional<std::string> ValidateForm(const EditForm& form);

// The leading number of a typed text ("2.5s" -> "2.5", "abc" -> ""): blanks, sign, digits and
// one decimal point, as far as they form a number.
std::string LeadingNumber(std::string_view text);
// A typed number read as far as it forms one and scaled (x1, x10, x100), truncated; text that
// is no number reads as 0.
long long ReadScaled(std::string_view text, int scale);
// Clamps to lo..hi.
int ClampTo(long long value, int lo, int hi);

}  // namespace zel::editors
