// The XMODEM-CRC receiver against a peer whose bytes are crafted here.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>

#include "peers/scripted_peer.h"
#include "zel/comm/crc16.h"
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

constexpr uint8_t SOH = 0x01, EOT = 0x04, ACK = 0x06, NAK = 0x15, CAN = 0x18;

std::vector<uint8_t> ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& p, const std::vector<uint8_t>& d) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
}

std::vector<uint8_t> Padded(std::vector<uint8_t> d) {
  d.resize((d.size() + 127) / 128 * 128, 0x1A);
  return d;
}

class XmodemReceiveTest : public ::testing::Test {
 protected:
  void SetUp() override { target_ = dir_ / "target.bin"; }

  std::future<int> StartReceive() {
    return std::async(std::launch::async, [this] { return XmodemReceive(conn_, 0, target_); });
  }
  // Names in the folder besides the target.
  std::vector<std::string> Entries() {
    std::vector<std::string> v;
    for (auto& e : fs::directory_iterator(dir_)) v.push_back(e.path().filename().string());
    return v;
  }

  Connection conn_{FastTimings()};
  ScriptedPeer peer_{conn_};
  zeltest::TempFolder temp_{"xrx"};
  fs::path dir_ = temp_.path();
  fs::path target_;
};

TEST(Crc16Test, KnownValues) {
  const std::string check = "123456789";
  EXPECT_EQ(Crc16Xmodem(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0x31C3);
  EXPECT_EQ(Crc16Xmodem(nullptr, 0), 0x0000);
  const uint8_t zeros[128] = {};
  EXPECT_EQ(Crc16Xmodem(zeros, 128), 0x0000);
  const uint8_t one = 0x01;
  EXPECT_EQ(Crc16Xmodem(&one, 1), 0x1021);
  // Running CRC in two pieces equals the CRC of the whole.
  const uint16_t a = Crc16Xmodem(reinterpret_cast<const uint8_t*>(check.data()), 4);
  EXPECT_EQ(Crc16Xmodem(reinterpret_cast<const uint8_t*>(check.data()) + 4, 5, a), 0x31C3);
}

TEST(XmodemFrameTest, MatchesHandFramedBlock) {
  const auto data = Pattern(128, 3);
  EXPECT_EQ(XmodemFrame(7, data.data(), data.size()), Frame(7, data));
  // Short data is padded with zeros here (the hand framer pads 0x1A, so pad by hand).
  std::vector<uint8_t> two{0xAA, 0x55};
  std::vector<uint8_t> zero_padded = two;
  zero_padded.resize(128, 0);
  const auto f = XmodemFrame(255, two.data(), two.size());
  EXPECT_EQ(f, Frame(255, zero_padded));
  EXPECT_EQ(f[2], 0x00);
}

TEST_F(XmodemReceiveTest, ThreeBlocksGive384BytesWithPadding) {
  auto rx = StartReceive();
  const auto data = Pattern(300);
  ASSERT_TRUE(testing::PeerSend(peer_, data));
  EXPECT_EQ(rx.get(), 0);
  const auto got = ReadFile(target_);
  ASSERT_EQ(got.size(), 384u);
  EXPECT_EQ(got, Padded(data));
  EXPECT_EQ(Entries(), std::vector<std::string>{"target.bin"});
}

TEST_F(XmodemReceiveTest, CrcRequestAtOnceAndRepeatedUntilFirstByte) {
  auto rx = StartReceive();
  // 'C' at once, then again after the interval (150 ms here); stale bytes written before the
  // start are discarded and never taken for a header.
  EXPECT_EQ(peer_.Read(100), 'C');
  EXPECT_EQ(peer_.Read(100), -1);
  EXPECT_EQ(peer_.Read(300), 'C');
  peer_.WriteByte(EOT);
  EXPECT_EQ(peer_.Read(), ACK);
  EXPECT_EQ(rx.get(), 0);
  EXPECT_EQ(ReadFile(target_).size(), 0u);
  EXPECT_TRUE(fs::exists(target_));
}

TEST_F(XmodemReceiveTest, StaleInputIsFlushedBeforeStart) {
  // A socket pair holds the bytes once they are written: they wait there before the start.
  peer_.Write(std::string("garbage\x04\x18\x18", 10));
  auto rx = StartReceive();
  const auto data = Pattern(128, 9);
  ASSERT_TRUE(testing::PeerSend(peer_, data));
  EXPECT_EQ(rx.get(), 0);
  EXPECT_EQ(ReadFile(target_), data);
}

TEST_F(XmodemReceiveTest, NoSenderFailsAfterStartTimeAndLeavesNothing) {
  auto rx = StartReceive();
  const std::string cs = peer_.ReadUntilQuiet(400);
  EXPECT_EQ(rx.get(), 7);
  // 600 ms start window, 'C' every 150 ms: at once plus about four repeats.
  EXPECT_GE(cs.size(), 3u);
  EXPECT_LE(cs.size(), 6u);
  EXPECT_EQ(cs.find_first_not_of('C'), std::string::npos);
  EXPECT_FALSE(fs::exists(target_));
  EXPECT_TRUE(Entries().empty());
}

TEST_F(XmodemReceiveTest, EotFirstIsSuccessfulEmptyFileReplacingOldOne) {
  WriteFile(target_, Pattern(1000));
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  peer_.WriteByte(EOT);
  EXPECT_EQ(peer_.Read(), ACK);
  EXPECT_EQ(rx.get(), 0);
  EXPECT_EQ(ReadFile(target_).size(), 0u);
}

TEST_F(XmodemReceiveTest, AnEotRepeatedBeforeTheSettleTimeIsAnswered) {
  // The receiver waits 1 s of quiet to confirm an EOT; this sender asks again after 0.4 s.
  Timings t = FastTimings();
  t.xmodem_byte_ms = 4000;
  t.xmodem_settle_ms = 1000;
  conn_.SetTimings(t);
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  peer_.Write(Frame(1, Pattern(128, 1)));
  EXPECT_EQ(peer_.Read(), ACK);
  peer_.WriteByte(EOT);
  EXPECT_EQ(peer_.Read(400), -1);
  peer_.WriteByte(EOT);
  EXPECT_EQ(peer_.Read(), ACK);
  ASSERT_EQ(rx.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(rx.get(), 0);
  EXPECT_EQ(ReadFile(target_), Pattern(128, 1));
}

TEST_F(XmodemReceiveTest, TwoBytes04BackToBackAreDataOfADamagedBlock) {
  Timings t = FastTimings();
  t.xmodem_byte_ms = 4000;
  t.xmodem_settle_ms = 1000;
  conn_.SetTimings(t);
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  peer_.Write(Frame(1, Pattern(128, 1)));
  EXPECT_EQ(peer_.Read(), ACK);
  // Block 2 with its header, number and complement lost, its data starting 04 04.
  auto data2 = Pattern(128, 2);
  data2[0] = EOT;
  data2[1] = EOT;
  auto damaged = Frame(2, data2);
  damaged.erase(damaged.begin(), damaged.begin() + 3);
  peer_.Write(damaged);
  // Skipped as bytes before a header until one byte time has passed; then a NAK.
  EXPECT_EQ(peer_.Read(6000), NAK);
  peer_.Write(Frame(2, data2));
  EXPECT_EQ(peer_.Read(), ACK);
  peer_.WriteByte(EOT);
  EXPECT_EQ(peer_.Read(3000), ACK);
  ASSERT_EQ(rx.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(rx.get(), 0);
  auto both = Pattern(128, 1);
  both.insert(both.end(), data2.begin(), data2.end());
  EXPECT_EQ(ReadFile(target_), both);
}

TEST_F(XmodemReceiveTest, RepeatedBlockNotWrittenFirstRepeatUnansweredSecondAcked) {
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  const auto b1 = Pattern(128, 1), b2 = Pattern(128, 2);
  peer_.Write(Frame(1, b1));
  EXPECT_EQ(peer_.Read(), ACK);
  peer_.Write(Frame(1, b1));      // our ACK was "lost": the sender repeats
  EXPECT_EQ(peer_.Read(60), -1);  // first repeat: no answer
  peer_.Write(Frame(1, b1));
  EXPECT_EQ(peer_.Read(), ACK);  // second repeat: acknowledged
  peer_.Write(Frame(2, b2));
  EXPECT_EQ(peer_.Read(), ACK);
  peer_.WriteByte(EOT);
  EXPECT_EQ(peer_.Read(), ACK);
  EXPECT_EQ(rx.get(), 0);
  auto want = b1;
  want.insert(want.end(), b2.begin(), b2.end());
  EXPECT_EQ(ReadFile(target_), want);
}

TEST_F(XmodemReceiveTest, RepeatWithBrokenCrcIsStillARepeatAndNotWritten) {
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  const auto b1 = Pattern(128, 1), b2 = Pattern(128, 2);
  peer_.Write(Frame(1, b1));
  EXPECT_EQ(peer_.Read(), ACK);
  auto broken = Frame(1, Pattern(128, 77));
  broken[131] ^= 0xFF;
  peer_.Write(broken);
  EXPECT_EQ(peer_.Read(60), -1);
  peer_.Write(Frame(2, b2));
  EXPECT_EQ(peer_.Read(), ACK);
  peer_.WriteByte(EOT);
  EXPECT_EQ(peer_.Read(), ACK);
  EXPECT_EQ(rx.get(), 0);
  auto want = b1;
  want.insert(want.end(), b2.begin(), b2.end());
  EXPECT_EQ(ReadFile(target_), want);
}

TEST_F(XmodemReceiveTest, BlockNumbersAfter255GoOnWithZero) {
  auto rx = StartReceive();
  const auto data = Pattern(258 * 128, 5);  // blocks 1..255, 0, 1, 2
  ASSERT_TRUE(testing::PeerSend(peer_, data));
  EXPECT_EQ(rx.get(), 0);
  EXPECT_EQ(ReadFile(target_), data);
}

TEST_F(XmodemReceiveTest, WrongNumberAfter255IsRejected) {
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  for (int n = 1; n <= 255; ++n) {
    peer_.Write(Frame(static_cast<uint8_t>(n), Pattern(128, n)));
    ASSERT_EQ(peer_.Read(), ACK) << n;
  }
  const auto wrong = Frame(2, Pattern(128, 0));  // neither 0 (expected) nor 255 (repeat)
  peer_.Write(std::vector<uint8_t>(wrong.begin(), wrong.begin() + 3));
  EXPECT_EQ(peer_.Read(), NAK);
  peer_.Write(Frame(0, Pattern(128, 0)));
  EXPECT_EQ(peer_.Read(), ACK);
  peer_.WriteByte(EOT);
  EXPECT_EQ(peer_.Read(), ACK);
  EXPECT_EQ(rx.get(), 0);
  EXPECT_EQ(ReadFile(target_).size(), 256u * 128);
}

TEST_F(XmodemReceiveTest, BadComplementAndBadCrcAreNakedThenRetried) {
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  const auto b1 = Pattern(128, 1);
  auto bad_cpl = Frame(1, b1);
  bad_cpl[2] = 0xFF;
  peer_.Write(std::vector<uint8_t>(bad_cpl.begin(), bad_cpl.begin() + 3));
  EXPECT_EQ(peer_.Read(), NAK);
  auto bad_hi = Frame(1, b1);
  bad_hi[131] ^= 0x01;
  peer_.Write(bad_hi);
  EXPECT_EQ(peer_.Read(), NAK);
  auto bad_lo = Frame(1, b1);
  bad_lo[132] ^= 0x80;
  peer_.Write(bad_lo);
  EXPECT_EQ(peer_.Read(), NAK);
  auto bad_data = Frame(1, b1);
  bad_data[70] ^= 0x10;
  peer_.Write(bad_data);
  EXPECT_EQ(peer_.Read(), NAK);
  peer_.Write(Frame(1, b1));  // fifth attempt is good
  EXPECT_EQ(peer_.Read(), ACK);
  peer_.WriteByte(EOT);
  EXPECT_EQ(peer_.Read(), ACK);
  EXPECT_EQ(rx.get(), 0);
  EXPECT_EQ(ReadFile(target_), b1);
}

TEST_F(XmodemReceiveTest, NoiseBeforeHeaderIsSkipped) {
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  const auto b1 = Pattern(128, 1);
  peer_.Write(std::string("\x00\xFF\x02zz", 5));
  peer_.Write(Frame(1, b1));
  EXPECT_EQ(peer_.Read(), ACK);
  // An EOT after noise may be a data byte of a block whose header was lost: it is answered
  // with NAK, and the sender's repeated EOT, alone on a quiet line, ends the transfer.
  peer_.Write(std::string("\r\n", 2));
  peer_.WriteByte(EOT);
  EXPECT_EQ(peer_.Read(), NAK);
  peer_.WriteByte(EOT);
  EXPECT_EQ(peer_.Read(), ACK);
  EXPECT_EQ(rx.get(), 0);
  EXPECT_EQ(ReadFile(target_), b1);
}

TEST_F(XmodemReceiveTest, SilenceInsideBlockNaksAndWholeBlockIsResent) {
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  const auto b1 = Pattern(128, 1);
  auto f = Frame(1, b1);
  peer_.Write(std::vector<uint8_t>(f.begin(), f.begin() + 60));
  EXPECT_EQ(peer_.Read(400), NAK);  // after the 120 ms byte time-out
  peer_.Write(f);
  EXPECT_EQ(peer_.Read(), ACK);
  peer_.WriteByte(EOT);
  EXPECT_EQ(peer_.Read(), ACK);
  EXPECT_EQ(rx.get(), 0);
  EXPECT_EQ(ReadFile(target_), b1);
}

TEST_F(XmodemReceiveTest, CanEndsTransferAndKeepsOldFile) {
  const auto old = Pattern(777, 42);
  WriteFile(target_, old);
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  peer_.Write(Frame(1, Pattern(128, 1)));
  EXPECT_EQ(peer_.Read(), ACK);
  peer_.WriteByte(CAN);
  EXPECT_EQ(peer_.Read(), ACK);  // the one ACK after the loop
  EXPECT_EQ(rx.get(), 7);
  EXPECT_EQ(ReadFile(target_), old);
  EXPECT_EQ(Entries(), std::vector<std::string>{"target.bin"});
}

TEST_F(XmodemReceiveTest, FiveBadCrcsCancelWithThreeCansKeepOldFileAndNoTemp) {
  const auto old = Pattern(1000, 8);
  WriteFile(target_, old);
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  peer_.Write(Frame(1, Pattern(128, 1)));
  EXPECT_EQ(peer_.Read(), ACK);
  auto bad = Frame(2, Pattern(128, 2));
  bad[132] ^= 0x01;
  for (int i = 0; i < 5; ++i) {
    peer_.Write(bad);
    EXPECT_EQ(peer_.Read(), NAK) << i;
  }
  EXPECT_EQ(peer_.ReadN(4), std::string("\x18\x18\x18\x06", 4));
  EXPECT_EQ(peer_.Read(50), -1);
  EXPECT_EQ(rx.get(), 7);
  EXPECT_EQ(ReadFile(target_), old);
  EXPECT_EQ(Entries(), std::vector<std::string>{"target.bin"});
}

TEST_F(XmodemReceiveTest, SenderVanishingMidTransferFails) {
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  peer_.Write(Frame(1, Pattern(128, 1)));
  EXPECT_EQ(peer_.Read(), ACK);
  // Silence: five time-outs, each answered with NAK, then three CANs and the final ACK.
  EXPECT_EQ(peer_.ReadUntilQuiet(400), std::string("\x15\x15\x15\x15\x15\x18\x18\x18\x06", 9));
  EXPECT_EQ(rx.get(), 7);
  EXPECT_FALSE(fs::exists(target_));
  EXPECT_TRUE(Entries().empty());
}

TEST_F(XmodemReceiveTest, ACutLineFailsAtOnceNotAfterEveryTimeOut) {
  // With these time-outs a silent sender would take five times 20 s to give up; a sender
  // whose end of the line is closed cannot send more, and the transfer ends now.
  Timings t = FastTimings();
  t.xmodem_byte_ms = 20000;
  t.xmodem_settle_ms = 1000;
  conn_.SetTimings(t);
  const auto old = Pattern(256, 9);
  WriteFile(target_, old);
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  peer_.Write(Frame(1, Pattern(128, 1)));
  EXPECT_EQ(peer_.Read(), ACK);
  // Half a block, then the line is cut.
  auto half = Frame(2, Pattern(128, 2));
  half.resize(60);
  peer_.Write(half);
  peer_.Close();
  // Far inside the long time-out: the cut line ends it.
  ASSERT_EQ(rx.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(rx.get(), 7);
  EXPECT_EQ(ReadFile(target_), old);
  EXPECT_EQ(Entries(), std::vector<std::string>{"target.bin"});
}

TEST_F(XmodemReceiveTest, ALineCutBeforeTheFirstBlockFailsAtOnce) {
  Timings t = FastTimings();
  t.xmodem_start_ms = 60000;
  conn_.SetTimings(t);
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  peer_.Close();
  // Far inside the long time-out: the cut line ends it.
  ASSERT_EQ(rx.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(rx.get(), 7);
  EXPECT_FALSE(fs::exists(target_));
  EXPECT_TRUE(Entries().empty());
}

TEST_F(XmodemReceiveTest, LineThatBabblesWithoutHeaderFailsLikeASilentOne) {
  const auto old = Pattern(300, 5);
  WriteFile(target_, old);
  auto rx = StartReceive();
  ASSERT_TRUE(peer_.WaitFor('C'));
  peer_.Write(Frame(1, Pattern(128, 1)));
  EXPECT_EQ(peer_.Read(), ACK);
  // Noise that never holds SOH, EOT or CAN, a byte every 2 ms, bounded to 3 s.
  std::string answers;
  for (int i = 0;
       i < 1500 && rx.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready; ++i) {
    peer_.Write(std::string(1, static_cast<char>('a' + i % 26)));
    for (int b; (b = peer_.Read(2)) >= 0;) answers.push_back(static_cast<char>(b));
  }
  answers += peer_.ReadUntilQuiet(50);
  ASSERT_EQ(rx.wait_for(std::chrono::seconds(1)), std::future_status::ready);
  EXPECT_EQ(rx.get(), 7);
  EXPECT_EQ(answers, std::string("\x15\x15\x15\x15\x15\x18\x18\x18\x06", 9));
  EXPECT_EQ(ReadFile(target_), old);
  EXPECT_EQ(Entries(), std::vector<std::string>{"target.bin"});
}

// A file that cannot be written whole (here: a file size limit, as on a full disk) fails the
// transfer instead of reporting a short file as received.
TEST_F(XmodemReceiveTest, WriteFailureFailsTransferAndKeepsOldFile) {
  const auto old = Pattern(100, 6);
  WriteFile(target_, old);
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(sv[1]);
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{200, 200};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    Connection c{FastTimings()};
    c.Attach(std::make_unique<FdTransport>(sv[0]));
    ::_exit(XmodemReceive(c, 0, target_));
  }
  ::close(sv[0]);
  auto read1 = [&](int ms) {
    pollfd pf{sv[1], POLLIN, 0};
    uint8_t b;
    if (::poll(&pf, 1, ms) <= 0 || ::read(sv[1], &b, 1) != 1) return -1;
    return static_cast<int>(b);
  };
  auto write = [&](const std::vector<uint8_t>& d) {
    ASSERT_EQ(::write(sv[1], d.data(), d.size()), static_cast<ssize_t>(d.size()));
  };
  ASSERT_EQ(read1(2000), 'C');
  for (uint8_t n = 1; n <= 3; ++n) {
    write(Frame(n, Pattern(128, n)));
    ASSERT_EQ(read1(2000), ACK);
  }
  write({EOT});
  EXPECT_EQ(read1(2000), ACK);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ::close(sv[1]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 7);
  EXPECT_EQ(ReadFile(target_), old);
  EXPECT_EQ(Entries(), std::vector<std::string>{"target.bin"});
}

// A receiver killed part way leaves its hidden temporary file; the next file received into
// that folder clears it away, since the process that made it is gone.
TEST_F(XmodemReceiveTest, KilledReceiversLeftoverIsClearedByTheNextReceive) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(sv[1]);
    Connection c{FastTimings()};
    c.Attach(std::make_unique<FdTransport>(sv[0]));
    ::_exit(XmodemReceive(c, 0, dir_ / "killed.bin"));
  }
  ::close(sv[0]);
  pollfd pf{sv[1], POLLIN, 0};
  uint8_t b = 0;
  ASSERT_EQ(::poll(&pf, 1, 5000), 1);
  ASSERT_EQ(::read(sv[1], &b, 1), 1);
  ASSERT_EQ(b, 'C');  // the receiver runs and its temporary file exists
  ::kill(pid, SIGKILL);
  ASSERT_EQ(::waitpid(pid, nullptr, 0), pid);
  ::close(sv[1]);
  const std::vector<std::string> left = Entries();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].rfind(".killed.bin.", 0), 0u) << left[0];

  auto rx = StartReceive();
  const auto data = Pattern(300, 9);
  ASSERT_TRUE(testing::PeerSend(peer_, data));
  EXPECT_EQ(rx.get(), 0);
  EXPECT_EQ(Entries(), std::vector<std::string>{"target.bin"});
}

TEST_F(XmodemReceiveTest, TargetInMissingFolderFailsAtOnce) {
  target_ = dir_ / "no" / "such" / "folder" / "x.bin";
  auto rx = StartReceive();
  EXPECT_EQ(rx.get(), 7);
  EXPECT_EQ(peer_.Read(50), -1);  // nothing was sent
}

TEST_F(XmodemReceiveTest, ReceiveBytesKeepsEveryGoodBlock) {
  std::vector<uint8_t> got;
  auto rx = std::async(std::launch::async, [&] { return XmodemReceiveBytes(conn_, 0, got); });
  const auto data = Pattern(129, 4);
  ASSERT_TRUE(testing::PeerSend(peer_, data));
  EXPECT_EQ(rx.get(), 0);
  EXPECT_EQ(got, Padded(data));
}

}  // namespace
}  // namespace zel::comm
