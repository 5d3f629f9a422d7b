#include "dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/file_chooser.h"
#include "gui/ipv4_field.h"
#include "zel/catalogue.h"
#include "zel/core/query.h"
#include "zel/core/schedule.h"

namespace zel::oxm {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

QDialogButtonBox* OkCancel(QDialog* d, QPushButton** ok = nullptr) {
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
  box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
  QObject::connect(box, &QDialogButtonBox::accepted, d, &QDialog::accept);
  QObject::connect(box, &QDialogButtonBox::rejected, d, &QDialog::reject);
  if (ok) *ok = box->button(QDialogButtonBox::Ok);
  return box;
}

void FillPorts(QComboBox* list, const std::vector<core::PortEntry>& ports) {
  list->clear();
  for (const core::PortEntry& p : ports) list->addItem(Q(p.text), p.value);
}

void FillBauds(QComboBox* list) {
  list->clear();
  for (int rate : core::kBaudRates) list->addItem(QString::number(rate));
}

QDate DateOf(const platform::LocalTime& t) { return QDate(t.year, t.month, t.day); }
QTime TimeOf(const platform::LocalTime& t) { return QTime(t.hour, t.minute, t.second); }

platform::LocalTime LocalOf(const QDate& d, const QTime& t) {
  platform::LocalTime l;
  l.year = d.year();
  l.month = d.month();
  l.day = d.day();
  l.hour = t.hour();
  l.minute = t.minute();
  l.second = t.second();
  l.weekday = platform::WeekdayOf(l.year, l.month, l.day);
  return l;
}

}  // namespace

// ---- recorder dialog ----

RecorderDialog::RecorderDialog(platform::Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
  auto* form = new QFormLayout;
  idField = new QLineEdit(this);
  idField->setMaxLength(static_cast<int>(core::kMaxRecorderId));
  typeList = new QComboBox(this);
  for (const std::string& name : TypeListNames()) typeList->addItem(Q(name));
  portList = new QComboBox(this);
  ipField = new gui::Ipv4Field(this);
  portNumberField = new QLineEdit(this);
  phoneField = new QLineEdit(this);
  phoneField->setMaxLength(static_cast<int>(core::kMaxPhone));
  passwordField = new QLineEdit(this);
  passwordField->setMaxLength(static_cast<int>(core::kMaxPassword));
  passwordField->setEchoMode(QLineEdit::Password);
  form->addRow(QStringLiteral("Recorder ID:"), idField);
  form->addRow(QStringLiteral("Type:"), typeList);
  form->addRow(QStringLiteral("Direct port:"), portList);
  form->addRow(QStringLiteral("IP address:"), ipField);
  form->addRow(QStringLiteral("Port number:"), portNumberField);
  form->addRow(QStringLiteral("Phone#:"), phoneField);
  form->addRow(QStringLiteral("Password:"), passwordField);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancel(this, &okButton));
  connect(portList, &QComboBox::activated, this, [this] { portPicked_ = true; });
}

void RecorderDialog::Open(core::RecorderDialogMode mode, const core::RecorderFields& f,
                          const std::vector<core::PortEntry>& ports, Check check) {
  check_ = std::move(check);
  ports_ = ports;
  setWindowTitle(QString::fromLatin1(core::RecorderDialogTitle(mode)));
  const bool identity = core::RecorderIdentityFieldsEnabled(mode);
  for (QWidget* w : {static_cast<QWidget*>(idField), static_cast<QWidget*>(portList),
                     static_cast<QWidget*>(ipField), static_cast<QWidget*>(phoneField)})
    w->setEnabled(identity);
  idField->setText(Q(f.id));
  typeList->setCurrentIndex(typeList->findText(Q(f.typeName), Qt::MatchExactly));
  FillPorts(portList, ports_);
  openedPort_ = f.portSelection;
  portPicked_ = false;
  portList->setCurrentIndex(static_cast<int>(core::PortEntryIndex(ports_, f.portSelection)));
  ipField->SetAddress(f.ipAddress);
  portNumberField->setText(Q(f.portNumberText));
  phoneField->setText(Q(f.phone));
  passwordField->setText(Q(f.password));
  idField->setFocus();
}

