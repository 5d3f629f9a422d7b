// The terminal's command lines as the station manager builds them, and the person's own options.
#include "model/vantel_options.h"

#include <gtest/gtest.h>

namespace zel::vantel {
namespace {

VantelOptions Parse(const std::vector<std::string>& args) {
  ParsedOptions p = ParseVantelArguments(args);
  EXPECT_TRUE(p.options) << p.error;
  return p.options.value_or(VantelOptions{});
}

std::string Error(const std::vector<std::string>& args) {
  ParsedOptions p = ParseVantelArguments(args);
  EXPECT_FALSE(p.options);
  return p.error;
}

TEST(VantelOptions, DialLineKeepsPortOneBasedRateAsGivenAndQuotesDropped) {
  // As the launcher hands it over: quotes already taken off by the command-line split, or still
  // there when a person typed the line in a shell with single quotes.
  VantelOptions o = Parse({"/port=2", "/baud=9600", "/init=ATZ&C1 E0", "/dial=\"9,W555 0101\""});
  EXPECT_EQ(o.line, LineKind::kModem);
  EXPECT_EQ(o.port, 2);
  EXPECT_EQ(o.baudRate, 9600);
  EXPECT_EQ(o.baudCode, 5);
  EXPECT_EQ(o.init, "ATZ&C1 E0");
  EXPECT_EQ(o.dial, "9,W555 0101");
  EXPECT_EQ(LineDescription(o), "COM2 at 9600 baud");
}

TEST(VantelOptions, DirectAndTcpLines) {
  VantelOptions d = Parse({"/port=3", "/baud=38400"});
  EXPECT_EQ(d.line, LineKind::kSerial);
  EXPECT_EQ(d.baudCode, 7);
  // A TCP/IP recorder gets /port=0 from the station manager.
  VantelOptions t = Parse({"/port=0", "/baud=38400", "/ip=192.168.1.20:4001"});
  EXPECT_EQ(t.line, LineKind::kTcp);
  EXPECT_EQ(t.ip, 0xC0A80114u);
  EXPECT_EQ(t.tcpPort, 4001);
  EXPECT_EQ(LineDescription(t), "192.168.1.20:4001");
  // No /baud: 9600.
  EXPECT_EQ(Parse({"/port=1"}).baudRate, 9600);
}

TEST(VantelOptions, EveryListedRateAndNoOther) {
  const int rates[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(BaudCodeOfRate(rates[i]), i);
  EXPECT_EQ(BaudCodeOfRate(7), -1);  // the index is not a rate
  EXPECT_EQ(BaudCodeOfRate(14400), -1);
  EXPECT_NE(Error({"/port=1", "/baud=7"}).find("not a line speed"), std::string::npos);
  EXPECT_NE(Error({"/port=1", "/baud=-9600"}).find("not a line speed"), std::string::npos);
  EXPECT_NE(Error({"/port=1", "/baud="}).find("not a line speed"), std::string::npos);
}

TEST(VantelOptions, BadLinesAreRefusedWithASentence) {
  EXPECT_NE(Error({}).find("no line given"), std::string::npos);
  EXPECT_NE(Error({"/port=0", "/baud=9600"}).find("no line given"), std::string::npos);
  EXPECT_NE(Error({"/port=x"}).find("not a port number"), std::string::npos);
  EXPECT_NE(Error({"/port=1", "/dial="}).find("no number"), std::string::npos);
  EXPECT_NE(Error({"/port=1", "/dial=5", "/ip=1.2.3.4:5"}).find("together"), std::string::npos);
  EXPECT_NE(Error({"/ip=1.2.3.4"}).find("192.168.1.20:4001"), std::string::npos);
  EXPECT_NE(Error({"COM1"}).find("unknown argument"), std::string::npos);
  EXPECT_NE(Error({"/port=1", "--log"}).find("--log needs a value"), std::string::npos);
  EXPECT_NE(Error({"/port=1", "--imap", "crlf,bogus"}).find("\"bogus\""), std::string::npos);
}

TEST(VantelOptions, IpEndpointRanges) {
  EXPECT_TRUE(ParseIpEndpoint("0.0.0.0:1"));
  EXPECT_TRUE(ParseIpEndpoint("255.255.255.255:65535"));
  for (const char* bad :
       {"256.0.0.1:80", "1.2.3:80", "1.2.3.4.5:80", "1.2.3.4:0", "1.2.3.4:65536", "1..3.4:80",
        "1.2.3.4:", ":80", "a.b.c.d:80", "1.2.3.4:8x", "0001.2.3.4:5"})
    EXPECT_FALSE(ParseIpEndpoint(bad)) << bad;
}

TEST(VantelOptions, OwnOptionsInBothSpellings) {
  VantelOptions o = Parse({"/port=1", "--log", "cap.txt", "--imap=crlf", "--omap", "crcrlf,delbs",
                           "--echo", "--no-wake", "--port-map=ports.map"});
  EXPECT_EQ(o.logFile, "cap.txt");
  EXPECT_TRUE(o.inMap.crlf);
  EXPECT_TRUE(o.outMap.crcrlf);
  EXPECT_TRUE(o.outMap.delbs);
  EXPECT_TRUE(o.echo);
  EXPECT_FALSE(o.wake);
  EXPECT_EQ(o.portMapFile, "ports.map");
  // --help needs no line.
  ParsedOptions h = ParseVantelArguments({"--help"});
  ASSERT_TRUE(h.options);
  EXPECT_TRUE(h.options->help);
}

}  // namespace
}  // namespace zel::vantel
