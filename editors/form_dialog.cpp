#include "form_dialog.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog_runner.h"
#include "gui/input_combo.h"
#include "gui/ipv4_field.h"
#include "gui/multi_edit_check.h"

namespace zel::editors {

int DialogUnitsToPixels(const QWidget& widget, int units) {
  const int average = widget.fontMetrics().averageCharWidth();
  return units * (average > 0 ? average : 6) / 4;
}

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QWidget* WithUnit(QWidget* field, const std::string& unit, QWidget* parent) {
  if (unit.empty()) return field;
  auto* box = new QWidget(parent);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(field, 1);
  row->addWidget(new QLabel(Q(unit), box));
  return box;
}

}  // namespace

FormDialog::FormDialog(EditForm form, platform::Prompter& prompter, QWidget* parent)
    : QDialog(parent), form_(std::move(form)), prompter_(prompter) {
  setWindowTitle(Q(form_.title));
  auto* outer = new QVBoxLayout(this);
  auto* top = new QFormLayout;
  outer->addLayout(top);
  QFormLayout* current = top;
  for (FormField& f : form_.fields) {
    QWidget* widget = nullptr;
    QWidget* shown = nullptr;
    switch (f.kind) {
      case FormKind::kGroup: {
        auto* group = new QGroupBox(Q(f.label), this);
        group->setAccessibleName(Q(f.label));
        current = new QFormLayout(group);
        outer->addWidget(group);
        continue;
      }
      case FormKind::kText:
      case FormKind::kNumber: {
        auto* edit = new QLineEdit(this);
        if (f.maxLength > 0) edit->setMaxLength(f.maxLength);
        if (f.masked) edit->setEchoMode(QLineEdit::Password);
        widget = edit;
        break;
      }
      case FormKind::kCombo:
        widget = new gui::InputCombo(this);
        break;
      case FormKind::kCheck:
        widget = new gui::MultiEditCheck(Q(f.label), form_.multiEdit, this);
        break;
      case FormKind::kIpv4: {
        widget = new gui::Ipv4Field(this);
        break;
      }
      case FormKind::kMac: {
        auto* box = new QWidget(this);
        auto* row = new QHBoxLayout(box);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(2);
        for (int k = 0; k < 6; ++k) {
          auto* part = new QLineEdit(box);
          part->setMaxLength(2);
          part->setObjectName(QStringLiteral("mac%1").arg(k));
          part->setAccessibleName(Q(f.label) + QStringLiteral(" part %1").arg(k + 1));
          part->setFixedWidth(part->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 8);
          row->addWidget(part);
          if (k < 5) row->addWidget(new QLabel(QStringLiteral("-"), box));
        }
        row->addStretch(1);
        widget = box;
        break;
      }
      case FormKind::kButton: {
        auto* button = new QPushButton(Q(f.label), this);
        const std::string key = f.key;
        connect(button, &QPushButton::clicked, this, [this, key] {
          ReadBack();
          if (FormField* field = form_.Find(key); field && onButton) onButton(*this, *field);
          ShowValues();
        });
        widget = button;
        break;
      }
    }
    widget->setObjectName(Q(f.key));
    widgets_[f.key] = widget;
    shown = WithUnit(widget, f.unit, this);
    if (f.kind == FormKind::kCheck || f.kind == FormKind::kButton) {
      current->addRow(shown);
    } else {
      auto* label = new QLabel(Q(f.label), this);
      label->setBuddy(widget);
      widget->setAccessibleName(Q(f.label));
      current->addRow(label, shown);
    }
  }
  if (form_.grayNote) outer->addWidget(new QLabel(QStringLiteral("(Gray=no change)"), this));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &FormDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &FormDialog::reject);
  outer->addWidget(buttons);
  ShowValues();
}

QWidget* FormDialog::FieldWidget(const std::string& key) const {
  const auto it = widgets_.find(key);
  return it == widgets_.end() ? nullptr : it->second;
}

void FormDialog::ShowValues() {
  for (const FormField& f : form_.fields) {
    QWidget* w = FieldWidget(f.key);
    if (w == nullptr) continue;
    switch (f.kind) {
      case FormKind::kText:
      case FormKind::kNumber:
        static_cast<QLineEdit*>(w)->setText(Q(f.text));
        break;
      case FormKind::kCombo: {
        auto* combo = static_cast<gui::InputCombo*>(w);
        if (combo->count() != static_cast<int>(f.entries.size())) {
          combo->SetEntries(f.entries, f.index);
        } else {
          combo->setCurrentIndex(f.index);
        }
        break;
      }
      case FormKind::kCheck:
        static_cast<gui::MultiEditCheck*>(w)->SetState(f.check);
        break;
      case FormKind::kIpv4:
        static_cast<gui::Ipv4Field*>(w)->SetAddress(static_cast<uint32_t>(f.ip[0] & 0xFF) << 24 |
                                                    static_cast<uint32_t>(f.ip[1] & 0xFF) << 16 |
                                                    static_cast<uint32_t>(f.ip[2] & 0xFF) << 8 |
                                                    static_cast<uint32_t>(f.ip[3] & 0xFF));
        break;
      case FormKind::kMac:
        for (int k = 0; k < 6; ++k) {
          w->findChild<QLineEdit*>(QStringLiteral("mac%1").arg(k))
              ->setText(Q(f.mac[static_cast<std::size_t>(k)]));
        }
        break;
      default:
        break;
    }
  }
}

void FormDialog::ReadBack() {
  for (FormField& f : form_.fields) {
    QWidget* w = FieldWidget(f.key);
    if (w == nullptr) continue;
    switch (f.kind) {
      case FormKind::kText:
      case FormKind::kNumber:
        f.text = static_cast<QLineEdit*>(w)->text().toStdString();
        break;
      case FormKind::kCombo:
        f.index = static_cast<gui::InputCombo*>(w)->currentIndex();
        break;
      case FormKind::kCheck:
        f.check = static_cast<gui::MultiEditCheck*>(w)->State();
        break;
      case FormKind::kIpv4: {
        const uint32_t a = static_cast<gui::Ipv4Field*>(w)->Address();
        f.ip = {static_cast<int>(a >> 24), static_cast<int>((a >> 16) & 0xFF),
                static_cast<int>((a >> 8) & 0xFF), static_cast<int>(a & 0xFF)};
      } break;
      case FormKind::kMac:
        for (int k = 0; k < 6; ++k) {
          f.mac[static_cast<std::size_t>(k)] =
              w->findChild<QLineEdit*>(QStringLiteral("mac%1").arg(k))->text().toStdString();
        }
        break;
      default:
        break;
    }
  }
}

void FormDialog::accept() {
  ReadBack();
  if (const auto refusal = ValidateForm(form_)) {
    prompter_.Show(form_.title, *refusal);
    return;  // the dialog stays open
  }
  QDialog::accept();
}

}  // namespace zel::editors
