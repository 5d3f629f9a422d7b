// Command line, model table, the Select Inputs rows and the capture CSV.
#include <gtest/gtest.h>

#include "model/capture_csv.h"
#include "model/input_texts.h"
#include "model/rtp_command_line.h"
#include "model/rtp_models.h"
#include "zel/identifiers.h"

namespace zel::rtp {
namespace {

RtpCommandLine Parse(std::vector<std::string> args) {
  return ParseRtpCommandLine(gui::CommandOptions::FromArguments(std::move(args)));
}

TEST(RtpCommandLine, TheStationManagersLines) {
  // Real Time Plot > Direct for a TCP/IP recorder, as one command line with quoting.
  RtpCommandLine c = ParseRtpCommandLine(gui::CommandOptions::FromCommandLine(
      "/setup=\"D:\\Data\\North Yard\\setupdata.bin\" /recorder=KRV517 /port=-1 /baud=7 "
      "/ip=192.168.1.20:5000"));
  EXPECT_TRUE(c.CanConnect());
  EXPECT_EQ(c.setupPath, "D:\\Data\\North Yard\\setupdata.bin");
  ASSERT_NE(c.model, nullptr);
  EXPECT_EQ(c.model->type, model::kKrv517);
  EXPECT_EQ(c.selector, -1);
  EXPECT_EQ(c.baudCode, 7);
  EXPECT_EQ(c.ip, 0xC0A80114u);
  EXPECT_EQ(c.tcpPort, 5000);
  EXPECT_FALSE(c.dial);
  EXPECT_FALSE(c.init);
  // Real Time Plot > Dial, as the launcher splits it.
  c = Parse({"/setup=/data/N Y/setupdata.bin", "/recorder=SLG808", "/port=2", "/baud=5",
             "/init=ATZ", "/dial=9,5551234"});
  EXPECT_TRUE(c.CanConnect());
  EXPECT_EQ(c.setupPath, "/data/N Y/setupdata.bin");
  EXPECT_EQ(c.model->type, model::kSlgS7_808);
  EXPECT_EQ(*c.init, "ATZ");
  EXPECT_EQ(*c.dial, "9,5551234");
}

TEST(RtpCommandLine, MissingOrWrongOptionsAreSaid) {
  RtpCommandLine c = Parse({});
  ASSERT_EQ(c.problems.size(), 4u);
  EXPECT_EQ(c.problems[0],
            "The command line has no /setup= option; start the real-time plot from the station "
            "manager.");
  c = Parse({"/setup=a", "/recorder=KPD29A", "/port=0", "/baud=10"});
  ASSERT_EQ(c.problems.size(), 2u);
  EXPECT_NE(c.problems[0].find("\"KPD29A\" has no real-time plot"), std::string::npos);
  EXPECT_NE(c.problems[1].find("\"10\""), std::string::npos);
  c = Parse({"/setup=a", "/recorder=KRV19", "/port=-1", "/baud=1"});
  ASSERT_EQ(c.problems.size(), 1u);  // TCP/IP without an address
  c = Parse({"/setup=a", "/recorder=krv19", "/port=x", "/baud=1", "/ip=1.2.3.256:5"});
  EXPECT_EQ(c.problems.size(), 3u);  // codes are case-sensitive
  uint32_t ip = 0;
  int port = 0;
  EXPECT_TRUE(ParseIpOption("255.0.0.1:65535", &ip, &port));
  EXPECT_EQ(ip, 0xFF000001u);
  EXPECT_FALSE(ParseIpOption("1.2.3.4:0", &ip, &port));
  EXPECT_FALSE(ParseIpOption("1.2.3:5", &ip, &port));
  EXPECT_FALSE(ParseIpOption("1.2.3.4:5x", &ip, &port));
}

TEST(RtpModels, TheTableAgreesWithTheCatalogueAndTheInputCounts) {
  int rows = 0;
  for (const RtpModel* m = RtpModelsBegin(); m != RtpModelsEnd(); ++m, ++rows) {
    EXPECT_EQ(LiveCodeOf(m->type).value_or(""), m->liveCode);
    EXPECT_EQ(m->positions, LiveInputCount(m->type)) << m->liveCode;
    EXPECT_EQ(TicksPerSecond(m->ticksPerDay), FindModel(m->type)->ticksPerSecond) << m->liveCode;
    EXPECT_EQ(m->threeState, FamilyOf(m->type) == ModelFamily::kKrv583) << m->liveCode;
    if (m->analogPerModule) {
      EXPECT_EQ(m->analogPerModule * kModuleCount, InputCountsOf(m->type).analog);
    }
  }
  EXPECT_EQ(rows, 17);
  EXPECT_EQ(FindRtpModel("KPD29A"), nullptr);
  EXPECT_EQ(FindRtpModel("KRV517AX")->plotterModel, 17);
}

TEST(SelectInputs, Krv517axWithModule0AbsentAndModule1Present) {
  const RtpModel* m = FindRtpModel("KRV517AX");
  auto db = std::make_shared<SetupDatabase>(model::kKrv517ax);
  db->SetSecondaryIp(0, {255, 255, 255, 255});  // absent
  db->SetSecondaryIp(1, {10, 0, 0, 2});         // present
  db->SetName(4096 + 4, "Battery");
  db->SetIdentifier(4096 + 4, "BAT1");
  InputTexts texts(m, db);
  const std::vector<int> listed = texts.ListedPositions();
  // Digital 257-512, analog 5-8, then the 32 virtual inputs.
  ASSERT_EQ(listed.size(), 256u + 4u + 32u);
  EXPECT_EQ(listed.front(), 256);
  EXPECT_EQ(listed[255], 511);
  EXPECT_EQ(listed[256], 4096 + 4);
  EXPECT_EQ(listed[259], 4096 + 7);
  EXPECT_EQ(listed[260], 4096 + 64);
  gui::SortedInputList list = texts.SelectInputsList();
  EXPECT_EQ(list.HeaderText(0), "^Input");
  EXPECT_EQ(list.HeaderText(1), "Name");
  EXPECT_EQ(list.columns()[1].width, 300);
  EXPECT_EQ(list.columns()[2].width, 145);
  EXPECT_EQ(list.Cell(256, 0), "A005");
  EXPECT_EQ(list.Cell(256, 1), "Battery");
  EXPECT_EQ(list.Cell(256, 2), "BAT1");
  EXPECT_EQ(texts.Label(4096 + 4), "A005:Battery");
  EXPECT_EQ(texts.Label(-1), "(none)");
  // Without a setup file every module is offered.
  InputTexts none(m, nullptr);
  EXPECT_EQ(none.ListedPositions().size(), 4192u);
  EXPECT_EQ(none.Password(), "");
}

TEST(SelectInputs, FlashBitsOnlyWhereTheModelUsesThem) {
  auto db517 = std::make_shared<SetupDatabase>(model::kKrv517);
  db517->SetFlashEnabled(3, true);
  auto flash = InputTexts(FindRtpModel("KRV517"), db517).FlashEnabled();
  ASSERT_EQ(flash.size(), 280u);
  EXPECT_TRUE(flash[3]);
  EXPECT_FALSE(flash[4]);
  auto slg = std::make_shared<SetupDatabase>(model::kSlgS7_246);
  auto none = InputTexts(FindRtpModel("SLG"), slg).FlashEnabled();
  EXPECT_EQ(std::count(none.begin(), none.end(), true), 0);
  // A setup of another model is not used.
  InputTexts wrong(FindRtpModel("KRV19"), db517);
  EXPECT_FALSE(wrong.HasSetup());
}

TEST(CaptureCsv, ChangesWithTimeIdentifierNameAndState) {
  auto db = std::make_shared<SetupDatabase>(model::kKrv517);
  db->SetName(0, "Gate, down");
  InputTexts texts(FindRtpModel("KRV517"), db);
  RealTimePlot plot(FindRtpModel("KRV517"));
  plot.FeedBytes("1 1 8639999\r2 0 1\r");
  EXPECT_EQ(CaptureCsv(plot, texts),
            "time,position,identifier,name,state\n"
            "23:59:59.99,1,D001,\"Gate, down\",1\n"
            "00:00:00.01,2,D002,,0\n");
  EXPECT_EQ(CsvField("a\"b"), "\"a\"\"b\"");
}

}  // namespace
}  // namespace zel::rtp