core::RecorderFields RecorderDialog::Fields() const {
  core::RecorderFields f;
  f.id = S(idField->text());
  f.typeName = typeList->currentIndex() >= 0 ? S(typeList->currentText()) : std::string();
  f.portSelection = openedPort_;
  if (portPicked_ && portList->currentIndex() >= 0)
    f.portSelection = portList->currentData().toInt();
  f.ipAddress = ipField->Address();
  f.portNumberText = S(portNumberField->text());
  f.phone = S(phoneField->text());
  f.password = S(passwordField->text());
  return f;
}

void RecorderDialog::accept() {
  if (check_) {
    if (std::optional<std::string> message = check_(Fields())) {
      prompter_.Show(core::kMessageTitle, *message, platform::PromptButtons::Ok);
      return;  // the dialog stays open
    }
  }
  QDialog::accept();
}

// ---- properties dialog ----

PropertiesDialog::PropertiesDialog(platform::Prompter& prompter, gui::FileChooser& files,
                                   QWidget* parent)
    : QDialog(parent), prompter_(prompter), files_(files) {
  setWindowTitle(QStringLiteral("ZEL Properties"));
  auto* grid = new QGridLayout;
  auto addPair = [&](int row, const QString& label, QWidget* field, const QString& label2,
                     QWidget* field2) {
    auto* l = new QLabel(label, this);
    l->setBuddy(field);
    grid->addWidget(l, row, 0);
    grid->addWidget(field, row, 1);
    if (field2) {
      auto* l2 = new QLabel(label2, this);
      l2->setBuddy(field2);
      grid->addWidget(l2, row, 2);
      grid->addWidget(field2, row, 3);
    }
  };
  directPortList = new QComboBox(this);
  directBaudList = new QComboBox(this);
  modemPortList = new QComboBox(this);
  modemBaudList = new QComboBox(this);
  FillBauds(directBaudList);
  FillBauds(modemBaudList);
  addPair(0, QStringLiteral("Direct Port:"), directPortList, QStringLiteral("Baud:"),
          directBaudList);
  addPair(1, QStringLiteral("Modem Port:"), modemPortList, QStringLiteral("Baud:"), modemBaudList);
  modemInitField = new QLineEdit(this);
  modemInitField->setMaxLength(static_cast<int>(core::kMaxModemText));
  dialPrefixField = new QLineEdit(this);
  dialPrefixField->setMaxLength(static_cast<int>(core::kMaxModemText));
  addPair(2, QStringLiteral("Modem Initialization:"), modemInitField, {}, nullptr);
  grid->addWidget(modemInitField, 2, 1, 1, 3);
  addPair(3, QStringLiteral("Dial Prefix:"), dialPrefixField, {}, nullptr);
  grid->addWidget(dialPrefixField, 3, 1, 1, 3);
  grid->addWidget(
      new QLabel(QStringLiteral("\"W\"=wait for dial tone, \",\"=pause, \"P\"=pulse dial"), this),
      4, 1, 1, 3);
  dataFolderField = new QLineEdit(this);
  dataFolderField->setMaxLength(static_cast<int>(core::kMaxDataFolder));
  browseButton = new QPushButton(QStringLiteral("Browse"), this);
  addPair(5, QStringLiteral("Data Folder:"), dataFolderField, {}, nullptr);
  grid->addWidget(dataFolderField, 5, 1, 1, 2);
  grid->addWidget(browseButton, 5, 3);
  connect(browseButton, &QPushButton::clicked, this, &PropertiesDialog::Browse);

  auto* deleteGroup = new QButtonGroup(this);
  const char* deleteTexts[3] = {"Auto Delete files older then 30 days",
                                "Prompt to Delete files older than 30 days",
                                "Do Not Delete files older than 30 days"};
  for (int i = 0; i < 3; ++i) {
    autoDeleteButtons[i] = new QRadioButton(QString::fromLatin1(deleteTexts[i]), this);
    deleteGroup->addButton(autoDeleteButtons[i], i);
    grid->addWidget(autoDeleteButtons[i], 6 + i, 0, 1, 4);
  }
  retriesField = new QLineEdit(this);
  retriesField->setMaxLength(4);
  addPair(9, QStringLiteral("Retries:"), retriesField, {}, nullptr);

  auto* connGroup = new QGroupBox(QStringLiteral("Preferred Connection for Polling"), this);
  auto* connLayout = new QHBoxLayout(connGroup);
  dialButton = new QRadioButton(QStringLiteral("Dial"), connGroup);
  directButton = new QRadioButton(QStringLiteral("Direct"), connGroup);
  connLayout->addWidget(dialButton);
  connLayout->addWidget(directButton);
  grid->addWidget(connGroup, 10, 0, 1, 4);
  clockSyncBox = new QCheckBox(QStringLiteral("Synchronize Recorder Clock to PC"), this);
  useTxtBox = new QCheckBox(QStringLiteral("Use .TXT file for reports"), this);
  makeTextBox = new QCheckBox(QStringLiteral("Create text files when polling"), this);
  grid->addWidget(clockSyncBox, 11, 0, 1, 4);
  grid->addWidget(useTxtBox, 12, 0, 1, 4);
  grid->addWidget(makeTextBox, 13, 0, 1, 4);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(OkCancel(this));
  connect(directPortList, &QComboBox::activated, this, [this] { directPicked_ = true; });
  connect(modemPortList, &QComboBox::activated, this, [this] { modemPicked_ = true; });
}

