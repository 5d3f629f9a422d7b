// Names, identifiers and flags of the inputs the plotter can show, from the recorder's setup
// database (or without one), and the rows of the Select Inputs dialog.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gui/model/sorted_input_list.h"
#include "model/rtp_models.h"
#include "zel/setup_database.h"

namespace zel::rtp {

inline constexpr int kDigitalPerModule = 256;
inline constexpr int kModuleCount = 16;

class InputTexts {
 public:
  // `setup` nullptr: no setup file could be read (no names, flags or password).
  InputTexts(const RtpModel* model, std::shared_ptr<const SetupDatabase> setup);

  const RtpModel* model() const { return model_; }
  bool HasSetup() const { return setup_ != nullptr; }
  // "D001", "A08", "V16" ... (the model's setup identifier).
  std::string Identifier(int position) const;
  std::string Name(int position) const;
  std::string Id(int position) const;  // the identifier text stored in the setup
  // "%s:%s" with the identifier and the name; "(none)" for an empty slot (-1).
  std::string Label(int position) const;
  std::string UnitName() const;
  std::string Password() const;
  // Per position: the setup's flash-enable bit where the model uses them.
  std::vector<bool> FlashEnabled() const;
  // False for the inputs of a module the setup marks absent (modular models with a setup).
  bool ModulePresentFor(int position) const;

  // Positions the dialog lists: names other than "Invalid input number", present modules.
  std::vector<int> ListedPositions() const;
  // The dialog's list: "Input" (50, sorts by position), "Name" (300), "ID" (145); opens sorted
  // by input, ascending.
  gui::SortedInputList SelectInputsList() const;

 private:
  const RtpModel* model_;
  std::shared_ptr<const SetupDatabase> setup_;
};

}  // namespace zel::rtp
