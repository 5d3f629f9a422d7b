#include "ipv4_field.h"

#include <QRegularExpressionValidator>
#include <QStringList>

namespace zel::gui {

Ipv4Field::Ipv4Field(QWidget* parent) : QLineEdit(parent) {
  const QString part = QStringLiteral("(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?");
  setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("^%1\\.%1\\.%1\\.%1$").arg(part)), this));
  setPlaceholderText(QStringLiteral("0.0.0.0"));
  SetAddress(0);
}

void Ipv4Field::SetAddress(uint32_t a) {
  setText(QStringLiteral("%1.%2.%3.%4")
              .arg(a >> 24)
              .arg((a >> 16) & 0xFF)
              .arg((a >> 8) & 0xFF)
              .arg(a & 0xFF));
}

uint32_t Ipv4Field::Address() const {
  const QStringList parts = text().split(QLatin1Char('.'));
  uint32_t a = 0;
  for (int i = 0; i < 4; ++i) {
    uint32_t v = 0;
    if (i < parts.size()) {
      bool ok = false;
      const uint v0 = parts[i].trimmed().toUInt(&ok);
      v = ok ? std::min<uint>(v0, 255) : 0;
    }
    a = (a << 8) | v;
  }
  return a;
}

}  // namespace zel::gui