void PropertiesDialog::Open(const core::StationSettings& s,
                            const std::vector<core::PortEntry>& ports,
                            std::function<bool(const std::string&)> make_current) {
  ports_ = ports;
  makeCurrent_ = std::move(make_current);
  const core::PropertiesFields f = core::OpenPropertiesFields(s);
  FillPorts(directPortList, ports_);
  FillPorts(modemPortList, ports_);
  directPicked_ = modemPicked_ = false;
  if (!ports_.empty()) {
    directPortList->setCurrentIndex(static_cast<int>(core::PortEntryIndex(ports_, s.directPort)));
    modemPortList->setCurrentIndex(static_cast<int>(core::PortEntryIndex(ports_, s.port)));
  }
  directBaudList->setCurrentIndex(f.directBaud >= 0 && f.directBaud <= 9 ? f.directBaud : -1);
  modemBaudList->setCurrentIndex(f.baud >= 0 && f.baud <= 9 ? f.baud : -1);
  modemInitField->setText(Q(f.modemInit));
  dialPrefixField->setText(Q(f.dialPrefix));
  dataFolderField->setText(Q(f.dataFolder));
  for (int i = 0; i < 3; ++i) autoDeleteButtons[i]->setChecked(f.autoDelete == i);
  retriesField->setText(QString::number(f.retries));
  dialButton->setChecked(f.preferedConnection != 1);
  directButton->setChecked(f.preferedConnection == 1);
  clockSyncBox->setChecked(f.clockSync != 0);
  useTxtBox->setChecked(f.useTxtFile != 0);
  makeTextBox->setChecked(f.makeText != 0);
}

core::PropertiesFields PropertiesDialog::Fields() const {
  core::PropertiesFields f;
  if (directPicked_ && directPortList->currentIndex() >= 0)
    f.directPortChoice = directPortList->currentData().toInt();
  if (modemPicked_ && modemPortList->currentIndex() >= 0)
    f.modemPortChoice = modemPortList->currentData().toInt();
  f.directBaud = directBaudList->currentIndex();
  f.baud = modemBaudList->currentIndex();
  f.modemInit = S(modemInitField->text());
  f.dialPrefix = S(dialPrefixField->text());
  f.dataFolder = S(dataFolderField->text());
  f.autoDelete = 0;
  for (int i = 0; i < 3; ++i)
    if (autoDeleteButtons[i]->isChecked()) f.autoDelete = i;
  // A field that holds no number is out of range like 0.
  f.retries = core::ParseDecimalField(S(retriesField->text())).value_or(0);
  f.preferedConnection = directButton->isChecked() ? 1 : 0;
  f.clockSync = clockSyncBox->isChecked() ? 1 : 0;
  f.useTxtFile = useTxtBox->isChecked() ? 1 : 0;
  f.makeText = makeTextBox->isChecked() ? 1 : 0;
  return f;
}

void PropertiesDialog::accept() {
  const std::function<bool(const std::string&)> never = [](const std::string&) { return false; };
  if (std::optional<std::string> message =
          core::CheckPropertiesFields(Fields(), makeCurrent_ ? makeCurrent_ : never)) {
    prompter_.Show(core::kMessageTitle, *message, platform::PromptButtons::Ok);
    return;
  }
  QDialog::accept();
}

