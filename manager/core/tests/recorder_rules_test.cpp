#include "zel/core/recorder_rules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "zel/testing/temp_folder.h"

namespace zel::core {
namespace {

namespace fs = std::filesystem;
using Mode = RecorderDialogMode;

RecorderRecord Rec(const std::string& id, RecorderType type = 0) {
  RecorderRecord r;
  r.id = id;
  r.type = type;
  return r;
}

std::vector<std::string> Ids(const RecorderList& l) {
  std::vector<std::string> ids;
  for (const auto& r : l.Snapshot()) ids.push_back(r.id);
  return ids;
}

TEST(RecorderDialog, ChecksInOrder) {
  std::vector<RecorderRecord> list = {Rec("North"), Rec("a/b"), Rec("South")};
  RecorderFields f = OpenRecorderFields(Mode::Add);
  EXPECT_EQ(CheckRecorderFields(Mode::Add, f, list), kNoIdMessage);
  // A special character is reported before a duplicate.
  f.id = "a/b";
  EXPECT_EQ(CheckRecorderFields(Mode::Add, f, list), kSpecialCharsMessage);
  f.id = "North";
  EXPECT_EQ(CheckRecorderFields(Mode::Add, f, list), kUniqueIdMessage);
  f.id = "north";  // differs only in letter case
  EXPECT_EQ(CheckRecorderFields(Mode::Add, f, list), std::nullopt);
  for (char c : std::string("\\/:*?\"<>|")) {
    f.id = std::string("x") + c + "y";
    EXPECT_EQ(CheckRecorderFields(Mode::Add, f, list), kSpecialCharsMessage) << c;
  }
  EXPECT_EQ(std::string(kSpecialCharsMessage),
            "Recorder ID must not contain special characters:\n\\ / : * ? \" < > |");
}

TEST(RecorderDialog, EditChecksSkipTheEditedRecorder) {
  std::vector<RecorderRecord> list = {Rec("North"), Rec("South")};
  RecorderFields f = OpenRecorderFields(Mode::Edit, &list[1]);
  EXPECT_EQ(CheckRecorderFields(Mode::Edit, f, list, 1), std::nullopt);  // unchanged ID
  f.id = "North";
  EXPECT_EQ(CheckRecorderFields(Mode::Edit, f, list, 1), kUniqueIdMessage);
  f.id = "";
  EXPECT_EQ(CheckRecorderFields(Mode::Edit, f, list, 1), kNoIdMessage);
  // Edit Multiple closes without checks.
  RecorderFields m = OpenRecorderFields(Mode::EditMultiple);
  m.id = "";
  EXPECT_EQ(CheckRecorderFields(Mode::EditMultiple, m, list), std::nullopt);
}

TEST(RecorderDialog, OpeningContentsByMode) {
  RecorderFields add = OpenRecorderFields(Mode::Add);
  EXPECT_EQ(add.id, "");
  EXPECT_EQ(add.typeName, "KRV-19XT");
  EXPECT_EQ(add.portSelection, 0);
  EXPECT_EQ(add.ipAddress, 0u);
  EXPECT_EQ(add.portNumberText, "5000");
  EXPECT_TRUE(add.phone.empty() && add.password.empty());

  RecorderRecord r = Rec("R", 5);
  r.port = -1;
  r.tcpPort = 4001;
  r.phone = "555";
  r.password = "pw";
  r.ipAddress = 0x0A000001;
  RecorderFields edit = OpenRecorderFields(Mode::Edit, &r);
  EXPECT_EQ(edit.typeName, "KRV-517XL/A");
  EXPECT_EQ(edit.portNumberText, "4001");
  EXPECT_EQ(edit.portSelection, -1);
  EXPECT_EQ(edit.password, "pw");
  r.type = 9;  // not in the type list: no type chosen
  EXPECT_EQ(OpenRecorderFields(Mode::Edit, &r).typeName, "");

  RecorderFields multi = OpenRecorderFields(Mode::EditMultiple);
  EXPECT_EQ(multi.id, "varies");
  EXPECT_EQ(multi.phone, "varies");
  EXPECT_EQ(multi.typeName, "");
  EXPECT_EQ(multi.password, "");
  EXPECT_EQ(multi.portNumberText, "");
  EXPECT_EQ(multi.portSelection, -1);
  EXPECT_FALSE(RecorderIdentityFieldsEnabled(Mode::EditMultiple));
  EXPECT_TRUE(RecorderIdentityFieldsEnabled(Mode::Edit));
  EXPECT_STREQ(RecorderDialogTitle(Mode::Add), "Add Recorder");
  EXPECT_STREQ(RecorderDialogTitle(Mode::Edit), "Edit Recorder");
  EXPECT_STREQ(RecorderDialogTitle(Mode::EditMultiple), "Edit Multiple Recorders");
}

TEST(RecorderDialog, AddAndEditResults) {
  RecorderFields f = OpenRecorderFields(Mode::Add);
  f.id = "New";
  f.typeName = "KRV-517";
  f.portSelection = 3;
  f.ipAddress = 0x7F000001;
  RecorderRecord r = RecorderFromAddFields(f);
  EXPECT_EQ(r.type, 3);
  EXPECT_EQ(r.tcpPort, 5000);
  EXPECT_EQ(r.port, 3);
  EXPECT_EQ(r.clockSetDay, 0);
  EXPECT_EQ(r.reserved, (std::array<int32_t, 5>{}));
  f.portNumberText = "abc";
  f.typeName = "";
  r = RecorderFromAddFields(f);
  EXPECT_EQ(r.tcpPort, 0);
  EXPECT_EQ(r.type, -1);
  // Texts longer than their fields are cut to the field widths.
  f.id = std::string(25, 'i');
  f.phone = std::string(20, '1');
  f.password = std::string(12, 'p');
  r = RecorderFromAddFields(f);
  EXPECT_EQ(r.id.size(), 20u);
  EXPECT_EQ(r.phone.size(), 16u);
  EXPECT_EQ(r.password.size(), 10u);

  RecorderRecord stored = Rec("Old", 9);
  stored.tcpPort = 77;
  stored.clockSetDay = 9000;
  stored.reserved[2] = 5;
  RecorderFields e = OpenRecorderFields(Mode::Edit, &stored);
  e.id = "Renamed";
  e.portNumberText = "12x";  // not a number: TCP port unchanged
  ApplyEditFields(e, stored);
  EXPECT_EQ(stored.id, "Renamed");
  EXPECT_EQ(stored.tcpPort, 77);
  EXPECT_EQ(stored.type, 9);  // no type chosen keeps the stored model
  EXPECT_EQ(stored.clockSetDay, 9000);
  EXPECT_EQ(stored.reserved[2], 5);
  e.portNumberText = " 6001 ";
  e.typeName = "KRV-583A";
  ApplyEditFields(e, stored);
  EXPECT_EQ(stored.tcpPort, 6001);
  EXPECT_EQ(stored.type, 16);
}

TEST(RecorderDialog, EditMultiple) {
  std::vector<RecorderRecord> recs = {Rec("A", 1), Rec("B", 2)};
  recs[0].password = "p1";
  recs[1].password = "p2";
  recs[0].tcpPort = 10;
  recs[1].phone = "999";
  recs[1].port = 4;
  RecorderFields m = OpenRecorderFields(Mode::EditMultiple);
  std::vector<RecorderRecord> before = recs;
  for (auto& r : recs) ApplyEditMultipleFields(m, r);
  EXPECT_EQ(recs, before);  // empty fields change nothing ("varies" IDs are not copied)
  m.portNumberText = "1234";
  for (auto& r : recs) ApplyEditMultipleFields(m, r);
  EXPECT_EQ(recs[0].tcpPort, 1234);
  EXPECT_EQ(recs[1].tcpPort, 1234);
  EXPECT_EQ(recs[0].password, "p1");
  m.password = "new";
  m.typeName = "SLG S7-808";
  m.portNumberText = "x";
  for (auto& r : recs) ApplyEditMultipleFields(m, r);
  for (const auto& r : recs) {
    EXPECT_EQ(r.password, "new");
    EXPECT_EQ(r.type, 14);
    EXPECT_EQ(r.tcpPort, 1234);
  }
  EXPECT_EQ(recs[1].id, "B");
  EXPECT_EQ(recs[1].phone, "999");
  EXPECT_EQ(recs[1].port, 4);
}

TEST(MoveRecorders, OrderAndSelection) {
  std::vector<bool> sel = {false, true, false, true, false};           // B and D of A..E
  EXPECT_EQ(MoveOrder(sel, 3), (std::vector<size_t>{0, 2, 1, 3, 4}));  // A C B D E
  EXPECT_EQ(MoveOrder(sel, std::nullopt), (std::vector<size_t>{1, 3, 0, 2, 4}));
  EXPECT_EQ(MoveOrder(sel, 0), (std::vector<size_t>{1, 3, 0, 2, 4}));
  EXPECT_EQ(MoveOrder(sel, 5), (std::vector<size_t>{0, 2, 4, 1, 3}));
  EXPECT_EQ(MoveOrder(sel, 99), (std::vector<size_t>{0, 2, 4, 1, 3}));
  EXPECT_EQ(MoveOrder(sel, 1), (std::vector<size_t>{0, 1, 3, 2, 4}));
  EXPECT_EQ(MoveOrder({}, 0), std::vector<size_t>{});

  RecorderList list({Rec("A"), Rec("B"), Rec("C"), Rec("D"), Rec("E")});
  uint64_t job = list.MarkJob(1);
  MoveMode move;
  EXPECT_FALSE(move.Click(list, 0));  // not in move mode: nothing
  EXPECT_FALSE(move.Press({false, false, false, false, false}));
  EXPECT_FALSE(move.active());
  EXPECT_TRUE(move.Press(sel));
  EXPECT_TRUE(move.active());
  auto now = move.Click(list, 3);
  ASSERT_TRUE(now);
  EXPECT_EQ(Ids(list), (std::vector<std::string>{"A", "C", "B", "D", "E"}));
  EXPECT_EQ(*now, (std::vector<bool>{false, false, true, true, false}));
  EXPECT_FALSE(move.active());
  // The poll link follows the moved record.
  EXPECT_TRUE(list.UpdateJob(job, [](RecorderRecord& r) { r.clockSetDay = 1; }));
  EXPECT_EQ(list.Get(2)->clockSetDay, 1);
  // A click below the last row puts the selection on top.
  ASSERT_TRUE(move.Press({false, false, false, true, true}));
  move.Click(list, std::nullopt);
  EXPECT_EQ(Ids(list), (std::vector<std::string>{"D", "E", "A", "C", "B"}));
}

TEST(MoveRecorders, ListChangedWhileMoving) {
  RecorderList list({Rec("A"), Rec("B"), Rec("C")});
  MoveMode move;
  ASSERT_TRUE(move.Press({false, false, true}));
  list.Remove(0);  // a shorter list
  auto now = move.Click(list, 0);
  ASSERT_TRUE(now);
  EXPECT_EQ(now->size(), 2u);
  EXPECT_EQ(list.Count(), 2u);
}

TEST(MoveRecorders, StatesFollowTheRecorders) {
  RecorderList list({Rec("A"), Rec("B"), Rec("C"), Rec("D")});
  MoveMode move;
  EXPECT_FALSE(move.Press(list, {false, false, false, false}));
  ASSERT_TRUE(move.Press(list, {false, false, true, true}));  // C and D
  EXPECT_EQ(list.Get(2)->listState, 1u);
  EXPECT_EQ(list.Get(0)->listState, 0u);
  list.Remove(0);         // B C D
  list.Append(Rec("E"));  // B C D E
  auto now = move.Click(list, 0);
  ASSERT_TRUE(now);
  EXPECT_EQ(Ids(list), (std::vector<std::string>{"C", "D", "B", "E"}));
  EXPECT_EQ(*now, (std::vector<bool>{true, true, false, false}));
}

TEST(DeleteRecorders, RemovesSelectedLeavesFolders) {
  const zeltest::TempFolder temp("rules");
  const fs::path& dir = temp.path();
  fs::create_directory(dir / "B");
  RecorderList list({Rec("A"), Rec("B"), Rec("C"), Rec("D")});
  EXPECT_EQ(DeleteSelected(list, {3, 1}), 2u);
  EXPECT_EQ(Ids(list), (std::vector<std::string>{"A", "C"}));
  EXPECT_TRUE(fs::is_directory(dir / "B"));
}

TEST(PortLists, SortedFromTheComputersPorts) {
  std::vector<std::string> names = {"COM3", "COM1", "COM10", "LPT1", "COMx", "com4", "COM0", "COM"};
  auto rec = RecorderPortEntries(names);
  std::vector<PortEntry> want = {{"TCP/IP", -1}, {"Default Port", 0}, {"COM1", 1},
                                 {"COM3", 3},    {"com4", 4},         {"COM10", 10}};
  EXPECT_EQ(rec, want);
  auto props = PropertiesPortEntries(names);
  std::vector<PortEntry> want_props = {{"COM1", 0}, {"COM3", 2}, {"com4", 3}, {"COM10", 9}};
  EXPECT_EQ(props, want_props);
  EXPECT_EQ(PortEntryIndex(rec, 3), 3u);
  EXPECT_EQ(PortEntryIndex(rec, 7), 0u);  // not listed: the first entry shows
  EXPECT_EQ(PortEntryIndex(props, 9), 3u);
  EXPECT_EQ(RecorderPortEntries({}).size(), 2u);
  EXPECT_TRUE(PropertiesPortEntries({}).empty());
  EXPECT_EQ(ComPortNumber("Com12"), 12);
  EXPECT_FALSE(ComPortNumber("COM1a"));
  EXPECT_FALSE(ComPortNumber("COM99999999999"));
}

TEST(ListView, Cells) {
  RecorderRecord r = Rec("Yard", 5);
  r.phone = "555";
  r.port = 0;
  EXPECT_EQ(RecorderListCell(r, 0), "Yard");
  EXPECT_EQ(RecorderListCell(r, 1), "KRV-517XL/A");
  EXPECT_EQ(RecorderListCell(r, 2), "Default");
  EXPECT_EQ(RecorderListCell(r, 3), "555");
  EXPECT_EQ(RecorderListCell(r, 4), "");
  r.port = 12;
  EXPECT_EQ(RecorderListCell(r, 2), "Com12");
  r.port = -1;
  r.ipAddress = 0xC0A80114;
  r.tcpPort = 5000;
  r.type = 77;
  EXPECT_EQ(RecorderListCell(r, 1), "???");
  EXPECT_EQ(RecorderListCell(r, 2), "TCP/IP");
  EXPECT_EQ(RecorderListCell(r, 4), "192.168.1.20:5000");
  EXPECT_EQ(RecorderListCell(r, 5), "");
  ASSERT_EQ(RecorderListColumns().size(), 5u);
  EXPECT_STREQ(RecorderListColumns()[4].header, "IP address:port");
  EXPECT_EQ(RecorderListColumns()[0].width, 150);
}

TEST(Numbers, AddressAndDecimalFields) {
  EXPECT_EQ(ParseDottedAddress("192.168.1.20"), 0xC0A80114u);
  EXPECT_EQ(ParseDottedAddress("0.0.0.0"), 0u);
  EXPECT_EQ(ParseDottedAddress("255.255.255.255"), 0xFFFFFFFFu);
  for (const char* bad :
       {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1..2.3", "a.b.c.d", "", "1.2.3.4 ", "1234.1.1.1"})
    EXPECT_FALSE(ParseDottedAddress(bad)) << bad;
  EXPECT_EQ(ParseDecimalField("5000"), 5000);
  EXPECT_EQ(ParseDecimalField(" -1 "), -1);
  EXPECT_EQ(ParseDecimalField("+7"), 7);
  EXPECT_EQ(ParseDecimalField("2147483647"), 2147483647);
  EXPECT_FALSE(ParseDecimalField("2147483648"));
  EXPECT_EQ(ParseDecimalField("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"", " ", "12x", "x12", "1 2", "-", "99999999999999"})
    EXPECT_FALSE(ParseDecimalField(bad)) << bad;
}

TEST(PropertiesDialog, ChecksAndApply) {
  StationSettings s;
  s.dataFolder = "/data";
  s.directPort = 2;
  s.port = 5;
  PropertiesFields f = OpenPropertiesFields(s);
  std::vector<std::string> tried;
  auto ok_current = [&](const std::string& p) {
    tried.push_back(p);
    return true;
  };
  f.retries = 0;
  f.dataFolder = "";
  EXPECT_EQ(CheckPropertiesFields(f, ok_current), kRetriesRangeMessage);  // range first
  f.retries = 11;
  EXPECT_EQ(CheckPropertiesFields(f, ok_current), kRetriesRangeMessage);
  f.retries = 10;
  EXPECT_EQ(CheckPropertiesFields(f, ok_current), kInvalidDataFolderMessage);
  EXPECT_TRUE(tried.empty());
  f.dataFolder = "/nowhere";
  EXPECT_EQ(CheckPropertiesFields(f, [](const std::string&) { return false; }),
            kInvalidDataFolderMessage);
  EXPECT_EQ(CheckPropertiesFields(f, ok_current), std::nullopt);
  EXPECT_EQ(tried, std::vector<std::string>{"/nowhere"});
  // Ports change only when picked.
  f.directBaud = 3;
  f.modemInit = std::string(40, 'A');
  ApplyPropertiesFields(f, s);
  EXPECT_EQ(s.directPort, 2);
  EXPECT_EQ(s.port, 5);
  EXPECT_EQ(s.directBaud, 3);
  EXPECT_EQ(s.retries, 10);
  EXPECT_EQ(s.dataFolder, "/nowhere");
  EXPECT_EQ(s.modemInit.size(), 32u);
  f.directPortChoice = 0;
  f.modemPortChoice = 9;
  ApplyPropertiesFields(f, s);
  EXPECT_EQ(s.directPort, 0);
  EXPECT_EQ(s.port, 9);
  EXPECT_EQ(MissingDataFolderMessage("D:\\x"),
            "Specified data folder \"D:\\x\" does not exist.\nPlease select a valid data folder.");
}

TEST(CommandDispatch, OneCheck) {
  const zeltest::TempFolder temp("rules");
  const fs::path& dir = temp.path();
  fs::create_directory(dir / "B");
  std::ofstream(dir / "B" / "B_setupdata.bin") << "s";
  RecorderList list({Rec("A"), Rec("B")});
  platform::RecordingPrompter prompter;
  const std::string caption = OneCheckCaption(Command::ViewSetupData);
  EXPECT_EQ(caption, "View recorder setup data");
  EXPECT_FALSE(RunOneCheck(caption, {}, list, dir.string(), prompter));
  EXPECT_FALSE(RunOneCheck(caption, {0, 1}, list, dir.string(), prompter));
  EXPECT_FALSE(RunOneCheck(caption, {7}, list, dir.string(), prompter));
  auto entries = prompter.entries();
  ASSERT_EQ(entries.size(), 3u);
  for (const auto& e : entries) {
    EXPECT_EQ(e.caption, "View recorder setup data");
    EXPECT_EQ(e.text, "Exactly one recorder must be selected!");
  }
  EXPECT_TRUE(fs::exists(dir / "B" / "B_setupdata.bin"));
  EXPECT_EQ(RunOneCheck(caption, {1}, list, dir.string(), prompter), 1u);
  EXPECT_EQ(prompter.entries().size(), 3u);
  EXPECT_TRUE(fs::exists(dir / "B" / "setupdata.bin"));  // the name was brought up to date
  EXPECT_FALSE(fs::exists(dir / "B" / "B_setupdata.bin"));
}

TEST(CommandDispatch, RulesAndCaptions) {
  EXPECT_STREQ(OneCheckCaption(Command::ConnectDial), "Connect to recorder by Dialup");
  EXPECT_STREQ(OneCheckCaption(Command::ConnectDirect), "Direct connect to recorder");
  EXPECT_STREQ(OneCheckCaption(Command::EditSetupData), "Edit recorder setup data");
  EXPECT_STREQ(OneCheckCaption(Command::PollTodayDirect), "Poll recorder by direct connect");
  EXPECT_STREQ(OneCheckCaption(Command::RealTimeDial), "Dial real time plot");
  EXPECT_STREQ(OneCheckCaption(Command::UploadSetupDirect), "Upload setup by direct connect");
  EXPECT_STREQ(OneCheckCaption(Command::PlotEventRecords), "Plot recorder event records");
  EXPECT_STREQ(OneCheckCaption(Command::QuickPlot), "Quick Plot data from recorder");
  EXPECT_STREQ(OneCheckCaption(Command::QueryGetData), "Query Selected Interval");
  EXPECT_STREQ(OneCheckCaption(Command::StatusDirect), "View recorder live status");
  EXPECT_STREQ(OneCheckCaption(Command::PollTodayDial), "");
  EXPECT_EQ(SelectionRuleOf(Command::PollTodayDial), SelectionRule::Group);
  EXPECT_EQ(SelectionRuleOf(Command::PollStart), SelectionRule::Group);
  EXPECT_EQ(SelectionRuleOf(Command::Edit), SelectionRule::OneOrMore);
  EXPECT_EQ(SelectionRuleOf(Command::Delete), SelectionRule::Any);
  for (Command c : {Command::Save, Command::Exit, Command::Properties, Command::Abort,
                    Command::ViewPollLogs, Command::Help})
    EXPECT_FALSE(InContextMenu(c));
  for (Command c : {Command::Add, Command::Delete, Command::ConnectDial, Command::ViewSetupData})
    EXPECT_TRUE(InContextMenu(c));
  EXPECT_EQ(GroupRows({}, 3), (std::vector<size_t>{0, 1, 2}));
  EXPECT_EQ(GroupRows({2, 0, 2, 9}, 3), (std::vector<size_t>{0, 2}));
  EXPECT_TRUE(GroupRows({}, 0).empty());
}

}  // namespace
}  // namespace zel::core
