// Port map, baud codes, direct-port choice of a recorder and the texts of the result codes.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "zel/comm/connection.h"

namespace zel::comm {
namespace {

TEST(PortMap, DefaultIsTtySOfTheZeroBasedNumberAndEntriesOverride) {
  PortMap m;
  EXPECT_EQ(m.DevicePathOf(0), "/dev/ttyS0");
  EXPECT_EQ(m.DevicePathOf(7), "/dev/ttyS7");
  EXPECT_EQ(m.DevicePathOf(-3), "");
  m.Set(7, "/dev/ttyUSB0");
  EXPECT_EQ(m.DevicePathOf(7), "/dev/ttyUSB0");
  EXPECT_EQ(m.DevicePathOf(6), "/dev/ttyS6");
}

TEST(PortMap, FileUsesOneBasedComNamesAndSkipsWhatItCannotRead) {
  char name[] = "/tmp/zelportsXXXXXX";
  int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  close(fd);
  {
    std::ofstream f(name);
    f << "# ports of this PC\n"
      << "COM3=/dev/pts/5\n"
      << "  com1 = /dev/ttyUSB0  \r\n"
      << "\n"
      << "COM0=/dev/bad\n"
      << "COMx=/dev/bad\n"
      << "LPT1=/dev/bad\n"
      << "COM4\n"
      << "COM5=\n"
      << "COM12=/dev/ttyACM1\n";
  }
  PortMap m;
  ASSERT_TRUE(m.LoadFile(name));
  unlink(name);
  EXPECT_EQ(m.DevicePathOf(2), "/dev/pts/5");
  EXPECT_EQ(m.DevicePathOf(0), "/dev/ttyUSB0");
  EXPECT_EQ(m.DevicePathOf(11), "/dev/ttyACM1");
  EXPECT_EQ(m.DevicePathOf(3), "/dev/ttyS3");
  EXPECT_EQ(m.DevicePathOf(4), "/dev/ttyS4");
  EXPECT_EQ(m.DevicePathOf(-1), "");
  EXPECT_FALSE(m.LoadFile("/tmp/zel-no-such-port-map"));
}

TEST(BaudRate, CodesFollowTheBaudList) {
  const int rates[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(BaudRateOf(i), rates[i]);
  EXPECT_EQ(BaudRateOf(-1), 0);
  EXPECT_EQ(BaudRateOf(10), 0);
}

TEST(DirectPort, ChoiceSelectsTcpTheDefaultPortOrPortNMinusOne) {
  Connection c;
  ConnectionSettings s;
  s.directPort = 4;
  c.SetSettings(s);
  RecorderRecord r;
  r.ipAddress = 0x0A000102;
  r.tcpPort = 5000;

  r.port = 0;
  EXPECT_EQ(DirectPortOf(c, r), 4);
  EXPECT_EQ(c.tcpIp(), 0u);  // the endpoint is only set for TCP/IP
  r.port = 1;
  EXPECT_EQ(DirectPortOf(c, r), 0);
  r.port = 9;
  EXPECT_EQ(DirectPortOf(c, r), 8);
  EXPECT_EQ(c.tcpPort(), 0);

  r.port = -1;
  EXPECT_EQ(DirectPortOf(c, r), kTcpSelector);
  EXPECT_EQ(c.tcpIp(), 0x0A000102u);
  EXPECT_EQ(c.tcpPort(), 5000);
}

TEST(ErrorText, EveryResultCodeHasItsText) {
  EXPECT_EQ(ConnectionErrorText(-2), "Port in use");
  EXPECT_EQ(ConnectionErrorText(-1), "No such port");
  EXPECT_EQ(ConnectionErrorText(1), "Modem not found");
  EXPECT_EQ(ConnectionErrorText(2), "Line was busy");
  EXPECT_EQ(ConnectionErrorText(3), "No carier");
  EXPECT_EQ(ConnectionErrorText(4), "Failed to connect");
  EXPECT_EQ(ConnectionErrorText(8), "Cancelled by user");
  for (int other : {-3, 5, 6, 7, 9, 10111, 48})
    EXPECT_EQ(ConnectionErrorText(other), "Unknown error");
}

}  // namespace
}  // namespace zel::comm