void PropertiesDialog::Browse() {
  gui::FileChooser::Request r;
  r.kind = gui::FileChooser::Request::kFolder;
  r.text = core::kBrowseFolderText;
  r.startFolder = S(dataFolderField->text());
  if (std::optional<std::string> folder = files_.Choose(r)) dataFolderField->setText(Q(*folder));
}

// ---- polling time ----

PollingTimeDialog::PollingTimeDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(kPollingTimeTitle));
  dayLabel = new QLabel(this);
  timeLabel = new QLabel(this);
  timeLabel->setAlignment(Qt::AlignCenter);
  slider = new QSlider(Qt::Horizontal, this);
  slider->setRange(0, kPollingTimeMax);
  slider->setTickInterval(kPollingTimeTick);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setPageStep(kPollingTimeTick);
  slider->setMinimumWidth(288);
  slider->setAccessibleName(QStringLiteral("Polling time"));
  connect(slider, &QSlider::valueChanged, this,
          [this](int v) { timeLabel->setText(Q(core::ScheduleTimeText(v))); });
  auto* marks = new QHBoxLayout;
  marks->addWidget(new QLabel(QStringLiteral("00:00"), this));
  marks->addStretch();
  marks->addWidget(new QLabel(QStringLiteral("23:45"), this));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(dayLabel);
  layout->addWidget(timeLabel);
  layout->addWidget(slider);
  layout->addLayout(marks);
  layout->addWidget(OkCancel(this));
}

void PollingTimeDialog::Open(int weekday, int quarter_hours) {
  dayLabel->setText(Q(WeekdayName(weekday)));
  slider->setValue(quarter_hours);
  timeLabel->setText(Q(core::ScheduleTimeText(slider->value())));
  slider->setFocus();
}

int PollingTimeDialog::Time() const { return slider->value(); }

// ---- delete confirmation ----

DeleteConfirmationDialog::DeleteConfirmationDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(core::kDeleteCaption));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromLatin1(core::kDeleteQuestion), this));
  auto* line = new QHBoxLayout;
  line->addWidget(new QLabel(QStringLiteral("Timeout in"), this));
  countLabel = new QLabel(this);
  countLabel->setAccessibleName(QStringLiteral("Seconds left"));
  line->addWidget(countLabel);
  line->addWidget(new QLabel(QStringLiteral("seconds"), this));
  line->addStretch();
  layout->addLayout(line);
  auto* buttons = new QHBoxLayout;
  yesButton = new QPushButton(QStringLiteral("Yes"), this);
  noButton = new QPushButton(QStringLiteral("No"), this);
  noButton->setDefault(true);
  buttons->addStretch();
  buttons->addWidget(yesButton);
  buttons->addWidget(noButton);
  layout->addLayout(buttons);
  connect(yesButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(noButton, &QPushButton::clicked, this, &QDialog::reject);
  timer_ = new QTimer(this);
  timer_->setInterval(1000);
  connect(timer_, &QTimer::timeout, this, &DeleteConfirmationDialog::Tick);
  connect(this, &QDialog::finished, timer_, &QTimer::stop);
}

void DeleteConfirmationDialog::Open() {
  countdown_.Reset();
  countLabel->setNum(countdown_.Remaining());
  timer_->start();
}

void DeleteConfirmationDialog::Tick() {
  const bool up = countdown_.Tick();
  countLabel->setNum(countdown_.Remaining());
  if (up) {
    timer_->stop();
    reject();  // as if "No" had been pressed
  }
}

// ---- query selected interval ----

