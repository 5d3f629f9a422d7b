// The editor windows over temporary setup files, with a recording Prompter and Launcher: the
// buttons of every editor, its pages through the widgets, OK, Cancel and the messages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "equation_dialog.h"
#include "form_dialog.h"
#include "gui/testing/gui_testing.h"
#include "list_page_dialog.h"
#include "main_dialog.h"
#include "model/startup.h"
#include "zel/identifiers.h"
#include "zel/testing/temp_folder.h"

namespace zel::editors {
namespace {

namespace fs = std::filesystem;
using platform::PromptAnswer;

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh folder per test, removed with it.
using Folder = zeltest::TempFolder;

fs::path WriteDefaults(const fs::path& folder, RecorderType type) {
  SetupDatabase db(type);
  db.RestoreFactoryDefaults();
  const fs::path file = folder / "setupdata.bin";
  std::ofstream out(file, std::ios::binary);
  const auto bytes = db.SaveBytes();
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  return file;
}

// Shows a dialog long enough to lay it out, saves its picture, hides it again.
void Picture(QDialog& dialog, const QString& name) {
  dialog.show();
  QApplication::processEvents();
  EXPECT_FALSE(gui::testing::SaveScreenshot(&dialog, name).isEmpty());
  dialog.hide();
}

// Presses OK in a dialog run by a test and gives the result exec() would have returned.
int Accept(QDialog& d) {
  d.accept();
  return d.result();
}

struct Editor {
  explicit Editor(RecorderType type, const fs::path& file)
      : session(*FindEditor(type)),
        opened(session.Open(file.string())),
        dialog(session, prompter, launcher, "/opt/zel/") {}
  EditorSession session;
  OpenResult opened;
  platform::RecordingPrompter prompter{PromptAnswer::Yes};
  platform::RecordingLauncher launcher;
  MainDialog dialog;
};

TEST(EditorWindow, EveryEditorOpensItsPagesAndStartsItsConverter) {
  for (const EditorFamilyRow& row : EditorFamily()) {
    SCOPED_TRACE(row.program);
    Folder folder;
    const fs::path file = WriteDefaults(folder.path(), row.type);
    const std::vector<uint8_t> before = ReadAll(file);
    Editor e(row.type, file);
    ASSERT_EQ(e.opened, OpenResult::kOpened);
    EXPECT_EQ(e.dialog.windowTitle().toStdString(), std::string(row.title) + " " + file.string());
    const SetupLayout& l = *e.session.db().layout();
    int pages = 0;
    e.dialog.SetDialogRunner([&](QDialog& d) {
      if (auto* list = qobject_cast<ListPageDialog*>(&d)) {
        ++pages;
        const int rows = list->tableModel()->rowCount();
        EXPECT_GT(rows, 0) << d.windowTitle().toStdString();
        // The first row shows the page's first input, page row 0.
        EXPECT_EQ(list->tableModel()->PageRow(0), 0);
        if (d.windowTitle() == "Input Names") {
          EXPECT_EQ(rows, l.NameCount());
        }
        if (d.windowTitle() == "Timers") {
          EXPECT_EQ(rows, l.timerCount);
        }
        if (d.windowTitle() == "Detect Times") {
          EXPECT_EQ(rows, l.digitalCount);
        }
        return Accept(d);
      }
      if (auto* form = qobject_cast<FormDialog*>(&d)) {
        ++pages;
        return Accept(*form);  // the record's own values pass the validation
      }
      ADD_FAILURE() << "unexpected dialog " << d.windowTitle().toStdString();
      return 0;
    });
    for (const MainButton& b : row.buttons) {
      QPushButton* button = e.dialog.Button(b.page);
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(button->text().toStdString(), b.caption);
      if (b.page != Page::kRestoreDefaults) button->click();
    }
    EXPECT_EQ(pages, static_cast<int>(row.buttons.size()) - 1);
    // Opening and closing pages without a change leaves nothing to save.
    EXPECT_FALSE(e.session.HasUnsavedEdits());
    if (row.type == model::kKrv517 || row.type == model::kKrv517xc)
      Picture(e.dialog, QString("main_") + row.program);

    e.dialog.accept();  // OK
    EXPECT_EQ(e.dialog.result(), QDialog::Accepted);
    ASSERT_EQ(e.launcher.started().size(), 1u);
    EXPECT_EQ(e.launcher.started()[0].commandLine,
              std::string("\"/opt/zel/") + row.converter + "\" \"" + file.string() + "\" \"" +
                  (folder.path() / "setupdata.txt").string() + "\"");
    EXPECT_EQ(ReadAll(file), before);  // an unchanged record is written as it was read
    EXPECT_TRUE(e.prompter.entries().empty());
  }
}

TEST(EditorWindow, MultiEditThroughTheWidgetsThenCancelKeepsTheFile) {
  Folder folder;
  const fs::path file = WriteDefaults(folder.path(), model::kKrv517);
  const std::vector<uint8_t> before = ReadAll(file);
  Editor e(model::kKrv517, file);
  e.dialog.SetDialogRunner([&](QDialog& d) {
    if (auto* list = qobject_cast<ListPageDialog*>(&d)) {
      list->SelectRows({0, 1, 2});
      EXPECT_TRUE(list->EditSelected());
      EXPECT_EQ(list->tableModel()->data(list->tableModel()->index(2, 1), Qt::DisplayRole),
                "Switch 11");
      EXPECT_EQ(list->tableModel()->data(list->tableModel()->index(2, 2), Qt::DisplayRole), "SW11");
      Picture(d, "page_input_names_517");
      return Accept(d);
    }
    auto* form = qobject_cast<FormDialog*>(&d);
    EXPECT_NE(form, nullptr);
    if (form == nullptr) return 0;
    auto* name = qobject_cast<QLineEdit*>(form->FieldWidget("name"));
    auto* id = qobject_cast<QLineEdit*>(form->FieldWidget("id"));
    auto* pair = qobject_cast<QComboBox*>(form->FieldWidget("pair"));
    EXPECT_EQ(name->text(), "");  // multi-edit: empty means no change
    EXPECT_EQ(pair->itemText(0), "(unchanged)");
    EXPECT_EQ(pair->currentIndex(), 0);
    name->setText("Switch 9");
    id->setText("SW9");
    Picture(d, "edit_input_names_multi_517");
    return Accept(d);
  });
  e.dialog.Button(Page::kInputNames)->click();
  EXPECT_EQ(e.session.db().Name(1), "Switch 10");
  EXPECT_TRUE(e.dialog.windowTitle().endsWith(" *"));

  // Cancel asks; No keeps the editor open with the edits.
  e.prompter.QueueAnswer(PromptAnswer::No);
  e.dialog.reject();
  ASSERT_EQ(e.prompter.entries().size(), 1u);
  EXPECT_EQ(e.prompter.entries()[0].text, "Discard your changes?");
  EXPECT_EQ(e.prompter.entries()[0].buttons, platform::PromptButtons::YesNo);
  EXPECT_EQ(e.session.db().Name(2), "Switch 11");
  // Yes closes as the original does, writing nothing.
  e.prompter.QueueAnswer(PromptAnswer::Yes);
  e.dialog.show();
  e.dialog.reject();
  EXPECT_EQ(e.prompter.entries().size(), 2u);
  EXPECT_FALSE(e.dialog.isVisible());
  EXPECT_EQ(e.dialog.result(), QDialog::Rejected);
  EXPECT_EQ(ReadAll(file), before);
  EXPECT_TRUE(e.launcher.started().empty());
}

TEST(EditorWindow, FailedSaveShowsTheReasonAndStaysOpen) {
  Folder folder;
  const fs::path file = WriteDefaults(folder.path(), model::kKrv517xl);
  Editor e(model::kKrv517xl, file);
  e.session.db().SetUnitName("Elm St");
  e.dialog.UpdateTitle();
  fs::remove(file);
  fs::remove(folder.path());  // the folder is gone: nothing can be written there
  e.dialog.show();
  e.dialog.accept();
  ASSERT_EQ(e.prompter.entries().size(), 1u);
  EXPECT_EQ(e.prompter.entries()[0].caption, "ZELEdit517XL");
  EXPECT_EQ(e.prompter.entries()[0].text.rfind("Cannot write file " + file.string() + ": ", 0), 0u);
  EXPECT_TRUE(e.dialog.isVisible());
  EXPECT_TRUE(e.launcher.started().empty());
  EXPECT_EQ(e.session.db().UnitName(), "Elm St");
  EXPECT_TRUE(e.dialog.windowTitle().endsWith(" *"));
  fs::create_directories(folder.path());
  e.dialog.accept();  // the folder is back: the same edits are saved
  EXPECT_EQ(e.launcher.started().size(), 1u);
  SetupDatabase saved(model::kKrv517xl);
  ASSERT_TRUE(saved.LoadFile(file));
  EXPECT_EQ(saved.UnitName(), "Elm St");
}

TEST(EditorWindow, BatteryRangeMessageAndEquationThroughTheWidgets) {
  Folder folder;
  Editor e(model::kKrv517, WriteDefaults(folder.path(), model::kKrv517));
  e.dialog.SetDialogRunner([&](QDialog& d) {
    if (auto* list = qobject_cast<ListPageDialog*>(&d)) {
      list->SelectRows({list->windowTitle() == "Analog" ? 7 : 0});
      list->EditSelected();
      if (list->windowTitle() == "Virtual Inputs") Picture(d, "page_virtual_517");
      return Accept(d);
    }
    if (auto* eq = qobject_cast<EquationDialog*>(&d)) {
      EXPECT_EQ(eq->grid()->rowCount(), 4);
      EXPECT_EQ(eq->grid()->horizontalHeaderItem(0)->text(), "D001");
      EXPECT_EQ(eq->grid()->horizontalHeaderItem(2)->text(), "V01");
      eq->grid()->selectRow(3);
      eq->SetSelected(true);
      EXPECT_EQ(eq->grid()->item(3, 2)->text(), "On");
      Picture(d, "equation_517");
      return Accept(d);
    }
    auto* form = qobject_cast<FormDialog*>(&d);
    if (form->windowTitle() == "Edit Analog") {
      qobject_cast<QComboBox*>(form->FieldWidget("range"))->setCurrentIndex(0);
      qobject_cast<QLineEdit*>(form->FieldWidget("low"))->setText("1.5");
      Picture(d, "edit_analog_517");
    } else {
      qobject_cast<QComboBox*>(form->FieldWidget("in1"))->setCurrentIndex(1);
      qobject_cast<QComboBox*>(form->FieldWidget("in2"))->setCurrentIndex(2);
      qobject_cast<QPushButton*>(form->FieldWidget("function"))->click();
      Picture(d, "edit_virtual_517");
    }
    return Accept(d);
  });
  e.dialog.Button(Page::kAnalog)->click();
  ASSERT_EQ(e.prompter.entries().size(), 1u);
  EXPECT_EQ(e.prompter.entries()[0].text, "Cannot change Range for A08");
  EXPECT_EQ(e.session.db().AnalogRange(7), 1);
  EXPECT_EQ(e.session.db().LowThreshold(7), 15);  // the rest of the edit still applies
  e.dialog.Button(Page::kVirtual)->click();
  EXPECT_EQ(e.session.db().VirtualSource(0, 0), 0);
  EXPECT_EQ(e.session.db().VirtualSource(0, 1), 1);
  EXPECT_EQ(e.session.db().TruthTable(0), 1 << 3);
}

TEST(EditorWindow, FilterOnTheLongestPage) {
  Folder folder;
  Editor e(model::kKrv517xc, WriteDefaults(folder.path(), model::kKrv517xc));
  e.dialog.SetDialogRunner([&](QDialog& d) {
    if (auto* list = qobject_cast<ListPageDialog*>(&d)) {
      EXPECT_EQ(list->tableModel()->rowCount(), 5255);
      list->filterBox()->setText("d409");
      EXPECT_EQ(list->tableModel()->rowCount(), 7);  // D4090 .. D4096
      EXPECT_EQ(list->tableModel()->PageRow(0), 4089);
      list->SelectRows({0, 1, 2, 3, 4, 5, 6});
      list->EditSelected();
      Picture(d, "page_input_names_517xc_filtered");
      list->filterBox()->clear();
      EXPECT_EQ(list->tableModel()->rowCount(), 5255);
      return Accept(d);
    }
    auto* form = qobject_cast<FormDialog*>(&d);
    qobject_cast<QLineEdit*>(form->FieldWidget("id"))->setText("Gate1");
    return Accept(d);
  });
  e.dialog.Button(Page::kInputNames)->click();
  EXPECT_EQ(e.session.db().Identifier(4088), "Dinp4089");
  EXPECT_EQ(e.session.db().Identifier(4089), "Gate1");
  EXPECT_EQ(e.session.db().Identifier(4095), "Gate7");
  EXPECT_EQ(e.session.db().Name(4095), "Digital Input 4096");
}

TEST(EditorWindow, SettingsPagesRefuseOutOfRangeAndKeepTheDialogOpen) {
  Folder folder;
  Editor e(model::kKrv517xc, WriteDefaults(folder.path(), model::kKrv517xc));
  int tries = 0;
  e.dialog.SetDialogRunner([&](QDialog& d) {
    auto* form = qobject_cast<FormDialog*>(&d);
    if (form->windowTitle() == "Network") {
      Picture(d, "network_517xc");
      return Accept(d);
    }
    auto* rings = qobject_cast<QLineEdit*>(form->FieldWidget("rings"));
    rings->setText("100");
    d.accept();
    ++tries;
    EXPECT_NE(d.result(), QDialog::Accepted);
    rings->setText("7");
    Picture(d, "system_517xc");
    return Accept(d);
  });
  e.dialog.Button(Page::kSystem)->click();
  e.dialog.Button(Page::kNetwork)->click();
  EXPECT_EQ(tries, 1);
  ASSERT_EQ(e.prompter.entries().size(), 1u);
  EXPECT_EQ(e.prompter.entries()[0].text, "Please enter an integer between 0 and 99.");
  EXPECT_EQ(e.session.db().RingCount(), 7);
}

TEST(EditorWindow, CreatePromptOnlyInSixEditors) {
  for (const EditorFamilyRow& row : EditorFamily()) {
    SCOPED_TRACE(row.program);
    Folder folder;
    const fs::path file = folder.path() / "setupdata.bin";
    EditorSession session(row);
    platform::RecordingPrompter prompter(PromptAnswer::Yes);
    const bool goesOn = StartSession(session, file.string(), prompter);
    const auto entries = prompter.entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].caption, row.title);
    if (!row.createPrompt) {
      EXPECT_FALSE(goesOn);
      ASSERT_EQ(entries.size(), 1u);
      EXPECT_EQ(entries[0].text, "Cannot open file");
      continue;
    }
    EXPECT_TRUE(goesOn);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].text, "Setup file does not exist,\ncreate new one?");
    EXPECT_EQ(entries[1].text, "Restore all settings to factory defaults?");
    EXPECT_EQ(session.db().UnitName(), "***** NOT SET *****");
    if (row.type == model::kSlgMicrolok) {
      EXPECT_EQ(session.db().TimeZone(), 0);
      EXPECT_EQ(session.db().DaylightSavingTime(), 1);
    }
    // OK writes the new file where the command line named it.
    platform::RecordingLauncher launcher;
    MainDialog dialog(session, prompter, launcher, "/opt/zel/");
    EXPECT_TRUE(dialog.windowTitle().endsWith(" *"));
    dialog.accept();
    EXPECT_EQ(ReadAll(file).size(), session.db().WrittenLength());
    EXPECT_EQ(launcher.started().size(), 1u);
  }
  // No to the prompt closes the editor; no argument says so.
  EditorSession s(*FindEditor(model::kKrv517xl));
  platform::RecordingPrompter no(PromptAnswer::No);
  EXPECT_FALSE(StartSession(s, std::string("/nonexistent-zel/setupdata.bin"), no));
  EXPECT_FALSE(StartSession(s, std::nullopt, no));
  EXPECT_EQ(no.entries().back().text, "No file specified");
}

