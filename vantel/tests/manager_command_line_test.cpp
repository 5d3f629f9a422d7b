// The station manager's Connect > Dial and Connect > Direct command lines, split as the launcher
// splits them, reach the terminal as the line they describe.
#include <gtest/gtest.h>

#include "model/vantel_options.h"
#include "zel/core/tool_commands.h"
#include "zel/platform/launcher.h"

namespace zel::vantel {
namespace {

VantelOptions Through(const std::string& command_line) {
  std::vector<std::string> args = platform::SplitCommandLine(command_line);
  EXPECT_FALSE(args.empty());
  EXPECT_NE(args.front().find("Vantel.exe"), std::string::npos);
  args.erase(args.begin());
  ParsedOptions p = ParseVantelArguments(args);
  EXPECT_TRUE(p.options) << command_line << ": " << p.error;
  return p.options.value_or(VantelOptions{});
}

TEST(ManagerCommandLine, DialWithInitPrefixAndBlanks) {
  core::ToolEnv env{"/opt/zel station/lib/zel/", '/'};
  core::StationSettings s;
  s.port = 2;  // COM3
  s.baud = 7;
  s.modemInit = "AT&F E0";
  s.dialPrefix = "9,";
  RecorderRecord r;
  r.id = "North Yard";
  r.phone = "555 0101";
  VantelOptions o = Through(core::TerminalDialCommand(env, s, r));
  EXPECT_EQ(o.line, LineKind::kModem);
  EXPECT_EQ(o.port, 3);
  EXPECT_EQ(o.baudRate, 38400);
  EXPECT_EQ(o.init, "AT&F E0");
  EXPECT_EQ(o.dial, "9,555 0101");
  // No init: the terminal sends plain AT.
  s.modemInit.clear();
  EXPECT_EQ(Through(core::TerminalDialCommand(env, s, r)).init, "");
}

TEST(ManagerCommandLine, DirectSerialAndTcp) {
  core::ToolEnv env{"/opt/zel/", '/'};
  core::StationSettings s;
  s.directPort = 4;  // COM5
  s.directBaud = 9;
  RecorderRecord r;
  r.id = "X";
  r.port = 0;  // the default direct port
  VantelOptions d = Through(core::TerminalDirectCommand(env, s, r));
  EXPECT_EQ(d.line, LineKind::kSerial);
  EXPECT_EQ(d.port, 5);
  EXPECT_EQ(d.baudRate, 115200);
  r.port = -1;
  r.ipAddress = 0x0A000105;
  r.tcpPort = 4001;
  VantelOptions t = Through(core::TerminalDirectCommand(env, s, r));
  EXPECT_EQ(t.line, LineKind::kTcp);
  EXPECT_EQ(LineDescription(t), "10.0.1.5:4001");
}

}  // namespace
}  // namespace zel::vantel
