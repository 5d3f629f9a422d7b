// Serial ports over termios, exercised on socat pty pairs: open results, exclusive use, line
// settings, hang-up of the other end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>

#include <fstream>
#include <memory>
#include <string>

#include "transport_test_peers.h"
#include "zel/comm/connection.h"
#include "zel/comm/serial_port.h"
#include "zel/platform/clock.h"

namespace zel::comm {
namespace {

using testing::ReadFor;
using testing::SocatPair;
using testing::WriteAll;
using zel::platform::MonotonicMs;

TEST(SerialOpen, MissingDeviceIsNoSuchPort) {
  std::unique_ptr<SerialPort> p;
  EXPECT_EQ(SerialPort::Open("/tmp/zel-no-such-device-here", &p), SerialPort::kNoSuchPort);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(SerialPort::Open("", &p), SerialPort::kNoSuchPort);
  EXPECT_EQ(SerialPort::Open("/tmp/zel-no-dir/ttyS0", &p), SerialPort::kNoSuchPort);
}

TEST(SerialOpen, SomethingThatIsNotATerminalIsNoSuchPort) {
  std::unique_ptr<SerialPort> p;
  EXPECT_EQ(SerialPort::Open("/dev/null", &p), SerialPort::kNoSuchPort);
  char name[] = "/tmp/zelfileXXXXXX";
  int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  close(fd);
  EXPECT_EQ(SerialPort::Open(name, &p), SerialPort::kNoSuchPort);
  unlink(name);
  EXPECT_EQ(p, nullptr);
}

TEST(SerialOpen, ADeviceAlreadyOpenIsInUseUntilClosed) {
  SocatPair pty;
  ASSERT_TRUE(pty.ok());
  std::unique_ptr<SerialPort> first, second;
  ASSERT_EQ(SerialPort::Open(pty.a(), &first), SerialPort::kOpened);
  EXPECT_EQ(SerialPort::Open(pty.a(), &second), SerialPort::kPortInUse);
  EXPECT_EQ(second, nullptr);
  // The other end of the pair is another port and is free.
  std::unique_ptr<SerialPort> other;
  EXPECT_EQ(SerialPort::Open(pty.b(), &other), SerialPort::kOpened);
  first->Close();
  EXPECT_EQ(SerialPort::Open(pty.a(), &second), SerialPort::kOpened);
}

TEST(SerialOpen, ConnectionReportsOpenResultsAndHoldsThePortWhileOpen) {
  SocatPair pty;
  ASSERT_TRUE(pty.ok());
  PortMap map;
  map.Set(0, pty.a());
  map.Set(1, pty.dir() + "/missing");
  Connection one, two;
  one.SetPortMap(map);
  two.SetPortMap(map);
  EXPECT_EQ(two.OpenConnection(1, 7, std::nullopt), -1);
  EXPECT_FALSE(two.IsOpen());
  ASSERT_EQ(one.OpenConnection(0, 7, std::nullopt), 0);
  EXPECT_EQ(two.OpenConnection(0, 7, std::nullopt), -2);
  EXPECT_FALSE(two.IsOpen());
  EXPECT_EQ(ConnectionErrorText(-2), "Port in use");
  one.CloseConnection(0);
  EXPECT_EQ(two.OpenConnection(0, 7, std::nullopt), 0);
  // Opening again while open closes the old line first instead of failing as in use.
  EXPECT_EQ(two.OpenConnection(0, 5, std::nullopt), 0);
  two.CloseConnection(0);
}

TEST(SerialOpen, NegativeSelectorOtherThanTcpIsNoSuchPort) {
  Connection c;
  EXPECT_EQ(c.OpenConnection(-5, 7, std::nullopt), -1);
  EXPECT_FALSE(c.IsOpen());
}

TEST(SerialLine, PtyOpensLikeAPortAndTakesEverySetting) {
  SocatPair pty;
  ASSERT_TRUE(pty.ok());
  std::unique_ptr<SerialPort> p;
  ASSERT_EQ(SerialPort::Open(pty.a(), &p), SerialPort::kOpened);
  EXPECT_TRUE(p->IsPty());
  EXPECT_TRUE(p->IsTerminal());
  const speed_t speeds[] = {B300,  B600,   B1200,  B2400,  B4800,
                            B9600, B19200, B38400, B57600, B115200};
  for (int code = 0; code < 10; ++code) {
    ASSERT_TRUE(p->SetBaud(code)) << code;
    termios t{};
    ASSERT_EQ(tcgetattr(p->fd(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speeds[code]) << code;
  }
  EXPECT_FALSE(p->SetBaud(10));
  EXPECT_FALSE(p->SetBaud(-1));
  // A pty has no control lines: the requests succeed without effect.
  EXPECT_TRUE(p->SetDtr(true));
  EXPECT_TRUE(p->SetRts(true));
  EXPECT_TRUE(p->SetDtr(false));
  EXPECT_TRUE(p->SetHandshake('H'));
  termios t{};
  ASSERT_EQ(tcgetattr(p->fd(), &t), 0);
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
  EXPECT_TRUE(p->SetHandshake('N'));
  ASSERT_EQ(tcgetattr(p->fd(), &t), 0);
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_FALSE(p->SetHandshake('X'));
  // Raw: no echo, no line editing, no software flow control, no CR/LF translation.
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
}

TEST(SerialLine, ControlCharactersPassUnchangedBothWays) {
  SocatPair pty;
  ASSERT_TRUE(pty.ok());
  std::unique_ptr<SerialPort> p;
  ASSERT_EQ(SerialPort::Open(pty.a(), &p), SerialPort::kOpened);
  int peer = testing::OpenPeerPty(pty.b());
  ASSERT_GE(peer, 0);
  const std::string ctl("\r\n\x03\x04\x11\x13\x1a\x7f\x00\xff", 10);
  ASSERT_EQ(p->Write(reinterpret_cast<const uint8_t*>(ctl.data()), ctl.size()),
            static_cast<int>(ctl.size()));
  EXPECT_EQ(ReadFor(peer, ctl.size(), 3000), ctl);
  WriteAll(peer, ctl);
  std::string got;
  int64_t end = MonotonicMs() + 3000;
  while (got.size() < ctl.size() && MonotonicMs() < end) {
    p->WaitReadable(20);
    int b;
    while ((b = p->ReadByte()) >= 0) got.push_back(static_cast<char>(b));
  }
  EXPECT_EQ(got, ctl);
  close(peer);
}

TEST(SerialLine, TheOtherEndGoingAwayIsAHangUpAndWaitsStillTakeTheirTime) {
  auto pty = std::make_unique<SocatPair>();
  ASSERT_TRUE(pty->ok());
  std::unique_ptr<SerialPort> p;
  ASSERT_EQ(SerialPort::Open(pty->a(), &p), SerialPort::kOpened);
  pty.reset();  // socat ends: the pty loses its master
  int64_t t0 = MonotonicMs();
  EXPECT_FALSE(p->WaitReadable(100));
  EXPECT_EQ(p->ReadByte(), -1);
  EXPECT_TRUE(p->HungUp());
  t0 = MonotonicMs();
  EXPECT_FALSE(p->WaitReadable(60));
  EXPECT_GE(MonotonicMs() - t0, 55);
  p->Close();
}

}  // namespace
}  // namespace zel::comm
