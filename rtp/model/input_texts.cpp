#include "model/input_texts.h"

#include "zel/identifiers.h"

namespace zel::rtp {

InputTexts::InputTexts(const RtpModel* model, std::shared_ptr<const SetupDatabase> setup)
    : model_(model), setup_(std::move(setup)) {
  if (setup_ && (!model_ || !setup_->valid() || setup_->type() != SetupTypeOf(model_->type)))
    setup_.reset();
}

std::string InputTexts::Identifier(int position) const {
  return model_ ? SetupIdentifier(model_->type, position) : std::string();
}

std::string InputTexts::Name(int position) const {
  return setup_ ? setup_->NameOfInput(position) : std::string();
}

std::string InputTexts::Id(int position) const {
  return setup_ ? setup_->Identifier(position) : std::string();
}

std::string InputTexts::Label(int position) const {
  if (position < 0) return "(none)";
  return Identifier(position) + ":" + Name(position);
}

std::string InputTexts::UnitName() const { return setup_ ? setup_->UnitName() : std::string(); }

std::string InputTexts::Password() const {
  return setup_ ? setup_->AdministrativePassword() : std::string();
}

std::vector<bool> InputTexts::FlashEnabled() const {
  if (!model_) return {};
  std::vector<bool> flash(static_cast<size_t>(model_->positions), false);
  if (!setup_ || !model_->flashEnableBits) return flash;
  const int digital = std::min(setup_->DigitalCount(), model_->positions);
  for (int d = 0; d < digital; ++d) flash[static_cast<size_t>(d)] = setup_->FlashEnabled(d);
  return flash;
}

bool InputTexts::ModulePresentFor(int position) const {
  if (!model_ || model_->analogPerModule == 0 || !setup_) return true;
  const int digital = InputCountsOf(model_->type).digital;
  if (position < digital) return setup_->ModulePresent(position / kDigitalPerModule);
  const int analog = position - digital;
  if (analog < model_->analogPerModule * kModuleCount)
    return setup_->ModulePresent(analog / model_->analogPerModule);
  return true;  // virtual inputs belong to no module
}

std::vector<int> InputTexts::ListedPositions() const {
  std::vector<int> out;
  if (!model_) return out;
  for (int p = 0; p < model_->positions; ++p) {
    if (setup_ && setup_->NameOfInput(p) == "Invalid input number") continue;
    if (!ModulePresentFor(p)) continue;
    out.push_back(p);
  }
  return out;
}

gui::SortedInputList InputTexts::SelectInputsList() const {
  std::vector<gui::SortedInputList::Column> columns = {
      {.name = "Input", .width = 50, .byInput = true},
      {.name = "Name", .width = 300, .byInput = false},
      {.name = "ID", .width = 145, .byInput = false},
  };
  std::vector<gui::SortedInputList::Row> rows;
  for (int p : ListedPositions())
    rows.push_back({.input = p, .cells = {Identifier(p), Name(p), Id(p)}});
  return gui::SortedInputList(std::move(columns), std::move(rows), 0);
}

}  // namespace zel::rtp
