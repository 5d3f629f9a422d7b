#include "zel/core/tool_commands.h"

#include <gtest/gtest.h>

#include "zel/platform/launcher.h"

namespace zel::core {
namespace {

using platform::RecordingLauncher;
using platform::WindowMode;

// The station of the worked example: program folder C:\Station\, data folder D:\Data.
ToolEnv WinEnv() { return ToolEnv{"C:\\Station\\", '\\'}; }

StationSettings Station() {
  StationSettings s;
  s.dataFolder = "D:\\Data";
  s.directBaud = 7;
  s.directPort = 4;
  s.port = 1;
  s.baud = 8;
  return s;
}

RecorderRecord NorthYard() {
  RecorderRecord r;
  r.id = "North Yard";
  r.type = 3;
  r.port = 3;
  r.phone = "5551234";
  return r;
}

RecorderRecord TcpRecorder() {
  RecorderRecord r = NorthYard();
  r.port = -1;
  r.ipAddress = 0xC0A80114;
  r.tcpPort = 5000;
  return r;
}

TEST(ToolCommandLines, WorkedExample) {
  EXPECT_EQ(TerminalDirectCommand(WinEnv(), Station(), NorthYard()),
            "\"C:\\Station\\Vantel.exe\" /port=3 /baud=38400");
  EXPECT_EQ(RealTimeDirectCommand(WinEnv(), Station(), NorthYard()),
            "\"C:\\Station\\ZelRtp.exe\" /setup=\"D:\\Data\\North Yard\\setupdata.bin\" "
            "/recorder=KRV517 /port=2 /baud=7");
}

TEST(ToolCommandLines, TerminalOverTheModem) {
  StationSettings s = Station();
  s.modemInit = "AT&F";
  s.dialPrefix = "9,";
  EXPECT_EQ(TerminalDialCommand(WinEnv(), s, NorthYard()),
            "\"C:\\Station\\Vantel.exe\" /port=2 /baud=57600 /init=\"AT&F\" /dial=\"9,5551234\"");
  // No /init with an empty ModemInit; the phone number alone with an empty prefix.
  s.modemInit.clear();
  s.dialPrefix.clear();
  EXPECT_EQ(TerminalDialCommand(WinEnv(), s, NorthYard()),
            "\"C:\\Station\\Vantel.exe\" /port=2 /baud=57600 /dial=\"5551234\"");
}

TEST(ToolCommandLines, TerminalDirectPorts) {
  StationSettings s = Station();
  RecorderRecord r = NorthYard();
  r.port = 0;  // the default direct port: DirectPort 4 (COM5)
  EXPECT_EQ(TerminalDirectCommand(WinEnv(), s, r),
            "\"C:\\Station\\Vantel.exe\" /port=5 /baud=38400");
  r.port = 1;
  EXPECT_EQ(TerminalDirectCommand(WinEnv(), s, r),
            "\"C:\\Station\\Vantel.exe\" /port=1 /baud=38400");
  EXPECT_EQ(TerminalDirectCommand(WinEnv(), s, TcpRecorder()),
            "\"C:\\Station\\Vantel.exe\" /port=0 /baud=38400 /ip=192.168.1.20:5000");
  EXPECT_EQ(EffectiveDirectPort(TcpRecorder(), s), -1);
  EXPECT_EQ(EffectiveDirectPort(r, s), 0);
}

TEST(ToolCommandLines, RealTimePlotter) {
  StationSettings s = Station();
  s.modemInit = "ATZ";
  s.dialPrefix = "W";
  EXPECT_EQ(RealTimeDialCommand(WinEnv(), s, NorthYard()),
            "\"C:\\Station\\ZelRtp.exe\" /setup=\"D:\\Data\\North Yard\\setupdata.bin\" "
            "/recorder=KRV517 /port=1 /baud=8 /init=\"ATZ\" /dial=\"W5551234\"");
  EXPECT_EQ(RealTimeDirectCommand(WinEnv(), s, TcpRecorder()),
            "\"C:\\Station\\ZelRtp.exe\" /setup=\"D:\\Data\\North Yard\\setupdata.bin\" "
            "/recorder=KRV517 /port=-1 /baud=7 /ip=192.168.1.20:5000");
  RecorderRecord unknown = NorthYard();
  unknown.type = 42;
  EXPECT_FALSE(RealTimeDialCommand(WinEnv(), s, unknown));
  EXPECT_FALSE(RealTimeDirectCommand(WinEnv(), s, unknown));
  ToolAction a = RealTimeDirectAction(WinEnv(), s, NorthYard());
  EXPECT_EQ(a.mode, WindowMode::Maximized);
  EXPECT_TRUE(RealTimeDialAction(WinEnv(), s, unknown).DoesNothing());
}

TEST(ToolCommandLines, ConverterEditorAndPlotter) {
  EXPECT_EQ(SetupTextCommand(WinEnv(), Station(), NorthYard()),
            "\"C:\\Station\\krv517s2t.exe\" \"D:\\Data\\North Yard\\setupdata.bin\" "
            "\"D:\\Data\\North Yard\\setupdata.txt\"");
  EXPECT_EQ(EditorCommand(WinEnv(), Station(), NorthYard()),
            "\"C:\\Station\\ZelEdit517.exe\" \"D:\\Data\\North Yard\\setupdata.bin\"");
  EXPECT_EQ(EventPlotCommand(WinEnv(), "E:\\Else\\240101-000000.bin",
                             "D:\\Data\\North Yard\\setupdata.bin"),
            "\"C:\\Station\\ZelQplot.exe\" /event=\"E:\\Else\\240101-000000.bin\" "
            "/setup=\"D:\\Data\\North Yard\\setupdata.bin\"");
  // The setup file is the recorder folder's, wherever the event file lies.
  ToolAction plot = PlotEventsAction(WinEnv(), Station(), NorthYard(), "E:\\Else\\x.bin");
  EXPECT_EQ(plot.commandLine,
            "\"C:\\Station\\ZelQplot.exe\" /event=\"E:\\Else\\x.bin\" "
            "/setup=\"D:\\Data\\North Yard\\setupdata.bin\"");
  EXPECT_EQ(plot.workingFolder, "D:\\Data\\North Yard");
  ToolAction query = QueryPlotDataAction(WinEnv(), Station(), NorthYard(), "D:\\Q\\q.bin");
  EXPECT_EQ(query.commandLine,
            "\"C:\\Station\\ZelQplot.exe\" /event=\"D:\\Q\\q.bin\" /setup=\"setupdata.bin\"");
  EXPECT_EQ(query.workingFolder, "D:\\Data\\North Yard");
}

TEST(ToolCommandLines, QuickPlot) {
  EXPECT_EQ(QuickPlotCommand(WinEnv(), "D:\\Data\\PlotAll.zpl", "D:\\Data\\North Yard\\Query",
                             "Quickplot.bin", "D:\\Data", "North Yard"),
            "\"C:\\Station\\ZelQplot.exe\" \"D:\\Data\\PlotAll.zpl\" "
            "/event=\"D:\\Data\\North Yard\\Query\\Quickplot.bin\" "
            "/setup=\"D:\\Data\\North Yard\\setupdata.bin\"");
  EXPECT_EQ(QuickPlotCommand(WinEnv(), "t.zpl", "q", "f.bin", "D:\\Data", "a/b"), "");
}

TEST(ToolCommandLines, SharedAndMissingTools) {
  RecorderRecord r = NorthYard();
  r.type = 15;  // uses the tools of type 14
  EXPECT_EQ(SetupTextCommand(WinEnv(), Station(), r),
            "\"C:\\Station\\Slg808s2t.exe\" \"D:\\Data\\North Yard\\setupdata.bin\" "
            "\"D:\\Data\\North Yard\\setupdata.txt\"");
  EXPECT_EQ(EditorCommand(WinEnv(), Station(), r),
            "\"C:\\Station\\ZelEditSlg808.exe\" \"D:\\Data\\North Yard\\setupdata.bin\"");
  for (RecorderType t : {17, 42, -1}) {
    r.type = t;
    EXPECT_FALSE(SetupTextCommand(WinEnv(), Station(), r)) << t;
    EXPECT_FALSE(EditorCommand(WinEnv(), Station(), r)) << t;
    EXPECT_TRUE(EditSetupAction(WinEnv(), Station(), r).DoesNothing()) << t;
    // Without a converter the existing text is still opened after the pause.
    ToolAction a = ViewSetupTextAction(WinEnv(), Station(), r);
    EXPECT_FALSE(a.commandLine) << t;
    EXPECT_EQ(a.openPath, "D:\\Data\\North Yard\\setupdata.txt") << t;
    EXPECT_EQ(a.openDelayMs, 500) << t;
  }
}

TEST(ToolCommandLines, UnsafeIdsBuildNoPath) {
  StationSettings s = Station();
  for (const char* id : {"", "..", "a\\b", "x/y", "c:d"}) {
    RecorderRecord r = NorthYard();
    r.id = id;
    EXPECT_FALSE(SetupTextCommand(WinEnv(), s, r)) << id;
    EXPECT_FALSE(EditorCommand(WinEnv(), s, r)) << id;
    EXPECT_FALSE(RealTimeDialCommand(WinEnv(), s, r)) << id;
    for (const ToolAction& a :
         {ViewSetupTextAction(WinEnv(), s, r), EditSetupAction(WinEnv(), s, r),
          RealTimeDirectAction(WinEnv(), s, r), PlotEventsAction(WinEnv(), s, r, "E:\\x.bin"),
          QueryPlotDataAction(WinEnv(), s, r, "E:\\x.bin")}) {
      EXPECT_TRUE(a.DoesNothing()) << id;
      EXPECT_FALSE(a.error.empty()) << id;
    }
    RecordingLauncher launcher;
    EXPECT_FALSE(RunToolAction(EditSetupAction(WinEnv(), s, r), launcher, [](int) {}));
    EXPECT_TRUE(launcher.events().empty());
  }
  // No data folder: paths would start at the root, so none are built.
  s.dataFolder.clear();
  EXPECT_FALSE(SetupBinPath(WinEnv(), s.dataFolder, "North Yard"));
  EXPECT_FALSE(EditSetupAction(WinEnv(), s, NorthYard()).error.empty());
  // The terminal needs no folder of the recorder.
  EXPECT_TRUE(ConnectDirectAction(WinEnv(), s, NorthYard()).commandLine);
}

TEST(ToolCommandLines, ReportAndHelpPaths) {
  StationSettings s;
  s.useTxtFile = 1;
  EXPECT_EQ(EventsReportPath("D:\\Data\\R\\240101-000000.bin", s), "D:\\Data\\R\\Events.txt");
  EXPECT_EQ(EventsReportPath("/data/R/240101-000000.bin", s), "/data/R/Events.txt");
  EXPECT_EQ(QueryReportPath("/data/R/Query/q.bin", s), "/data/R/Query/q.txt");
  EXPECT_EQ(QueryReportPath("/data/x.y/q", s), "/data/x.y/q.txt");
  s.useTxtFile = 0;
  EXPECT_EQ(EventsReportPath("E:\\x.bin", s), "E:\\Events.wri");
  EXPECT_EQ(QueryReportPath("E:\\a.b.bin", s), "E:\\a.b.wri");
  EXPECT_EQ(HelpPagePath(WinEnv()), "C:\\Station\\ZEL.html");
  EXPECT_EQ(DottedAddress(0x7F000001), "127.0.0.1");
  EXPECT_EQ(DottedAddress(0xFFFFFFFF), "255.255.255.255");
}

TEST(ToolCommandLines, ViewSetupStartsThenOpensAfterThePause) {
  RecordingLauncher launcher;
  std::vector<int> pauses;
  ToolAction a = ViewSetupTextAction(WinEnv(), Station(), NorthYard());
  EXPECT_EQ(a.mode, WindowMode::Hidden);
  EXPECT_TRUE(RunToolAction(a, launcher, [&](int ms) {
    pauses.push_back(ms);
    // The converter is already started when the pause begins.
    EXPECT_EQ(launcher.started().size(), 1u);
    EXPECT_TRUE(launcher.opened().empty());
  }));
  EXPECT_EQ(pauses, std::vector<int>{500});
  ASSERT_EQ(launcher.events().size(), 2u);
  EXPECT_EQ(launcher.events()[0], "start " + *a.commandLine);
  EXPECT_EQ(launcher.events()[1], "open D:\\Data\\North Yard\\setupdata.txt");
  EXPECT_EQ(launcher.started()[0].mode, WindowMode::Hidden);
  // A launcher that fails is reported to the caller only.
  RecordingLauncher failing(false);
  EXPECT_FALSE(RunToolAction(a, failing, [](int) {}));
  EXPECT_EQ(failing.events().size(), 2u);
}

TEST(ToolCommandLines, SplitBackIntoTheIntendedArguments) {
  // What a started program receives: blanks inside quoted paths stay, quotes go.
  auto args = platform::SplitCommandLine(*RealTimeDirectCommand(WinEnv(), Station(), NorthYard()));
  EXPECT_EQ(args, (std::vector<std::string>{"C:\\Station\\ZelRtp.exe",
                                            "/setup=D:\\Data\\North Yard\\setupdata.bin",
                                            "/recorder=KRV517", "/port=2", "/baud=7"}));
  ToolEnv env{"/opt/zel/", '/'};
  StationSettings s = Station();
  s.dataFolder = "/srv/zel data";
  args = platform::SplitCommandLine(*SetupTextCommand(env, s, NorthYard()));
  EXPECT_EQ(args, (std::vector<std::string>{"/opt/zel/krv517s2t.exe",
                                            "/srv/zel data/North Yard/setupdata.bin",
                                            "/srv/zel data/North Yard/setupdata.txt"}));
}

TEST(ToolCommandLines, QuotesInsidePathsCannotAddArguments) {
  ToolEnv env{"/opt/zel/", '/'};
  StationSettings s = Station();
  s.dataFolder = "/srv/x\" /event=\"evil";
  auto args = platform::SplitCommandLine(*EditorCommand(env, s, NorthYard()));
  EXPECT_EQ(args, (std::vector<std::string>{"/opt/zel/ZelEdit517.exe",
                                            "/srv/x\" /event=\"evil/North Yard/setupdata.bin"}));
  s.dialPrefix = "9\"";
  args = platform::SplitCommandLine(TerminalDialCommand(env, s, NorthYard()));
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[3], "/dial=9\"5551234");
  // A template path ending in a backslash keeps it and does not swallow the next option.
  args = platform::SplitCommandLine(
      QuickPlotCommand(WinEnv(), "D:\\T\\", "D:\\Q", "f.bin", "D:\\Data", "R"));
  EXPECT_EQ(args,
            (std::vector<std::string>{"C:\\Station\\ZelQplot.exe", "D:\\T\\", "/event=D:\\Q\\f.bin",
                                      "/setup=D:\\Data\\R\\setupdata.bin"}));
}

}  // namespace
}  // namespace zel::core
