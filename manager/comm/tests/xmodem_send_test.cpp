// The XMODEM-CRC sender against a receiver whose answers are crafted here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "peers/scripted_peer.h"
#include "zel/comm/xmodem.h"
#include "zel/platform/clock.h"
#include "zel/testing/temp_folder.h"

namespace zel::comm {
namespace {

namespace fs = std::filesystem;
using testing::FastTimings;
using testing::Frame;
using testing::Pattern;
using testing::ScriptedPeer;

constexpr uint8_t EOT = 0x04, ACK = 0x06, NAK = 0x15, CAN = 0x18;

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

class XmodemSendTest : public ::testing::Test {
 protected:
  std::future<int> StartSend(std::vector<uint8_t> data) {
    return std::async(std::launch::async,
                      [this, d = std::move(data)] { return XmodemSendBytes(conn_, 0, d); });
  }
  // Reads one whole frame (133 bytes).
  std::vector<uint8_t> ReadFrame() { return Bytes(peer_.ReadN(133)); }

  Connection conn_{FastTimings()};
  ScriptedPeer peer_{conn_};
};

std::vector<uint8_t> ZeroPadded(std::vector<uint8_t> d) {
  d.resize(128, 0);
  return d;
}

TEST_F(XmodemSendTest, LastBlockOf130BytesCarriesTwoBytesAnd126Zeros) {
  const auto data = Pattern(130, 6);
  auto tx = StartSend(data);
  peer_.WriteByte('C');
  const auto f1 = ReadFrame();
  EXPECT_EQ(f1, Frame(1, std::vector<uint8_t>(data.begin(), data.begin() + 128)));
  peer_.WriteByte(ACK);
  const auto f2 = ReadFrame();
  ASSERT_EQ(f2.size(), 133u);
  EXPECT_EQ(f2[1], 2);
  EXPECT_EQ(f2[2], 253);
  EXPECT_EQ(f2[3], data[128]);
  EXPECT_EQ(f2[4], data[129]);
  EXPECT_EQ(std::count(f2.begin() + 5, f2.begin() + 131, 0), 126);
  EXPECT_EQ(f2, Frame(2, ZeroPadded({data[128], data[129]})));
  peer_.WriteByte(ACK);
  EXPECT_EQ(peer_.Read(), EOT);
  peer_.WriteByte(ACK);
  EXPECT_EQ(tx.get(), 0);
  EXPECT_EQ(peer_.Read(50), -1);
}

TEST_F(XmodemSendTest, EmptyInputSendsOnlyEot) {
  auto tx = StartSend({});
  peer_.WriteByte('C');
  EXPECT_EQ(peer_.Read(), EOT);
  peer_.WriteByte(ACK);
  EXPECT_EQ(tx.get(), 0);
  EXPECT_EQ(peer_.Read(50), -1);
}

TEST_F(XmodemSendTest, OtherBytesBeforeCrcRequestAreIgnored) {
  auto tx = StartSend(Pattern(10));
  peer_.Write(std::string("xyz\x06\x01", 5));
  EXPECT_EQ(peer_.Read(60), -1);  // still waiting for 'C'
  peer_.WriteByte('C');
  EXPECT_EQ(ReadFrame(), Frame(1, ZeroPadded(Pattern(10))));
  peer_.WriteByte(ACK);
  EXPECT_EQ(peer_.Read(), EOT);
  peer_.WriteByte(ACK);
  EXPECT_EQ(tx.get(), 0);
}

TEST_F(XmodemSendTest, NakOrCanInsteadOfCrcRequestFails) {
  for (uint8_t b : {NAK, CAN}) {
    auto tx = StartSend(Pattern(10));
    peer_.WriteByte(b);
    EXPECT_EQ(tx.get(), 7);
    EXPECT_EQ(peer_.Read(50), -1) << "nothing sent after " << int(b);
  }
}

TEST_F(XmodemSendTest, NoReceiverFailsAfterStartTime) {
  auto tx = StartSend(Pattern(10));
  EXPECT_EQ(tx.get(), 7);
  EXPECT_EQ(peer_.Read(20), -1);
}

TEST_F(XmodemSendTest, NakedAndSilentAttemptsAreRetriedUntilAck) {
  const auto data = Pattern(128, 2);
  auto tx = StartSend(data);
  peer_.WriteByte('C');
  const auto want = Frame(1, data);
  EXPECT_EQ(ReadFrame(), want);
  peer_.WriteByte(NAK);
  EXPECT_EQ(ReadFrame(), want);
  // no answer: the 120 ms answer time-out counts as a failed attempt
  EXPECT_EQ(ReadFrame(), want);
  peer_.Write(std::string("junk"));  // other bytes are ignored while waiting
  peer_.WriteByte(ACK);
  EXPECT_EQ(peer_.Read(), EOT);
  peer_.WriteByte(ACK);
  EXPECT_EQ(tx.get(), 0);
}

TEST_F(XmodemSendTest, FiveFailedAttemptsCancelInsteadOfEot) {
  auto tx = StartSend(Pattern(300, 3));
  peer_.WriteByte('C');
  EXPECT_EQ(ReadFrame()[1], 1);
  peer_.WriteByte(ACK);
  for (int i = 0; i < 5; ++i) {
    const auto f = ReadFrame();
    ASSERT_EQ(f.size(), 133u);
    EXPECT_EQ(f[1], 2);
    peer_.WriteByte(NAK);
  }
  // The receiver must not take the transfer as complete: no EOT, three CANs.
  EXPECT_EQ(peer_.ReadUntilQuiet(300), std::string(3, '\x18'));
  EXPECT_EQ(tx.get(), 7);
}

TEST_F(XmodemSendTest, CanDuringBlockFailsAtOnce) {
  auto tx = StartSend(Pattern(300, 3));
  peer_.WriteByte('C');
  ReadFrame();
  peer_.WriteByte(CAN);
  EXPECT_EQ(tx.get(), 7);
  EXPECT_EQ(peer_.Read(50), -1);
}

TEST_F(XmodemSendTest, ACutLineFailsAtOnceNotAfterEveryTimeOut) {
  // Five attempts at 20 s each for a silent receiver; a closed line ends the transfer now.
  Timings t = FastTimings();
  t.xmodem_byte_ms = 20000;
  conn_.SetTimings(t);
  auto tx = StartSend(Pattern(300, 3));
  peer_.WriteByte('C');
  EXPECT_EQ(ReadFrame()[1], 1);
  peer_.Close();
  // Far inside the long time-out: the cut line ends it.
  ASSERT_EQ(tx.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(tx.get(), 7);
}

TEST_F(XmodemSendTest, EotIsRetriedOnNakAndSilence) {
  auto tx = StartSend(Pattern(5));
  peer_.WriteByte('C');
  ReadFrame();
  peer_.WriteByte(ACK);
  EXPECT_EQ(peer_.Read(), EOT);
  peer_.WriteByte(NAK);
  EXPECT_EQ(peer_.Read(), EOT);
  EXPECT_EQ(peer_.Read(400), EOT);  // after a silent time-out
  peer_.WriteByte(ACK);
  EXPECT_EQ(tx.get(), 0);
}

TEST_F(XmodemSendTest, EotNeverAcknowledgedFailsAfterFiveTries) {
  auto tx = StartSend(Pattern(5));
  peer_.WriteByte('C');
  ReadFrame();
  peer_.WriteByte(ACK);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(peer_.Read(), EOT) << i;
    peer_.WriteByte(NAK);
  }
  EXPECT_EQ(tx.get(), 7);
  EXPECT_EQ(peer_.Read(50), -1);
}

TEST_F(XmodemSendTest, CanAfterEotFails) {
  auto tx = StartSend({});
  peer_.WriteByte('C');
  EXPECT_EQ(peer_.Read(), EOT);
  peer_.WriteByte(CAN);
  EXPECT_EQ(tx.get(), 7);
}

TEST_F(XmodemSendTest, BlockNumbersWrapAfter255) {
  const auto data = Pattern(257 * 128 + 1, 11);
  auto tx = StartSend(data);
  peer_.WriteByte('C');
  for (int i = 1; i <= 258; ++i) {
    const auto f = ReadFrame();
    ASSERT_EQ(f.size(), 133u) << i;
    ASSERT_EQ(f[1], static_cast<uint8_t>(i));
    ASSERT_EQ(f[2], static_cast<uint8_t>(255 - i));
    peer_.WriteByte(ACK);
  }
  EXPECT_EQ(peer_.Read(), EOT);
  peer_.WriteByte(ACK);
  EXPECT_EQ(tx.get(), 0);
}

TEST_F(XmodemSendTest, MissingFileFailsWithoutSending) {
  EXPECT_EQ(XmodemSend(conn_, 0, "/nonexistent/zel/setupdata.bin"), 7);
  EXPECT_EQ(peer_.Read(20), -1);
}

TEST_F(XmodemSendTest, FileIsSentWithZeroPaddingToScriptedReceiver) {
  const zeltest::TempFolder temp("xtx");
  const fs::path p = temp / "setupdata.bin";
  const auto data = Pattern(1000, 12);
  {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), 1000);
  }
  auto tx = std::async(std::launch::async, [&] { return XmodemSend(conn_, 0, p); });
  bool ok = false;
  auto got = testing::PeerReceive(peer_, ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(tx.get(), 0);
  auto want = data;
  want.resize(1024, 0);
  EXPECT_EQ(got, want);
}

// Our sender to our receiver over one socket pair, both ways at once through two connections.
TEST(XmodemRoundTripTest, OwnSenderToOwnReceiver) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  Connection a{FastTimings()}, b{FastTimings()};
  a.Attach(std::make_unique<FdTransport>(sv[0]));
  b.Attach(std::make_unique<FdTransport>(sv[1]));
  for (size_t n : {size_t{0}, size_t{1}, size_t{128}, size_t{40000}}) {
    const auto data = Pattern(n, static_cast<unsigned>(n));
    std::vector<uint8_t> got;
    auto rx = std::async(std::launch::async, [&] { return XmodemReceiveBytes(b, 0, got); });
    EXPECT_EQ(XmodemSendBytes(a, 0, data), 0) << n;
    EXPECT_EQ(rx.get(), 0) << n;
    auto want = data;
    want.resize((n + 127) / 128 * 128, 0);
    EXPECT_EQ(got, want) << n;
  }
}

// Both ends tell their observers each block as it is moved, from 0 at the start.
TEST(XmodemRoundTripTest, ObserversSeeTheBlocksOfTheTransfer) {
  struct Blocks : ConnectionObserver {
    std::vector<int> seen;
    void OnTransferBlocks(int blocks) override { seen.push_back(blocks); }
  } sent, received;
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  Connection a{FastTimings()}, b{FastTimings()};
  a.Attach(std::make_unique<FdTransport>(sv[0]));
  b.Attach(std::make_unique<FdTransport>(sv[1]));
  a.SetObserver(&sent);
  b.SetObserver(&received);
  const auto data = Pattern(3 * 128 + 5, 3);
  std::vector<uint8_t> got;
  auto rx = std::async(std::launch::async, [&] { return XmodemReceiveBytes(b, 0, got); });
  EXPECT_EQ(XmodemSendBytes(a, 0, data), 0);
  EXPECT_EQ(rx.get(), 0);
  EXPECT_EQ(sent.seen, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(received.seen, (std::vector<int>{0, 1, 2, 3, 4}));
}

}  // namespace
}  // namespace zel::comm
