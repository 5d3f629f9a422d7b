// An IPv4 address field: four numbers 0-255 separated by dots, typed as text. A part left
// empty reads as 0; a part above 255 is refused while typing.
#pragma once

#include <QLineEdit>
#include <cstdint>

namespace zel::gui {

class Ipv4Field : public QLineEdit {
  Q_OBJECT
 public:
  explicit Ipv4Field(QWidget* parent = nullptr);
  // The address with its first number in the most significant byte.
  void SetAddress(uint32_t address);
  uint32_t Address() const;
};

}  // namespace zel::gui