QueryIntervalDialog::QueryIntervalDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(core::kGetDataTitle));
  auto makeDate = [this] {
    auto* d = new QDateEdit(this);
    // Month, day and the four-digit year.
    d->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
    // The recorder takes the year as two digits in the years 2000 to 2099: a date outside them
    // would ask for another century's interval.
    d->setDateRange(QDate(2000, 1, 1), QDate(2099, 12, 31));
    d->setCalendarPopup(true);
    return d;
  };
  auto makeTime = [this] {
    auto* t = new QTimeEdit(this);
    t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    return t;
  };
  fromDate = makeDate();
  fromTime = makeTime();
  toDate = makeDate();
  toTime = makeTime();
  auto* grid = new QGridLayout;
  auto* fromLabel = new QLabel(QStringLiteral("From:"), this);
  fromLabel->setBuddy(fromDate);
  auto* toLabel = new QLabel(QStringLiteral("To:"), this);
  toLabel->setBuddy(toDate);
  fromTime->setAccessibleName(QStringLiteral("From time"));
  toTime->setAccessibleName(QStringLiteral("To time"));
  grid->addWidget(fromLabel, 0, 0);
  grid->addWidget(fromDate, 0, 1);
  grid->addWidget(fromTime, 0, 2);
  grid->addWidget(toLabel, 1, 0);
  grid->addWidget(toDate, 1, 1);
  grid->addWidget(toTime, 1, 2);
  auto* group = new QGroupBox(QStringLiteral("Connection"), this);
  auto* g = new QHBoxLayout(group);
  dialButton = new QRadioButton(QStringLiteral("Dial"), group);
  directButton = new QRadioButton(QStringLiteral("Direct"), group);
  g->addWidget(dialButton);
  g->addWidget(directButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(group);
  layout->addWidget(OkCancel(this));
}

void QueryIntervalDialog::Open(const platform::LocalTime& now, bool direct) {
  platform::LocalTime from, to;
  core::DefaultQueryInterval(now, from, to);
  fromDate->setDate(DateOf(from));
  fromTime->setTime(TimeOf(from));
  toDate->setDate(DateOf(to));
  toTime->setTime(TimeOf(to));
  dialButton->setChecked(!direct);
  directButton->setChecked(direct);
}

platform::LocalTime QueryIntervalDialog::From() const {
  return LocalOf(fromDate->date(), fromTime->time());
}
platform::LocalTime QueryIntervalDialog::To() const {
  return LocalOf(toDate->date(), toTime->time());
}
bool QueryIntervalDialog::Direct() const { return directButton->isChecked(); }

// ---- quick plot ----

QuickPlotDialog::QuickPlotDialog(std::function<std::optional<std::string>()> browse,
                                 QWidget* parent)
    : QDialog(parent), browse_(std::move(browse)) {
  setWindowTitle(QString::fromLatin1(core::kQuickPlotTitle));
  hoursList = new QComboBox(this);
  for (int h = 1; h <= 24; ++h) hoursList->addItem(QString::number(h));
  templateField = new QLineEdit(this);
  browseButton = new QPushButton(QStringLiteral("Browse..."), this);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Hours to Plot"), hoursList);
  auto* templ = new QHBoxLayout;
  templ->addWidget(templateField);
  templ->addWidget(browseButton);
  auto* templLabel = new QLabel(QStringLiteral("Plot Template File"), this);
  templLabel->setBuddy(templateField);
  form->addRow(templLabel, templ);
  auto* group = new QGroupBox(QStringLiteral("Connection"), this);
  auto* g = new QHBoxLayout(group);
  dialButton = new QRadioButton(QStringLiteral("Dial Up"), group);
  directButton = new QRadioButton(QStringLiteral("Direct Connect"), group);
  g->addWidget(dialButton);
  g->addWidget(directButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(group);
  layout->addWidget(OkCancel(this));
  connect(browseButton, &QPushButton::clicked, this, [this] {
    if (!browse_) return;
    if (std::optional<std::string> path = browse_()) templateField->setText(Q(*path));
  });
}

void QuickPlotDialog::Open(const std::string& default_template, bool direct) {
  hoursList->setCurrentIndex(0);
  templateField->setText(Q(default_template));
  dialButton->setChecked(!direct);
  directButton->setChecked(direct);
}

int QuickPlotDialog::Hours() const { return hoursList->currentIndex() + 1; }
std::string QuickPlotDialog::Template() const { return S(templateField->text()); }
bool QuickPlotDialog::Direct() const { return directButton->isChecked(); }

// ---- about ----

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(kAboutTitle));
  auto* layout = new QHBoxLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
  layout->addWidget(icon);
  layout->addWidget(new QLabel(QString::fromLatin1(kAboutLine), this));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok);
}

}  // namespace zel::oxm
