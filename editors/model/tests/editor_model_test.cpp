// The editor's plain classes: command line, numbering, family table, the pages' rows and
// multi-edit rules, the A08 lock, the equation table and the timers' input lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "gui/model/input_choices.h"
#include "model/command_line.h"
#include "model/editor_family.h"
#include "model/equation.h"
#include "model/pages.h"
#include "model/settings_forms.h"
#include "zel/catalogue.h"

namespace zel::editors {
namespace {

TEST(EditorCommandLine, RawLineAsTheManagerBuildsIt) {
  EXPECT_EQ(
      PathFromCommandLine("\"C:\\ZEL\\ZelEdit517.exe\" \"D:\\Data\\North St\\setupdata.bin\""),
      "D:\\Data\\North St\\setupdata.bin");
  // A quoted path ends at its closing quote.
  EXPECT_EQ(PathFromCommandLine("ZelEdit517 \"a b.bin\" ignored"), "a b.bin");
  // An unquoted path is the whole rest of the line, blanks included.
  EXPECT_EQ(PathFromCommandLine("ZelEdit517   D:\\My Data\\setup  data.bin"),
            "D:\\My Data\\setup  data.bin");
  EXPECT_EQ(PathFromCommandLine("\"ZelEdit517\" \"open"), "open");
  EXPECT_FALSE(PathFromCommandLine("ZelEdit517").has_value());
  EXPECT_FALSE(PathFromCommandLine("\"Zel Edit\"    ").has_value());
}

TEST(EditorCommandLine, ArgumentsSplitAtBlanksAreJoined) {
  EXPECT_EQ(PathFromArguments({"ZelEdit517", "/data/North St/setupdata.bin"}),
            "/data/North St/setupdata.bin");
  EXPECT_EQ(PathFromArguments({"ZelEdit517", "/data/North", "St/setupdata.bin"}),
            "/data/North St/setupdata.bin");
  EXPECT_EQ(PathFromArguments({"ZelEdit517", "\"/d/a b.bin\" x"}), "/d/a b.bin");
  EXPECT_FALSE(PathFromArguments({"ZelEdit517"}).has_value());
  EXPECT_FALSE(PathFromArguments({"ZelEdit517", ""}).has_value());
}

TEST(EditorNumbering, AdvanceByOne) {
  EXPECT_EQ(AdvanceByOne("Track"), "Track1");
  EXPECT_EQ(AdvanceByOne("Sw 07 N"), "Sw 08 N");
  EXPECT_EQ(AdvanceByOne("Sw 19"), "Sw 20");
  EXPECT_EQ(AdvanceByOne("Sw 99"), "Sw 100");
  EXPECT_EQ(AdvanceByOne("9"), "10");
  EXPECT_EQ(AdvanceByOne("Switch 9"), "Switch 10");
  EXPECT_EQ(AdvanceByOne("SW9"), "SW10");
  EXPECT_EQ(AdvanceByOne(""), "1");
}

TEST(EditorFamilyTable, SeventeenEditorsEachWithItsConverter) {
  const auto& rows = EditorFamily();
  ASSERT_EQ(rows.size(), 17u);
  std::set<std::string> programs, converters;
  int prompts = 0;
  for (const EditorFamilyRow& row : rows) {
    programs.insert(row.program);
    converters.insert(row.converter);
    prompts += row.createPrompt ? 1 : 0;
    // The catalogue names the same editor and the same converter (modulo ".exe" and case).
    const auto editor = EditorOf(row.type);
    ASSERT_TRUE(editor.has_value()) << row.program;
    EXPECT_NE(editor->find(row.program), std::string::npos) << *editor;
    EXPECT_EQ(row.buttons.back().page == Page::kRestoreDefaults ||
                  std::any_of(row.buttons.begin(), row.buttons.end(),
                              [](const MainButton& b) { return b.page == Page::kRestoreDefaults; }),
              true);
  }
  EXPECT_EQ(programs.size(), 17u);
  EXPECT_EQ(converters.size(), 17u);
  EXPECT_EQ(prompts, 6);
  EXPECT_EQ(std::string(FindEditor(model::kKrv583)->converter), "krv583s2tOXM.exe");
  EXPECT_EQ(FindEditor(model::kSlgAS7), FindEditor(model::kSlgS7_808));
  EXPECT_EQ(FindEditor(model::kKpd29a), nullptr);
  for (RecorderType t : {model::kKrv517xl, model::kKrv37e, model::kSlgMicrolok, model::kKrv61e,
                         model::kSlgS7_808, model::kKrv583a})
    EXPECT_TRUE(FindEditor(t)->createPrompt) << t;
}

TEST(EditorFamilyTable, ButtonOrderOfTheFamilies) {
  const auto captions = [](RecorderType t) {
    std::vector<std::string> out;
    for (const MainButton& b : FindEditor(t)->buttons) out.emplace_back(b.caption);
    return out;
  };
  EXPECT_EQ(captions(model::kKrv37e),
            (std::vector<std::string>{"&Event Names", "&Input Names", "&Detect Times", "&Analog",
                                      "&Virtual", "Meas. Speed", "Timers", "Network", "&System",
                                      "Restore Factory Defaults"}));
  EXPECT_EQ(captions(model::kKrv85e).back(), "&Network");
  EXPECT_EQ(captions(model::kKrv583a).back(), "Meas. Speed");
  EXPECT_EQ(captions(model::kSlgMicrolok).back(), "Peer Protocol");
  EXPECT_EQ(captions(model::kKrv517xc).back(), "Network");
  EXPECT_EQ(captions(model::kKrv19xt).size(), 7u);
}

class Krv517Pages : public ::testing::Test {
 protected:
  Krv517Pages() : db(model::kKrv517) { db.RestoreFactoryDefaults(); }
  std::unique_ptr<ListPage> Open(Page p) {
    return MakeListPage(p, *FindEditor(model::kKrv517), db);
  }
  SetupDatabase db;
};

TEST_F(Krv517Pages, MultiEditNumbersNamesAndIdentifiers) {
  auto page = Open(Page::kInputNames);
  EditForm form = page->MakeForm({0, 1, 2});
  EXPECT_TRUE(form.multiEdit);
  EXPECT_EQ(form.Find("pair")->entries.front(), gui::kUnchangedEntry);
  form.Find("name")->text = "Switch 9";
  form.Find("id")->text = "SW9";
  page->Apply({2, 0, 1}, form);  // any selection order: rows are written ascending
  EXPECT_EQ(db.Name(0), "Switch 9");
  EXPECT_EQ(db.Name(1), "Switch 10");
  EXPECT_EQ(db.Name(2), "Switch 11");
  EXPECT_EQ(db.Identifier(0), "SW9");
  EXPECT_EQ(db.Identifier(2), "SW11");
  EXPECT_EQ(db.EventPair(1), 0);  // "(unchanged)"
  EXPECT_EQ(page->Cell(2, 3), "(01) On/Off");
}

TEST_F(Krv517Pages, NumberingIsCutToTheFieldWidth) {
  auto page = Open(Page::kInputNames);
  EditForm form = page->MakeForm({0, 1});
  form.Find("name")->text = "Name of twenty chr 9";  // 20 characters
  form.Find("id")->text = "SWITCH99";
  page->Apply({0, 1}, form);
  EXPECT_EQ(db.Name(1), "Name of twenty chr 1");  // "... 10" cut to 20
  EXPECT_EQ(db.Identifier(1), "SWITCH10");        // "SWITCH100" cut to 8
}

TEST_F(Krv517Pages, EmptyNameWithAPairChangesOnlyThePair) {
  auto page = Open(Page::kInputNames);
  EditForm form = page->MakeForm({5, 6});
  form.Find("pair")->index = 1 + 15;  // after "(unchanged)": pair 16
  page->Apply({5, 6}, form);
  EXPECT_EQ(db.Name(5), "Digital Input 006");
  EXPECT_EQ(db.Identifier(6), "DInpu007");
  EXPECT_EQ(db.EventPair(5), 15);
  EXPECT_EQ(db.EventPair(6), 15);
  EXPECT_EQ(page->Cell(6, 3), "(16) Violate/Nominal");
}

TEST_F(Krv517Pages, BatteryRangeIsLocked) {
  auto page = Open(Page::kAnalog);
  EditForm form = page->MakeForm({7});
  EXPECT_EQ(form.Find("range")->index, 1);
  form.Find("range")->index = 0;  // "+/-25.5Vdc"
  form.Find("high")->text = "60";
  form.Find("filter")->index = 0;
  const auto messages = page->Apply({7}, form);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Cannot change Range for A08");
  EXPECT_EQ(db.AnalogRange(7), 1);
  EXPECT_EQ(page->Cell(7, 1), "+51.1Vdc");
  EXPECT_EQ(db.HighThreshold(7), 511);  // parsed for range 1 and clamped
  EXPECT_EQ(db.AnalogFilter(7), 0);
}

TEST_F(Krv517Pages, MultiEditThresholdsFollowEachRowsRange) {
  auto page = Open(Page::kAnalog);
  db.SetAnalogRange(1, 2);  // whole volts
  EditForm form = page->MakeForm({0, 1, 7});
  form.Find("low")->text = "-3";
  EXPECT_TRUE(page->Apply({0, 1, 7}, form).empty());  // "(unchanged)" range: no message
  EXPECT_EQ(db.LowThreshold(0), -30);
  EXPECT_EQ(db.LowThreshold(1), -3);
  EXPECT_EQ(db.LowThreshold(7), 0);  // range 1 starts at 0
  EXPECT_EQ(db.HighThreshold(0), 255);
}

TEST_F(Krv517Pages, UnparsableNumbersReadAsZeroOrAsFarAsTheyGo) {
  auto page = Open(Page::kDetectTimes);
  EditForm form = page->MakeForm({3});
  form.Find("time")->text = "2.5 s";
  form.Find("flash")->check = kChecked;
  page->Apply({3}, form);
  EXPECT_EQ(db.DetectTime(3), 250);
  EXPECT_EQ(page->Cell(3, 1), "2.50");
  EXPECT_EQ(page->Cell(3, 2), "Yes");
  form.Find("time")->text = "abc";
  page->Apply({3}, form);
  EXPECT_EQ(db.DetectTime(3), 0);
  // Multi-edit: empty text and a grey check box change nothing.
  EditForm multi = page->MakeForm({3, 4});
  EXPECT_EQ(multi.Find("flash")->check, kGray);
  EXPECT_TRUE(multi.grayNote);
  page->Apply({3, 4}, multi);
  EXPECT_EQ(db.DetectTime(4), 300);
  EXPECT_TRUE(db.FlashEnabled(3));
}

TEST_F(Krv517Pages, TimerListsAndLimits) {
  auto page = Open(Page::kTimers);
  EditForm form = page->MakeForm({0});
  const FormField* from = form.Find("from");
  const FormField* to = form.Find("to");
  ASSERT_EQ(from->entries.size(), 481u);  // none + inputs 0-479
  ASSERT_EQ(to->entries.size(), 281u);    // none + inputs 0-279: no timers, no system inputs
  EXPECT_EQ(from->entries[0], "---         (none)");
  EXPECT_EQ(from->entries[480], "T200   Timer 200");
  EXPECT_EQ(to->entries[280], "V16   Virtual Input 16");
  form.Find("from")->index = 1;
  form.Find("fromState")->index = 0;  // "On" stores 1
  form.Find("to")->index = 280;
  form.Find("low")->text = "1234.5";
  form.Find("high")->text = "-2";
  page->Apply({0}, form);
  EXPECT_EQ(db.TimerFrom(0), 0);
  EXPECT_EQ(db.TimerFromState(0), 1);
  EXPECT_EQ(db.TimerTo(0), 279);
  EXPECT_EQ(db.TimerLowLimit(0), 9999);
  EXPECT_EQ(db.TimerHighLimit(0), 0);
  EXPECT_EQ(page->Cell(0, 5), "999.9");
  EXPECT_EQ(page->Cell(0, 1), "D001");
}

TEST_F(Krv517Pages, VirtualRelayBitsAndEquation) {
  auto page = Open(Page::kVirtual);
  db.SetRelayFlags(0, 0x81);  // bits the editor does not use
  EditForm form = page->MakeForm({0});
  EXPECT_EQ(form.Find("in1")->entries[0], "---       (none)");
  form.Find("in1")->index = 1;            // D001
  form.Find("in3")->index = 3;            // D003
  form.Find("relay1")->check = kChecked;  // "Relay 2"
  form.Find("dial")->check = kChecked;
  page->Apply({0}, form);
  EXPECT_EQ(db.RelayFlags(0), 0x81 | 0x40);
  EXPECT_EQ(page->Cell(0, 1), "D001");
  EXPECT_EQ(page->Cell(0, 2), "");
  EXPECT_EQ(page->Cell(0, 6), "Yes");
  EXPECT_EQ(page->Cell(0, 7), "Yes");

  db.SetOnName(0, "Up");
  EquationTable eq(db, 0, {0, -1, 2, -1}, 0);
  EXPECT_EQ(eq.RowCount(), 4);
  EXPECT_EQ(eq.Headers(), (std::vector<std::string>{"D001", "D003", "V01"}));
  EXPECT_EQ(eq.Cell(1, 0), "Up");  // bit 0 of the row: the first used source
  EXPECT_EQ(eq.Cell(1, 1), "Off");
  eq.Set({1, 3}, true);
  EXPECT_EQ(eq.truthTable(), 0b1010);
  EXPECT_EQ(eq.Cell(3, 2), "Up");
  eq.Set({3}, false);
  EXPECT_EQ(eq.truthTable(), 0b0010);

  EquationTable none(db, 1, {-1, -1, -1, -1}, 1);
  EXPECT_EQ(none.RowCount(), 1);
  EXPECT_EQ(none.Headers(), (std::vector<std::string>{"V02"}));
  EXPECT_EQ(none.Cell(0, 0), "Up");
}

TEST_F(Krv517Pages, FilterNarrowsToIdentifiersAndNames) {
  auto page = Open(Page::kInputNames);
  db.SetName(300, "Crossing gate East");
  EXPECT_EQ(page->FilterRows("").size(), 480u);
  EXPECT_EQ(page->FilterRows("gate"), (std::vector<int>{300}));
  EXPECT_EQ(page->FilterRows("a08"), (std::vector<int>{263}));
  EXPECT_EQ(page->FilterRows("battery"), (std::vector<int>{263}));
  EXPECT_EQ(page->FilterRows("T20"), (std::vector<int>{479}));  // T200 only
}

TEST(EditorSettings, SystemValidationRefusesOutOfRange) {
  SetupDatabase db(model::kKrv517);
  db.RestoreFactoryDefaults();
  EditForm form = SystemForm(*FindEditor(model::kKrv517), db);
  EXPECT_FALSE(ValidateForm(form).has_value());
  EXPECT_EQ(form.Find("admin")->label, "Administative:");
  EXPECT_EQ(form.Find("clockSync")->entries[0], "---       (none)");
  form.Find("rings")->text = "100";
  EXPECT_EQ(ValidateForm(form), "Please enter an integer between 0 and 99.");
  form.Find("rings")->text = "9";
  form.Find("tempHigh")->text = "258";
  EXPECT_TRUE(ValidateForm(form).has_value());
  // KRV-37E does not check the temperature limits.
  SetupDatabase e37(model::kKrv37e);
  e37.RestoreFactoryDefaults();
  EditForm f37 = SystemForm(*FindEditor(model::kKrv37e), e37);
  f37.Find("tempHigh")->text = "300";
  EXPECT_FALSE(ValidateForm(f37).has_value());
  ApplySystemForm(*FindEditor(model::kKrv37e), e37, f37);
  EXPECT_EQ(e37.HighTemperatureLimit(), 300);
  EXPECT_EQ(f37.Find("clockMode")->entries[0], "None");
  // KRV-19XL has no temperature limits; KRV-517E's clock sync none reads "(SNTP)".
  SetupDatabase xl(model::kKrv19xl);
  EXPECT_EQ(SystemForm(*FindEditor(model::kKrv19xl), xl).Find("tempHigh"), nullptr);
  SetupDatabase e(model::kKrv517e);
  EXPECT_EQ(SystemForm(*FindEditor(model::kKrv517e), e).Find("clockSync")->entries[0],
            "---       (SNTP)");
}

TEST(EditorSettings, BaudLabelsByPortCount) {
  const auto labels = [](RecorderType t) {
    SetupDatabase db(t);
    const EditForm form = SystemForm(*FindEditor(t), db);
    const FormField* second = form.Find("baud2");
    return form.Find("baud1")->label + "|" + (second ? second->label : std::string());
  };
  EXPECT_EQ(labels(model::kKrv517), "Baud:|");
  EXPECT_EQ(labels(model::kKrv517xl), "Terminal1 Baud:|Terminal2 Baud:");
  EXPECT_EQ(labels(model::kKrv583), "Port 1 Baud:|Port 2 Baud:");
  EXPECT_EQ(labels(model::kKrv583e), "Port 1 Baud:|Port 2 Baud:");
  EXPECT_EQ(labels(model::kKrv583a), "Terminal1 Baud:|Terminal2 Baud:");
  EXPECT_EQ(labels(model::kSlgS7_246), "Terminal1 Baud:|Terminal2 Baud:");
  // KRV-19 carries its speed measurement with the unit choice on the System page.
  SetupDatabase k19(model::kKrv19xt);
  const EditForm f19 = SystemForm(*FindEditor(model::kKrv19xt), k19);
  ASSERT_NE(f19.Find("distanceUnit"), nullptr);
  EXPECT_EQ(f19.Find("distanceUnit")->entries, (std::vector<std::string>{"Inches", "Feet"}));
  EXPECT_EQ(f19.Find("limit")->max, 180);
}

TEST(EditorSettings, NetworkMacIsHexLowByte) {
  SetupDatabase db(model::kKrv517xc);
  db.RestoreFactoryDefaults();
  EditForm form = NetworkForm(db);
  ASSERT_NE(form.Find("udp2"), nullptr);
  ASSERT_NE(form.Find("ip2_15"), nullptr);
  form.Find("mac")->mac = {"0a", "1FF", "zz", "00", "7", "C0"};
  form.Find("ip")->ip = {192, 168, 1, 20};
  ApplyNetworkForm(db, form);
  EXPECT_EQ(db.MacAddress(), (std::array<uint8_t, 6>{0x0A, 0xFF, 0x00, 0x00, 0x07, 0xC0}));
  EXPECT_EQ(db.IpAddress(), (std::array<uint8_t, 4>{192, 168, 1, 20}));
  EXPECT_EQ(NetworkForm(db).Find("mac")->mac[0], "0A");
}

}  // namespace
}  // namespace zel::editors
