// The equation and details dialogs, opened from the main frame's commands on the offscreen
// platform and driven through the dialog runner.
#include "plot_dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../model/tests/event_bytes.h"
#include "gui/testing/gui_testing.h"
#include "main_frame.h"
#include "qplot_view.h"
#include "zel/day_number.h"
#include "zel/testing/temp_folder.h"

namespace zel::qplot {
namespace {

namespace fs = std::filesystem;
using testing::EventBytes;

const uint16_t kDate = PackDate(24, 3, 15);

struct Station {
  zeltest::TempFolder temp{"qplot_dlg"};
  fs::path dir = temp.path();
  platform::RecordingPrompter prompter;
  platform::RecordingLauncher launcher;
  StartOptions options;
  Station(const EventBytes& events, const SetupDatabase& setup) {
    Write(dir / "a.bin", events.bytes());
    Write(dir / "s.bin", setup.SaveBytes());
    options.eventPath = (dir / "a.bin").string();
    options.setupPath = (dir / "s.bin").string();
  }
  static void Write(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
};

void Shoot(QDialog& d, const char* name) {
  d.show();
  EXPECT_FALSE(gui::testing::SaveScreenshot(&d, QString::fromLatin1(name)).isEmpty());
}

// Edit Equations: Edit on row 2, In1 and In3 chosen, Function... shows four combinations with
// row 2 "In1 Off, In3 On"; ON on rows 1 and 2; OK writes inputs and table into the template.
TEST(EquationDialogs, FunctionRowsForIn1AndIn3AndOkWritesTheEquation) {
  SetupDatabase setup(model::kKrv517xl);
  setup.SetName(0, "Track 1");
  setup.SetName(2, "Gate down");
  Station s(EventBytes(EventFileType::k517XL, kDate, 0, kDate, 8639999), setup);
  CMainFrame frame(s.options, s.prompter, s.launcher);
  ASSERT_NE(frame.Action(QStringLiteral("Edit Equations")), nullptr);
  int level = 0;
  bool cancel_function = false;
  auto runner = [&](QDialog& d) -> int {
    if (auto* eqs = dynamic_cast<CEquationsDialog*>(&d)) {
      EXPECT_EQ(eqs->windowTitle(), "Equations");
      EXPECT_EQ(eqs->list()->topLevelItemCount(), 8);
      EXPECT_EQ(eqs->list()->topLevelItem(7)->text(0), "E08");
      ++level;
      eqs->Edit(2);
      EXPECT_EQ(eqs->list()->topLevelItem(2)->text(1), "D001");
      EXPECT_EQ(eqs->list()->topLevelItem(2)->text(2), "");
      EXPECT_EQ(eqs->list()->topLevelItem(2)->text(3), "D003");
      Shoot(*eqs, "qplot_equations");
      return QDialog::Accepted;
    }
    if (auto* eq = dynamic_cast<CEquationDialog*>(&d)) {
      EXPECT_EQ(eq->input(0)->itemText(0), "---       (none)");
      EXPECT_EQ(eq->input(0)->itemText(1), "D001   Track 1");
      EXPECT_EQ(eq->input(0)->currentIndex(), 0);
      eq->input(0)->setCurrentIndex(1);  // In1 = D001
      eq->input(2)->setCurrentIndex(3);  // In3 = D003
      cancel_function = true;            // a cancelled Function dialog keeps the table
      eq->Function();
      cancel_function = false;
      eq->Function();
      Shoot(*eq, "qplot_equation");
      return QDialog::Accepted;
    }
    if (auto* fn = dynamic_cast<CFunctionDialog*>(&d)) {
      EXPECT_EQ(fn->list()->topLevelItemCount(), 4);
      QTreeWidgetItem* row2 = fn->list()->topLevelItem(2);
      EXPECT_EQ(row2->text(0), "Off");
      EXPECT_EQ(row2->text(1), "");
      EXPECT_EQ(row2->text(2), "On");
      EXPECT_EQ(row2->text(3), "");
      EXPECT_EQ(row2->text(4), "Off");
      fn->SelectRows({1, 2});
      fn->SetSelectedOutputs(true);
      EXPECT_EQ(row2->text(4), "On");
      fn->SelectRows({1});
      fn->SetSelectedOutputs(false);
      EXPECT_EQ(fn->list()->topLevelItem(1)->text(4), "Off");
      Shoot(*fn, "qplot_function");
      return cancel_function ? QDialog::Rejected : QDialog::Accepted;
    }
    ADD_FAILURE() << "unexpected dialog " << d.windowTitle().toStdString();
    return QDialog::Rejected;
  };
  frame.EditEquations(runner);
  EXPECT_EQ(level, 1);
  const CVequation& eq = frame.doc().Equation(2);
  EXPECT_EQ(eq.in, (std::array<int32_t, 4>{0, kNoInput, 2, kNoInput}));
  EXPECT_EQ(eq.table[2], 1);
  EXPECT_EQ(eq.table[1], 0);
  EXPECT_EQ(eq.table[0], 0);
  EXPECT_TRUE(frame.doc().IsModified());

  // Cancel in the Equation dialog changes nothing.
  frame.doc().SetModified(false);
  frame.EditEquations([&](QDialog& d) -> int {
    if (auto* eqs = dynamic_cast<CEquationsDialog*>(&d)) {
      eqs->Edit(2);
      return QDialog::Accepted;
    }
    if (auto* e = dynamic_cast<CEquationDialog*>(&d)) {
      EXPECT_EQ(e->input(2)->currentIndex(), 3);
      e->input(0)->setCurrentIndex(0);
      return QDialog::Rejected;
    }
    return QDialog::Rejected;
  });
  EXPECT_EQ(frame.doc().Equation(2), eq);
  EXPECT_FALSE(frame.doc().IsModified());
}

// Input Details of a KRV-85E analog input with thresholds -1.25 and -0.50, opened from the
// label menu's Details... on the channel showing it.
TEST(DetailsDialogs, InputDetailsOfAKrv85eThreshold) {
  SetupDatabase setup(model::kKrv85e);
  setup.SetName(64, "Battery");
  setup.SetHighThreshold(0, -125);
  setup.SetLowThreshold(0, -50);
  Station s(EventBytes(EventFileType::k85E, kDate, 0, kDate, 8639999), setup);
  CMainFrame frame(s.options, s.prompter, s.launcher);
  ASSERT_TRUE(frame.data().Loaded());
  frame.view()->SetLastRightClick(QPoint(40, RowTop(64) + 7));
  std::vector<std::string> shown;
  frame.ShowInputDetails([&](QDialog& d) {
    auto& details = dynamic_cast<CDetailsDialog&>(d);
    EXPECT_EQ(details.windowTitle(), "Input Details");
    shown = details.Lines(0);
    Shoot(details, "qplot_input_details");
    return static_cast<int>(QDialog::Accepted);
  });
  ASSERT_EQ(shown.size(), 7u);
  EXPECT_EQ(shown[0], "Name:\tBattery");
  EXPECT_EQ(shown[5], "High Threshold:\t-1.25");
  EXPECT_EQ(shown[6], "Low Threshold:\t-0.50");
  // An empty channel shows nothing.
  frame.doc().SetChannelInput(3, kNoInput);
  frame.view()->SetLastRightClick(QPoint(40, RowTop(3) + 7));
  bool opened = false;
  frame.ShowInputDetails([&](QDialog&) {
    opened = true;
    return static_cast<int>(QDialog::Accepted);
  });
  EXPECT_FALSE(opened);
  frame.doc().SetModified(false);
}

// Event Details from the plot-area menu: only within 4 units of the channel's event.
TEST(DetailsDialogs, EventDetailsNearTheClickedEvent) {
  SetupDatabase setup(model::kKrv517xl);
  setup.SetName(1, "Gate down");
  setup.SetEventPair(1, 3);
  setup.SetOnName(3, "Down");
  setup.SetOffName(3, "Up");
  setup.SetName(256, "Line");
  EventBytes e(EventFileType::k517XL, kDate, 0, kDate, 8639999);
  e.Add(4320000, 1, 1);
  Station s(e, setup);
  CMainFrame frame(s.options, s.prompter, s.launcher);
  const int x = frame.view()->view().XOfTime(frame.data().RecordTime(0));
  frame.view()->SetLastRightClick(QPoint(x + 5, RowTop(1) + 7));
  bool opened = false;
  frame.ShowEventDetails([&](QDialog&) {
    opened = true;
    return static_cast<int>(QDialog::Accepted);
  });
  EXPECT_FALSE(opened);
  frame.view()->SetLastRightClick(QPoint(x + 4, RowTop(1) + 7));
  std::vector<std::string> digital, analog;
  frame.ShowEventDetails([&](QDialog& d) {
    auto& details = dynamic_cast<CDetailsDialog&>(d);
    EXPECT_EQ(details.windowTitle(), "Event Details");
    digital = details.Lines(0);
    analog = details.Lines(1);
    EXPECT_EQ(details.list(1)->headerItem()->text(3), "Value");
    Shoot(details, "qplot_event_details");
    return static_cast<int>(QDialog::Accepted);
  });
  ASSERT_EQ(digital.size(), 5u);
  EXPECT_EQ(digital[0], "Input:\tD002");
  EXPECT_EQ(digital[1], "Time:\t03/15/24 12:00:00.00");
  EXPECT_EQ(digital[4], "Event:\tDown");
  ASSERT_EQ(analog.size(), 8u);
  EXPECT_EQ(analog[0], "A01\tLine\t\t0.0");
}

}  // namespace
}  // namespace zel::qplot