TEST(EditorWindow, RestoreDefaultsAsksAndAboutShowsTheVersion) {
  Folder folder;
  Editor e(model::kKrv517e, WriteDefaults(folder.path(), model::kKrv517e));
  e.session.db().SetUnitName("Oak St");
  e.prompter.QueueAnswer(PromptAnswer::No);
  e.dialog.Button(Page::kRestoreDefaults)->click();
  EXPECT_EQ(e.session.db().UnitName(), "Oak St");
  e.dialog.Button(Page::kRestoreDefaults)->click();  // default answer Yes
  EXPECT_EQ(e.session.db().UnitName(), "***** NOT SET *****");
  EXPECT_EQ(e.prompter.entries()[0].text, "Restore all settings to factory defaults?");
  e.dialog.About();
  EXPECT_EQ(e.prompter.entries().back().caption, "About ZELEdit517E");
  EXPECT_EQ(e.prompter.entries().back().text, "ZELEdit517E Version 1.011");
}

}  // namespace
}  // namespace zel::editors

namespace zel::editors {
namespace {

// OK with the real launcher: the converter program of the model writes the listing beside the
// setup file (the KRV-583 editor's converter is the one whose name ends in "s2tOXM").
TEST(EditorWindow, OkStartsTheRealConverterWhichWritesTheListing) {
  for (RecorderType type : {model::kKrv583, model::kKrv517xl}) {
    SCOPED_TRACE(FindEditor(type)->program);
    Folder folder;
    const fs::path file = WriteDefaults(folder.path(), type);
    EditorSession session(*FindEditor(type));
    ASSERT_EQ(session.Open(file.string()), OpenResult::kOpened);
    session.db().SetUnitName("Converter check");
    platform::RecordingPrompter prompter;
    const std::string programFolder = std::string(ZEL_BIN_DIR) + "/";
    platform::ProcessLauncher launcher{fs::path(ZEL_BIN_DIR)};
    MainDialog dialog(session, prompter, launcher, programFolder);
    dialog.accept();
    EXPECT_TRUE(prompter.entries().empty());
    const fs::path text = folder.path() / "setupdata.txt";
    // The converter runs detached: wait for its listing, at most 30 s.
    std::string listing;
    for (int i = 0; i < 300 && listing.find("Converter check") == std::string::npos; ++i) {
      QThread::msleep(100);
      std::ifstream in(text);
      listing.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_NE(listing.find("Converter check"), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace zel::editors
