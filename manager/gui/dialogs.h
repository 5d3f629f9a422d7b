// The dialogs of the station manager window: recorder (Add, Edit, Edit Multiple), properties,
// polling time, delete confirmation, query interval, quick plot and About. Each shows what the
// plain rules of the manager core decide; none re-implements them.
#pragma once

#include <QDateTime>
#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/station_view.h"
#include "zel/core/recorder_rules.h"
#include "zel/platform/prompter.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimeEdit;
class QTimer;

namespace zel::gui {
class FileChooser;
class Ipv4Field;
}  // namespace zel::gui

namespace zel::oxm {

// ---- recorder dialog ----
class RecorderDialog : public QDialog {
  Q_OBJECT
 public:
  // The OK checks: the message to show, or nullopt to close.
  using Check = std::function<std::optional<std::string>(const core::RecorderFields&)>;

  RecorderDialog(platform::Prompter& prompter, QWidget* parent = nullptr);
  void Open(core::RecorderDialogMode mode, const core::RecorderFields& fields,
            const std::vector<core::PortEntry>& ports, Check check);
  // What the fields hold now (the port selection as opened unless the user picked an entry).
  core::RecorderFields Fields() const;
  void accept() override;

  QLineEdit* idField = nullptr;
  QComboBox* typeList = nullptr;
  QComboBox* portList = nullptr;
  gui::Ipv4Field* ipField = nullptr;
  QLineEdit* portNumberField = nullptr;
  QLineEdit* phoneField = nullptr;
  QLineEdit* passwordField = nullptr;
  QPushButton* okButton = nullptr;

 private:
  platform::Prompter& prompter_;
  Check check_;
  std::vector<core::PortEntry> ports_;
  int32_t openedPort_ = 0;
  bool portPicked_ = false;
};

// ---- properties dialog ----
class PropertiesDialog : public QDialog {
  Q_OBJECT
 public:
  PropertiesDialog(platform::Prompter& prompter, gui::FileChooser& files,
                   QWidget* parent = nullptr);
  // `make_current` makes a folder the current folder (the OK check of the data folder).
  void Open(const core::StationSettings& s, const std::vector<core::PortEntry>& ports,
            std::function<bool(const std::string&)> make_current);
  core::PropertiesFields Fields() const;
  void accept() override;
  void Browse();

  QComboBox* directPortList = nullptr;
  QComboBox* directBaudList = nullptr;
  QComboBox* modemPortList = nullptr;
  QComboBox* modemBaudList = nullptr;
  QLineEdit* modemInitField = nullptr;
  QLineEdit* dialPrefixField = nullptr;
  QLineEdit* dataFolderField = nullptr;
  QPushButton* browseButton = nullptr;
  QRadioButton* autoDeleteButtons[3] = {};
  QLineEdit* retriesField = nullptr;
  QRadioButton* dialButton = nullptr;
  QRadioButton* directButton = nullptr;
  QCheckBox* clockSyncBox = nullptr;
  QCheckBox* useTxtBox = nullptr;
  QCheckBox* makeTextBox = nullptr;

 private:
  platform::Prompter& prompter_;
  gui::FileChooser& files_;
  std::vector<core::PortEntry> ports_;
  std::function<bool(const std::string&)> makeCurrent_;
  bool directPicked_ = false;
  bool modemPicked_ = false;
};

// ---- polling time ----
class PollingTimeDialog : public QDialog {
  Q_OBJECT
 public:
  explicit PollingTimeDialog(QWidget* parent = nullptr);
  void Open(int weekday, int quarter_hours);
  int Time() const;

  QLabel* dayLabel = nullptr;
  QLabel* timeLabel = nullptr;
  QSlider* slider = nullptr;
};

// ---- delete confirmation ----
class DeleteConfirmationDialog : public QDialog {
  Q_OBJECT
 public:
  explicit DeleteConfirmationDialog(QWidget* parent = nullptr);
  // Starts the countdown at 60.
  void Open();
  // One second passed (the dialog's own timer calls it); at 0 the dialog closes as "No".
  void Tick();
  int Remaining() const { return countdown_.Remaining(); }

  QLabel* countLabel = nullptr;
  QPushButton* yesButton = nullptr;
  QPushButton* noButton = nullptr;

 private:
  DeleteCountdown countdown_;
  QTimer* timer_ = nullptr;
};

// ---- query selected interval ----
class QueryIntervalDialog : public QDialog {
  Q_OBJECT
 public:
  explicit QueryIntervalDialog(QWidget* parent = nullptr);
  void Open(const platform::LocalTime& now, bool direct);
  platform::LocalTime From() const;
  platform::LocalTime To() const;
  bool Direct() const;

  QDateEdit* fromDate = nullptr;
  QTimeEdit* fromTime = nullptr;
  QDateEdit* toDate = nullptr;
  QTimeEdit* toTime = nullptr;
  QRadioButton* dialButton = nullptr;
  QRadioButton* directButton = nullptr;
};

// ---- quick plot ----
class QuickPlotDialog : public QDialog {
  Q_OBJECT
 public:
  // `browse` returns a chosen template path, or nullopt on Cancel.
  QuickPlotDialog(std::function<std::optional<std::string>()> browse, QWidget* parent = nullptr);
  void Open(const std::string& default_template, bool direct);
  int Hours() const;
  std::string Template() const;
  bool Direct() const;

  QComboBox* hoursList = nullptr;
  QLineEdit* templateField = nullptr;
  QPushButton* browseButton = nullptr;
  QRadioButton* dialButton = nullptr;
  QRadioButton* directButton = nullptr;

 private:
  std::function<std::optional<std::string>()> browse_;
};

// ---- about ----
class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace zel::oxm
