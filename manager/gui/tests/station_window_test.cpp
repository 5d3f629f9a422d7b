#include "station_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimeEdit>

#include "dialogs.h"
#include "gui/ipv4_field.h"
#include "gui/report_list_view.h"
#include "gui/testing/gui_testing.h"
#include "recorder_list_model.h"
#include "window_rig.h"
#include "zel/platform/station_lock.h"

namespace zel::oxm {
namespace {

using core::Command;
using testing::WindowRig;
using testing::ZelDatWith;
namespace fs = std::filesystem;

std::vector<std::string> Ids(StationWindow& w) {
  std::vector<std::string> ids;
  for (const RecorderRecord& r : w.recorders().Snapshot()) ids.push_back(r.id);
  return ids;
}

std::string Cell(StationWindow& w, int row, int column) {
  return w.listModel()
      ->data(w.listModel()->index(row, column), Qt::DisplayRole)
      .toString()
      .toStdString();
}

// ---- start-up ----

TEST(StationWindow, WithoutZelDatOpensEmptyAndAsksForTheDataFolder) {
  WindowRig rig("oxm_nodat");
  StationWindow& w = rig.Open();
  EXPECT_EQ(w.windowTitle().toStdString(), "ZEL Station Manager");
  EXPECT_EQ(w.recorders().Count(), 0u);
  for (int d = 0; d < 7; ++d) {
    EXPECT_FALSE(w.dayBox(d)->isChecked());
    EXPECT_TRUE(w.dayTime(d)->isEnabled()) << "no Schedule line: every time field is enabled";
    EXPECT_EQ(w.dayTime(d)->text().toStdString(), "00:00");
  }
  // The five columns with their widths.
  const char* headers[] = {"Recorder_ID", "Type", "Port", "Phone#", "IP address:port"};
  const int widths[] = {150, 100, 60, 110, 130};
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(
        w.listModel()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString(),
        headers[c]);
    EXPECT_EQ(w.listView()->columnWidth(c), widths[c]);
  }
  EXPECT_FALSE(w.listView()->horizontalHeader()->sectionsClickable()) << "headers do not sort";
  EXPECT_EQ(w.listView()->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(w.listView()->selectionBehavior(), QAbstractItemView::SelectRows);

  w.Start();
  ASSERT_EQ(rig.Texts().size(), 1u);
  EXPECT_EQ(rig.Texts()[0],
            "ZEL|Specified data folder \"\" does not exist.\nPlease select a valid data folder.");
  EXPECT_EQ(rig.shown, (std::vector<std::string>{"ZEL Properties"}));
  // Nothing is written until File > Save or a confirmed exit.
  EXPECT_FALSE(fs::exists(rig.ZelDat()));
}

TEST(StationWindow, ListCellsAndScheduleComeFromZelDat) {
  WindowRig rig("oxm_load", ZelDatWith({"\"North Yard\",\"5551234\",\"pw\",3,0,0,0,0,0,3,0,0,0",
                                        "\"Tcp\",\"\",\"\",99,0,0,0,0,0,-1,0,-1062731500,5000"},
                                       "Schedule=0,0,0,0,0,0,1,9,0,0,0,0,0,0\r\n"));
  StationWindow& w = rig.Open();
  ASSERT_EQ(w.recorders().Count(), 2u);
  EXPECT_EQ(Cell(w, 0, 0), "North Yard");
  EXPECT_EQ(Cell(w, 0, 1), "KRV-517");
  EXPECT_EQ(Cell(w, 0, 2), "Com3");
  EXPECT_EQ(Cell(w, 0, 3), "5551234");
  EXPECT_EQ(Cell(w, 0, 4), "");
  EXPECT_EQ(Cell(w, 1, 1), "???");
  EXPECT_EQ(Cell(w, 1, 2), "TCP/IP");
  EXPECT_EQ(Cell(w, 1, 4), "192.168.1.20:5000");
  EXPECT_TRUE(w.dayBox(3)->isChecked());
  EXPECT_TRUE(w.dayTime(3)->isEnabled());
  EXPECT_EQ(w.dayTime(3)->text().toStdString(), "02:15");
  EXPECT_FALSE(w.dayTime(2)->isEnabled()) << "a day that is off greys its time field";
  // Ticking a day's box enables its time field at once.
  w.dayBox(2)->setChecked(true);
  EXPECT_TRUE(w.dayTime(2)->isEnabled());
  w.dayBox(3)->setChecked(false);
  EXPECT_FALSE(w.dayTime(3)->isEnabled());
}

// ---- the tick ----

TEST(StationWindow, TickShowsTheClockLine) {
  WindowRig rig("oxm_tick");
  StationWindow& w = rig.Open();
  w.Tick();
  EXPECT_EQ(w.clockLine()->text().toStdString(), "02:15:00 Wednesday");
  rig.clock.Set({2024, 3, 9, 23, 5, 7, 0, 6});
  w.Tick();
  EXPECT_EQ(w.clockLine()->text().toStdString(), "23:05:07 Saturday");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(w.statusField(i)->text().toStdString(), "");
}

// ---- Edit, Delete, Move ----

TEST(StationWindow, EditWithNothingSelectedDoesNothing) {
  WindowRig rig("oxm_edit0", ZelDatWith({"\"A\"", "\"B\""}));
  StationWindow& w = rig.Open();
  w.Run(Command::Edit);
  EXPECT_TRUE(rig.shown.empty());
  EXPECT_TRUE(rig.prompter.entries().empty());
}

TEST(StationWindow, DeleteOfSeveralRemovesThemWithoutAskingAndKeepsTheirFolders) {
  WindowRig rig("oxm_del", ZelDatWith({"\"A\"", "\"B\"", "\"C\"", "\"D\""}));
  fs::create_directories(rig.data / "B");
  StationWindow& w = rig.Open();
  w.SelectRows({1, 3});
  w.Run(Command::Delete);
  EXPECT_EQ(Ids(w), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(w.listModel()->rowCount(), 2);
  EXPECT_TRUE(rig.prompter.entries().empty());
  EXPECT_TRUE(fs::exists(rig.data / "B"));
}

TEST(StationWindow, InsertAndDeleteKeysActOnlyOnTheList) {
  WindowRig rig("oxm_keys", ZelDatWith({"\"A\"", "\"B\""}));
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  QTest::keyClick(w.button("Add"), Qt::Key_Delete);
  QTest::keyClick(&w, Qt::Key_Insert);
  EXPECT_EQ(w.recorders().Count(), 2u);
  EXPECT_TRUE(rig.shown.empty());
  QTest::keyClick(w.listView(), Qt::Key_Insert);
  EXPECT_EQ(rig.shown, (std::vector<std::string>{"Add Recorder"}));
  QTest::keyClick(w.listView(), Qt::Key_Delete);
  EXPECT_EQ(Ids(w), (std::vector<std::string>{"B"}));
}

TEST(StationWindow, MoveInTwoStepsKeepsTheMovedRecordersSelected) {
  WindowRig rig("oxm_move", ZelDatWith({"\"A\"", "\"B\"", "\"C\"", "\"D\"", "\"E\""}));
  StationWindow& w = rig.Open();
  QPushButton* move = w.button("Move");
  ASSERT_NE(move, nullptr);
  // Without a selection the button pops up again.
  move->click();
  EXPECT_FALSE(move->isChecked());
  EXPECT_FALSE(w.MoveActive());
  w.SelectRows({1, 3});
  move->click();
  EXPECT_TRUE(move->isChecked());
  EXPECT_TRUE(w.MoveActive());
  // A left click on row 3 (D), through the list itself.
  const QRect r = w.listView()->visualRect(w.listModel()->index(3, 0));
  QTest::mouseClick(w.listView()->viewport(), Qt::LeftButton, {}, r.center());
  EXPECT_EQ(Ids(w), (std::vector<std::string>{"A", "C", "B", "D", "E"}));
  EXPECT_EQ(w.SelectedRows(), (std::vector<int>{2, 3}));
  EXPECT_FALSE(move->isChecked());
  // A click below the last row puts the selected recorders at the top.
  move->click();
  w.MoveClick(std::nullopt);
  EXPECT_EQ(Ids(w), (std::vector<std::string>{"B", "D", "A", "C", "E"}));
  EXPECT_EQ(w.SelectedRows(), (std::vector<int>{0, 1}));
}

// ---- the recorder dialog ----

TEST(RecorderDialog, AddChecksTheIdInOrderThenAppends) {
  WindowRig rig("oxm_add", ZelDatWith({"\"North\""}));
  StationWindow& w = rig.Open();
  RecorderDialog* d = w.recorderDialog();
  rig.scripts.push_back([&](QDialog& dlg) {
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Add Recorder");
    // Add defaults.
    EXPECT_EQ(d->idField->text().toStdString(), "");
    EXPECT_EQ(d->typeList->currentText().toStdString(), "KRV-19XT");
    EXPECT_EQ(d->portList->currentText().toStdString(), "Default Port");
    EXPECT_EQ(d->ipField->Address(), 0u);
    EXPECT_EQ(d->portNumberField->text().toStdString(), "5000");
    EXPECT_EQ(d->passwordField->echoMode(), QLineEdit::Password);
    EXPECT_EQ(d->idField->maxLength(), 20);
    EXPECT_EQ(d->phoneField->maxLength(), 16);
    EXPECT_EQ(d->passwordField->maxLength(), 10);
    EXPECT_EQ(WindowRig::PressOk(dlg), QDialog::Rejected);
    d->idField->setText("a/b");
    EXPECT_EQ(WindowRig::PressOk(dlg), QDialog::Rejected);
    d->idField->setText("North");
    EXPECT_EQ(WindowRig::PressOk(dlg), QDialog::Rejected);
    d->idField->setText("north");  // differs only in case: accepted
    d->typeList->setCurrentIndex(d->typeList->findText("KRV-517"));
    d->portList->setCurrentIndex(0);
    emit d->portList->activated(0);  // the user picks "TCP/IP"
    d->ipField->SetAddress(0x7F000001);
    d->portNumberField->setText("6001");
    return WindowRig::PressOk(dlg);
  });
  w.Run(Command::Add);
  EXPECT_EQ(rig.Texts(),
            (std::vector<std::string>{
                "ZEL|No Recorder ID entered!",
                "ZEL|Recorder ID must not contain special characters:\n\\ / : * ? \" < > |",
                "ZEL|Recorder ID must be unique!"}));
  ASSERT_EQ(Ids(w), (std::vector<std::string>{"North", "north"}));
  const RecorderRecord r = *w.recorders().Get(1);
  EXPECT_EQ(r.type, 3);
  EXPECT_EQ(r.port, -1);
  EXPECT_EQ(r.ipAddress, 0x7F000001u);
  EXPECT_EQ(r.tcpPort, 6001);
  EXPECT_EQ(w.listModel()->rowCount(), 2);
  EXPECT_TRUE(fs::is_directory(rig.data / "north")) << "Add makes the recorder folder";
}

TEST(RecorderDialog, EditKeepsThePortUnlessPickedAndPassesItsOwnId) {
  WindowRig rig("oxm_edit1", ZelDatWith({"\"A\",\"1\",\"pw\",3,0,0,0,0,0,7,0,0,4000"}));
  rig.ports = {"COM3"};  // COM7 is not on this computer
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  RecorderDialog* d = w.recorderDialog();
  rig.scripts.push_back([&](QDialog& dlg) {
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Edit Recorder");
    EXPECT_EQ(d->portList->currentText().toStdString(), "TCP/IP") << "no entry matches COM7";
    EXPECT_EQ(d->portNumberField->text().toStdString(), "4000");
    d->phoneField->setText("999");
    d->portNumberField->setText("not a number");
    return WindowRig::PressOk(dlg);
  });
  w.Run(Command::Edit);
  EXPECT_TRUE(rig.prompter.entries().empty()) << "its own ID is not a duplicate";
  const RecorderRecord r = *w.recorders().Get(0);
  EXPECT_EQ(r.port, 7) << "the port changes only when the user picks an entry";
  EXPECT_EQ(r.phone, "999");
  EXPECT_EQ(r.tcpPort, 4000);
}

TEST(RecorderDialog, EditMultipleWithEmptyPasswordAndPort1234) {
  WindowRig rig("oxm_multi", ZelDatWith({"\"A\",\"1\",\"pa\",3,0,0,0,0,0,2,0,0,10",
                                         "\"B\",\"2\",\"pb\",4,0,0,0,0,0,0,0,0,20",
                                         "\"C\",\"3\",\"pc\",5,0,0,0,0,0,0,0,0,30"}));
  StationWindow& w = rig.Open();
  w.SelectRows({0, 2});
  RecorderDialog* d = w.recorderDialog();
  rig.scripts.push_back([&](QDialog& dlg) {
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Edit Multiple Recorders");
    EXPECT_FALSE(d->idField->isEnabled());
    EXPECT_FALSE(d->portList->isEnabled());
    EXPECT_FALSE(d->ipField->isEnabled());
    EXPECT_FALSE(d->phoneField->isEnabled());
    EXPECT_EQ(d->idField->text().toStdString(), "varies");
    EXPECT_EQ(d->phoneField->text().toStdString(), "varies");
    EXPECT_EQ(d->typeList->currentIndex(), -1);
    d->portNumberField->setText("1234");
    return WindowRig::PressOk(dlg);
  });
  w.Run(Command::Edit);
  const auto all = w.recorders().Snapshot();
  EXPECT_EQ(all[0].password, "pa");
  EXPECT_EQ(all[2].password, "pc");
  EXPECT_EQ(all[0].tcpPort, 1234);
  EXPECT_EQ(all[1].tcpPort, 20);
  EXPECT_EQ(all[2].tcpPort, 1234);
  EXPECT_EQ(all[0].type, 3);
  EXPECT_EQ(all[0].id, "A");
  EXPECT_EQ(all[0].port, 2);
}

TEST(RecorderDialog, SerialPortsListedInNumberOrderInBothDialogs) {
  WindowRig rig("oxm_ports", ZelDatWith({"\"A\""}));
  rig.ports = {"COM3", "COM1", "COM10"};
  StationWindow& w = rig.Open();
  auto texts = [](QComboBox* c) {
    std::vector<std::string> t;
    for (int i = 0; i < c->count(); ++i) t.push_back(c->itemText(i).toStdString());
    return t;
  };
  rig.scripts.push_back([&](QDialog&) {
    EXPECT_EQ(texts(w.recorderDialog()->portList),
              (std::vector<std::string>{"TCP/IP", "Default Port", "COM1", "COM3", "COM10"}));
    return static_cast<int>(QDialog::Rejected);
  });
  w.Run(Command::Add);
  rig.scripts.push_back([&](QDialog&) {
    EXPECT_EQ(texts(w.propertiesDialog()->directPortList),
              (std::vector<std::string>{"COM1", "COM3", "COM10"}));
    EXPECT_EQ(texts(w.propertiesDialog()->modemPortList),
              (std::vector<std::string>{"COM1", "COM3", "COM10"}));
    return static_cast<int>(QDialog::Rejected);
  });
  w.Run(Command::Properties);
  EXPECT_EQ(rig.shown, (std::vector<std::string>{"Add Recorder", "ZEL Properties"}));
  EXPECT_EQ(w.recorders().Count(), 1u) << "Cancel changes nothing";
}

// ---- properties ----

TEST(PropertiesDialog, RetriesRangeThenDataFolderThenApplies) {
  WindowRig rig("oxm_props");
  rig.ports = {"COM1", "COM2"};
  StationWindow& w = rig.Open();
  PropertiesDialog* d = w.propertiesDialog();
  rig.files.Queue(rig.data.string());
  rig.scripts.push_back([&](QDialog& dlg) {
    EXPECT_EQ(d->modemPortList->currentText().toStdString(), "COM2") << "Port 1 is COM2";
    EXPECT_EQ(d->directBaudList->currentText().toStdString(), "38400");
    EXPECT_TRUE(d->autoDeleteButtons[1]->isChecked());
    d->retriesField->setText("11");
    EXPECT_EQ(WindowRig::PressOk(dlg), QDialog::Rejected);
    d->retriesField->setText("3");
    d->dataFolderField->setText((rig.data / "missing").string().c_str());
    EXPECT_EQ(WindowRig::PressOk(dlg), QDialog::Rejected);
    d->browseButton->click();
    d->directButton->setChecked(true);
    d->makeTextBox->setChecked(true);
    return WindowRig::PressOk(dlg);
  });
  w.Run(Command::Properties);
  EXPECT_EQ(rig.Texts(), (std::vector<std::string>{"ZEL|Please enter an integer between 1 and 10.",
                                                   "ZEL|Specified Data Folder is not valid"}));
  ASSERT_EQ(rig.files.requests().size(), 1u);
  EXPECT_EQ(
      rig.files.requests()[0].text,
      "Select folder for poller data\n(folder must exist, create with explorer if necessary)");
  EXPECT_EQ(w.settings().retries, 3);
  EXPECT_EQ(w.settings().dataFolder, rig.data.string());
  EXPECT_EQ(w.settings().preferedConnection, 1);
  EXPECT_EQ(w.settings().makeText, 1);
  EXPECT_EQ(w.settings().port, 1) << "not picked: unchanged";
  EXPECT_EQ(fs::current_path(), rig.data) << "the data folder became the current folder";
}

TEST(PropertiesDialog, WithoutSerialPortsThePortSettingsStay) {
  WindowRig rig("oxm_noports", ZelDatWith({}, "Port=3\r\nDirectPort=6\r\nBaud=4\r\n"));
  StationWindow& w = rig.Open();
  rig.scripts.push_back([&](QDialog& dlg) {
    EXPECT_EQ(w.propertiesDialog()->directPortList->count(), 0);
    EXPECT_EQ(w.propertiesDialog()->modemPortList->count(), 0);
    return WindowRig::PressOk(dlg);
  });
  w.Run(Command::Properties);
  EXPECT_TRUE(rig.prompter.entries().empty());
  EXPECT_EQ(w.settings().port, 3);
  EXPECT_EQ(w.settings().directPort, 6);
  EXPECT_EQ(w.settings().baud, 4);
}

// ---- polling time ----

TEST(PollingTime, SliderFollowsAndGreyedFieldsCannotBeClicked) {
  WindowRig rig("oxm_ptime", ZelDatWith({}, "Schedule=1,0,0,0,0,0,0,0,0,0,0,0,0,0\r\n"));
  StationWindow& w = rig.Open();
  w.dayTime(1)->click();  // Monday is off
  EXPECT_TRUE(rig.shown.empty());
  PollingTimeDialog* d = w.pollingTimeDialog();
  rig.scripts.push_back([&](QDialog& dlg) {
    EXPECT_EQ(d->dayLabel->text().toStdString(), "Sunday");
    EXPECT_EQ(d->slider->minimum(), 0);
    EXPECT_EQ(d->slider->maximum(), 95);
    EXPECT_EQ(d->slider->tickInterval(), 4);
    d->slider->setValue(9);
    EXPECT_EQ(d->timeLabel->text().toStdString(), "02:15");
    d->slider->setValue(95);
    EXPECT_EQ(d->timeLabel->text().toStdString(), "23:45");
    return WindowRig::PressOk(dlg);
  });
  w.dayTime(0)->click();
  EXPECT_EQ(rig.shown, (std::vector<std::string>{"Polling Time"}));
  EXPECT_EQ(w.settings().schedule[0].time, 95);
  EXPECT_EQ(w.dayTime(0)->text().toStdString(), "23:45");
  // Cancel changes nothing.
  rig.scripts.push_back([&](QDialog&) {
    d->slider->setValue(4);
    return static_cast<int>(QDialog::Rejected);
  });
  w.dayTime(0)->click();
  EXPECT_EQ(w.settings().schedule[0].time, 95);
}

// ---- old files ----

TEST(DeleteConfirmation, UnansweredForSixtySecondsDeletesNothingYesDeletes) {
  WindowRig rig("oxm_oldfiles", ZelDatWith({"\"A\""}, "AutoDelete=1\r\n"));
  fs::create_directories(rig.data / "A");
  const fs::path old = rig.data / "A" / "240101-000000.bin";
  std::ofstream(old) << "x";
  StationWindow& w = rig.Open();
  int ticksSeen = 0;
  rig.scripts.push_back([&](QDialog& dlg) {
    auto& d = dynamic_cast<DeleteConfirmationDialog&>(dlg);
    EXPECT_EQ(d.Remaining(), 60);
    EXPECT_EQ(d.countLabel->text().toStdString(), "60");
    d.setResult(-1);
    for (int i = 0; i < 60 && d.result() == -1; ++i, ++ticksSeen) d.Tick();
    EXPECT_EQ(d.countLabel->text().toStdString(), "0");
    return d.result();
  });
  w.Tick();  // the first tick runs the hourly handling
  EXPECT_EQ(rig.shown, (std::vector<std::string>{"Delete Confirmation"}));
  EXPECT_EQ(ticksSeen, 60);
  EXPECT_TRUE(fs::exists(old));
  // Within the same hour no second dialog; in the next hour one, answered Yes.
  rig.clock.AdvanceSeconds(60);
  w.Tick();
  EXPECT_EQ(rig.shown.size(), 1u);
  rig.clock.AdvanceSeconds(3600);
  rig.scripts.push_back([&](QDialog& dlg) {
    dynamic_cast<DeleteConfirmationDialog&>(dlg).yesButton->click();
    return dlg.result();
  });
  w.Tick();
  EXPECT_EQ(rig.shown.size(), 2u);
  EXPECT_FALSE(fs::exists(old));
}

// ---- exit and save ----

TEST(Exit, NoKeepsRunningAndWritesNothingYesSaves) {
  WindowRig rig("oxm_exit", ZelDatWith({"\"A\""}));
  StationWindow& w = rig.Open();
  fs::remove(rig.ZelDat());
  w.show();
  rig.prompter.QueueAnswer(platform::PromptAnswer::No);
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(fs::exists(rig.ZelDat()));
  ASSERT_EQ(rig.Texts(), (std::vector<std::string>{"Exit|Exit Program, are you sure?"}));
  EXPECT_EQ(rig.prompter.entries()[0].buttons, platform::PromptButtons::YesNo);
  rig.prompter.QueueAnswer(platform::PromptAnswer::Yes);
  EXPECT_TRUE(w.close());
  const core::ZelDatLoad back = core::LoadZelDat(rig.ZelDat());
  ASSERT_TRUE(back.fileFound);
  ASSERT_EQ(back.contents.recorders.size(), 1u);
  EXPECT_EQ(back.contents.recorders[0].id, "A");
}

TEST(Exit, FailedSaveIsShownAndAsksWhetherToExitAnyway) {
  WindowRig rig("oxm_savefail");
  // The program folder is a file's name: zel.dat cannot be written there.
  std::ofstream(rig.tmp_.path() / "plain") << "x";
  rig.services.programFolder = (rig.tmp_.path() / "plain").string() + "/";
  StationWindow& w = rig.Open();
  w.show();
  EXPECT_FALSE(w.Save());
  ASSERT_EQ(rig.prompter.entries().size(), 1u);
  EXPECT_EQ(rig.prompter.entries()[0].text.rfind("zel.dat could not be saved: ", 0), 0u)
      << rig.prompter.entries()[0].text;
  EXPECT_GT(rig.prompter.entries()[0].text.size(), 28u) << "the reason follows";
  rig.prompter.QueueAnswer(platform::PromptAnswer::Yes);  // exit?
  rig.prompter.QueueAnswer(platform::PromptAnswer::No);   // exit anyway? no
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.isVisible());
  ASSERT_EQ(rig.prompter.entries().size(), 3u);
  EXPECT_NE(rig.prompter.entries()[2].text.find("Exit anyway?"), std::string::npos);
  rig.prompter.QueueAnswer(platform::PromptAnswer::Yes);
  rig.prompter.QueueAnswer(platform::PromptAnswer::Yes);
  EXPECT_TRUE(w.close());
}

// ---- menus ----

TEST(Menus, ContextMenuHasTheListCommandsAndCancel) {
  WindowRig rig("oxm_ctx");
  StationWindow& w = rig.Open();
  std::unique_ptr<QMenu> menu(w.BuildContextMenu());
  std::vector<std::string> top;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) top.push_back(a->text().toStdString());
  EXPECT_EQ(top.back(), "Cancel");
  EXPECT_EQ(std::count(top.begin(), top.end(), "&Properties..."), 0);
  EXPECT_EQ(std::count(top.begin(), top.end(), "A&bort"), 0);
  EXPECT_EQ(std::count(top.begin(), top.end(), "&Add"), 1);
  menu->actions().back()->trigger();  // Cancel changes nothing
  EXPECT_TRUE(rig.shown.empty());
  EXPECT_TRUE(rig.prompter.entries().empty());
  ASSERT_NE(w.menuAction(Command::Save), nullptr);
  EXPECT_EQ(w.menuAction(Command::Save)->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
}

TEST(Menus, OneCommandsWithoutExactlyOneSelectionWarnWithTheirCaption) {
  WindowRig rig("oxm_one", ZelDatWith({"\"A\"", "\"B\""}));
  StationWindow& w = rig.Open();
  w.Run(Command::PollTodayDirect);
  w.SelectRows({0, 1});
  w.Run(Command::EditSetupData);
  w.menuAction(Command::QueryGetData)->trigger();
  w.button("Quick Plot")->click();
  EXPECT_EQ(rig.Texts(),
            (std::vector<std::string>{
                "Poll recorder by direct connect|Exactly one recorder must be selected!",
                "Edit recorder setup data|Exactly one recorder must be selected!",
                "Query Selected Interval|Exactly one recorder must be selected!",
                "Quick Plot data from recorder|Exactly one recorder must be selected!"}));
  EXPECT_TRUE(rig.launcher.events().empty());
  EXPECT_FALSE(w.engine().Running());
}

// ---- launched command lines ----

TEST(Launch, TheExampleCommandLines) {
  WindowRig rig("oxm_launch",
                "DataFolder=D:\\Data\r\nDirectBaud=7\r\nDirectPort=4\r\nPort=1\r\nBaud=8\r\n"
                "ModemInit=ATZ\r\n"
                "Recorder=\"North Yard\",\"5551234\",\"\",3,0,0,0,0,0,3,0,0,0\r\n"
                "Recorder=\"Tcp\",\"\",\"\",15,0,0,0,0,0,-1,0,-1062731500,5000\r\n",
                /*backslashes=*/true);
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  w.Run(Command::ConnectDirect);
  w.Run(Command::RealTimeDirect);
  w.Run(Command::ConnectDial);
  w.Run(Command::RealTimeDial);
  w.Run(Command::EditSetupData);
  w.Run(Command::ViewSetupData);
  w.SelectRows({1});
  w.Run(Command::ConnectDirect);
  w.Run(Command::EditSetupData);
  w.Run(Command::Help);
  const std::vector<std::string> want = {
      "start \"C:\\Station\\Vantel.exe\" /port=3 /baud=38400",
      "start \"C:\\Station\\ZelRtp.exe\" /setup=\"D:\\Data\\North Yard\\setupdata.bin\" "
      "/recorder=KRV517 /port=2 /baud=7",
      "start \"C:\\Station\\Vantel.exe\" /port=2 /baud=57600 /init=\"ATZ\" /dial=\"5551234\"",
      "start \"C:\\Station\\ZelRtp.exe\" /setup=\"D:\\Data\\North Yard\\setupdata.bin\" "
      "/recorder=KRV517 /port=1 /baud=8 /init=\"ATZ\" /dial=\"5551234\"",
      "start \"C:\\Station\\ZelEdit517.exe\" \"D:\\Data\\North Yard\\setupdata.bin\"",
      "start \"C:\\Station\\krv517s2t.exe\" \"D:\\Data\\North Yard\\setupdata.bin\" "
      "\"D:\\Data\\North Yard\\setupdata.txt\"",
      "open D:\\Data\\North Yard\\setupdata.txt",
      "start \"C:\\Station\\Vantel.exe\" /port=0 /baud=38400 /ip=192.168.1.20:5000",
      // Type 15 uses the editor of type 14.
      "start \"C:\\Station\\ZelEditSlg808.exe\" \"D:\\Data\\Tcp\\setupdata.bin\"",
      "open C:\\Station\\ZEL.html",
  };
  EXPECT_EQ(rig.launcher.events(), want);
  EXPECT_EQ(rig.sleeps, (std::vector<int>{500})) << "the text opens 500 ms after the converter";
  const auto started = rig.launcher.started();
  ASSERT_GE(started.size(), 6u);
  EXPECT_EQ(started[1].mode, platform::WindowMode::Maximized);
  EXPECT_EQ(started[5].mode, platform::WindowMode::Hidden);
  EXPECT_EQ(started[0].mode, platform::WindowMode::Normal);
}

TEST(Launch, FileDialogsAskWithTheirFiltersAndCancelDoesNothing) {
  WindowRig rig("oxm_files", ZelDatWith({"\"R1\",\"\",\"\",5,0,0,0,0,0,0,0,0,0"}));
  fs::create_directories(rig.data / "R1");
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  w.Run(Command::PlotEventRecords);  // cancelled
  rig.files.Queue((rig.data / "elsewhere" / "x.bin").string());
  w.Run(Command::PlotEventRecords);
  rig.files.Queue((rig.data / "Poll_log_240306.txt").string());
  w.Run(Command::ViewPollLogs);
  const auto& req = rig.files.requests();
  ASSERT_EQ(req.size(), 3u);
  EXPECT_EQ(req[0].filter, "Binary event files|*.bin||");
  EXPECT_EQ(req[0].defaultExtension, "bin");
  EXPECT_EQ(req[0].startFolder, (rig.data / "R1").string());
  EXPECT_EQ(req[2].filter, "Text files (*.txt)|*.txt||");
  EXPECT_EQ(req[2].defaultExtension, "txt");
  EXPECT_EQ(req[2].startFolder, rig.data.string());
  const std::string P = rig.services.programFolder;
  EXPECT_EQ(
      rig.launcher.events(),
      (std::vector<std::string>{"start \"" + P + "ZelQplot.exe\" /event=\"" +
                                    (rig.data / "elsewhere" / "x.bin").string() + "\" /setup=\"" +
                                    (rig.data / "R1" / "setupdata.bin").string() + "\"",
                                "open " + (rig.data / "Poll_log_240306.txt").string()}));
}

TEST(Launch, UnknownModelStartsNothingAndOpensTheExistingReportUnchanged) {
  WindowRig rig("oxm_noreport", ZelDatWith({"\"Old\",\"\",\"\",42,0,0,0,0,0,1,0,0,0"}));
  fs::create_directories(rig.data / "Old");
  std::ofstream(rig.data / "Old" / "240301-000000.bin") << "not read";
  std::ofstream(rig.data / "Old" / "Events.wri") << "earlier report";
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  rig.files.Queue((rig.data / "Old" / "240301-000000.bin").string());
  w.Run(Command::ViewEventRecords);
  w.Run(Command::RealTimeDirect);
  w.Run(Command::EditSetupData);
  EXPECT_TRUE(rig.shown.empty()) << "no input selection for a model without a report";
  EXPECT_EQ(rig.launcher.events(),
            (std::vector<std::string>{"open " + (rig.data / "Old" / "Events.wri").string()}));
  EXPECT_EQ(zeltest::ReadText(rig.data / "Old" / "Events.wri"), "earlier report");
}

// ---- zel.dat beside zelpoll ----

// What zelpoll does at the end of a run: under the station lock, only its own changes.
void ZelpollChanges(const fs::path& zel_dat, const std::vector<core::RecorderChange>& changes) {
  platform::StationLock lock;
  ASSERT_EQ(lock.TryLock(zel_dat), platform::StationLock::Result::kLocked);
  std::string error;
  ASSERT_TRUE(
      core::SaveZelDatChanges(zel_dat, changes, core::StationSettings::Defaults(), {}, &error))
      << error;
}

TEST(StationFile, ZelpollChangesWhileTheWindowIsOpenSurviveItsSaves) {
  WindowRig rig("oxm_merge", ZelDatWith({"\"A\",\"1\",\"pa\",3,0,0,0,0,0,200,0,0,0",
                                         "\"B\",\"2\",\"pb\",3,0,0,0,0,0,200,0,0,0"},
                                        "Port=199\r\nDirectPort=199\r\nAutoDelete=2\r\n"
                                        "Schedule=0,0,0,0,0,0,0,9,0,0,0,0,0,0\r\n"));
  StationWindow& w = rig.Open();
  // The window's own edits: B deleted, Wednesday enabled.
  w.SelectRows({1});
  w.Run(Command::Delete);
  w.dayBox(3)->setChecked(true);
  // A zelpoll run sets A's clock and uploads a setup database with a new password to A.
  ZelpollChanges(rig.ZelDat(), {{"A", 8831, std::string("UPLOADED")}});
  w.Run(Command::Save);
  EXPECT_TRUE(rig.prompter.entries().empty());
  core::ZelDatLoad back = core::LoadZelDat(rig.ZelDat());
  ASSERT_EQ(back.contents.recorders.size(), 1u);
  EXPECT_EQ(back.contents.recorders[0].password, "UPLOADED");
  EXPECT_EQ(back.contents.recorders[0].clockSetDay, 8831);
  EXPECT_EQ(back.contents.settings.schedule[3].enabled, 1);
  EXPECT_EQ(w.recorders().Get(0)->password, "UPLOADED") << "the window's next poll uses it";

  // zelpoll runs the schedule and holds the station: the window's polls do not start.
  platform::StationLock zelpoll;
  ASSERT_EQ(zelpoll.TryLock(rig.ZelDat()), platform::StationLock::Result::kLocked);
  const std::string held =
      "Another poll of this station is running (process " + std::to_string(::getpid()) + ")";
  w.Run(Command::PollTodayDial);
  w.SelectRows({0});
  w.Run(Command::UploadSetupDirect);
  EXPECT_FALSE(w.engine().Running());
  ASSERT_EQ(rig.Texts().size(), 2u);
  EXPECT_EQ(rig.Texts()[0], "ZEL|" + held +
                                ".\nThis poll was not started; try again when that "
                                "one has ended.");
  EXPECT_EQ(rig.Texts()[1], rig.Texts()[0]);
  // The schedule's poll at 02:15 says it on the status line (at the next tick's copy); no box
  // waits for an answer.
  w.Tick();
  rig.clock.AdvanceSeconds(1);
  w.Tick();
  EXPECT_FALSE(w.engine().Running());
  EXPECT_EQ(rig.Texts().size(), 2u);
  EXPECT_EQ(w.statusField(1)->text().toStdString(), "Scheduled poll");
  EXPECT_EQ(w.statusField(2)->text().toStdString(), held);

  // The exit saves while zelpoll still runs; zelpoll's own end writes its changes into that.
  w.show();
  w.dayBox(0)->setChecked(true);
  rig.prompter.QueueAnswer(platform::PromptAnswer::Yes);
  EXPECT_TRUE(w.close());
  back = core::LoadZelDat(rig.ZelDat());
  EXPECT_EQ(back.contents.settings.schedule[0].enabled, 1);
  zelpoll.Unlock();
  ZelpollChanges(rig.ZelDat(), {{"A", 8832, std::nullopt}});
  back = core::LoadZelDat(rig.ZelDat());
  ASSERT_EQ(back.contents.recorders.size(), 1u);
  EXPECT_EQ(back.contents.recorders[0].clockSetDay, 8832);
  EXPECT_EQ(back.contents.recorders[0].password, "UPLOADED");
  EXPECT_EQ(back.contents.settings.schedule[0].enabled, 1);
}

TEST(StationPollCommands, DialWithoutSelectionPollsEveryRecorder) {
  // Modem port COM200 is not on this computer: each recorder fails at once with "no modem".
  WindowRig rig("oxm_dialall", ZelDatWith({"\"A\"", "\"B\"", "\"C\""}, "Port=199\r\n"));
  StationWindow& w = rig.Open();
  w.Run(Command::PollTodayDial);
  w.engine().Wait();
  EXPECT_EQ(w.engine().LastOutcomes().size(), 3u);
  w.SelectRows({1});
  w.Run(Command::DownloadSetupDial);
  w.engine().Wait();
  ASSERT_EQ(w.engine().LastOutcomes().size(), 1u);
  EXPECT_EQ(w.engine().LastOutcomes()[0].id, "B");
  w.Tick();  // the end of the poll lets the station lock go
  EXPECT_FALSE(w.stationFile().Polling());
  platform::StationLock other;
  EXPECT_EQ(other.TryLock(rig.ZelDat()), platform::StationLock::Result::kLocked);
}

// ---- query selected interval ----

TEST(QueryInterval, DateFieldsShowMonthDayYearWithinTheRecordersCentury) {
  QueryIntervalDialog d;
  d.Open({2024, 3, 6, 14, 30, 0, 0, 3}, false);
  EXPECT_EQ(d.fromDate->text().toStdString(), "03/06/2024");
  EXPECT_EQ(d.fromTime->text().toStdString(), "00:00:00");
  EXPECT_EQ(d.toDate->text().toStdString(), "03/06/2024");
  EXPECT_EQ(d.toTime->text().toStdString(), "23:59:59");
  EXPECT_TRUE(d.dialButton->isChecked());
  // The recorder takes two-digit years: the fields stay within 2000 to 2099.
  d.fromDate->setDate(QDate(1999, 12, 31));
  d.toDate->setDate(QDate(2100, 1, 1));
  EXPECT_GE(d.From().year, 2000);
  EXPECT_LE(d.To().year, 2099);
  d.toDate->setDate(QDate(2099, 12, 31));
  EXPECT_EQ(d.toDate->text().toStdString(), "12/31/2099");
  EXPECT_EQ(d.To().year, 2099);
  d.Open({2024, 3, 6, 14, 30, 0, 0, 3}, true);
  d.show();
  EXPECT_FALSE(gui::testing::SaveScreenshot(&d, "zeloxm_query_interval").isEmpty());
}

TEST(QueryInterval, ViewAndPlotDataStartInTheQueryFolder) {
  WindowRig rig("oxm_qview", ZelDatWith({"\"R1\",\"\",\"\",5,0,0,0,0,0,0,0,0,0"}));
  fs::create_directories(rig.data / "R1" / "Query");
  StationWindow& w = rig.Open();
  w.SelectRows({0});
  const fs::path chosen = rig.data / "elsewhere" / "interval.bin";
  rig.files.Queue(chosen.string());
  w.Run(Command::QueryPlotData);
  w.Run(Command::QueryViewData);  // cancelled
  const auto& req = rig.files.requests();
  ASSERT_EQ(req.size(), 2u);
  for (const auto& r : req) {
    EXPECT_EQ(r.filter, "Binary files (*.bin)|*.bin||");
    EXPECT_EQ(r.startFolder, (rig.data / "R1" / "Query").string());
  }
  const std::string P = rig.services.programFolder;
  EXPECT_EQ(rig.launcher.events(),
            (std::vector<std::string>{"start \"" + P + "ZelQplot.exe\" /event=\"" +
                                      chosen.string() + "\" /setup=\"setupdata.bin\""}));
  ASSERT_EQ(rig.launcher.started().size(), 1u);
  EXPECT_EQ(rig.launcher.started()[0].workingFolder, (rig.data / "R1").string())
      << "setupdata.bin is found from the recorder's folder";
}

// ---- the timer while a dialog is open ----

TEST(DeleteConfirmation, TicksWhileItIsOpenRunTheClockButOpenNoSecondDialog) {
  WindowRig rig("oxm_reentry", ZelDatWith({"\"A\""}, "AutoDelete=1\r\n"));
  fs::create_directories(rig.data / "A");
  std::ofstream(rig.data / "A" / "240101-000000.bin") << "x";
  StationWindow& w = rig.Open();
  rig.scripts.push_back([&](QDialog& d) {
    // Ten seconds pass inside the dialog's own loop.
    for (int i = 0; i < 10; ++i) {
      rig.clock.AdvanceSeconds(1);
      w.Tick();
    }
    EXPECT_EQ(w.clockLine()->text().toStdString(), "02:15:10 Wednesday");
    EXPECT_EQ(rig.shown.size(), 1u);
    return static_cast<int>(d.result() == QDialog::Accepted ? QDialog::Accepted
                                                            : QDialog::Rejected);
  });
  w.Tick();
  EXPECT_EQ(rig.shown, (std::vector<std::string>{"Delete Confirmation"}));
  EXPECT_TRUE(fs::exists(rig.data / "A" / "240101-000000.bin"));
}

TEST(RecorderDialog, AddWhenTheRecorderFolderCannotBeMadeSaysNothing) {
  WindowRig rig("oxm_addnofolder", ZelDatWith({}));
  std::ofstream(rig.data / "Blocked") << "a file where the folder would go";
  StationWindow& w = rig.Open();
  rig.scripts.push_back([&](QDialog& dlg) {
    w.recorderDialog()->idField->setText("Blocked");
    return WindowRig::PressOk(dlg);
  });
  w.Run(Command::Add);
  EXPECT_TRUE(rig.prompter.entries().empty());
  EXPECT_EQ(Ids(w), (std::vector<std::string>{"Blocked"}));
  EXPECT_TRUE(fs::is_regular_file(rig.data / "Blocked"));
}

TEST(Window, ScreenshotWithAFewRecorders) {
  WindowRig rig("oxm_png",
                ZelDatWith({"\"North Yard\",\"5551234\",\"\",3,0,0,0,0,0,3,0,0,0",
                            "\"South Junction\",\"\",\"\",5,0,0,0,0,0,-1,0,-1062731500,5000",
                            "\"Depot 12\",\"5559876\",\"\",13,0,0,0,0,0,0,0,0,0",
                            "\"Old Line\",\"\",\"\",17,0,0,0,0,0,1,0,0,0"},
                           "Schedule=0,0,1,8,0,0,1,9,0,0,1,92,0,0\r\n"));
  StationWindow& w = rig.Open();
  w.SelectRows({1});
  w.Tick();
  w.show();
  const QString path = gui::testing::SaveScreenshot(&w, "zeloxm_main_window");
  EXPECT_FALSE(path.isEmpty());
  rig.scripts.push_back([&](QDialog& d) {
    d.show();
    EXPECT_FALSE(gui::testing::SaveScreenshot(&d, "zeloxm_recorder_dialog").isEmpty());
    return static_cast<int>(QDialog::Rejected);
  });
  w.Run(Command::Edit);
  rig.scripts.push_back([&](QDialog& d) {
    d.show();
    EXPECT_FALSE(gui::testing::SaveScreenshot(&d, "zeloxm_properties").isEmpty());
    return static_cast<int>(QDialog::Rejected);
  });
  w.Run(Command::Properties);
  rig.prompter.QueueAnswer(platform::PromptAnswer::Yes);
}

}  // namespace
}  // namespace zel::oxm
