#include "model/edit_form.h"

#include <algorithm>
#include <cctype>

#include "zel/value_format.h"

namespace zel::editors {

FormField* EditForm::Find(std::string_view key) {
  for (FormField& f : fields) {
    if (f.key == key) return &f;
  }
  return nullptr;
}

const FormField* EditForm::Find(std::string_view key) const {
  for (const FormField& f : fields) {
    if (f.key == key) return &f;
  }
  return nullptr;
}

FormField& EditForm::Add(FormField field) {
  fields.push_back(std::move(field));
  return fields.back();
}

std::string LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  bool digits = false;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return {};
  return std::string(text.substr(start, i - start));
}

long long ReadScaled(std::string_view text, int scale) {
  const std::string number = LeadingNumber(text);
  if (number.empty()) return 0;
  return ParseScaledDecimal(number, scale).value_or(0);
}

int ClampTo(long long value, int lo, int hi) {
  return static_cast<int>(std::clamp<long long>(value, lo, hi));
}

namespace {

// A whole number typed into a validated field; nullopt when it is none.
std::optional<long long> WholeNumber(std::string_view text) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  text = text.substr(b, e - b);
  if (text.empty()) return std::nullopt;
  std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i == text.size() || text.size() > 12) return std::nullopt;
  for (std::size_t k = i; k < text.size(); ++k) {
    if (!std::isdigit(static_cast<unsigned char>(text[k]))) return std::nullopt;
  }
  return std::stoll(std::string(text));
}

}  // namespace

std::optional<std::string> ValidateForm(const EditForm& form) {
  for (const FormField& f : form.fields) {
    if ((f.kind == FormKind::kText || f.kind == FormKind::kNumber) && f.maxLength > 0 &&
        static_cast<int>(f.text.size()) > f.maxLength) {
      return "Enter no more than " + std::to_string(f.maxLength) + " characters.";
    }
    if (f.kind == FormKind::kNumber && f.validated) {
      if (form.multiEdit && f.text.empty()) continue;
      const std::optional<long long> v = WholeNumber(f.text);
      if (!v || *v < f.min || *v > f.max) {
        return "Please enter an integer between " + std::to_string(f.min) + " and " +
               std::to_string(f.max) + ".";
      }
    }
    if (f.kind == FormKind::kIpv4) {
      for (int octet : f.ip) {
        if (octet < 0 || octet > 255) {
          return "Please enter an integer between 0 and 255.";
        }
      }
    }
  }
  return std::nullopt;
}

}  // namespace zel::editors
